#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "core/analysis/curve_analysis.h"
#include "support/curve_generator.h"
#include "support/literal_power_law.h"

namespace marvek {
namespace {

using testing::CurveShape;

// Loads linearly to 10 mN at 100 nm and unloads along F = 10*((h - 40)/60)^1.5.
std::string TextbookCurve() {
    std::string text = "Depth (nm),Force (mN)\n";
    for (int i = 1; i <= 100; ++i) text += std::to_string(i) + "," + std::to_string(0.1 * i) + "\n";
    for (int i = 1; i <= 100; ++i) {
        const double f = 10 - 0.1 * i;
        const double h = 40 + 60 * std::pow(f / 10, 1 / 1.5);
        char line[80];
        std::snprintf(line, sizeof line, "%.15g,%.15g\n", h, f);
        text += line;
    }
    return text;
}

class UnloadAnalysis : public ::testing::Test {
protected:
    void SetUp() override {
        file = dir.Write("textbook.csv", TextbookCurve());
        a.SetFiles({file});
    }
    testing::TempDir dir;
    std::filesystem::path file;
    CCurveAnalyzer a;
};

TEST_F(UnloadAnalysis, OliverPharrRecoversTheTextbookCurve) {
    ASSERT_TRUE(FitCurveUnload(a, 0, {AnalysisMethod::OliverPharr, 0, 0.75, 20, 82}).ok());
    // Within what the grid search resolves on a 20-82 % section.
    EXPECT_NEAR(a.m_dHf, 40, 0.2);
    EXPECT_NEAR(a.m_dM, 1.5, 0.01);
    EXPECT_EQ(a.m_dHmax, 100);
    EXPECT_NEAR(a.m_dFmax, 10, 1e-12);
    EXPECT_NEAR(a.m_dStiffness, 0.25, 0.001);
    EXPECT_NEAR(a.m_dHc, 70, 0.1);
    EXPECT_NEAR(a.m_dHr, 60, 0.15);
    EXPECT_NEAR(a.m_dRSquared, 1, 1e-6);
}

TEST_F(UnloadAnalysis, DoernerNixFitsTheTopOfTheUnloading) {
    ASSERT_TRUE(FitCurveUnload(a, 0, {AnalysisMethod::DoernerNix, 0, 0.75, 82, 100}).ok());
    EXPECT_EQ(a.m_dHf, 0);
    // The section is the peak and the unloading points down to 82 % of the drop.
    EXPECT_EQ(a.m_nFitPoints, 19);
    EXPECT_EQ(a.m_dHmax, 100);
    EXPECT_NEAR(a.m_dHr, -a.m_dIntercept / a.m_dStiffness, 1e-12);
    // A line through the top of a convex branch is less steep than its tangent at the top, so it
    // meets zero load before the tangent does (60 nm) but after hf (40 nm).
    EXPECT_LT(a.m_dHr, 60);
    EXPECT_GT(a.m_dHr, 40);
    EXPECT_NEAR(a.m_dHc, 100 - 0.75 * (100 - a.m_dHr), 1e-12);
}

TEST_F(UnloadAnalysis, ComplianceShiftsDepthsByLoad) {
    ASSERT_TRUE(FitCurveUnload(a, 0, {AnalysisMethod::OliverPharr, 1.0, 0.75, 20, 82}).ok());
    EXPECT_NEAR(a.m_dHmax, 90, 1e-9);  // 10 nm less at 10 mN
}

TEST_F(UnloadAnalysis, MethodsKeepTheOtherMethodsMembers) {
    ASSERT_TRUE(FitCurveUnload(a, 0, {AnalysisMethod::OliverPharr, 0, 0.75, 20, 82}).ok());
    const double alpha = a.m_dAlpha, m = a.m_dM;
    ASSERT_TRUE(FitCurveUnload(a, 0, {AnalysisMethod::DoernerNix, 0, 0.75, 82, 100}).ok());
    EXPECT_EQ(a.m_dAlpha, alpha);
    EXPECT_EQ(a.m_dM, m);
    const double intercept = a.m_dIntercept;
    ASSERT_TRUE(FitCurveUnload(a, 0, {AnalysisMethod::OliverPharr, 0, 0.75, 20, 82}).ok());
    EXPECT_EQ(a.m_dIntercept, intercept);
}

// Mended: a file that cannot be read must not leave the previous curve's results looking new.
TEST_F(UnloadAnalysis, FailedReadIsReportedAndChangesNothing) {
    ASSERT_TRUE(FitCurveUnload(a, 0, {AnalysisMethod::OliverPharr, 0, 0.75, 20, 82}).ok());
    const double hc = a.m_dHc;
    a.SetFiles({dir.path() / "gone.csv", dir.Write("bad.csv", "no header\n1,2\n")});
    EXPECT_EQ(FitCurveUnload(a, 0, {AnalysisMethod::OliverPharr, 0, 0.75, 20, 82}).code(),
              ErrorCode::CannotOpen);
    EXPECT_EQ(FitCurveUnload(a, 1, {AnalysisMethod::DoernerNix, 0, 0.75, 82, 100}).code(),
              ErrorCode::UnknownLayout);
    EXPECT_EQ(FitCurveUnload(a, 5, {AnalysisMethod::OliverPharr, 0, 0.75, 20, 82}).code(),
              ErrorCode::CannotOpen);
    // A method without an unloading fit reads nothing either.
    EXPECT_EQ(FitCurveUnload(a, 0, {AnalysisMethod::Other}).code(), ErrorCode::BadValue);
    EXPECT_EQ(a.m_dHc, hc);
}

TEST(UnloadSection, PeakTiesGoToTheEarlierPointAndTheBottomIsExcluded) {
    CCurveAnalyzer a;
    const double depth[] = {1, 2, 4, 4, 3, 2, 1.5};
    const double load[] = {1, 4, 2, 2, 1, 0.5, 0.5};
    for (int i = 0; i < 7; ++i) {
        a.m_pDepth[i] = depth[i];
        a.m_pLoad[i] = load[i];
    }
    a.m_nPoints = 7;
    a.SelectUnloadSection(0, 100);
    // Products 1, 8, 8, 8, 3, 1, 0.75: the peak is point 1; the bottom is point 5 (first 0.5).
    ASSERT_EQ(a.m_nFitPoints, 4);
    EXPECT_EQ(a.m_pFitDepth[0], 2);
    EXPECT_EQ(a.m_pFitDepth[3], 3);
    a.SelectUnloadSection(50, 100);  // lo = 2.25: only the peak itself
    EXPECT_EQ(a.m_nFitPoints, 1);
    a.m_nPoints = 0;
    a.SelectUnloadSection(0, 100);
    EXPECT_EQ(a.m_nFitPoints, 0);
}

// The power-law search in the analyzer equals the plain reference on real and generated data.
TEST(PowerLawReference, AnalyzerMatchesLiteralSearch) {
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(MARVEK_TEST_DATA "/real"))
        if (e.path().extension() == ".csv") files.push_back(e.path());
    testing::TempDir dir;
    for (unsigned seed = 1; seed <= 4; ++seed) {
        CurveShape shape;
        shape.seed = seed;
        shape.noiseDepth = 0.2;
        shape.noiseLoad = 0.01;
        shape.topHoldPoints = 20;
        shape.unloadToFraction = 0.1;
        files.push_back(dir.Write("gen" + std::to_string(seed) + ".csv",
                                  testing::CurveText(testing::GenerateCurve(shape), {})));
    }
    for (const auto& file : files) {
        CCurveAnalyzer a;
        a.SetFiles({file});
        ASSERT_TRUE(FitCurveUnload(a, 0, {AnalysisMethod::OliverPharr, 0, 0.75, 20, 82}).ok());
        double alpha = 0, m = 0, hf = 0;
        const double r2 =
            testing::LiteralFitPowerLaw(alpha, m, hf, a.m_pFitDepth.data(), a.m_pFitLoad.data(),
                                        a.m_nFitPoints, a.GetMaxDepth());
        // Both NaN (no accepted candidate, as for a load-only curve) counts as equal.
        const auto same = [](double x, double y) {
            constexpr double kRelative = 1e-9;
            return (std::isnan(x) && std::isnan(y)) ||
                   std::fabs(x - y) <= kRelative * std::max(std::fabs(y), 1e-300);
        };
        // An empty section has no hf: the literal search's start value 9e99 is not one.
        if (a.m_nFitPoints == 0) hf = std::numeric_limits<double>::quiet_NaN();
        EXPECT_PRED2(same, a.m_dHf, hf) << file;
        EXPECT_PRED2(same, a.m_dM, m) << file;
        EXPECT_PRED2(same, a.m_dAlpha, alpha) << file;
        EXPECT_PRED2(same, a.m_dRSquared, r2) << file;
    }
}

}  // namespace
}  // namespace marvek
