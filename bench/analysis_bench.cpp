// B3: one whole Oliver-Pharr analysis of a 40000-point curve: read, corrections, fit, derived
// quantities.

#include "bench_support.h"
#include "core/analysis/curve_analysis.h"
#include "literal_analysis.h"

namespace marvek::bench {
namespace {

void Analysis(benchmark::State& state,
              Status (*analyze)(CCurveAnalyzer&, int, const Settings&, CurveDisplay&)) {
    CCurveAnalyzer analyzer;
    analyzer.SetFiles({CurveFile(static_cast<int>(state.range(0)))});
    const Settings settings;
    CurveDisplay display;
    for (auto _ : state) {
        if (!analyze(analyzer, 0, settings, display).ok()) state.SkipWithError("analysis failed");
        benchmark::DoNotOptimize(display.m_dEIT);
    }
}

void FastAnalysis(benchmark::State& state) {
    {
        CCurveAnalyzer fast, plain;
        fast.SetFiles({CurveFile(static_cast<int>(state.range(0)))});
        plain.SetFiles(fast.m_strFiles);
        const Settings settings;
        CurveDisplay fastDisplay, plainDisplay;
        static_cast<void>(AnalyzeCurve(fast, 0, settings, fastDisplay));
        static_cast<void>(LiteralAnalyzeCurve(plain, 0, settings, plainDisplay));
        RecordCheck("AnalyzeCurve on the benchmark curves",
                    LargestDifference(fast, fastDisplay, plain, plainDisplay));
    }
    Analysis(state, AnalyzeCurve);
}

void LiteralAnalysis(benchmark::State& state) { Analysis(state, LiteralAnalyzeCurve); }

BENCHMARK(FastAnalysis)->Name("B3_analysis/fast")->Arg(40000)->Apply(Milliseconds)->MinTime(1.0);
BENCHMARK(LiteralAnalysis)
    ->Name("B3_analysis/literal")
    ->Arg(40000)
    ->Apply(Milliseconds)
    ->MinTime(1.0);

}  // namespace
}  // namespace marvek::bench
