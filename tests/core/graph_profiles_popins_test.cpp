// The graph commands of continuous-stiffness profiles and of the first pop-in loads, on the
// instrument workbooks in tests/data/vendor.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "core/analysis/curve_analysis.h"
#include "core/io/number_format.h"
#include "core/io/parsed_curve.h"
#include "core/profiles/depth_profile.h"
#include "core/series/curve_popins.h"
#include "core/series/graph_series.h"
#include "support/popin_curves.h"

namespace marvek {
namespace {

const std::filesystem::path kProfileBook = MARVEK_TEST_DATA "/vendor/FS_XP.xls";
const std::filesystem::path kPopinBook = MARVEK_TEST_DATA "/vendor/Popin.xls";

struct Window {
    CCurveAnalyzer analyzer;
    CurveDisplay display;
    Settings settings;
    explicit Window(const std::filesystem::path& file) { analyzer.SetFiles({file}); }
    GraphResult Run(GraphCommand command, int current, std::vector<bool> excluded = {}) {
        GraphOptions options;
        options.threads = 1;
        options.excluded = std::move(excluded);
        return RunGraphCommand(command, analyzer, display, settings, current, options);
    }
};

// The profile graphs show the loading part of the shown test's own profile: its depth against
// its hardness or modulus, each point labelled with the test, and the window's mean in the text.
TEST(ProfileGraphs, ShowTheLoadingProfileOfTheShownTest) {
    Window w(kProfileBook);
    ASSERT_GE(w.analyzer.m_nFileCount, 3);
    struct Case {
        GraphCommand command;
        int curve;
    };
    for (const Case c :
         {Case{GraphCommand::HardnessProfile, 0}, Case{GraphCommand::ModulusProfile, 0},
          Case{GraphCommand::HardnessProfile, 2}}) {
        const std::filesystem::path address =
            w.analyzer.m_strFiles[static_cast<std::size_t>(c.curve)];
        SCOPED_TRACE(address.string());
        io::ParsedCurve curve;
        ASSERT_TRUE(io::ReadCurve(address, {}, curve).ok());
        const profiles::DepthProfile p = profiles::ComputeProfile(curve, {});
        ASSERT_TRUE(p.ok());
        const bool hardness = c.command == GraphCommand::HardnessProfile;
        const GraphResult r = w.Run(c.command, c.curve);
        EXPECT_TRUE(r.error.empty()) << r.error;
        ASSERT_EQ(r.series.x.size(), p.loadingSamples);
        for (std::size_t i = 0; i < p.loadingSamples; ++i) {
            EXPECT_EQ(r.series.x[i], p.depth[i]);
            EXPECT_EQ(r.series.y[i], hardness ? p.hardness[i] : p.modulus[i]);
        }
        EXPECT_EQ(r.series.labels.front().second, curve.test);
        // The view opens below the spikes of the first samples and says how many it leaves out.
        const long long above = std::count_if(r.series.y.begin(), r.series.y.end(),
                                              [&](double y) { return y > r.series.yViewUpper; });
        const std::string said =
            "; " + FormatInt(above) + (above == 1 ? " sample" : " samples") + " above the view";
        // Each of these tests has samples far above its plateau in its first nanometres.
        EXPECT_GT(above, 0);
        EXPECT_NE(r.series.text.find(said), std::string::npos) << r.series.text;
        EXPECT_FALSE(r.series.meanMark);
        const profiles::ProfileAverage mean = profiles::AverageProfile(p);
        const std::string expected =
            FormatSignificant(hardness ? mean.hardness : mean.modulus, 4) + " ± ";
        EXPECT_NE(r.series.text.find(expected), std::string::npos) << r.series.text;
        // The workbook's three-term area function is said to be incomplete, once.
        EXPECT_NE(r.note.find("incomplete"), std::string::npos) << r.note;
        EXPECT_EQ(r.note.find(address.string()), 0u) << r.note;
    }
}

// A calibrated area function in the settings (here the full one of the workbook's tip,
// recovered from its own columns) replaces the workbook's incomplete one; the ideal one does not.
TEST(ProfileGraphs, CalibratedAreaFunctionOfTheSettingsIsUsed) {
    Window w(kProfileBook);
    w.settings.areaFunction.m_dApCoef = {
        24.69536429, 395.7700812, -16.13158277, 133.4058147, 106.4571602, 0, 0, 0, 0};
    const GraphResult r = w.Run(GraphCommand::HardnessProfile, 0);
    io::ParsedCurve curve;
    ASSERT_TRUE(io::ReadCurve(w.analyzer.m_strFiles[0], {}, curve).ok());
    profiles::ProfileSettings full;
    full.areaCoefficients = {24.69536429, 395.7700812, -16.13158277, 133.4058147, 106.4571602};
    const profiles::DepthProfile p = profiles::ComputeProfile(curve, full);
    ASSERT_EQ(r.series.y.size(), p.loadingSamples);
    for (std::size_t i = 0; i < p.loadingSamples; ++i) EXPECT_EQ(r.series.y[i], p.hardness[i]);
    EXPECT_EQ(r.note.find("incomplete"), std::string::npos) << r.note;
}

TEST(ProfileGraphs, CurveWithoutStiffnessChannelsHasNoGraphAndSaysWhy) {
    Window w(MARVEK_EXAMPLES "/agilent_nial_t001.csv");
    for (GraphCommand c : {GraphCommand::HardnessProfile, GraphCommand::ModulusProfile}) {
        const GraphResult r = w.Run(c, 0);
        EXPECT_TRUE(r.ran);
        EXPECT_TRUE(r.series.x.empty());
        EXPECT_NE(r.error.find("agilent_nial_t001.csv"), std::string::npos) << r.error;
        EXPECT_NE(r.error.find("no continuous-stiffness columns"), std::string::npos) << r.error;
    }
}

// Popin.xls: the first pop-in loads found by hand in the workbook's columns (see popins_test),
// sorted, at F_i = (i - 0.5)/n, with the Weibull line of ln ln(1/(1 - F)) on ln P.
TEST(FirstPopinLoadsGraph, CumulativeDistributionAndWeibullFitOfTheIndents) {
    const std::vector<double> hand = {0.50727, 0.53680, 0.22931, 0.53657, 0.12957, 0.46437,
                                      0.37987, 0.21510, 0.35846, 0.35191, 0.38857, 0.34647};
    struct Case {
        std::vector<bool> excluded;
        std::vector<std::size_t> kept;  // indices into `hand` (Test 001 = 0)
        const char* leftOut;
    };
    // The workbook lists its tests from Test 012 down: curve k is Test (12 - k).
    const Case cases[] = {
        {{}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, nullptr},
        {{true, false, false, false, false, false, false, true},
         {0, 1, 2, 3, 5, 6, 7, 8, 9, 10},
         "2 excluded curves left out"},
    };
    Window w(kPopinBook);
    ASSERT_EQ(w.analyzer.m_nFileCount, 12);
    ASSERT_EQ(io::ParseAddress(w.analyzer.m_strFiles[0]).test, "Test 012");
    for (const Case& c : cases) {
        const GraphResult r = w.Run(GraphCommand::FirstPopinLoads, 0, c.excluded);
        std::vector<double> loads;
        for (std::size_t k : c.kept) loads.push_back(hand[k]);
        std::sort(loads.begin(), loads.end());
        const std::size_t n = loads.size();
        ASSERT_EQ(r.series.x.size(), n);
        double sx = 0, sy = 0, sxx = 0, sxy = 0;
        for (std::size_t i = 0; i < n; ++i) {
            EXPECT_NEAR(r.series.x[i], loads[i], 0.02 * loads[i]) << i;
            const double f = (static_cast<double>(i) + 0.5) / static_cast<double>(n);
            EXPECT_DOUBLE_EQ(r.series.y[i], f);
            // Each point belongs to its own curve (for its label in the CSV).
            const int curve = r.series.curves[i];
            EXPECT_FALSE(static_cast<std::size_t>(curve) < c.excluded.size() &&
                         c.excluded[static_cast<std::size_t>(curve)]);
            const double x = std::log(r.series.x[i]), y = std::log(-std::log(1 - f));
            sx += x, sy += y, sxx += x * x, sxy += x * y;
        }
        const double nn = static_cast<double>(n);
        const double modulus = (nn * sxy - sx * sy) / (nn * sxx - sx * sx);
        const double scale = std::exp(-(sy - modulus * sx) / nn / modulus);
        const std::string expected = "Weibull modulus " + FormatSignificant(modulus, 4) +
                                     ", scale " + FormatSignificant(scale, 4) + " mN";
        EXPECT_NE(r.series.text.find(expected), std::string::npos) << r.series.text;
        // The line runs over the loads and is the fitted distribution.
        ASSERT_FALSE(r.series.lineX.empty());
        EXPECT_EQ(r.series.lineX.front(), r.series.x.front());
        EXPECT_EQ(r.series.lineX.back(), r.series.x.back());
        const double mid = r.series.lineX[r.series.lineX.size() / 2];
        EXPECT_NEAR(r.series.lineY[r.series.lineY.size() / 2],
                    1 - std::exp(-std::pow(mid / scale, modulus)), 1e-9);
        if (c.leftOut) {
            EXPECT_NE(r.series.text.find(c.leftOut), std::string::npos) << r.series.text;
        }
        EXPECT_FALSE(r.series.meanMark);
    }
}

// The histogram of the same loads: Sturges' 1 + ceil(log2 12) = 5 equal bins over their range,
// every indent counted once, the bars' outline closed at zero.
TEST(FirstPopinLoadsGraph, HistogramCountsEveryIndentOnce) {
    Window w(kPopinBook);
    const GraphResult r = w.Run(GraphCommand::FirstPopinHistogram, 0);
    ASSERT_EQ(r.series.x.size(), 5u);
    const GraphResult cdf = w.Run(GraphCommand::FirstPopinLoads, 0);
    const double lo = cdf.series.x.front(), hi = cdf.series.x.back(), width = (hi - lo) / 5;
    double total = 0;
    for (std::size_t b = 0; b < 5; ++b) {
        EXPECT_NEAR(r.series.x[b], lo + (static_cast<double>(b) + 0.5) * width, 1e-12);
        const auto in = std::count_if(cdf.series.x.begin(), cdf.series.x.end(), [&](double x) {
            return x >= lo + static_cast<double>(b) * width &&
                   (b == 4 || x < lo + static_cast<double>(b + 1) * width);
        });
        EXPECT_EQ(r.series.y[b], static_cast<double>(in)) << b;
        total += r.series.y[b];
    }
    EXPECT_EQ(total, 12);
    ASSERT_EQ(r.series.lineX.size(), 12u);
    EXPECT_EQ(r.series.lineY.front(), 0);
    EXPECT_EQ(r.series.lineY.back(), 0);
    EXPECT_NE(r.series.text.find("12 first pop-ins in 5 bins"), std::string::npos) << r.series.text;
}

// The label of the plot's Hertz fit: K always, R and tauMax only with Er, and why not.
TEST(FirstPopinLoadsGraph, HertzLabelSaysWhatIsKnown) {
    popins::PopinResult r;
    EXPECT_EQ(DescribeHertzFit(r), "");
    r.popins.push_back({0.5, 27, 29, 10, 11});
    r.hertz.K = 0.00507, r.hertz.h0 = 1.5, r.hertz.r2 = 0.9987;
    r.hertz.depthFrom = 1.25, r.hertz.depthTo = 26.96;
    r.hertz.reason = "no reduced modulus: R and tauMax unknown";
    const std::string without = DescribeHertzFit(r);
    EXPECT_NE(without.find("K = 0.00507 mN/nm^1.5\nh0 = 1.5 nm, R² = 0.9987, fitted 1.2-27.0 nm"),
              std::string::npos)
        << without;
    EXPECT_NE(without.find("\nno reduced modulus: R and tauMax unknown"), std::string::npos)
        << without;
    r.hertz.radius = 812.4, r.tauMax = 9.876, r.tauMaxOverShear = 0.1234;
    const std::string with = DescribeHertzFit(r);
    EXPECT_NE(with.find("R = 812.4 nm, τmax = 9.876 GPa at P = 0.5 mN (0.123 G)"),
              std::string::npos)
        << with;
}

}  // namespace
}  // namespace marvek

