// Pop-in detection, the Hertz fit before the first pop-in and the series statistics, on
// synthetic curves of known truth, on measured curves and on a workbook read by hand.

#include "core/popins/popins.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "core/io/parsed_curve.h"
#include "core/popins/sorted_window.h"
#include "support/popin_curves.h"

namespace marvek::popins {
namespace {

using testing::GeneratedBurst;
using testing::MakePopinCurve;
using testing::PopinCurveShape;

PopinResult Find(const testing::PopinCurve& c, PopinSettings s = {}) {
    return FindPopins(std::span<const double>(c.depth), std::span<const double>(c.load), s);
}

// tauMax worked in SI units, independently of the mN/nm/GPa path of the code.
double TauMaxSi(double loadMn, double erGpa, double radiusNm) {
    const double p = loadMn * 1e-3, er = erGpa * 1e9, r = radiusNm * 1e-9;
    const double pi3 = std::pow(std::numbers::pi, 3);
    return 0.31 * std::cbrt(6 * er * er * p / (pi3 * r * r)) * 1e-9;
}

struct SyntheticCase {
    const char* name;
    double radius, er, maxLoad;
    int points;
    std::vector<GeneratedBurst> bursts;
    double noiseDepth, noiseLoad;
    int approach;
};

class SyntheticPopins : public ::testing::TestWithParam<SyntheticCase> {};

TEST_P(SyntheticPopins, RecoversLoadDepthWidthRadiusAndShearStress) {
    const SyntheticCase& tc = GetParam();
    for (std::uint64_t seed = 1; seed <= 5; ++seed) {
        PopinCurveShape shape;
        shape.radius = tc.radius;
        shape.reducedModulus = tc.er;
        shape.maxLoad = tc.maxLoad;
        shape.points = tc.points;
        shape.bursts = tc.bursts;
        shape.noiseDepth = tc.noiseDepth;
        shape.noiseLoad = tc.noiseLoad;
        shape.approachPoints = tc.approach;
        shape.h0 = 3;
        shape.seed = seed;
        const auto curve = MakePopinCurve(shape);
        PopinSettings s;
        s.reducedModulus = tc.er;
        const PopinResult r = Find(curve, s);
        ASSERT_EQ(r.popins.size(), curve.truth.size()) << tc.name << " seed " << seed;
        const double loadStep = tc.maxLoad / tc.points;
        for (std::size_t k = 0; k < r.popins.size(); ++k) {
            const Popin& p = r.popins[k];
            const auto& t = curve.truth[k];
            // The last sample before the burst lies within one load step below it.
            EXPECT_NEAR(p.load, t.load - loadStep / 2, loadStep / 2 + 4 * tc.noiseLoad)
                << tc.name << " seed " << seed << " pop-in " << k;
            EXPECT_NEAR(p.depth, t.depth, 2.0) << tc.name << " seed " << seed;
            EXPECT_NEAR(p.width, t.width, 0.2 * t.width) << tc.name << " seed " << seed;
        }
        EXPECT_NEAR(r.hertz.radius, tc.radius, 0.1 * tc.radius) << tc.name << " seed " << seed;
        EXPECT_NEAR(r.hertz.h0, shape.h0, 2.0) << tc.name;
        EXPECT_GT(r.hertz.r2, 0.99) << tc.name;
        const double truth = TauMaxSi(curve.truth[0].load, tc.er, tc.radius);
        EXPECT_NEAR(r.tauMax, truth, 0.1 * truth) << tc.name << " seed " << seed;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Curves, SyntheticPopins,
    ::testing::Values(
        SyntheticCase{"sharp_small_radius", 200, 180, 1.0, 500, {{0.45, 12, 0}}, 0.3, 0.0005},
        SyntheticCase{"large_radius_wide", 2000, 220, 6.0, 800, {{3.1, 40, 0}}, 0.5, 0.002},
        SyntheticCase{"burst_over_samples", 500, 200, 2.0, 600, {{1.2, 25, 4}}, 0.3, 0.001},
        SyntheticCase{"narrow", 500, 200, 2.0, 1000, {{0.8, 5, 0}}, 0.2, 0.0005},
        SyntheticCase{"two_bursts", 1000, 200, 4.0, 800, {{1.5, 15, 0}, {3.0, 20, 0}}, 0.3, 0.001},
        SyntheticCase{"with_approach", 500, 200, 2.0, 600, {{1.0, 18, 2}}, 0.4, 0.001, 40}),
    [](const auto& param) { return std::string(param.param.name); });

// The detector's sorted window against the plain selections it replaced (the reference): the
// same median and median deviation, bit for bit, as a window of ties, infinities and ordinary
// values moves along by a few values at a time.
double SelectedMedian(std::vector<double> v) {
    const std::size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(mid), v.end());
    double m = v[mid];
    if (v.size() % 2 == 0) m = (m + *std::max_element(v.begin(), v.begin() + mid)) / 2;
    return m;
}

TEST(Popins, SortedWindowGivesTheSelectionsMedianDeviationAndPopins) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> uniform(-3, 3);
    std::uniform_int_distribution<int> kind(0, 19), tie(-2, 2), move(1, 6), width(1, 25);
    auto draw = [&]() -> double {
        const int k = kind(rng);
        if (k < 2) return k == 0 ? -HUGE_VAL : HUGE_VAL;
        if (k < 8) return 0.5 * tie(rng);  // ties
        return uniform(rng);
    };
    for (int run = 0; run < 200; ++run) {
        SortedWindow window;
        std::deque<double> values;
        const std::size_t size = static_cast<std::size_t>(width(rng));
        for (int moved = 0; moved < 40; ++moved) {
            for (int k = move(rng); k > 0; --k) {
                const double v = draw();
                if (values.size() == size && run % 2 == 0) {
                    window.Replace(values.front(), v);
                } else {
                    window.Add(v);
                    if (values.size() == size) window.Remove(values.front());
                }
                if (values.size() == size) values.pop_front();
                values.push_back(v);
            }
            const std::vector<double> v(values.begin(), values.end());
            const double base = SelectedMedian(v);
            ASSERT_EQ(window.Median(), base);
            if (!std::isfinite(base)) continue;
            std::vector<double> deviation;
            for (double d : v) deviation.push_back(std::abs(d - base));
            ASSERT_EQ(window.MedianDeviation(base), SelectedMedian(deviation));
        }
    }
    // The whole detector, window moves and restarts after bursts included: the same pop-ins.
    for (std::uint64_t seed = 1; seed <= 40; ++seed) {
        PopinCurveShape shape;
        shape.seed = seed;
        shape.points = 400 + 40 * static_cast<int>(seed);
        shape.noiseDepth = 0.05 * static_cast<double>(seed % 8);
        shape.approachPoints = static_cast<int>(seed % 3) * 20;
        shape.bursts = {
            {0.3 + 0.01 * static_cast<double>(seed), 4 + 0.2 * static_cast<double>(seed), 1},
            {1.2, 6, 3}};
        const testing::PopinCurve c = MakePopinCurve(shape);
        const auto fast = FindBursts(c.depth, c.load, {});
        const auto plain = FindAdaptiveBurstsBySelection(c.depth, c.load, {});
        ASSERT_EQ(fast.size(), plain.size()) << "seed " << seed;
        for (std::size_t k = 0; k < fast.size(); ++k) {
            EXPECT_EQ(fast[k].first, plain[k].first);
            EXPECT_EQ(fast[k].last, plain[k].last);
            EXPECT_EQ(fast[k].width, plain[k].width);
            EXPECT_EQ(fast[k].depth, plain[k].depth);
        }
    }
}

TEST(Popins, NoFalsePositiveOnNoisyHertzianCurves) {
    for (double noise : {0.1, 0.5, 1.5})
        for (double radius : {200.0, 2000.0})
            for (std::uint64_t seed = 1; seed <= 10; ++seed) {
                PopinCurveShape shape;
                shape.radius = radius;
                shape.maxLoad = radius / 200;
                shape.noiseDepth = noise;
                shape.noiseLoad = 0.001;
                shape.approachPoints = 30;
                shape.seed = seed;
                const PopinResult r = Find(MakePopinCurve(shape));
                EXPECT_TRUE(r.popins.empty())
                    << "noise " << noise << " radius " << radius << " seed " << seed << ": "
                    << r.popins.front().load << " mN, width " << r.popins.front().width;
                EXPECT_EQ(r.note, "no pop-in found");
                // Without a pop-in the whole loading is fitted: still the sphere's K.
                const double k = 4.0 / 3 * 200e-6 * std::sqrt(radius);
                EXPECT_NEAR(r.hertz.K, k, 0.1 * k) << "noise " << noise << " seed " << seed;
            }
}

// Depth excursions that are no pop-in: a single sample off by 15 nm that comes back, and a gap
// in the record over which depth and load advanced together along the loading.
TEST(Popins, SpikesAndRecordGapsAreNoPopins) {
    for (std::uint64_t seed = 1; seed <= 5; ++seed) {
        PopinCurveShape shape;
        shape.seed = seed;
        shape.points = 800;
        const auto clean = MakePopinCurve(shape);
        auto spike = clean;
        spike.depth[300] += 15;
        EXPECT_TRUE(Find(spike).popins.empty()) << "spike, seed " << seed;
        testing::PopinCurve gap;
        for (std::size_t k = 0; k < clean.depth.size(); ++k)
            if (k <= 400 || k >= 480) {
                gap.depth.push_back(clean.depth[k]);
                gap.load.push_back(clean.load[k]);
            }
        const PopinResult r = Find(gap);
        EXPECT_TRUE(r.popins.empty()) << "gap, seed " << seed << ": " << r.popins.front().load;
    }
}

TEST(Popins, ExactHertzCurveGivesRadiusBackWithinATenthOfAPercent) {
    for (double radius : {150.0, 800.0, 5000.0}) {
        PopinCurveShape shape;
        shape.radius = radius;
        shape.reducedModulus = 150;
        shape.h0 = 7.5;
        shape.noiseDepth = 0;
        shape.noiseLoad = 0;
        shape.bursts = {{0.6 * shape.maxLoad, 20, 0}};
        const auto curve = MakePopinCurve(shape);
        PopinSettings s;
        s.reducedModulus = 150;
        const PopinResult r = Find(curve, s);
        ASSERT_FALSE(r.popins.empty());
        EXPECT_NEAR(r.hertz.radius, radius, 1e-3 * radius);
        EXPECT_NEAR(r.hertz.h0, 7.5, 0.01);
        EXPECT_GT(r.hertz.r2, 0.999999);
        EXPECT_EQ(r.hertz.depthTo, curve.depth[r.popins[0].first]);
        EXPECT_NEAR(r.popins[0].depth, curve.depth[r.popins[0].first], 0.01);
        // The radius given instead: Er comes back from K.
        PopinSettings byRadius;
        byRadius.tipRadius = radius;
        const PopinResult rr = Find(curve, byRadius);
        EXPECT_NEAR(rr.hertz.reducedModulus, 150, 0.15);
        EXPECT_NEAR(rr.tauMax, TauMaxSi(rr.popins[0].load, 150, radius), 1e-3 * rr.tauMax);
        // The fitted curve passes through the data it was fitted to.
        ASSERT_FALSE(r.hertz.curveDepth.empty());
        const double k = r.hertz.K, h0 = r.hertz.h0;
        EXPECT_NEAR(r.hertz.curveLoad.back(), k * std::pow(r.hertz.curveDepth.back() - h0, 1.5),
                    1e-12);
        EXPECT_NEAR(r.hertz.curveLoad.back(), r.popins[0].load, 1e-4 * r.popins[0].load);
    }
}

TEST(Popins, ShearStressUnitsAndShearModulusFraction) {
    struct Case {
        double load, er, radius;
    };
    for (const Case& c : {Case{1, 100, 1000}, Case{0.05, 250, 150}, Case{20, 70, 10000}})
        EXPECT_NEAR(MaxShearStress(c.load, c.er, c.radius), TauMaxSi(c.load, c.er, c.radius),
                    1e-9 * TauMaxSi(c.load, c.er, c.radius));
    EXPECT_TRUE(std::isnan(MaxShearStress(1, kNaN, 100)));
    EXPECT_NEAR(RadiusFromReducedModulus(0.02, ReducedModulusFromRadius(0.02, 640)), 640, 1e-9);
    PopinCurveShape shape;
    shape.bursts = {{1.0, 20, 0}};
    shape.noiseDepth = 0;
    shape.noiseLoad = 0;
    PopinSettings s;
    s.reducedModulus = 200;
    s.sampleModulus = 260;
    s.samplePoisson = 0.3;
    const PopinResult r = Find(MakePopinCurve(shape), s);
    EXPECT_NEAR(r.tauMaxOverShear, r.tauMax / (260 / 2.6), 1e-12);
}

TEST(Popins, NoModulusLeavesErRadiusAndStressMissingWithAReason) {
    PopinCurveShape shape;
    shape.bursts = {{1.0, 20, 0}};
    const PopinResult r = Find(MakePopinCurve(shape));
    ASSERT_EQ(r.popins.size(), 1u);
    EXPECT_TRUE(std::isfinite(r.hertz.K));
    EXPECT_TRUE(std::isnan(r.hertz.reducedModulus));
    EXPECT_TRUE(std::isnan(r.hertz.radius));
    EXPECT_TRUE(std::isnan(r.tauMax));
    EXPECT_NE(r.hertz.reason.find("no reduced modulus"), std::string::npos);
}

TEST(Popins, ThresholdRuleTakesTheSampleBeforeTheBurstAndRunsWhileStepsStayLarge) {
    struct Case {
        const char* name;
        std::vector<double> depth, load;
        double minJump, minLoad;
        std::vector<Popin> expected;  // load, depth, width, first, last
    };
    const std::vector<Case> cases = {
        {"one step",
         {1, 2, 3, 10, 11, 12},
         {0.1, 0.2, 0.3, 0.4, 0.5, 0.6},
         5,
         0,
         {{0.3, 3, 7, 2, 3}}},
        {"run of steps",
         {1, 2, 8, 14, 15, 21, 22},
         {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7},
         5,
         0,
         {{0.2, 2, 12, 1, 3}, {0.5, 15, 6, 4, 5}}},
        {"below min load",
         {1, 9, 10, 11, 19, 20},
         {0.01, 0.02, 0.03, 0.04, 0.05, 0.06},
         5,
         0.03,
         {{0.04, 11, 8, 3, 4}}},
        {"step equal to the threshold counts",
         {0, 5, 6},
         {0.1, 0.2, 0.3},
         5,
         0.1,
         {{0.1, 0, 5, 0, 1}}},
        {"after the maximum load ignored", {1, 2, 3, 20}, {0.1, 0.2, 0.3, 0.1}, 5, 0, {}},
    };
    for (const Case& c : cases) {
        PopinSettings s;
        s.minJump = c.minJump;
        s.minLoad = c.minLoad;
        const auto found = FindBursts(c.depth, c.load, s);
        ASSERT_EQ(found.size(), c.expected.size()) << c.name;
        for (std::size_t k = 0; k < found.size(); ++k) {
            EXPECT_EQ(found[k].load, c.expected[k].load) << c.name;
            EXPECT_EQ(found[k].depth, c.expected[k].depth) << c.name;
            EXPECT_EQ(found[k].width, c.expected[k].width) << c.name;
            EXPECT_EQ(found[k].first, c.expected[k].first) << c.name;
            EXPECT_EQ(found[k].last, c.expected[k].last) << c.name;
        }
    }
}

io::ParsedCurve ReadOne(const std::string& address) {
    io::ParsedCurve curve;
    const Status st = io::ReadCurve(address, {}, curve);
    EXPECT_TRUE(st.ok()) << address;
    return curve;
}

// The measured pop-in curve: one sample at 0.507 mN and 26.96 nm is followed by a 29.4 nm step
// (the next sample at 0.517 mN); the default detector must find it first.
TEST(Popins, MeasuredPopinCurveDefaultDetector) {
    const auto curve = ReadOne(MARVEK_TEST_DATA "/real/agilent_popin_loadonly_t001.csv");
    const PopinResult r = FindPopins(curve, {});
    ASSERT_FALSE(r.popins.empty());
    EXPECT_NEAR(r.popins[0].load, 0.50727, 0.01 * 0.50727);
    EXPECT_NEAR(r.popins[0].depth, 26.958, 2);
    EXPECT_NEAR(r.popins[0].width, 29.4, 0.2 * 29.4);
    EXPECT_GT(r.hertz.r2, 0.95);
}

// Measured curves of Berkovich indents at large loads: no displacement burst at constant load.
TEST(Popins, NoFalsePositiveOnMeasuredCurvesWithoutPopins) {
    for (const char* name : {"agilent_fs_calibration_t001.csv", "agilent_fs_xp_t001.csv",
                             "kla_fused_silica_10cycle_t01.csv", "micromaterials_300nm_1.csv",
                             "micromaterials_1000nm_1.csv", "hysitron_steel_0000.csv",
                             "fischerscope_15mN_n1_t01.csv"}) {
        const auto curve = ReadOne(std::string(MARVEK_TEST_DATA "/real/") + name);
        const PopinResult r = FindPopins(curve, {});
        EXPECT_TRUE(r.popins.empty()) << name << ": " << r.popins.size() << " found, first at "
                                      << r.popins.front().load << " mN";
    }
}

// The workbook's twelve indents with --min-jump 5 --min-load 0.02. Each expected value was read
// by hand from the Depth (nm) and Load (mN) columns of the "Test NNN" sheets: going down the
// loading rows from 0.02 mN, the first row whose next depth is at least 5 nm deeper; its load
// and depth, and the depth gained until the steps fall below 5 nm again.
TEST(Popins, WorkbookIndentsAgainstFirstPopinsReadByHand) {
    struct Hand {
        const char* test;
        double load, depth, width;
    };
    const Hand hand[] = {
        {"Test 001", 0.50727, 26.958, 29.375}, {"Test 002", 0.53680, 28.349, 33.150},
        {"Test 003", 0.22931, 20.509, 12.632}, {"Test 004", 0.53657, 28.160, 30.893},
        {"Test 005", 0.12957, 15.011, 7.266},  {"Test 006", 0.46437, 29.277, 26.628},
        {"Test 007", 0.37987, 24.215, 22.317}, {"Test 008", 0.21510, 17.392, 15.592},
        {"Test 009", 0.35846, 23.124, 21.948}, {"Test 010", 0.35191, 20.920, 21.471},
        {"Test 011", 0.38857, 21.825, 23.260}, {"Test 012", 0.34647, 23.082, 22.570},
    };
    PopinSettings s;
    s.minJump = 5;
    s.minLoad = 0.02;
    std::vector<PopinResult> all;
    for (const Hand& h : hand) {
        const auto curve = ReadOne(std::string(MARVEK_TEST_DATA "/vendor/Popin.xls#") + h.test);
        const PopinResult r = FindPopins(curve, s);
        ASSERT_FALSE(r.popins.empty()) << h.test;
        EXPECT_NEAR(r.popins[0].load, h.load, 0.02 * h.load) << h.test;
        EXPECT_NEAR(r.popins[0].depth, h.depth, 0.01) << h.test;
        EXPECT_NEAR(r.popins[0].width, h.width, 0.01) << h.test;
        all.push_back(r);
    }
    const PopinStatistics st = SummarisePopins(all);
    EXPECT_EQ(st.n, 12);
    double sum = 0;
    for (const Hand& h : hand) sum += h.load;
    EXPECT_NEAR(st.load.mean, sum / 12, 1e-4);
    EXPECT_GT(st.weibullModulus, 1);
}

PopinResult FirstAt(double load, double er = kNaN, double radius = kNaN) {
    PopinResult r;
    r.popins.push_back({load, 10, 5, 0, 1});
    r.hertz.reducedModulus = er;
    r.hertz.radius = radius;
    return r;
}

TEST(PopinStatistics, WeibullRecoversModulusAndScaleOfADrawnSample) {
    struct Case {
        double modulus, scale;
    };
    for (const Case& c : {Case{3, 0.5}, Case{8, 2.0}, Case{15, 0.8}}) {
        for (std::uint64_t seed = 1; seed <= 4; ++seed) {
            std::vector<PopinResult> results;
            for (double p : testing::DrawWeibullLoads(60, c.modulus, c.scale, seed))
                results.push_back(FirstAt(p));
            results.push_back(PopinResult{});  // a curve without pop-in counts for nothing
            const PopinStatistics st = SummarisePopins(results);
            EXPECT_EQ(st.curves, 61);
            EXPECT_EQ(st.n, 60);
            EXPECT_NEAR(st.weibullModulus, c.modulus, 0.25 * c.modulus) << seed;
            EXPECT_NEAR(st.weibullScale, c.scale, 0.12 * c.scale) << seed;
            ASSERT_EQ(st.cdfProbability.size(), 60u);
            EXPECT_DOUBLE_EQ(st.cdfProbability.front(), 0.5 / 60);
            EXPECT_DOUBLE_EQ(st.cdfProbability.back(), 59.5 / 60);
            EXPECT_TRUE(std::is_sorted(st.cdfLoad.begin(), st.cdfLoad.end()));
            EXPECT_TRUE(std::isnan(st.activationVolume));
        }
    }
}

TEST(PopinStatistics, ActivationVolumeOfASampleDrawnFromTheNucleationLaw) {
    const double er = 200, radius = 500, temperature = 298;
    const double kT = 1.380649e-23 * temperature;
    const double pi3 = std::pow(std::numbers::pi, 3);
    const double stressPerRoot =
        0.31 * std::cbrt(6 * std::pow(er * 1e9, 2) / (pi3 * std::pow(radius * 1e-9, 2)));
    for (double volumeA3 : {20.0, 60.0}) {
        const double beta = volumeA3 * 1e-30 * stressPerRoot / kT;
        const double mid = 0.1e-3;  // N: half the indents pop in below about 0.1 mN
        const double a = std::log(std::log(2.0)) - beta * std::cbrt(mid);
        for (std::uint64_t seed = 1; seed <= 4; ++seed) {
            std::vector<PopinResult> results;
            for (double p : testing::DrawNucleationLoads(80, a, beta, seed))
                results.push_back(FirstAt(p, er * (results.size() % 2 ? 0.9 : 1.1), radius));
            PopinStatisticsSettings s;
            s.temperature = temperature;
            const PopinStatistics st = SummarisePopins(results, s);
            EXPECT_NEAR(st.meanReducedModulus, er, 1e-9);
            EXPECT_NEAR(st.activationVolume, volumeA3, 0.25 * volumeA3) << seed;
            // Twice the temperature, twice the volume for the same slope.
            s.temperature = 2 * temperature;
            EXPECT_NEAR(SummarisePopins(results, s).activationVolume, 2 * st.activationVolume,
                        1e-9 * st.activationVolume);
        }
    }
}

TEST(PopinStatistics, MomentsAndTooFewCurves) {
    std::vector<PopinResult> results = {FirstAt(1), FirstAt(2), FirstAt(4)};
    results[1].tauMax = 3;
    PopinStatistics st = SummarisePopins(results);
    EXPECT_DOUBLE_EQ(st.load.mean, 7.0 / 3);
    EXPECT_NEAR(
        st.load.sd,
        std::sqrt(((4.0 / 3) * (4.0 / 3) + (1.0 / 3) * (1.0 / 3) + (5.0 / 3) * (5.0 / 3)) / 2),
        1e-12);
    EXPECT_EQ(st.tauMax.n, 1);
    EXPECT_DOUBLE_EQ(st.tauMax.mean, 3);
    EXPECT_TRUE(std::isnan(st.tauMax.sd));
    st = SummarisePopins(std::vector<PopinResult>{FirstAt(1)});
    EXPECT_TRUE(std::isnan(st.weibullModulus));
    EXPECT_FALSE(st.reason.empty());
}

}  // namespace
}  // namespace marvek::popins
