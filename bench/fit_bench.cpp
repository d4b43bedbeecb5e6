// B2: the power-law search on the unloading section (20-82 % of the load drop) of curves of
// 2000, 10000 and 40000 points: the plain search, the fast one on one thread and on all cores.

#include <cmath>
#include <vector>

#include <tbb/info.h>

#include "bench_support.h"
#include "core/analysis/curve_analyzer.h"
#include "core/analysis/power_law_search.h"
#include "core/io/number_format.h"
#include "literal_analysis.h"
#include "support/literal_power_law.h"

namespace marvek::bench {
namespace {

struct Section {
    std::vector<double> depth, load;
    double maxDepth = 0;
};

const Section& UnloadSection(int points) {
    static std::vector<std::pair<int, Section>> cache;
    for (const auto& [p, s] : cache)
        if (p == points) return s;
    const SyntheticCurve& curve = Curve(points);
    CCurveAnalyzer analyzer;
    LoadCurve(analyzer, curve.depth, curve.load, curve.time, curve.segment);
    analyzer.SelectUnloadSection(20, 82);
    Section s;
    s.depth.assign(analyzer.m_pFitDepth.begin(),
                   analyzer.m_pFitDepth.begin() + analyzer.m_nFitPoints);
    s.load.assign(analyzer.m_pFitLoad.begin(), analyzer.m_pFitLoad.begin() + analyzer.m_nFitPoints);
    s.maxDepth = analyzer.GetMaxDepth();
    cache.emplace_back(points, std::move(s));
    return cache.back().second;
}

struct Fit {
    double alpha = 0, m = 0, hf = 0, r2 = 0;
};

Fit Literal(const Section& s) {
    Fit f;
    f.r2 = testing::LiteralFitPowerLaw(f.alpha, f.m, f.hf, s.depth.data(), s.load.data(),
                                       static_cast<int>(s.depth.size()), s.maxDepth);
    return f;
}

Fit Fast(const Section& s) {
    Fit f;
    f.r2 = FitPowerLawSearch(f.alpha, f.m, f.hf, s.depth.data(), s.load.data(),
                             static_cast<int>(s.depth.size()), s.maxDepth);
    return f;
}

void Label(benchmark::State& state, const Section& s) {
    state.SetLabel(FormatInt(static_cast<long long>(s.depth.size())) + "-point section");
}

void LiteralFit(benchmark::State& state) {
    const Section& s = UnloadSection(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(Literal(s));
    Label(state, s);
}

void FastFit(benchmark::State& state, int threads) {
    const Section& s = UnloadSection(static_cast<int>(state.range(0)));
    const Fit plain = Literal(s);
    Fit fast;
    WithThreads(threads, [&] { fast = Fast(s); });
    RecordCheck(
        "FitPowerLaw on the benchmark sections",
        std::max({RelativeDifference(plain.alpha, fast.alpha), RelativeDifference(plain.m, fast.m),
                  RelativeDifference(plain.hf, fast.hf), RelativeDifference(plain.r2, fast.r2)}));
    PowerLawSearchStats stats;
    for (auto _ : state) {
        WithThreads(threads, [&] {
            benchmark::DoNotOptimize(
                FitPowerLawSearch(fast.alpha, fast.m, fast.hf, s.depth.data(), s.load.data(),
                                  static_cast<int>(s.depth.size()), s.maxDepth, &stats));
        });
    }
    state.counters["candidates"] = stats.candidates;
    state.counters["dropped"] = stats.abandoned;  // proved to lose before a full error pass
    state.counters["exact"] = stats.exactEvaluations;
    Label(state, s);
}

const int kThreads = static_cast<int>(tbb::info::default_concurrency());

BENCHMARK(LiteralFit)->Name("B2_fit/literal")->Apply(CurveSizes)->MinTime(1.0);
BENCHMARK_CAPTURE(FastFit, one_thread, 1)
    ->Name("B2_fit/fast_1thread")
    ->Apply(CurveSizes)
    ->MinTime(1.0);
BENCHMARK_CAPTURE(FastFit, all_cores, kThreads)
    ->Name("B2_fit/fast")
    ->Apply(CurveSizes)
    ->MinTime(1.0);

}  // namespace
}  // namespace marvek::bench
