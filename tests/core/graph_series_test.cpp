#include "core/series/graph_series.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

#include "support/curve_generator.h"

namespace marvek {
namespace {

using testing::PowerLawCurve;

// Hand formulas of the per-curve analysis for an unloading branch that is exactly the power law,
// with the default settings (epsilon 0.75, Ap = 24.5 hc^2, As = 26.44 h^2, Ei 1141 GPa,
// nu_i 0.07, nu_s 0.3).
struct ExpectedResults {
    double stiffness, hc, eit, hit, hop, hv, hm, alpha;
};

ExpectedResults ExpectOliverPharr(const PowerLawCurve& c) {
    const double pi = 3.141592654;
    ExpectedResults e{};
    e.stiffness = c.m * c.fMax / (c.hMax - c.hf);
    e.hc = c.hMax - 0.75 * c.fMax / e.stiffness;
    const double ap = 24.5 * e.hc * e.hc;
    const double asHc = 26.44 * e.hc * e.hc;
    const double asHmax = 26.44 * c.hMax * c.hMax;
    const double er = std::sqrt(pi) / 2 * e.stiffness / std::sqrt(ap / 1e12);
    e.eit = (1 - 0.3 * 0.3) / (1 / er - (1 - 0.07 * 0.07) / 1141);
    e.hit = c.fMax / ap * 1e9;
    e.hop = c.fMax / asHc * 1e9;
    e.hv = e.hit * ap / (9.80665 * asHc);
    e.hm = c.fMax / asHmax * 1e9;
    e.alpha = c.fMax / std::pow(c.hMax - c.hf, c.m);
    return e;
}

// The power-law search stops once two sweeps' errors differ by less than 1e-7, which leaves
// an exact power law's parameters (and what derives from them) good to about this.
constexpr double kFitTolerance = 1e-2;
// alpha = F / (h - hf)^m carries the exponent's error into a power of a few hundred nm.
constexpr double kAlphaTolerance = 1e-1;

bool Near(double actual, double expected, double relative) {
    return std::fabs(actual - expected) <= relative * std::fabs(expected);
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

class GraphSeriesTest : public ::testing::Test {
protected:
    void MakeCurves(const std::vector<PowerLawCurve>& curves) {
        curves_ = curves;
        dir_.emplace();  // a fresh folder each time
        folder_ = dir_->path();
        files_.clear();
        for (std::size_t i = 0; i < curves.size(); ++i) {
            files_.push_back(folder_ / ("curve" + std::to_string(i) + ".csv"));
            testing::WriteCurve(files_.back(), curves[i]);
        }
        analyzer_.SetFiles(files_);
    }

    GraphResult Run(GraphCommand command, int current = 0, int threads = 0) {
        GraphOptions options;
        options.threads = threads;
        return RunGraphCommand(command, analyzer_, display_, settings_, current, options);
    }

    static std::vector<PowerLawCurve> ThreeCurves() {
        PowerLawCurve a, b, c;
        b.fMax = 20, b.hMax = 800, b.hf = 450, b.m = 1.3;
        c.fMax = 5, c.hMax = 300, c.hf = 100, c.m = 1.8;
        return {a, b, c};
    }

    std::vector<PowerLawCurve> curves_;
    std::optional<testing::TempDir> dir_;
    std::filesystem::path folder_;
    std::vector<std::filesystem::path> files_;
    CCurveAnalyzer analyzer_;
    CurveDisplay display_;
    Settings settings_;
};

// ---- Curve-list graphs -------------------------------------------------------------------

struct CurveListCase {
    GraphCommand command;
    const char* xTitle;
    const char* yTitle;
    std::function<double(const PowerLawCurve&, const ExpectedResults&, int)> x, y;
};

double Depth(const PowerLawCurve& c, const ExpectedResults&, int) { return c.hMax; }
double Force(const PowerLawCurve& c, const ExpectedResults&, int) { return c.fMax; }
double Index(const PowerLawCurve&, const ExpectedResults&, int i) { return i; }

TEST_F(GraphSeriesTest, CurveListGraphsGiveOnePointPerCurveFromItsOwnAnalysis) {
    MakeCurves(ThreeCurves());
    auto eit = [](const PowerLawCurve&, const ExpectedResults& e, int) { return e.eit; };
    auto hm = [](const PowerLawCurve&, const ExpectedResults& e, int) { return e.hm; };
    auto hit = [](const PowerLawCurve&, const ExpectedResults& e, int) { return e.hit; };
    auto hop = [](const PowerLawCurve&, const ExpectedResults& e, int) { return e.hop; };
    auto hv = [](const PowerLawCurve&, const ExpectedResults& e, int) { return e.hv; };
    auto r2 = [](const PowerLawCurve&, const ExpectedResults&, int) { return 1.0; };
    auto alpha = [](const PowerLawCurve&, const ExpectedResults& e, int) { return e.alpha; };
    auto m = [](const PowerLawCurve& c, const ExpectedResults&, int) { return c.m; };
    const std::vector<CurveListCase> cases = {
        {GraphCommand::ModulusDepth, "Maximum Depth (nm)", " [GPa]", Depth, eit},
        {GraphCommand::ModulusLoad, "Maximum Force (mN)", " [GPa]", Force, eit},
        {GraphCommand::ModulusCurve, "Curve Number", "E (GPa)", Index, eit},
        {GraphCommand::HMDepth, "Maximum Depth (nm)", "HM (MPa)", Depth, hm},
        {GraphCommand::HMLoad, "Maximum Force (mN)", "HM (MPa)", Force, hm},
        {GraphCommand::HMCurve, "Curve Number", "HM (MPa)", Index, hm},
        {GraphCommand::HITDepth, "Maximum Depth (nm)", "H(IH) (MPa)", Depth, hit},
        {GraphCommand::HITLoad, "Maximum Force (mN)", "H(IT) (MPa)", Force, hit},
        {GraphCommand::HOPDepth, "Depth (nm)", "H(OP) (MPa)", Depth, hop},
        {GraphCommand::HOPLoad, "Force (mN)", "H(OP) (MPa)", Force, hop},
        {GraphCommand::HVDepth, "Maximum Depth (nm)", "HV (MPa)", Depth, hv},
        {GraphCommand::HVLoad, "Maximum Force (mN)", "HV (MPa)", Force, hv},
        {GraphCommand::LoadR, "Force (mN)", "Correlation  R", Force, r2},
        {GraphCommand::LoadAlpha, "Force (mN)", "Power Law  alpha", Force, alpha},
        {GraphCommand::LoadM, "Force (mN)", "Power Law  m", Force, m},
    };
    for (const CurveListCase& tc : cases) {
        const GraphResult r = Run(tc.command);
        SCOPED_TRACE(GetGraphCommandInfo(tc.command).name);
        ASSERT_TRUE(r.ran);
        EXPECT_EQ(r.series.xTitle, tc.xTitle);
        EXPECT_EQ(r.series.yTitle, tc.yTitle);
        ASSERT_EQ(r.series.x.size(), curves_.size());
        ASSERT_EQ(r.series.y.size(), curves_.size());
        EXPECT_TRUE(r.failures.empty());
        for (int i = 0; i < static_cast<int>(curves_.size()); ++i) {
            const PowerLawCurve& c = curves_[static_cast<std::size_t>(i)];
            ExpectedResults e = ExpectOliverPharr(c);
            // The same values as a single analysis of that curve, bit for bit.
            CCurveAnalyzer single = analyzer_;
            CurveDisplay singleDisplay;
            ASSERT_TRUE(AnalyzeCurve(single, i, settings_, singleDisplay).ok());
            const ExpectedResults got = {single.m_dStiffness,  single.m_dHc,
                                         singleDisplay.m_dEIT, singleDisplay.m_dHIT,
                                         singleDisplay.m_dHOP, singleDisplay.m_dHV,
                                         singleDisplay.m_dHM,  single.m_dAlpha};
            PowerLawCurve fitted = c;
            fitted.m = single.m_dM;
            EXPECT_EQ(r.series.y[static_cast<std::size_t>(i)], tc.command == GraphCommand::LoadR
                                                                   ? single.m_dRSquared
                                                                   : tc.y(fitted, got, i));
            EXPECT_PRED3(Near, r.series.x[static_cast<std::size_t>(i)], tc.x(c, e, i), 1e-12)
                << "curve " << i;
            EXPECT_PRED3(Near, r.series.y[static_cast<std::size_t>(i)], tc.y(c, e, i),
                         tc.command == GraphCommand::LoadAlpha ? kAlphaTolerance : kFitTolerance)
                << "curve " << i;
        }
    }
}

// A curve that cannot be read used to give a point made of the previous curve's values.
TEST_F(GraphSeriesTest, UnreadableCurveGivesNoPointAndIsListedOnce) {
    MakeCurves(ThreeCurves());
    const std::filesystem::path missing = folder_ / "missing.csv";
    const std::filesystem::path junk = folder_ / "junk.csv";
    std::ofstream(junk) << "no curve here\n1 2 3\n";
    analyzer_.SetFiles({files_[0], missing, files_[1], junk, files_[2]});
    for (int threads : {1, 2}) {
        const GraphResult r = Run(GraphCommand::ModulusCurve, 0, threads);
        ASSERT_EQ(r.series.x.size(), 3u) << threads;
        EXPECT_EQ(r.series.x, (std::vector<double>{0, 2, 4}));
        ASSERT_EQ(r.failures.size(), 2u);
        EXPECT_EQ(r.failures[0].curve, 1);
        EXPECT_EQ(r.failures[1].curve, 3);
        const std::string message = DescribeGraphFailures(r.failures);
        EXPECT_NE(message.find("missing.csv"), std::string::npos) << message;
        EXPECT_NE(message.find("junk.csv"), std::string::npos) << message;
        EXPECT_NE(message.find("2 curves"), std::string::npos) << message;
    }
}

TEST_F(GraphSeriesTest, NoCurvesSelectedDoesNothing) {
    for (const GraphCommandInfo& info : GraphCommands()) {
        CCurveAnalyzer before = analyzer_;
        const GraphResult r = Run(info.command);
        EXPECT_FALSE(r.ran) << info.name;
        EXPECT_TRUE(r.series.x.empty()) << info.name;
        EXPECT_EQ(analyzer_.m_nPoints, before.m_nPoints);
    }
}

TEST_F(GraphSeriesTest, CurveListLeavesTheLastCurveAnalysed) {
    MakeCurves(ThreeCurves());
    Run(GraphCommand::HMLoad, 0);
    EXPECT_DOUBLE_EQ(analyzer_.m_dHmax, curves_[2].hMax);
    EXPECT_DOUBLE_EQ(analyzer_.m_dFmax, curves_[2].fMax);
    EXPECT_EQ(display_.m_pCurveDepth.size(), 400u);  // the point at depth 0 is not read
    EXPECT_PRED3(Near, display_.m_dEIT, ExpectOliverPharr(curves_[2]).eit, kFitTolerance);
}

// ---- Sweeps of the current curve ----------------------------------------------------------

struct SweepCase {
    const char* label;
    GraphCommand command;
    int method;
    float sectionSize;
    std::size_t count;
    double firstX, lastX;  // % (of the peak force for the section sweeps' forces)
    // Oliver-Pharr's Fmax is the curve's peak; Doerner-Nix's is the top of the window's
    // section, so its forces are only known to grow with the window.
    enum { Percent, PeakForce, SectionForce } x;
};

TEST_F(GraphSeriesTest, SweepsStepTheForceRangeByHalfAPercent) {
    MakeCurves(ThreeCurves());
    const double fMax = curves_[1].fMax;
    const std::vector<SweepCase> cases = {
        {"percent series OP", GraphCommand::PercentSeries, 0, 10, 198, 0, 98.5, SweepCase::Percent},
        {"percent series DN", GraphCommand::PercentSeries, 1, 10, 198, 0, 98.5, SweepCase::Percent},
        {"percent-m OP", GraphCommand::PercentM, 0, 10, 122, 20, 80.5, SweepCase::Percent},
        {"percent-m DN", GraphCommand::PercentM, 1, 10, 34, 82, 98.5, SweepCase::Percent},
        {"percent-r OP", GraphCommand::PercentR, 0, 10, 122, 20, 80.5, SweepCase::Percent},
        {"section-m OP", GraphCommand::SectionM, 0, 10, 104, 30, 81.5, SweepCase::PeakForce},
        {"section-r OP", GraphCommand::SectionR, 0, 10, 104, 30, 81.5, SweepCase::PeakForce},
        {"section-r DN", GraphCommand::SectionR, 1, 10, 16, 92, 99.5, SweepCase::SectionForce},
        {"unload sections OP", GraphCommand::UnloadSections, 0, 10, 144, 10, 81.5,
         SweepCase::PeakForce},
        {"unload sections DN", GraphCommand::UnloadSections, 1, 10, 180, 10, 99.5,
         SweepCase::SectionForce},
        {"zero-width sections", GraphCommand::SectionR, 0, 0, 124, 20, 81.5, SweepCase::PeakForce},
        {"section as wide as the range", GraphCommand::SectionR, 0, 62, 0, 0, 0,
         SweepCase::PeakForce},
        {"other method", GraphCommand::PercentSeries, 2, 10, 0, 0, 0, SweepCase::Percent},
    };
    for (const SweepCase& tc : cases) {
        SCOPED_TRACE(tc.label);
        settings_.strategy.m_nMethod = tc.method;
        settings_.strategy.m_fSectionSizePercent = tc.sectionSize;
        const Settings before = settings_;
        const GraphResult r = Run(tc.command, 1);
        ASSERT_TRUE(r.ran);
        EXPECT_TRUE(r.failures.empty());
        ASSERT_EQ(r.series.x.size(), tc.count);
        EXPECT_EQ(std::memcmp(&before.strategy, &settings_.strategy, sizeof before.strategy), 0);
        if (tc.count == 0) continue;
        if (tc.x == SweepCase::SectionForce) {
            EXPECT_LE(r.series.x.back(), tc.lastX * fMax / 100);
            for (std::size_t i = 1; i < r.series.x.size(); ++i)
                ASSERT_GE(r.series.x[i], r.series.x[i - 1]) << i;
            continue;
        }
        const double scale = tc.x == SweepCase::PeakForce ? fMax / 100 : 1;
        EXPECT_DOUBLE_EQ(r.series.x.front(), tc.firstX * scale);
        EXPECT_DOUBLE_EQ(r.series.x.back(), tc.lastX * scale);
        for (std::size_t i = 1; i < r.series.x.size(); ++i)
            ASSERT_NEAR(r.series.x[i] - r.series.x[i - 1], 0.5 * scale, 1e-9) << i;
    }
}

TEST_F(GraphSeriesTest, SweepValuesComeFromEachRangesAnalysis) {
    MakeCurves(ThreeCurves());
    const PowerLawCurve& c = curves_[1];
    // An exact power law: every Oliver-Pharr range recovers the same exponent and r^2 = 1.
    const GraphResult m = Run(GraphCommand::PercentM, 1);
    ASSERT_EQ(m.series.y.size(), 122u);
    // The last ranges hold only a few points; the fit is only pinned down below 70 %.
    for (std::size_t i = 0; m.series.x[i] <= 70; ++i)
        EXPECT_PRED3(Near, m.series.y[i], c.m, kFitTolerance) << m.series.x[i];
    const GraphResult r = Run(GraphCommand::SectionR, 1);
    for (double v : r.series.y) EXPECT_NEAR(v, 1.0, 1e-6);
    const GraphResult e = Run(GraphCommand::UnloadSections, 1);
    const double eit = ExpectOliverPharr(c).eit;
    for (std::size_t i = 0; i + 20 < e.series.y.size(); ++i)
        EXPECT_PRED3(Near, e.series.y[i], eit, 5 * kFitTolerance) << i;

    // Doerner-Nix writes no exponent: the graphs show the one the window already held, and
    // "Section - m" puts the first load of the 0-100 % section (the peak) on its x axis.
    settings_.strategy.m_nMethod = 1;
    analyzer_.m_dM = 7.25;
    const GraphResult dnM = Run(GraphCommand::PercentM, 1);
    for (double v : dnM.series.y) EXPECT_EQ(v, 1.0);
    const GraphResult dnSection = Run(GraphCommand::SectionM, 1);
    ASSERT_EQ(dnSection.series.x.size(), 16u);
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_DOUBLE_EQ(dnSection.series.x[i], c.fMax);
        EXPECT_EQ(dnSection.series.y[i], 7.25);
    }
}

TEST_F(GraphSeriesTest, SweepLeavesTheCurrentCurveAnalysedOverItsLastRange) {
    MakeCurves(ThreeCurves());
    struct Case {
        GraphCommand command;
        int method;
        float lastMin, lastMax;
    };
    for (const Case& tc : {Case{GraphCommand::PercentSeries, 0, 98.5f, 100},
                           Case{GraphCommand::SectionR, 0, 71.5f, 81.5f},
                           Case{GraphCommand::UnloadSections, 1, 89.5f, 99.5f}}) {
        settings_.strategy.m_nMethod = tc.method;
        for (int threads : {1, 2}) {
            Run(tc.command, 1, threads);
            CCurveAnalyzer expected;
            expected.SetFiles(files_);
            CurveDisplay expectedDisplay;
            Settings last = settings_;
            (tc.method == 0 ? last.strategy.m_fOPMinPercent : last.strategy.m_fDNMinPercent) =
                tc.lastMin;
            (tc.method == 0 ? last.strategy.m_fOPMaxPercent : last.strategy.m_fDNMaxPercent) =
                tc.lastMax;
            ASSERT_TRUE(AnalyzeCurve(expected, 1, last, expectedDisplay).ok());
            SCOPED_TRACE(GetGraphCommandInfo(tc.command).name + std::string(" threads ") +
                         std::to_string(threads));
            EXPECT_EQ(analyzer_.m_dStiffness, expected.m_dStiffness);
            EXPECT_EQ(analyzer_.m_dRSquared, expected.m_dRSquared);
            EXPECT_EQ(analyzer_.m_dFmax, expected.m_dFmax);
            EXPECT_EQ(analyzer_.m_dHmax, expected.m_dHmax);
            EXPECT_EQ(display_.m_dEIT, expectedDisplay.m_dEIT);
            EXPECT_TRUE(SameBits(display_.m_pFitCurveDepth, expectedDisplay.m_pFitCurveDepth));
        }
    }
}

TEST_F(GraphSeriesTest, SweepWithNegativeSectionSizeStopsAtTheGraphCapacity) {
    PowerLawCurve small;
    small.loadPoints = 20;
    small.unloadPoints = 40;
    small.m = 1;
    MakeCurves({small});
    settings_.strategy.m_nMethod = 1;
    settings_.strategy.m_fSectionSizePercent = -4000;  // about 8036 windows
    const GraphResult r = Run(GraphCommand::SectionR, 0);
    EXPECT_EQ(r.series.x.size(), kMaxSweepPoints);
    EXPECT_FALSE(r.note.empty());
}

// ---- Running in parallel ------------------------------------------------------------------

// The parts of the window's state a graph command leaves behind, compared bit for bit.
struct StateSnapshot {
    std::vector<double> values;
    std::vector<double> curve, fit, extrap;
    bool operator==(const StateSnapshot& o) const {
        return SameBits(values, o.values) && SameBits(curve, o.curve) && SameBits(fit, o.fit) &&
               SameBits(extrap, o.extrap);
    }
};

StateSnapshot Snapshot(const CCurveAnalyzer& a, const CurveDisplay& d) {
    return {{a.m_dHmax, a.m_dFmax, a.m_dAlpha, a.m_dM, a.m_dHf, a.m_dRSquared, a.m_dStiffness,
             a.m_dIntercept, d.m_dEIT, d.m_dHM, static_cast<double>(a.m_nPoints),
             static_cast<double>(a.m_nFitPoints)},
            d.m_pCurveDepth,
            d.m_pFitCurveLoad,
            d.m_pExtrapLoad};
}

TEST_F(GraphSeriesTest, ParallelRunEqualsOneThreadRun) {
    std::vector<PowerLawCurve> curves;
    for (int i = 0; i < 14; ++i) {
        PowerLawCurve c;
        c.fMax = 2 + i;
        c.hMax = 300 + 25 * i;
        c.hf = 100 + 10 * i;
        c.m = 1.2 + 0.05 * i;
        c.unloadPoints = 80 + 7 * i;
        curves.push_back(c);
    }
    MakeCurves(curves);
    std::vector<std::filesystem::path> files = files_;
    files.insert(files.begin() + 5, folder_ / "missing.csv");
    files.push_back(folder_ / "also-missing.csv");  // the last curve fails
    analyzer_.SetFiles(files);
    struct Case {
        GraphCommand command;
        int method;
    };
    for (const Case& tc : {Case{GraphCommand::ModulusDepth, 0}, Case{GraphCommand::LoadAlpha, 1},
                           Case{GraphCommand::SectionM, 1}, Case{GraphCommand::PercentSeries, 0}}) {
        SCOPED_TRACE(GetGraphCommandInfo(tc.command).name);
        settings_.strategy.m_nMethod = tc.method;
        const CCurveAnalyzer start = analyzer_;
        const CurveDisplay startDisplay = display_;
        const GraphResult one = Run(tc.command, 3, 1);
        const StateSnapshot oneState = Snapshot(analyzer_, display_);
        for (int threads : {2, 3}) {
            analyzer_ = start;
            display_ = startDisplay;
            const GraphResult many = Run(tc.command, 3, threads);
            EXPECT_TRUE(SameBits(one.series.x, many.series.x)) << threads;
            EXPECT_TRUE(SameBits(one.series.y, many.series.y)) << threads;
            ASSERT_EQ(one.failures.size(), many.failures.size());
            for (std::size_t i = 0; i < one.failures.size(); ++i)
                EXPECT_EQ(one.failures[i].curve, many.failures[i].curve);
            EXPECT_TRUE(Snapshot(analyzer_, display_) == oneState) << threads;
        }
    }
}

// A sweep parses its curve once; every range must still get the analysis a fresh read of the
// file gives, with the corrections that rewrite the points in place switched on.
TEST_F(GraphSeriesTest, SweepEqualsAnalysingEachRangeFromTheFile) {
    const std::filesystem::path file = MARVEK_TEST_DATA "/real/agilent_nial_t001.csv";
    analyzer_.SetFiles({file});
    settings_.strategy.m_bZeroPointCorrection = 1;
    settings_.strategy.m_bDriftCorrection = 1;
    settings_.compliance.m_fCompliance = 0.3f;
    for (int method : {0, 1}) {
        settings_.strategy.m_nMethod = method;
        const GraphResult r = Run(GraphCommand::PercentSeries, 0, 1);
        ASSERT_EQ(r.series.y.size(), 198u);
        for (std::size_t i = 0; i < r.series.y.size(); ++i) {
            CCurveAnalyzer fresh;
            fresh.SetFiles({file});
            CurveDisplay display;
            Settings s = settings_;
            float& minimum = method == 0 ? s.strategy.m_fOPMinPercent : s.strategy.m_fDNMinPercent;
            float& maximum = method == 0 ? s.strategy.m_fOPMaxPercent : s.strategy.m_fDNMaxPercent;
            minimum = static_cast<float>(r.series.x[i]);
            maximum = 100;
            ASSERT_TRUE(AnalyzeCurve(fresh, 0, s, display).ok());
            ASSERT_EQ(std::memcmp(&display.m_dEIT, &r.series.y[i], sizeof(double)), 0)
                << method << " " << r.series.x[i];
        }
    }
}

TEST_F(GraphSeriesTest, CancelEndsWithoutGraphAndLeavesTheWindowAsItWas) {
    MakeCurves(ThreeCurves());
    ASSERT_TRUE(AnalyzeCurve(analyzer_, 0, settings_, display_).ok());
    const StateSnapshot before = Snapshot(analyzer_, display_);
    for (int threads : {1, 2}) {
        std::atomic<bool> cancel{false};
        std::size_t calls = 0;
        GraphOptions options;
        options.threads = threads;
        options.cancel = &cancel;
        options.progress = [&](std::size_t done, std::size_t total) {
            ++calls;
            EXPECT_EQ(total, 198u);
            if (done == 5) cancel = true;
        };
        const GraphResult r = RunGraphCommand(GraphCommand::PercentSeries, analyzer_, display_,
                                              settings_, 1, options);
        EXPECT_TRUE(r.cancelled) << threads;
        EXPECT_LT(calls, 198u);
        EXPECT_TRUE(Snapshot(analyzer_, display_) == before) << threads;
    }
}

TEST_F(GraphSeriesTest, ProgressCountsEveryAnalysisOnce) {
    MakeCurves(ThreeCurves());
    for (int threads : {1, 2}) {
        std::vector<std::size_t> seen;
        GraphOptions options;
        options.threads = threads;
        options.progress = [&](std::size_t done, std::size_t total) {
            EXPECT_EQ(total, 3u);
            seen.push_back(done);
        };
        RunGraphCommand(GraphCommand::HVLoad, analyzer_, display_, settings_, 0, options);
        EXPECT_EQ(seen, (std::vector<std::size_t>{1, 2, 3})) << threads;
    }
}

// ---- Command table and CSV ----------------------------------------------------------------

TEST(GraphCommandTable, EveryCliNameFindsItsCommand) {
    const char* names[] = {"modulus-depth",
                           "modulus-load",
                           "modulus-curve",
                           "hm-depth",
                           "hm-load",
                           "hm-curve",
                           "hit-depth",
                           "hit-load",
                           "hop-depth",
                           "hop-load",
                           "hv-depth",
                           "hv-load",
                           "percent-series",
                           "unload-sections",
                           "percent-m",
                           "section-m",
                           "percent-r",
                           "section-r",
                           "load-r",
                           "load-alpha",
                           "load-m",
                           "graininess-load",
                           "graininess-unload",
                           "graininess2-load",
                           "graininess2-unload",
                           "hardness-profile",
                           "modulus-profile",
                           "first-popin-loads",
                           "first-popin-histogram"};
    EXPECT_EQ(GraphCommands().size(), std::size(names));
    for (const char* name : names) {
        const GraphCommandInfo* info = FindGraphCommand(name);
        ASSERT_NE(info, nullptr) << name;
        EXPECT_EQ(&GetGraphCommandInfo(info->command), info);
    }
    EXPECT_EQ(FindGraphCommand("modulus"), nullptr);
}

TEST(GraphCsv, HeaderHasCommaSpaceAndRowsBareCommaWithSevenDigits) {
    GraphSeries s{
        "Maximum Depth (nm)", " [GPa]", {1234.56789, 1e-10, -2.5, 0}, {0.1, 100, 123456789, -0.0}};
    EXPECT_EQ(FormatGraphCsv(s),
              "Maximum Depth (nm),  [GPa]\n"
              "1234.568,0.1\n"
              "1e-10,100\n"
              "-2.5,1.234568e+08\n"
              "0,-0\n");
    EXPECT_EQ(FormatGraphCsv(GraphSeries{"x", "y", {}, {}}), "x, y\n");
}

// Saving used to take only the file's name and write it into the current folder.
TEST(GraphCsv, WritesToTheFullChosenPath) {
    const testing::TempDir scratch;
    const std::filesystem::path folder = scratch.path() / "chosen";
    std::filesystem::create_directories(folder);
    const std::filesystem::path file = folder / "graph.csv";
    std::ofstream(file) << "an older and much longer file that must be replaced entirely\n";
    GraphSeries s{"Force (mN)", "Correlation  R", {1, 2}, {0.5, 0.25}};
    const Status written = WriteGraphCsv(s, file);
    ASSERT_TRUE(written.ok()) << written.message();
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "Force (mN), Correlation  R\n1,0.5\n2,0.25\n");
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::current_path() / "graph.csv"));
}

// A file that could not be created used to be skipped in silence.
TEST(GraphCsv, UnwritableFileIsReportedWithItsNameAndReason) {
    const testing::TempDir scratch;
    const std::filesystem::path folder = scratch.path();
    GraphSeries s{"x", "y", {1}, {2}};
    const std::string error = WriteGraphCsv(s, folder / "no-such-folder" / "graph.csv").message();
    EXPECT_NE(error.find("graph.csv"), std::string::npos) << error;
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
    const std::string folderError = WriteGraphCsv(s, folder).message();  // a folder, not a file
    EXPECT_NE(folderError.find(folder.string()), std::string::npos) << folderError;
}

}  // namespace
}  // namespace marvek
