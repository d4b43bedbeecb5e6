// B1: reading a 40000-point layout-A file (depth, load, time, segment keyword).

#include <filesystem>

#include "bench_support.h"
#include "core/analysis/curve_analyzer.h"

namespace marvek::bench {
namespace {

void ReadFile(benchmark::State& state) {
    const auto& file = CurveFile(static_cast<int>(state.range(0)));
    CCurveAnalyzer analyzer;
    for (auto _ : state) {
        if (!analyzer.ReadCurveFile(file).ok()) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(analyzer.m_nPoints);
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(file)));
}

BENCHMARK(ReadFile)->Name("B1_read")->Arg(40000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace marvek::bench
