#include "core/series/graininess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>

#include "core/analysis/curve_analysis.h"
#include "core/analysis/fitting.h"
#include "core/io/number_format.h"
#include "core/series/graph_series.h"
#include "support/curve_generator.h"

namespace marvek {
namespace {

// Running sums must reproduce the least-squares slope of every window to this.
constexpr double kSlopeTolerance = 1e-9;
constexpr double kMeanTolerance = 1e-12;

struct LiteralWindow {
    double meanDepth;
    double slope;         // FitLine over the window, summed afresh
    double exactSlope;    // two-pass fit in extended precision
    double fitLineError;  // bound of FitLine's own rounding: its raw sums cancel
    double scale;         // what "relative" means for a slope that may pass through zero
};

// The windows exactly as the graininess rule defines them, each fitted from scratch.
std::vector<LiteralWindow> LiteralWindows(const double* d, const double* f, int n, int start,
                                          int trim, float size) {
    const double nan = std::nan("");
    std::vector<LiteralWindow> out;
    for (int j = start; j < n * (100 - static_cast<double>(size)) / 100; ++j) {
        const int end = static_cast<int>(j + n * static_cast<double>(size) / 100) - trim;
        const int k = end - j;
        if (k <= 0) {
            out.push_back({nan, nan, nan, 0, 0});
            continue;
        }
        double sum = 0;
        long double mx = 0, my = 0;
        for (int i = j; i < end; ++i) sum += d[i], mx += d[i], my += f[i];
        mx /= k, my /= k;
        long double sxy = 0, sxx = 0, syy = 0, rawXY = 0, rawXX = 0;
        for (int i = j; i < end; ++i) {
            sxy += (d[i] - mx) * (f[i] - my);
            sxx += (d[i] - mx) * (d[i] - mx);
            syy += (f[i] - my) * (f[i] - my);
            rawXY += std::fabs(d[i] * f[i]);
            rawXX += d[i] * d[i];
        }
        const double exact = static_cast<double>(sxy / sxx);
        // Loads all equal: slope exactly 0, nothing to cancel in the numerator.
        const double conditioning =
            static_cast<double>(rawXX / sxx + (sxy != 0 ? rawXY / std::fabs(sxy) : 0));
        const double scale = std::max(std::fabs(exact), static_cast<double>(std::sqrt(syy / sxx)));
        out.push_back({sum / k, FitLine(d + j, f + j, k).slope, exact,
                       64 * 2.2e-16 * conditioning * scale, scale});
    }
    return out;
}

struct Branch {
    std::string label;
    std::vector<double> depth, load;
};

std::vector<Branch> RealBranches() {
    std::vector<Branch> branches;
    for (const char* name :
         {"agilent_nial_t001.csv", "kla_tungsten_3mN_t01.csv", "hysitron_steel_0000.csv",
          "micromaterials_2000nm_1.csv", "fischerscope_15mN_n1_t01.csv"}) {
        CCurveAnalyzer a;
        a.SetFiles({std::filesystem::path(MARVEK_TEST_DATA) / "real" / name});
        Settings s;
        CurveDisplay d;
        if (!AnalyzeCurve(a, 0, s, d).ok()) {
            ADD_FAILURE() << name;
            continue;
        }
        Branch load{std::string(name) + " loading", {}, {}};
        for (int i = 0; i < a.m_nPoints; ++i) {
            if (a.m_pSegment[i] != 'L') continue;
            load.depth.push_back(a.m_pDepth[static_cast<std::size_t>(i)]);
            load.load.push_back(a.m_pLoad[static_cast<std::size_t>(i)]);
        }
        branches.push_back(load);
        a.SelectUnloadSection(1, 100);
        branches.push_back({std::string(name) + " unloading",
                            {a.m_pFitDepth.begin(), a.m_pFitDepth.begin() + a.m_nFitPoints},
                            {a.m_pFitLoad.begin(), a.m_pFitLoad.begin() + a.m_nFitPoints}});
    }
    return branches;
}

TEST(SlidingWindows, AgreeWithTheWindowByWindowFitOnRealCurves) {
    for (const Branch& b : RealBranches()) {
        const int n = static_cast<int>(b.depth.size());
        for (float size : {10.0f, 2.5f, 37.0f, 0.7f}) {
            for (int start : {0, 1}) {
                SCOPED_TRACE(b.label + " S=" + FormatSignificant(size, 4) +
                             " start=" + FormatInt(start));
                const auto fast = FitSlidingWindows(b.depth.data(), b.load.data(), n,
                                                    {start, start, size}, 1000000);
                const auto slow =
                    LiteralWindows(b.depth.data(), b.load.data(), n, start, start, size);
                ASSERT_EQ(fast.size(), slow.size());
                for (std::size_t i = 0; i < fast.size(); ++i) {
                    const LiteralWindow& w = slow[i];
                    if (std::isnan(w.slope)) {
                        EXPECT_TRUE(std::isnan(fast[i].slope)) << i;
                        continue;
                    }
                    ASSERT_NEAR(fast[i].meanDepth, w.meanDepth,
                                kMeanTolerance * std::fabs(w.meanDepth) + 1e-12)
                        << i;
                    ASSERT_NEAR(fast[i].slope, w.exactSlope, kSlopeTolerance * w.scale) << i;
                    ASSERT_NEAR(fast[i].slope, w.slope, kSlopeTolerance * w.scale + w.fitLineError)
                        << i;
                }
            }
        }
    }
}

struct WindowCountCase {
    const char* label;
    int n, start, trim;
    float size;
    std::size_t windows;
    int firstLength;  // points of the first window, 0 when it has none
};

TEST(SlidingWindows, CountsAndLengthsFollowTheWindowRule) {
    const std::vector<WindowCountCase> cases = {
        {"loading, S = 10", 1000, 0, 0, 10, 900, 100},
        {"unloading, S = 10", 1000, 1, 1, 10, 899, 99},
        {"window of one point", 50, 0, 0, 2, 49, 1},
        {"whole branch", 1000, 0, 0, 100, 0, 0},
        {"too small for a point", 1000, 0, 0, 0.05f, 1000, 0},
        {"empty branch", 0, 0, 0, 10, 0, 0},
        {"negative size", 100, 0, 0, -10, 110, 0},
    };
    for (const WindowCountCase& tc : cases) {
        SCOPED_TRACE(tc.label);
        // Depth = index, load = 3 * index: every window's mean is its middle index, slope 3.
        std::vector<double> d(static_cast<std::size_t>(tc.n)), f(d.size());
        for (int i = 0; i < tc.n; ++i) d[i] = i, f[i] = 3.0 * i;
        const auto w =
            FitSlidingWindows(d.data(), f.data(), tc.n, {tc.start, tc.trim, tc.size}, 100000);
        ASSERT_EQ(w.size(), tc.windows);
        if (w.empty()) continue;
        if (tc.firstLength == 0) {
            EXPECT_TRUE(std::isnan(w[0].meanDepth));
            EXPECT_TRUE(std::isnan(w[0].slope));
            continue;
        }
        EXPECT_DOUBLE_EQ(w[0].meanDepth, tc.start + (tc.firstLength - 1) / 2.0);
        if (tc.firstLength > 1) {
            EXPECT_NEAR(w[0].slope, 3.0, 1e-12);
            EXPECT_NEAR(w.back().slope, 3.0, 1e-12);
        } else {
            EXPECT_TRUE(std::isnan(w[0].slope));
        }
        EXPECT_DOUBLE_EQ(w.back().meanDepth, static_cast<double>(tc.start + tc.windows - 1) +
                                                 (tc.firstLength - 1) / 2.0);
    }
}

TEST(SlidingWindows, NegativeSizeStopsAtTheCap) {
    std::vector<double> d(100, 1.0), f(100, 1.0);
    bool capped = false;
    const auto w = FitSlidingWindows(d.data(), f.data(), 100, {0, 0, -1e30f}, 50, &capped);
    EXPECT_EQ(w.size(), 50u);
    EXPECT_TRUE(capped);
}

// ---- The four commands --------------------------------------------------------------------

class GraininessCommandTest : public ::testing::Test {
protected:
    void Load(const std::filesystem::path& file) {
        analyzer_.SetFiles({file});
        ASSERT_TRUE(AnalyzeCurve(analyzer_, 0, settings_, display_).ok());
    }
    GraphResult Run(GraphCommand command) {
        return RunGraphCommand(command, analyzer_, display_, settings_, 0);
    }
    CCurveAnalyzer analyzer_;
    CurveDisplay display_;
    Settings settings_;
};

TEST_F(GraininessCommandTest, LoadingPowerLawGivesFlatGraphAndItsParameters) {
    testing::PowerLawCurve c;
    c.hMax = 100;
    c.fMax = 2 * std::pow(100.0, 1.5);  // F = 2 h^1.5
    c.loadPoints = 400;
    const testing::TempDir scratch;
    const std::filesystem::path file = scratch.path() / "c.csv";
    testing::WriteCurve(file, c);
    Load(file);
    const GraphResult r = Run(GraphCommand::GraininessLoad);
    EXPECT_EQ(r.series.xTitle, "Depth (nm)");
    EXPECT_EQ(r.series.yTitle, "Loading (dy/dx - dy/dx(Power))");
    // 400 loading points (the reader drops the point at depth 0), windows of 40 at 0 .. 359.
    ASSERT_EQ(r.series.x.size(), 360u);
    // A window's chord differs from the tangent at its mean depth where the curve bends most.
    for (std::size_t i = 0; i < r.series.x.size(); ++i) {
        const double slope = 3 * std::sqrt(r.series.x[i]);
        EXPECT_LT(std::fabs(r.series.y[i]), (r.series.x[i] < 20 ? 0.03 : 0.003) * slope)
            << r.series.x[i];
    }
    // "a %f  m %f hf %f"
    ASSERT_EQ(r.resultMessage.rfind("a ", 0), 0u) << r.resultMessage;
    const std::size_t mAt = r.resultMessage.find("  m ");
    const std::size_t hfAt = r.resultMessage.find(" hf ");
    ASSERT_NE(mAt, std::string::npos);
    ASSERT_NE(hfAt, std::string::npos);
    EXPECT_NEAR(ParseDouble(r.resultMessage.substr(2)), 2.0, 1e-3);
    EXPECT_NEAR(ParseDouble(r.resultMessage.substr(mAt + 4)), 1.5, 1e-3);
    EXPECT_NEAR(ParseDouble(r.resultMessage.substr(hfAt + 4)), 0.0, 1e-2);
    const std::string hf = r.resultMessage.substr(hfAt + 4);
    EXPECT_EQ(hf.size() - hf.find('.'), 7u) << "six decimals: " << hf;
}

TEST_F(GraininessCommandTest, SecondDerivativeOfAStraightLoadingBranchIsZero) {
    testing::PowerLawCurve c;
    c.loadExponent = 1;
    c.loadPoints = 300;
    const testing::TempDir scratch;
    const std::filesystem::path file = scratch.path() / "c.csv";
    testing::WriteCurve(file, c);
    Load(file);
    const GraphResult r = Run(GraphCommand::Graininess2Load);
    EXPECT_EQ(r.series.yTitle, "Loading d2y/dx2");
    // 300 points read, 270 windows, one point fewer.
    ASSERT_EQ(r.series.x.size(), 269u);
    for (double y : r.series.y) EXPECT_NEAR(y, 0, 1e-9);
}

// Two neighbouring windows with the same mean depth give no point; later points close up.
TEST_F(GraininessCommandTest, WindowsWithEqualMeanDepthGiveNoSecondDerivativePoint) {
    struct Case {
        int n, repeatAt, windowLength;
    };
    for (const Case tc : {Case{100, 20, 10}, Case{400, 100, 40}}) {
        const testing::TempDir scratch;
        const std::filesystem::path file = scratch.path() / "c.csv";
        {
            std::ofstream out(file);
            out << "Depth (nm),Force (mN),Time (s),Segment\n";
            for (int i = 0; i < tc.n; ++i) {
                // The point after the window returns to the window's first depth.
                const int depth = 1 + (i == tc.repeatAt + tc.windowLength ? tc.repeatAt : i);
                out << depth << ',' << (i + 1) * 0.5 << ',' << i << ",LOAD\n";
            }
        }
        analyzer_.SetFiles({file});
        ASSERT_TRUE(analyzer_.ReadCurveFile(file).ok());
        const GraphResult r = Run(GraphCommand::Graininess2Load);
        const std::size_t windows = static_cast<std::size_t>(tc.n - tc.windowLength);
        EXPECT_EQ(r.series.x.size(), windows - 2) << tc.n;
        for (double x : r.series.x) EXPECT_FALSE(std::isnan(x));
    }
}

TEST_F(GraininessCommandTest, UnloadingCommandsAnalyseOverTheWholeDropAndKeepSettings) {
    testing::PowerLawCurve c;
    c.unloadPoints = 500;
    const testing::TempDir scratch;
    const std::filesystem::path file = scratch.path() / "c.csv";
    testing::WriteCurve(file, c);
    settings_.strategy.m_nMethod = 1;
    Load(file);
    const Settings before = settings_;
    for (GraphCommand command : {GraphCommand::GraininessUnload, GraphCommand::Graininess2Unload}) {
        const GraphResult r = Run(command);
        EXPECT_EQ(std::memcmp(&before.strategy, &settings_.strategy, sizeof before.strategy), 0);
        // The window shows the Oliver-Pharr fit over 1-100 % and holds the 1-100 % section.
        EXPECT_NEAR(analyzer_.m_dHf, c.hf, 1e-3 * c.hf);
        EXPECT_NEAR(analyzer_.m_dM, c.m, kSlopeTolerance * 1e6);
        CCurveAnalyzer section = analyzer_;
        section.SelectUnloadSection(1, 100);
        EXPECT_EQ(analyzer_.m_nFitPoints, section.m_nFitPoints);
        const int n = section.m_nFitPoints;
        const std::size_t windows = static_cast<std::size_t>(std::ceil(n * 0.9) - 1);
        if (command == GraphCommand::GraininessUnload) {
            EXPECT_EQ(r.series.yTitle, "Unloading (dy/dx - dy/dx(Power))");
            ASSERT_EQ(r.series.x.size(), windows);
            // x is the window's mean depth less hf; the power law is exact, so y is small.
            for (std::size_t i = 0; i < windows; ++i) {
                EXPECT_GT(r.series.x[i], 0);
                EXPECT_LT(r.series.x[i], c.hMax - c.hf);
                EXPECT_LT(std::fabs(r.series.y[i]), 0.02 * c.m * c.fMax / (c.hMax - c.hf));
            }
        } else {
            EXPECT_EQ(r.series.yTitle, "Unloading d2y/dx2");
            EXPECT_EQ(r.series.x.size(), windows - 1);
        }
    }
}

TEST_F(GraininessCommandTest, LoadingBranchWithoutLoadingPointsGivesEmptyGraphAndMessage) {
    const testing::TempDir scratch;
    const std::filesystem::path file = scratch.path() / "c.csv";
    {
        std::ofstream out(file);
        out << "Depth (nm),Force (mN),Time (s),Segment\n";
        for (int i = 0; i < 30; ++i) out << 100 - i << ',' << 30 - i << ',' << i << ",UNLOAD\n";
    }
    Load(file);
    const GraphResult r = Run(GraphCommand::GraininessLoad);
    EXPECT_TRUE(r.ran);
    EXPECT_TRUE(r.series.x.empty());
    EXPECT_EQ(r.resultMessage.rfind("a ", 0), 0u);
    EXPECT_TRUE(Run(GraphCommand::Graininess2Load).series.x.empty());
}

}  // namespace
}  // namespace marvek