namespace marvek {
namespace {

// The pop-ins of an analysed curve: Er from the unloading's E(IT) (or the user's Er, or the tip
// radius) gives back the sphere's radius and Er of a generated Hertzian curve.
TEST(CurvePopins, ErFromTheUnloadingModulusGivesTheTipBack) {
    testing::PopinCurveShape shape;
    shape.reducedModulus = 200, shape.radius = 500;
    shape.bursts = {{1.0, 12, 0}};
    const testing::PopinCurve made = testing::MakePopinCurve(shape);
    io::ParsedCurve parsed;
    for (std::size_t i = 0; i < made.depth.size(); ++i)
        parsed.push(made.depth[i], made.load[i], made.time[i], 'L');
    CCurveAnalyzer analyzer;
    analyzer.LoadCurve(parsed);
    const Settings settings;  // sample 0.3, indenter 1141 GPa and 0.07
    const double vs = 0.3, vi = 0.07, ei = 1141;
    const double eit = (1 - vs * vs) / (1 / 200.0 - (1 - vi * vi) / ei);  // Er = 200 GPa
    struct Case {
        double eit, givenEr, givenRadius;
    };
    for (const Case c : {Case{eit, popins::kNaN, popins::kNaN}, Case{0, 200, popins::kNaN},
                         Case{0, popins::kNaN, 500}}) {
        CurveDisplay display;
        display.m_dEIT = c.eit;
        popins::PopinSettings given;
        given.reducedModulus = c.givenEr;
        given.tipRadius = c.givenRadius;
        const popins::PopinResult r = AnalyzeCurvePopins(analyzer, display, settings, given);
        ASSERT_EQ(r.popins.size(), 1u);
        EXPECT_NEAR(r.hertz.reducedModulus, 200, 4) << c.eit;
        EXPECT_NEAR(r.hertz.radius, 500, 10) << c.eit;
        // tauMax / G with G = E / (2(1 + vs)) and E from the unloading or from Er.
        EXPECT_NEAR(r.tauMaxOverShear, r.tauMax / (eit / (2 * (1 + vs))), 0.03 * r.tauMaxOverShear);
    }
}

}  // namespace
}  // namespace marvek
