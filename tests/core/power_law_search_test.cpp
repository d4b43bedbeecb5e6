// The fast power-law search must take every decision the plain search takes, so its hf, m, alpha
// and r^2 are the plain search's, on measured curves, generated ones and degenerate input.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <tbb/global_control.h>
#include <tbb/task_arena.h>

#include "core/analysis/curve_analysis.h"
#include "core/analysis/power_law_kernels.h"
#include "core/analysis/power_law_search.h"
#include "support/curve_generator.h"
#include "support/literal_power_law.h"

namespace marvek {
namespace {

struct Fit {
    double alpha = 0, m = 0, hf = 0, r2 = 0;
};

Fit Plain(const double* x, const double* y, int n, double maxDepth) {
    Fit f;
    f.r2 = testing::LiteralFitPowerLaw(f.alpha, f.m, f.hf, x, y, n, maxDepth);
    return f;
}

Fit Fast(const double* x, const double* y, int n, double maxDepth,
         PowerLawSearchStats* stats = nullptr) {
    Fit f;
    f.r2 = FitPowerLawSearch(f.alpha, f.m, f.hf, x, y, n, maxDepth, stats);
    return f;
}

// Bit for bit, NaN equal to NaN: the same decisions give the same numbers.
bool Same(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

void ExpectSame(const Fit& fast, const Fit& plain, const std::string& what) {
    EXPECT_TRUE(Same(fast.hf, plain.hf)) << what << ": hf " << fast.hf << " vs " << plain.hf;
    EXPECT_TRUE(Same(fast.m, plain.m)) << what << ": m " << fast.m << " vs " << plain.m;
    EXPECT_TRUE(Same(fast.alpha, plain.alpha))
        << what << ": alpha " << fast.alpha << " vs " << plain.alpha;
    EXPECT_TRUE(Same(fast.r2, plain.r2)) << what << ": r2 " << fast.r2 << " vs " << plain.r2;
}

void ExpectSameOn(const std::vector<double>& x, const std::vector<double>& y, double maxDepth,
                  const std::string& what) {
    const int n = static_cast<int>(x.size());
    ExpectSame(Fast(x.data(), y.data(), n, maxDepth), Plain(x.data(), y.data(), n, maxDepth), what);
}

std::vector<std::filesystem::path> MeasuredCurves() {
    std::vector<std::filesystem::path> files;
    for (const char* dir : {MARVEK_TEST_DATA "/real", MARVEK_EXAMPLES})
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            if (entry.path().extension() == ".csv") files.push_back(entry.path());
    return files;
}

// The analysis fits the section with the window of the whole corrected curve; the plain search
// given the same section and depth must agree with what the analysis stored.
TEST(PowerLawSearch, MatchesPlainSearchInTheAnalysisOfMeasuredCurves) {
    const std::vector<std::filesystem::path> files = MeasuredCurves();
    ASSERT_GE(files.size(), 20u);
    const float ranges[][2] = {{20, 82}, {0, 100}, {1, 100}, {50, 100}, {90, 100}, {98.5f, 100}};
    for (const auto& file : files) {
        for (const auto& range : ranges) {
            CCurveAnalyzer analyzer;
            analyzer.SetFiles({file});
            ASSERT_TRUE(FitCurveUnload(analyzer, 0,
                                       {AnalysisMethod::OliverPharr, 0, 0.75, range[0], range[1]})
                            .ok())
                << file;
            Fit plain = Plain(analyzer.m_pFitDepth.data(), analyzer.m_pFitLoad.data(),
                              analyzer.m_nFitPoints, analyzer.GetMaxDepth());
            // An empty section has no hf: the plain search's start value 9e99 is not one.
            if (analyzer.m_nFitPoints == 0) plain.hf = std::numeric_limits<double>::quiet_NaN();
            const Fit stored{analyzer.m_dAlpha, analyzer.m_dM, analyzer.m_dHf,
                             analyzer.m_dRSquared};
            ExpectSame(stored, plain,
                       file.filename().string() + " at " + std::to_string(range[0]) + "-" +
                           std::to_string(range[1]) + " %");
        }
    }
}

// Loading branches follow F ~ h^2 with hf near 0: the search ends close to the smallest depth,
// where candidates are cut off.
TEST(PowerLawSearch, MatchesPlainSearchOnLoadingBranches) {
    for (const auto& file : MeasuredCurves()) {
        CCurveAnalyzer analyzer;
        ASSERT_TRUE(analyzer.ReadCurveFile(file).ok());
        std::vector<double> depth, load;
        for (int i = 0; i < analyzer.m_nPoints; ++i) {
            if (analyzer.m_pSegment[i] != 'L') continue;
            depth.push_back(analyzer.m_pDepth[i]);
            load.push_back(analyzer.m_pLoad[i]);
        }
        ExpectSameOn(depth, load, analyzer.GetMaxDepth(), file.filename().string() + " loading");
    }
}

struct GeneratedCase {
    const char* name;
    testing::CurveShape shape;
};

// Noise-free laws make the errors of neighbouring candidates nearly equal, so many decisions
// need the exact evaluation; noise, offsets and loads at or below zero test the rest.
TEST(PowerLawSearch, MatchesPlainSearchOnGeneratedCurves) {
    auto shape = [](auto change) {
        testing::CurveShape s;
        change(s);
        return s;
    };
    const GeneratedCase cases[] = {
        {"exact law", shape([](auto&) {})},
        {"exact law, m = 1", shape([](auto& s) { s.m = 1.0; })},
        {"exact law, m = 2.5", shape([](auto& s) { s.m = 2.5; })},
        {"exact law, hf = 0", shape([](auto& s) { s.hf = 0; })},
        {"noisy", shape([](auto& s) {
             s.noiseDepth = 0.05;
             s.noiseLoad = 0.002;
         })},
        {"noisy, many points", shape([](auto& s) {
             s.unloadPoints = 3000;
             s.noiseDepth = 0.2;
             s.noiseLoad = 0.01;
             s.seed = 7;
         })},
        {"unloading to zero with noise", shape([](auto& s) {
             s.unloadToFraction = 0;
             s.noiseLoad = 0.05;
             s.seed = 3;
         })},
        {"compliance and drift", shape([](auto& s) {
             s.compliance = 1.5;
             s.driftRate = 0.05;
             s.topHoldPoints = 50;
             s.bottomHoldPoints = 50;
             s.unloadToFraction = 0.1;
             s.noiseLoad = 0.001;
         })},
        {"few points", shape([](auto& s) {
             s.unloadPoints = 4;
             s.noiseLoad = 0.01;
         })},
    };
    for (const GeneratedCase& c : cases) {
        const auto points = testing::GenerateCurve(c.shape);
        CCurveAnalyzer analyzer;
        analyzer.m_nPoints = static_cast<int>(points.size());
        for (std::size_t i = 0; i < points.size(); ++i) {
            analyzer.m_pDepth[i] = points[i].depth;
            analyzer.m_pLoad[i] = points[i].load;
        }
        for (const auto& range : {std::pair{20.f, 82.f}, std::pair{0.f, 100.f}}) {
            analyzer.SelectUnloadSection(range.first, range.second);
            const std::vector<double> x(analyzer.m_pFitDepth.begin(),
                                        analyzer.m_pFitDepth.begin() + analyzer.m_nFitPoints);
            const std::vector<double> y(analyzer.m_pFitLoad.begin(),
                                        analyzer.m_pFitLoad.begin() + analyzer.m_nFitPoints);
            ExpectSameOn(x, y, analyzer.GetMaxDepth(), c.name);
        }
    }
}

TEST(PowerLawSearch, MatchesPlainSearchOnBenchmarkCurves) {
    for (const int points : {2000, 10000, 40000}) {
        for (std::uint64_t seed = 1; seed <= (points == 40000 ? 1u : 4u); ++seed) {
            const testing::SyntheticCurve curve = testing::MakeSyntheticCurve(points, seed);
            CCurveAnalyzer analyzer;
            analyzer.m_nPoints = points;
            std::copy(curve.depth.begin(), curve.depth.end(), analyzer.m_pDepth.begin());
            std::copy(curve.load.begin(), curve.load.end(), analyzer.m_pLoad.begin());
            analyzer.SelectUnloadSection(20, 82);
            const std::vector<double> x(analyzer.m_pFitDepth.begin(),
                                        analyzer.m_pFitDepth.begin() + analyzer.m_nFitPoints);
            const std::vector<double> y(analyzer.m_pFitLoad.begin(),
                                        analyzer.m_pFitLoad.begin() + analyzer.m_nFitPoints);
            const int n = static_cast<int>(x.size());
            const double depth = analyzer.GetMaxDepth();
            PowerLawSearchStats stats;
            ExpectSame(Fast(x.data(), y.data(), n, depth, &stats),
                       Plain(x.data(), y.data(), n, depth),
                       std::to_string(points) + " points, seed " + std::to_string(seed));
            // Most candidates stop their error pass early here; the equality above covers them.
            EXPECT_GT(stats.abandoned, stats.candidates / 2);
        }
    }
}

// Unloading sections of every kind: steep and shallow laws, offsets near and far from the data,
// noise from none (neighbouring candidates nearly tie) to heavy, few points and many. A
// candidate whose error pass stops early must never be the one the plain search picks.
TEST(PowerLawSearch, MatchesPlainSearchOnRandomSections) {
    std::mt19937_64 rng(20261208);
    std::uniform_real_distribution<double> unit(0, 1);
    int abandoned = 0;
    for (int trial = 0; trial < 150; ++trial) {
        const int n = 20 + static_cast<int>(rng() % 600);
        const double hMax = 50 + 2000 * unit(rng);
        const double hf = hMax * (0.05 + 0.9 * unit(rng));
        const double m = 1 + 1.5 * unit(rng);
        const double fMax = 0.1 + 50 * unit(rng);
        const double noise = trial % 3 == 0 ? 0 : fMax * 1e-4 * std::pow(10, 3 * unit(rng));
        std::normal_distribution<double> gauss(0, noise > 0 ? noise : 1);
        const double from = 0.05 + 0.5 * unit(rng);  // the section spans [from, 1] of the load drop
        std::vector<double> x, y;
        for (int i = 0; i < n; ++i) {
            const double f = fMax * (1 - (1 - from) * i / (n - 1.0));
            const double h = hf + (hMax - hf) * std::pow(f / fMax, 1 / m);
            x.push_back(h);
            y.push_back(noise > 0 ? f + gauss(rng) : f);
        }
        PowerLawSearchStats stats;
        const double depth = hMax * (1 + 0.3 * unit(rng));
        ExpectSame(Fast(x.data(), y.data(), n, depth, &stats), Plain(x.data(), y.data(), n, depth),
                   "random section " + std::to_string(trial));
        abandoned += stats.abandoned;
    }
    EXPECT_GT(abandoned, 1000) << "the early stop was hardly exercised";
}

// Tiny, odd inputs: no points, one point, loads at or below zero, equal depths, slopes below 1
// everywhere, windows that start left of zero or past the data. Whatever the plain search makes
// of them, NaN included, the fast one must make too.
TEST(PowerLawSearch, MatchesPlainSearchOnDegenerateInput) {
    ExpectSameOn({}, {}, 100, "no points");
    ExpectSameOn({50}, {1}, 100, "one point");
    ExpectSameOn({10, 20, 30}, {0, -1, 0}, 30, "no positive load");
    ExpectSameOn({20, 20, 20}, {1, 2, 3}, 20, "equal depths");
    ExpectSameOn({1, 4, 9, 16, 25}, {1, 2, 3, 4, 5}, 25, "square root: every slope below 1");
    ExpectSameOn({10, 20, 30}, {1, 4, 9}, 5, "maximum depth below the data");

    std::mt19937_64 rng(20240611);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int trial = 0; trial < 400; ++trial) {
        const int n = static_cast<int>(rng() % 9);
        std::vector<double> x(static_cast<std::size_t>(n)), y(x.size());
        for (int i = 0; i < n; ++i) {
            x[i] = 1 + 99 * unit(rng);
            y[i] = unit(rng) < 0.15 ? -unit(rng) : 10 * unit(rng) * unit(rng);
        }
        ExpectSameOn(x, y, 50 + 100 * unit(rng), "random case " + std::to_string(trial));
    }
}

// The exact evaluation that settles near-equal errors must itself be right, not merely unused:
// an exact law through the origin puts a candidate at an error of almost nothing, where the
// vector error cannot tell it from its neighbours.
TEST(PowerLawSearch, SettlesNearTiesWithTheExactEvaluation) {
    std::vector<double> x, y;
    for (int i = 1; i <= 200; ++i) {
        x.push_back(0.5 * i);
        y.push_back(2 * std::pow(0.5 * i, 1.5));
    }
    const int n = static_cast<int>(x.size());
    PowerLawSearchStats stats;
    const Fit fast = Fast(x.data(), y.data(), n, 100, &stats);
    ExpectSame(fast, Plain(x.data(), y.data(), n, 100), "exact law through the origin");
    EXPECT_GT(stats.exactEvaluations, 1) << "no near tie was settled exactly";
    EXPECT_NEAR(fast.hf, 0, 1e-6);
    EXPECT_NEAR(fast.m, 1.5, 1e-6);
    EXPECT_NEAR(fast.alpha, 2, 1e-5);
}

// Each instruction set has its own vector logarithm and exponential, with their own last-bit
// differences; the bounds must hold for all of them, not only for the one this machine picks.
TEST(PowerLawSearch, MatchesPlainSearchOnEveryVectorUnit) {
    const std::vector<std::string> targets = detail::PowerLawVectorTargets();
    ASSERT_FALSE(targets.empty());
    EXPECT_EQ(targets.front(), detail::PowerLawVectorTarget());
    EXPECT_FALSE(detail::UsePowerLawVectorTarget("no such unit"));
    std::vector<std::vector<double>> xs, ys;
    std::vector<double> depths;
    for (std::uint64_t seed = 1; seed <= 3; ++seed) {
        const testing::SyntheticCurve curve =
            testing::MakeSyntheticCurve(2000 + 3000 * static_cast<int>(seed), seed);
        xs.emplace_back();
        ys.emplace_back();
        for (std::size_t i = 0; i < curve.depth.size(); ++i) {
            if (curve.segment[i] != 'U') continue;
            xs.back().push_back(curve.depth[i]);
            ys.back().push_back(curve.load[i]);
        }
        depths.push_back(*std::max_element(curve.depth.begin(), curve.depth.end()));
    }
    std::vector<double> x, y;
    for (int i = 1; i <= 200; ++i) {  // an exact law: near ties everywhere
        x.push_back(0.5 * i);
        y.push_back(2 * std::pow(0.5 * i, 1.5));
    }
    xs.push_back(x);
    ys.push_back(y);
    depths.push_back(100);
    for (const std::string& target : targets) {
        SCOPED_TRACE(target);
        ASSERT_TRUE(detail::UsePowerLawVectorTarget(target));
        EXPECT_EQ(target, detail::PowerLawVectorTarget());
        for (std::size_t k = 0; k < xs.size(); ++k)
            ExpectSameOn(xs[k], ys[k], depths[k], "curve " + std::to_string(k));
        std::mt19937_64 rng(7);
        std::uniform_real_distribution<double> unit(0, 1);
        for (int trial = 0; trial < 100; ++trial) {
            const int n = 1 + static_cast<int>(rng() % 40);
            std::vector<double> rx(static_cast<std::size_t>(n)), ry(rx.size());
            for (int i = 0; i < n; ++i) {
                rx[i] = 1 + 99 * unit(rng);
                ry[i] = unit(rng) < 0.1 ? -unit(rng) : 10 * unit(rng) * unit(rng);
            }
            ExpectSameOn(rx, ry, 50 + 100 * unit(rng), "random case " + std::to_string(trial));
        }
    }
    ASSERT_TRUE(detail::UsePowerLawVectorTarget(targets.front()));
}

// Sections long enough take the line's sums, and the proof that a candidate loses, from series
// over groups of points. Their bounds must hold: the sums within the stated bound of long-double
// ones, and no candidate proved to lose against a threshold just above its true squares.
TEST(PowerLawSearch, SeriesStayWithinTheirBounds) {
    std::mt19937_64 rng(20261209);
    std::uniform_real_distribution<double> unit(0, 1);
    int checkedSums = 0, proved = 0, sizesChecked[2] = {};
    for (int trial = 0; trial < 40; ++trial) {
        const std::size_t n = 300 + rng() % 3000;
        const double hMax = 50 + 2000 * unit(rng), hf = hMax * (0.05 + 0.8 * unit(rng));
        const double m = 1 + 1.5 * unit(rng), fMax = 0.1 + 50 * unit(rng);
        const double noise = fMax * 1e-4 * std::pow(10, 2 * unit(rng));
        std::normal_distribution<double> gauss(0, noise);
        const std::size_t padded =
            (n + detail::kPowerLawPadding) / detail::kPowerLawPadding * detail::kPowerLawPadding;
        std::vector<double> x(padded, hMax), y(padded, 0), logY(padded, 0), weight(padded, 0);
        for (std::size_t i = 0; i < n; ++i) {
            const double f = fMax * (1 - 0.7 * static_cast<double>(i) / static_cast<double>(n));
            x[i] = hf + (hMax - hf) * std::pow(f / fMax, 1 / m);
            y[i] = std::max(f + gauss(rng), 1e-3 * fMax);
            // Every fourth section has loads at or below zero, which the line leaves out.
            if (trial % 4 == 3 && i % 37 == 5) y[i] = -0.01 * fMax * static_cast<double>(i % 2);
            if (y[i] <= 0) continue;
            logY[i] = std::log10(y[i]);
            weight[i] = 1;
        }
        detail::PowerLawData data;
        data.x = x.data(), data.y = y.data(), data.logY = logY.data(), data.weight = weight.data();
        data.n = n, data.padded = padded;
        for (std::size_t i = 0; i < n; ++i) data.regressionCount += weight[i];
        data.unitWeights = data.regressionCount == static_cast<double>(n);
        for (std::size_t i = 0; i < n; ++i) data.sumLogY += logY[i];
        for (const std::size_t size : {detail::kGroupPoints, detail::kCoarseGroupPoints}) {
            detail::PowerLawGroups groups;
            detail::BuildPowerLawGroups(data, groups, size);
            if (groups.count == 0) continue;  // too few points for this size
            data.groups = &groups;
            ++sizesChecked[size == detail::kGroupPoints ? 0 : 1];

            const double xMin = *std::min_element(x.begin(), x.begin() + static_cast<long>(n));
            std::vector<double> scratch(padded);
            // One group at the edge of the series' reach puts the truncation bound to the test.
            double edge = xMin;
            for (std::size_t g = 0; g < groups.count; ++g)
                edge = std::min(edge, groups.center[g] - 8.02 * groups.radius[g]);
            for (const double h :
                 {hf, hf - 0.2 * (xMin - hf), hf + 0.5 * (xMin - hf), xMin - 1e-3, edge}) {
                detail::CandidateSums line;
                detail::EvaluatePowerLawCandidates(data, &h, 1, &line, scratch.data());
                long double sumL = 0, sumLL = 0, sumLLogY = 0, squares = 0;
                for (std::size_t i = 0; i < n; ++i) {
                    const long double l = std::log10(static_cast<long double>(x[i]) - h);
                    if (weight[i] != 0)
                        sumL += l, sumLL += l * l,
                            sumLLogY += l * std::log10(static_cast<long double>(y[i]));
                    const long double p =
                        std::pow(10.0L, static_cast<long double>(line.c) + line.m * l) - y[i];
                    squares += p * p;
                }
                bool allFar = true;
                for (std::size_t g = 0; g < groups.count; ++g)
                    allFar = allFar && 8 * groups.radius[g] <= 0.9999 * (groups.center[g] - h);
                if (allFar) {
                    ++checkedSums;
                    EXPECT_LE(std::fabs(line.sumL - sumL), line.seriesL) << trial << " at " << h;
                    EXPECT_LE(std::fabs(line.sumLL - sumLL), line.seriesLL) << trial << " at " << h;
                    EXPECT_LE(std::fabs(line.sumLLogY - sumLLogY), line.seriesLLogY)
                        << trial << " at " << h;
                }
                if (!(line.m >= 1 && line.m < 8)) continue;
                // With margin 0 the squares to beat are the vector line's own.
                detail::ErrorPassCutoff cutoff;
                cutoff.margin = [](const void*, double, const detail::CandidateSums&) {
                    return 0.0;
                };
                for (const double factor : {1 + 1e-9, 1 - 1e-5}) {
                    cutoff.squaresAbove = static_cast<double>(squares) * factor;
                    detail::CandidateSums r;
                    detail::EvaluatePowerLawCandidates(data, &h, 1, &r, scratch.data(), &cutoff);
                    if (factor > 1) {
                        EXPECT_FALSE(r.abandoned) << trial << " at " << h;
                    }
                    proved += r.abandoned ? 1 : 0;
                }
            }
        }
    }
    EXPECT_EQ(sizesChecked[0], 40);
    EXPECT_GT(sizesChecked[1], 20);
    EXPECT_GT(checkedSums, 60);
    EXPECT_GT(proved, 60) << "the series hardly ever proved a loss";
}

TEST(PowerLawSearch, GivesTheSameResultOnOneThreadAsOnAll) {
    const testing::SyntheticCurve curve = testing::MakeSyntheticCurve(10000, 5);
    std::vector<double> x, y;
    for (std::size_t i = 0; i < curve.depth.size(); ++i) {
        if (curve.segment[i] != 'U') continue;
        x.push_back(curve.depth[i]);
        y.push_back(curve.load[i]);
    }
    const int n = static_cast<int>(x.size());
    PowerLawSearchStats one, all;
    Fit single;
    tbb::task_arena arena(1);
    arena.execute([&] { single = Fast(x.data(), y.data(), n, 2000, &one); });
    ExpectSame(Fast(x.data(), y.data(), n, 2000, &all), single, "all threads");
    EXPECT_EQ(one.candidates, all.candidates);
    EXPECT_EQ(one.sweeps, all.sweeps);
    // A one-curve process keeps the search on its own thread.
    {
        const tbb::global_control oneThread(tbb::global_control::max_allowed_parallelism, 1);
        ExpectSame(Fast(x.data(), y.data(), n, 2000, nullptr), single, "calling thread only");
    }
}

}  // namespace
}  // namespace marvek
