#include "core/analysis/fitting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/analysis/curve_analyzer.h"
#include "support/literal_power_law.h"

namespace marvek {
namespace {

// NIST StRD "Norris" (lower difficulty) with its certified regression statistics.
TEST(FitLine, ReproducesNistNorrisCertifiedValues) {
    const std::vector<double> x = {0.2,   337.4, 118.2, 884.6, 10.1,  226.5, 666.3, 996.3, 448.6,
                                   777.0, 558.2, 0.4,   0.6,   775.5, 666.9, 338.0, 447.5, 11.6,
                                   556.0, 228.1, 995.8, 887.6, 120.2, 0.3,   0.3,   556.8, 339.1,
                                   887.2, 999.0, 779.0, 11.1,  118.3, 229.2, 669.1, 448.9, 0.5};
    const std::vector<double> y = {0.1,   338.8, 118.1, 888.0, 9.2,   228.1, 668.5, 998.5, 449.1,
                                   778.9, 559.2, 0.3,   0.1,   778.1, 668.8, 339.3, 448.9, 10.8,
                                   557.7, 228.3, 998.0, 888.8, 119.6, 0.3,   0.6,   557.6, 339.3,
                                   888.0, 998.5, 778.9, 10.2,  117.6, 228.9, 668.4, 449.2, 0.2};
    const LineFit fit = FitLine(x.data(), y.data(), static_cast<int>(x.size()));
    constexpr double kCertifiedDigits = 1e-9;  // relative; the sums lose a few of 15 digits
    EXPECT_NEAR(fit.slope, 1.00211681802045, 1.00211681802045 * kCertifiedDigits);
    EXPECT_NEAR(fit.intercept, -0.262323073774029, 0.262323073774029 * 1e-7);
    EXPECT_NEAR(fit.rSquared, 0.999993745883712, kCertifiedDigits);
}

TEST(FitLine, CollinearPointsGiveExactLine) {
    const double x[] = {1, 2, 3, 4, 5};
    const double y[] = {-1, 2, 5, 8, 11};
    const LineFit fit = FitLine(x, y, 5);
    EXPECT_DOUBLE_EQ(fit.slope, 3);
    EXPECT_DOUBLE_EQ(fit.intercept, -4);
    EXPECT_NEAR(fit.rSquared, 1, 1e-12);
}

class PowerLawFit : public ::testing::Test {
protected:
    // Loads a curve whose largest depth is maxDepth so the search window is defined.
    void SetMaxDepth(double maxDepth) {
        analyzer.m_nPoints = 2;
        analyzer.m_pDepth[0] = 1;
        analyzer.m_pDepth[1] = maxDepth;
    }
    CCurveAnalyzer analyzer;
};

TEST_F(PowerLawFit, RecoversKnownParameters) {
    std::vector<double> x, y;
    for (int h = 11; h <= 100; ++h) {
        x.push_back(h);
        y.push_back(2 * std::pow(h - 10.0, 1.5));
    }
    SetMaxDepth(100);
    double alpha = 0, m = 0, hf = 0;
    const double r2 = analyzer.FitPowerLaw(alpha, m, hf, x.data(), y.data(), 90);
    // The grid search settles once a sweep no longer improves: hf lands within a grid step.
    EXPECT_NEAR(hf, 10, 0.02);
    EXPECT_NEAR(m, 1.5, 0.005);
    EXPECT_NEAR(alpha, 2, 0.02);
    EXPECT_NEAR(r2, 1, 1e-5);
}

TEST_F(PowerLawFit, NeverAcceptsExponentBelowOne) {
    std::vector<double> x, y;
    for (int h = 1; h <= 50; ++h) {
        x.push_back(h);
        y.push_back(100.0 / h);  // falling: every candidate's log-log slope is negative
    }
    SetMaxDepth(50);
    double alpha = 0, m = 0, hf = 0;
    EXPECT_EQ(analyzer.FitPowerLaw(alpha, m, hf, x.data(), y.data(), 50), 0);
    EXPECT_EQ(hf, 1);  // the smallest x
    EXPECT_TRUE(std::isnan(alpha));
    EXPECT_TRUE(std::isnan(m));
}

// Non-positive loads are left out of the log-log line but still count in the error.
TEST_F(PowerLawFit, NonPositiveLoadsOnlyWeighInTheError) {
    std::vector<double> x, y;
    for (int h = 11; h <= 100; ++h) {
        x.push_back(h);
        y.push_back(2 * std::pow(h - 10.0, 1.5));
    }
    x.push_back(10.5);
    y.push_back(0);
    SetMaxDepth(100);
    double alpha = 0, m = 0, hf = 0, a2 = 0, m2 = 0, hf2 = 0;
    const double r2 = analyzer.FitPowerLaw(alpha, m, hf, x.data(), y.data(), 91);
    const double r2Literal = testing::LiteralFitPowerLaw(a2, m2, hf2, x.data(), y.data(), 91, 100);
    EXPECT_EQ(hf, hf2);
    EXPECT_EQ(r2, r2Literal);
    EXPECT_LT(hf, 10.5);
    EXPECT_NEAR(m, 1.5, 0.05);
}

TEST_F(PowerLawFit, EmptyAndDegenerateInputEndsQuickly) {
    SetMaxDepth(10);
    double alpha = 0, m = 0, hf = 0;
    EXPECT_EQ(analyzer.FitPowerLaw(alpha, m, hf, nullptr, nullptr, 0), 0);
    const double same[] = {5, 5, 5};
    const double load[] = {1, 1, 1};
    EXPECT_EQ(analyzer.FitPowerLaw(alpha, m, hf, same, load, 3), 0);
    EXPECT_EQ(hf, 5);
}

TEST(MaxDepth, EmptyCurveGivesTheStartValue) {
    CCurveAnalyzer analyzer;
    EXPECT_EQ(analyzer.GetMaxDepth(), -9e9);
    EXPECT_EQ(analyzer.GetMaxLoad(), -9e9);
}

}  // namespace
}  // namespace marvek
