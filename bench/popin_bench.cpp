// B13: pop-in detection with the Hertz fit on spherical-tip curves of 2000, 10000 and 40000
// points (the noise-adaptive detector and the threshold rule), and the series statistics of
// 1000 first pop-ins.

#include <benchmark/benchmark.h>

#include <span>
#include <vector>

#include "core/popins/popins.h"
#include "core/popins/sorted_window.h"
#include "support/popin_curves.h"

namespace marvek::bench {
namespace {

const testing::PopinCurve& PopinCurve(int points) {
    static std::vector<std::pair<int, testing::PopinCurve>> cache;
    for (const auto& [p, c] : cache)
        if (p == points) return c;
    testing::PopinCurveShape shape;
    shape.points = points;
    shape.radius = 1000;
    shape.maxLoad = 5;
    shape.bursts = {{1.8, 20, 0}, {3.4, 12, 3}};
    cache.emplace_back(points, testing::MakePopinCurve(shape));
    return cache.back().second;
}

void FindPopinsBench(benchmark::State& state, bool thresholds) {
    const auto& c = PopinCurve(static_cast<int>(state.range(0)));
    popins::PopinSettings s;
    s.reducedModulus = 200;
    if (thresholds) s.minJump = 5, s.minLoad = 0.02;
    for (auto _ : state) {
        auto r = popins::FindPopins(std::span<const double>(c.depth),
                                    std::span<const double>(c.load), s);
        benchmark::DoNotOptimize(r);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(c.depth.size()));
}

// The detector alone, with its sorted window and with the selections it replaced.
void DetectorBench(benchmark::State& state, bool selections) {
    const auto& c = PopinCurve(static_cast<int>(state.range(0)));
    const std::span<const double> depth(c.depth), load(c.load);
    for (auto _ : state) {
        auto r = selections ? popins::FindAdaptiveBurstsBySelection(depth, load, {})
                            : popins::FindBursts(depth, load, {});
        benchmark::DoNotOptimize(r);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(c.depth.size()));
}

void SummariseBench(benchmark::State& state) {
    std::vector<popins::PopinResult> results;
    for (double p : testing::DrawWeibullLoads(1000, 5, 1.0, 3)) {
        popins::PopinResult r;
        r.popins.push_back({p, 20, 10, 0, 1});
        r.hertz.reducedModulus = 200;
        r.hertz.radius = 1000;
        results.push_back(std::move(r));
    }
    for (auto _ : state) {
        auto s = popins::SummarisePopins(results);
        benchmark::DoNotOptimize(s);
    }
}

}  // namespace

BENCHMARK_CAPTURE(FindPopinsBench, adaptive, false)
    ->Name("B13_popins/adaptive")
    ->Arg(2000)
    ->Arg(10000)
    ->Arg(40000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FindPopinsBench, thresholds, true)
    ->Name("B13_popins/thresholds")
    ->Arg(2000)
    ->Arg(10000)
    ->Arg(40000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DetectorBench, sorted_window, false)
    ->Name("B13_popins/detector_sorted_window")
    ->Arg(2000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(DetectorBench, selections, true)
    ->Name("B13_popins/detector_selections")
    ->Arg(2000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(SummariseBench)->Name("B13_popins/summary_1000")->Unit(benchmark::kMicrosecond);

}  // namespace marvek::bench
