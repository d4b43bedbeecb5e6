// The windows the result set reads (Martens slope band, hold band) and the fit covariance behind
// the uncertainty, on curves built point by point so that each window's edges matter.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/analysis/iso_quantities.h"
#include "core/analysis/uncertainty.h"

namespace marvek {
namespace {

struct Curve {
    std::vector<double> depth, load, time;
    std::vector<char> segment;
    void Add(double h, double f, char code) {
        time.push_back(static_cast<double>(depth.size()));
        depth.push_back(h), load.push_back(f), segment.push_back(code);
    }
    CurveView View() const { return {depth, load, time, segment}; }
};

// Loading to 10 mN on h = k sqrt(F) between 5 and 9 mN only: below and above it bends away, so
// a window reaching past 50-90 % of Fmax gets another slope.
TEST(IsoWindows, MartensSlopeReadsOnlyFiftyToNinetyPercentOfTheLargestLoad) {
    const double k = 30;
    Curve c;
    for (int i = 0; i <= 100; ++i) {
        const double f = i / 10.0;
        double h = k * std::sqrt(f);
        if (f < 5) h -= 8 * (5 - f);
        if (f > 9) h += 40 * (f - 9);
        c.Add(h, f, 'L');
    }
    for (int i = 1; i <= 20; ++i) c.Add(c.depth[100] - 2.0 * i, 10 - 0.5 * i, 'U');
    IsoOptions options;
    const IsoQuantities q = ComputeIsoQuantities(c.View(), options);
    // F = c HM h^2 on the line: HM = 1/(c k^2) mN/nm^2, 1e9 MPa per mN/nm^2.
    const double expected = 1e9 / (options.surfaceCoefficient * k * k);
    ASSERT_TRUE(q.hMs.present()) << q.hMs.reason;
    EXPECT_NEAR(q.hMs.value, expected, 1e-9 * expected);
    EXPECT_NEAR(q.hMsR2.value, 1, 1e-12);
}

// A detected top hold: the last 3 mN of loading and the start of unloading carry the hold label.
// The hold proper starts and ends within max(force accuracy, 0.5 % of 100 mN) of the hold force.
Curve HoldCurve() {
    Curve c;
    for (int i = 0; i < 20; ++i) c.Add(50.0 * i, 5.0 * i, 'L');
    const double loads[] = {97, 98, 99, 100, 100, 100, 100, 100, 100, 99, 98};
    const double depths[] = {990, 992, 994, 1000, 1001, 1002, 1003, 1004, 1005, 1005.5, 1006};
    for (int i = 0; i < 11; ++i) c.Add(depths[i], loads[i], 'T');
    for (int i = 1; i <= 10; ++i) c.Add(1006 - 30.0 * i, 98 - 9.0 * i, 'U');
    return c;
}

struct HoldCase {
    const char* name;
    double forceAccuracy;  // mN
    int first, last;       // of the hold proper, as points of the 'T' run
};

const HoldCase kHoldCases[] = {
    {"HalfAPercentOfTheHoldForce", 0.02, 3, 8},
    {"ForceAccuracyWhenLarger", 2.5, 1, 10},
};

class HoldBand : public ::testing::TestWithParam<HoldCase> {};

TEST_P(HoldBand, CreepAndHoldTimeRunOverTheHoldProper) {
    const HoldCase& hc = GetParam();
    const Curve c = HoldCurve();
    IsoOptions options;
    options.holdBand = hc.forceAccuracy;
    const IsoQuantities q = ComputeIsoQuantities(c.View(), options);
    const auto first = static_cast<std::size_t>(20 + hc.first);
    const auto last = static_cast<std::size_t>(20 + hc.last);
    ASSERT_TRUE(q.cIT.present()) << q.cIT.reason;
    EXPECT_DOUBLE_EQ(q.cIT.value, (c.depth[last] - c.depth[first]) / c.depth[first] * 100);
    EXPECT_DOUBLE_EQ(q.holdTime.value, c.time[last] - c.time[first]);
    EXPECT_FALSE(q.rIT.present());
}

INSTANTIATE_TEST_SUITE_P(Cases, HoldBand, ::testing::ValuesIn(kHoldCases),
                         [](const ::testing::TestParamInfo<HoldCase>& p) {
                             return std::string(p.param.name);
                         });

// The linearised covariance satisfies cov * (J^T J) = s^2 I with s^2 = SS / (n - 3); J and SS
// are computed here on their own. Six points make the degrees of freedom show (3 against 4).
TEST(FitCovariance, IsTheResidualVarianceOnNMinusThreeTimesTheInverseNormalMatrix) {
    const double alpha = 0.02, m = 1.4, hf = 40;
    const std::vector<double> depth = {60, 70, 80, 90, 100, 110};
    const std::vector<double> noise = {0.01, -0.02, 0.015, 0.005, -0.01, 0.02};
    std::vector<double> load;
    for (std::size_t i = 0; i < depth.size(); ++i)
        load.push_back(alpha * std::pow(depth[i] - hf, m) + noise[i]);
    Covariance3 cov{};
    ASSERT_TRUE(PowerLawFitCovariance(depth, load, alpha, m, hf, cov));

    double normal[3][3] = {}, ss = 0;
    for (std::size_t i = 0; i < depth.size(); ++i) {
        const double t = depth[i] - hf;
        // d/d(hf), d/dm, d/d(alpha) of alpha t^m
        const double j[3] = {-alpha * m * std::pow(t, m - 1), alpha * std::pow(t, m) * std::log(t),
                             std::pow(t, m)};
        for (int r = 0; r < 3; ++r)
            for (int col = 0; col < 3; ++col) normal[r][col] += j[r] * j[col];
        ss += noise[i] * noise[i];
    }
    const double s2 = ss / (6 - 3);
    for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 3; ++col) {
            double product = 0;
            for (int k = 0; k < 3; ++k) product += cov[r][k] * normal[k][col];
            EXPECT_NEAR(product / s2, r == col ? 1.0 : 0.0, 1e-6) << r << "," << col;
        }
    // Three points leave no degree of freedom for the variance.
    EXPECT_FALSE(PowerLawFitCovariance(std::span(depth).first(3), std::span(load).first(3), alpha,
                                       m, hf, cov));
}

}  // namespace
}  // namespace marvek
