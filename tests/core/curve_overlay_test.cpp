#include "core/series/curve_overlay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/curve_generator.h"

namespace marvek {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Compares per grid depth, NaN matching NaN.
void ExpectBranch(const OverlayBranch& b, const std::vector<int>& n,
                  const std::vector<double>& mean, const std::vector<double>& sd,
                  const std::string& what) {
    ASSERT_EQ(b.n.size(), n.size()) << what;
    for (std::size_t g = 0; g < n.size(); ++g) {
        EXPECT_EQ(b.n[g], n[g]) << what << " n at " << g;
        for (const auto& [got, want, name] :
             {std::tuple{b.mean[g], mean[g], "mean"}, std::tuple{b.sd[g], sd[g], "sd"}}) {
            if (std::isnan(want))
                EXPECT_TRUE(std::isnan(got)) << what << " " << name << " at " << g << ": " << got;
            else
                EXPECT_NEAR(got, want, 1e-12) << what << " " << name << " at " << g;
        }
    }
}

// Two small curves worked by hand. A: loading (0,0) (10,1) (20,2), unloading from 20 nm back
// to (10,0); B: loading (0,0) (10,2) (30,4), unloading (30,4) (20,0).
const std::vector<OverlayCurve> kTwoCurves = {
    {"A", {0, 10, 20, 15, 10}, {0, 1, 2, 1, 0}},
    {"B", {0, 10, 30, 20}, {0, 2, 4, 0}},
};

TEST(CurveOverlay, MeanSdAndCountsAgreeWithHandValues) {
    const double r = std::sqrt(0.5);
    struct Case {
        const char* name;
        OverlaySettings settings;
        std::vector<double> grid;
        std::vector<int> nUp;
        std::vector<double> meanUp, sdUp;
        std::vector<int> nDown;
        std::vector<double> meanDown, sdDown;
    };
    const Case cases[] = {
        // Grid 0..30 nm: A reaches no further than 20 nm, B's unloading only from 20 nm up.
        {"absolute",
         {false, 4},
         {0, 10, 20, 30},
         {2, 2, 2, 1},
         {0, 1.5, 2.5, 4},
         {0, r, r, kNaN},
         {0, 1, 2, 1},
         {kNaN, 0, 1, 4},
         {kNaN, kNaN, std::sqrt(2.0), kNaN}},
        // Normalised: A by 20 nm and 2 mN, B by 30 nm and 4 mN. B's loading at 0.5 lies
        // between (1/3, 0.5) and (1, 1): 0.625.
        {"normalised",
         {true, 3},
         {0, 0.5, 1},
         {2, 2, 2},
         {0, 0.5625, 1},
         {0, 0.125 * r, 0},
         {0, 1, 2},
         {kNaN, 0, 1},
         {kNaN, kNaN, 0}},
    };
    for (const Case& c : cases) {
        const OverlayResult o = ComputeOverlay(kTwoCurves, c.settings);
        EXPECT_TRUE(o.reason.empty()) << c.name;
        ASSERT_EQ(o.grid.size(), c.grid.size()) << c.name;
        for (std::size_t g = 0; g < c.grid.size(); ++g)
            EXPECT_NEAR(o.grid[g], c.grid[g], 1e-12) << c.name;
        ExpectBranch(o.loading, c.nUp, c.meanUp, c.sdUp, std::string(c.name) + " loading");
        ExpectBranch(o.unloading, c.nDown, c.meanDown, c.sdDown,
                     std::string(c.name) + " unloading");
        ASSERT_EQ(o.curves.size(), 2u);
    }
    // The curves as drawn: normalised by their own largest depth and load.
    const OverlayResult n = ComputeOverlay(kTwoCurves, {true, 3});
    EXPECT_EQ(n.curves[1].depth, (std::vector<double>{0, 10 / 30.0, 1, 20 / 30.0}));
    EXPECT_EQ(n.curves[1].load, (std::vector<double>{0, 0.5, 1, 0}));
}

TEST(CurveOverlay, ABranchCountsWhereItFirstReachesTheDepthAndEndsAtItsDeepestPoint) {
    // A noisy loading goes back from 10 to 8 nm: at 9 nm its first crossing (0.9 mN) counts,
    // not the later ones (1.1, 1.25 mN). Without points after the deepest one there is no
    // unloading branch at all.
    const OverlayResult o =
        ComputeOverlay({{"C", {0, 10, 8, 12, 20}, {0, 1, 1.2, 1.4, 2}}}, {false, 21});
    ASSERT_EQ(o.grid.size(), 21u);
    EXPECT_NEAR(o.loading.mean[9], 0.9, 1e-12);
    EXPECT_NEAR(o.loading.mean[11], 1.35, 1e-12);  // on (8, 1.2) - (12, 1.4)
    EXPECT_EQ(o.loading.n[20], 1);
    for (int n : o.unloading.n) EXPECT_EQ(n, 0);
    // A creep hold at the top load belongs to the loading; unloading starts at the deepest
    // point and ends at the smallest load after it (the reloading after it is not unloading).
    const OverlayResult hold = ComputeOverlay(
        {{"D", {0, 10, 12, 12, 6, 4, 2}, {0, 2, 2, 1.8, 1, 0, 0.5}}}, {false, 7});  // 2 nm steps
    EXPECT_NEAR(hold.loading.mean[5], 2, 1e-12);                                    // 10 nm
    EXPECT_NEAR(hold.loading.mean[6], 2, 1e-12);                                    // 12 nm
    // Unloading from the first point at 12 nm: 2 mN there, not the 1.8 of the second.
    EXPECT_NEAR(hold.unloading.mean[6], 2, 1e-12);
    EXPECT_NEAR(hold.unloading.mean[4], 1.8 - 0.8 * 4 / 6.0, 1e-12);  // 8 nm: (12,1.8)-(6,1)
    EXPECT_EQ(hold.unloading.n[1], 0);              // 2 nm: only the point after the smallest load
    EXPECT_NEAR(hold.unloading.mean[2], 0, 1e-12);  // 4 nm: its last point
    // A tail at (nearly) zero load after the unloading is cut: the branch ends at the first
    // point within 1 % of the load drop (2 mN) of the smallest load, 0.01 mN at 12 nm.
    const OverlayResult tail = ComputeOverlay(
        {{"E", {0, 10, 20, 15, 12, 11, 10}, {0, 1, 2, 1, 0.01, 0.005, 0}}}, {false, 21});
    EXPECT_NEAR(tail.unloading.mean[12], 0.01, 1e-12);
    EXPECT_EQ(tail.unloading.n[11], 0);
    EXPECT_EQ(tail.unloading.n[10], 0);
}

TEST(CurveOverlay, UnusableCurvesAreNamedAndNoCurveGivesAReason) {
    const OverlayResult o = ComputeOverlay(
        {{"empty", {}, {}}, {"flat", {0, 1, 2}, {0, 0, 0}}, {"nan", {kNaN, 1, 2}, {1, kNaN, 2}}},
        {true, 5});
    ASSERT_EQ(o.skipped.size(), 2u);
    EXPECT_EQ(o.skipped[0], "empty: no points");
    EXPECT_NE(o.skipped[1].find("flat: cannot be normalised"), std::string::npos);
    ASSERT_EQ(o.curves.size(), 1u);  // "nan" keeps its one finite point
    EXPECT_EQ(o.curves[0].depth, (std::vector<double>{1}));
    EXPECT_EQ(ComputeOverlay({}, {}).reason, "no curves chosen");
    const OverlayResult none = ComputeOverlay({{"empty", {}, {}}}, {});
    EXPECT_EQ(none.reason, "no curve has usable points");
    EXPECT_TRUE(none.grid.empty());
}

TEST(CurveOverlay, CsvHasOneRowPerGridDepthWithEmptyFieldsForMissingValues) {
    const std::string csv = FormatOverlayCsv(ComputeOverlay(kTwoCurves, {false, 4}), false);
    EXPECT_EQ(csv,
              "depth [nm],loading n,loading mean [mN],loading SD [mN],unloading n,"
              "unloading mean [mN],unloading SD [mN]\n"
              "0,2,0,0,0,,\n"
              "10,2,1.5,0.7071067812,1,0,\n"
              "20,2,2.5,0.7071067812,2,1,1.414213562\n"
              "30,1,4,,1,4,\n");
}

TEST(CurveOverlay, ReadsCurvesAsAnalysedAndNamesTheOnesItCannotRead) {
    testing::TempDir dir;
    testing::CurveShape shape;
    shape.hMax = 120;
    const auto file =
        dir.Write("indent.csv", testing::CurveText(testing::GenerateCurve(shape), {}));
    std::vector<std::string> failures;
    const auto curves = ReadOverlayCurves({file.string(), (dir.path() / "missing.csv").string()},
                                          Settings{}, failures);
    ASSERT_EQ(curves.size(), 1u);
    EXPECT_EQ(curves[0].label, file.string());
    EXPECT_GT(curves[0].depth.size(), 50u);
    EXPECT_NEAR(*std::max_element(curves[0].depth.begin(), curves[0].depth.end()), 120, 1);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("missing.csv"), std::string::npos);
}

}  // namespace
}  // namespace marvek
