// B8: the result set and the uncertainty of E(IT) and H(IT), next to the analysis they extend.
// The quantities should cost under 5 % of an analysis; the analysis with the uncertainty
// (default Monte Carlo of 200 re-fits) within 20 times the analysis alone.

#include "bench_support.h"
#include "core/analysis/curve_analysis.h"
#include "core/analysis/iso_quantities.h"
#include "core/analysis/uncertainty.h"

namespace marvek::bench {
namespace {

struct Analysed {
    CCurveAnalyzer analyzer;
    CurveDisplay display;
    Settings settings;
    explicit Analysed(int points) {
        analyzer.SetFiles({CurveFile(points)});
        static_cast<void>(AnalyzeCurve(analyzer, 0, settings, display));
    }
};

void Analysis(benchmark::State& state) {
    Analysed a(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        static_cast<void>(AnalyzeCurve(a.analyzer, 0, a.settings, a.display));
        benchmark::DoNotOptimize(a.display.m_dEIT);
    }
}

void Quantities(benchmark::State& state) {
    Analysed a(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const IsoQuantities q = ComputeIsoQuantities(a.analyzer, a.settings);
        benchmark::DoNotOptimize(q.etaIT.value);
    }
}

void AnalysisWithUncertainty(benchmark::State& state) {
    Analysed a(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        static_cast<void>(AnalyzeCurve(a.analyzer, 0, a.settings, a.display));
        const ModulusUncertainty u = EstimateUncertainty(a.analyzer, a.settings);
        if (!u.present()) state.SkipWithError(u.reason.c_str());
        benchmark::DoNotOptimize(u.uEit);
    }
}

BENCHMARK(Analysis)->Name("B8_iso/analysis")->Apply(CurveSizes);
BENCHMARK(Quantities)->Name("B8_iso/quantities")->Apply(CurveSizes);
BENCHMARK(AnalysisWithUncertainty)->Name("B8_iso/analysis_uncertainty")->Apply(CurveSizes);

}  // namespace
}  // namespace marvek::bench
