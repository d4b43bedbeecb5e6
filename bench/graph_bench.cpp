// B4 "Percent Series" on a 40000-point curve, B5 a curve-list graph over 200 curves of 10000
// points, B6 "Graininess Load" on an 8000-point loading branch: the graph commands as the window
// runs them, against the same work done the plain way on one thread.

#include <algorithm>
#include <cmath>
#include <vector>

#include "bench_support.h"
#include "core/analysis/fitting.h"
#include "core/io/number_format.h"
#include "core/series/graininess.h"
#include "core/series/graph_series.h"
#include "literal_analysis.h"
#include "memory_tracker.h"
#include "support/literal_power_law.h"

namespace marvek::bench {
namespace {

// Largest difference between two series, relative to the largest value of the reference (a
// graininess value is a small difference of slopes, so a pointwise ratio says little).
double SeriesDifference(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) return 1;
    double scale = 0, largest = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        scale = std::max(scale, std::fabs(b[i]));
        if (!(std::isnan(a[i]) && std::isnan(b[i])))
            largest = std::max(largest, std::fabs(a[i] - b[i]));
    }
    return scale > 0 ? largest / scale : largest;
}

double PointwiseDifference(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) return 1;
    double largest = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        largest = std::max(largest, RelativeDifference(a[i], b[i]));
    return largest;
}

// ---- B4 "Percent Series" ----

GraphSeries LiteralPercentSeries(CCurveAnalyzer& analyzer, const Settings& settings) {
    GraphSeries series;
    Settings s = settings;
    CurveDisplay display;
    float& minimum = s.strategy.m_fOPMinPercent;
    float& maximum = s.strategy.m_fOPMaxPercent;
    minimum = 0;
    maximum = 100;
    while (maximum - 1 > minimum) {
        static_cast<void>(LiteralAnalyzeCurve(analyzer, 0, s, display));
        series.x.push_back(minimum);
        series.y.push_back(display.m_dEIT);
        minimum = minimum + 0.5f;
    }
    return series;
}

// The plain runs come first and leave their series here for the fast runs to compare with.
GraphSeries g_percentReference;
GraphSeries g_listReference;

void PercentSeries(benchmark::State& state, bool literal) {
    CCurveAnalyzer analyzer;
    analyzer.SetFiles({CurveFile(40000)});
    const Settings settings;
    CurveDisplay display;
    GraphResult r;
    for (auto _ : state) {
        if (literal)
            g_percentReference = LiteralPercentSeries(analyzer, settings);
        else
            r = RunGraphCommand(GraphCommand::PercentSeries, analyzer, display, settings, 0);
    }
    if (!literal) {
        if (r.series.y.size() != 198) state.SkipWithError("wrong number of points");
        if (!g_percentReference.y.empty())
            RecordCheck("\"Percent Series\" E(IT) on the benchmark curve",
                        PointwiseDifference(r.series.y, g_percentReference.y));
    }
}

// ---- B5 curve-list graph ----

constexpr int kListCurves = 200;
constexpr int kListPoints = 10000;

std::vector<std::filesystem::path> ListFiles() {
    std::vector<std::filesystem::path> files;
    for (int i = 0; i < kListCurves; ++i)
        files.push_back(CurveFile(kListPoints, 100 + static_cast<std::uint64_t>(i)));
    return files;
}

GraphSeries LiteralModulusDepth(CCurveAnalyzer& analyzer, const Settings& settings) {
    GraphSeries series;
    CurveDisplay display;
    for (int i = 0; i < analyzer.m_nFileCount; ++i) {
        static_cast<void>(LiteralAnalyzeCurve(analyzer, i, settings, display));
        series.x.push_back(analyzer.m_dHmax);
        series.y.push_back(display.m_dEIT);
    }
    return series;
}

void CurveList(benchmark::State& state, bool literal) {
    CCurveAnalyzer analyzer;
    analyzer.SetFiles(ListFiles());
    const Settings settings;
    CurveDisplay display;
    double peak = 0;
    GraphResult r;
    for (auto _ : state) {
        if (literal) {
            g_listReference = LiteralModulusDepth(analyzer, settings);
            continue;
        }
        const std::size_t before = CurrentHeapBytes();
        ResetPeakHeap();
        r = RunGraphCommand(GraphCommand::ModulusDepth, analyzer, display, settings, 0);
        peak = std::max(peak, static_cast<double>(PeakHeapBytes() - before) / 1e6);
    }
    if (literal) return;
    state.counters["peak_heap_MB"] = peak;
    if (r.series.y.size() != kListCurves) state.SkipWithError("wrong number of points");
    if (!g_listReference.y.empty())
        RecordCheck("\"Modulus - Depth\" over the 200 benchmark curves",
                    std::max(PointwiseDifference(r.series.x, g_listReference.x),
                             PointwiseDifference(r.series.y, g_listReference.y)));
}

// ---- B6 "Graininess Load" ----

// A curve whose loading branch has 8000 points (the loading takes 46 % of the points).
constexpr int kGraininessCurvePoints = 17392;

CCurveAnalyzer LoadedAnalyzer() {
    CCurveAnalyzer analyzer;
    analyzer.SetFiles({CurveFile(kGraininessCurvePoints)});
    const SyntheticCurve& c = Curve(kGraininessCurvePoints);
    LoadCurve(analyzer, c.depth, c.load, c.time, c.segment);
    return analyzer;
}

struct Branch {
    std::vector<double> depth, load;
};

Branch LoadingBranch(const CCurveAnalyzer& a) {
    Branch b;
    for (int i = 0; i < a.m_nPoints; ++i) {
        if (a.m_pSegment[i] != 'L') continue;
        b.depth.push_back(a.m_pDepth[i]);
        b.load.push_back(a.m_pLoad[i]);
    }
    return b;
}

// Every window fitted from scratch, over the first n points of the curve.
std::vector<WindowFit> WindowsFromScratch(const CCurveAnalyzer& a, int n, float sizePercent) {
    std::vector<WindowFit> windows;
    std::vector<double> wd, wl;
    for (int j = 0; j < n * (100 - static_cast<double>(sizePercent)) / 100; ++j) {
        const int end = static_cast<int>(j + n * static_cast<double>(sizePercent) / 100);
        wd.assign(a.m_pDepth.begin() + j, a.m_pDepth.begin() + end);
        wl.assign(a.m_pLoad.begin() + j, a.m_pLoad.begin() + end);
        double sum = 0;
        for (double d : wd) sum += d;
        windows.push_back({sum / static_cast<double>(wd.size()),
                           FitLine(wd.data(), wl.data(), static_cast<int>(wd.size())).slope});
    }
    return windows;
}

// The whole command the plain way: the power law by the plain search, every window from scratch.
GraphSeries LiteralGraininessLoad(const CCurveAnalyzer& a, float sizePercent) {
    const Branch b = LoadingBranch(a);
    const int n = static_cast<int>(b.depth.size());
    double alpha = 0, m = 0, hf = 0;
    testing::LiteralFitPowerLaw(alpha, m, hf, b.depth.data(), b.load.data(), n, a.GetMaxDepth());
    GraphSeries series;
    for (const WindowFit& w : WindowsFromScratch(a, n, sizePercent)) {
        series.x.push_back(w.meanDepth);
        series.y.push_back(w.slope - alpha * m * std::pow(w.meanDepth - hf, m - 1));
    }
    return series;
}

// The windows alone: sums slid from window to window against fits from scratch.
void GraininessWindows(benchmark::State& state, bool fromScratch) {
    const CCurveAnalyzer analyzer = LoadedAnalyzer();
    const float size = Settings{}.strategy.m_fSectionSizePercent;
    const int n = static_cast<int>(LoadingBranch(analyzer).depth.size());
    if (!fromScratch) {
        const auto slid = FitSlidingWindows(analyzer.m_pDepth.data(), analyzer.m_pLoad.data(), n,
                                            {0, 0, size}, kMaxGraininessPoints);
        std::vector<double> a, b;
        for (const WindowFit& w : slid) a.push_back(w.slope);
        for (const WindowFit& w : WindowsFromScratch(analyzer, n, size)) b.push_back(w.slope);
        RecordCheck("\"Graininess Load\" window slopes (relative to the largest slope)",
                    SeriesDifference(a, b));
    }
    for (auto _ : state) {
        if (fromScratch)
            benchmark::DoNotOptimize(WindowsFromScratch(analyzer, n, size));
        else
            benchmark::DoNotOptimize(FitSlidingWindows(analyzer.m_pDepth.data(),
                                                       analyzer.m_pLoad.data(), n, {0, 0, size},
                                                       kMaxGraininessPoints));
    }
    state.SetLabel(FormatInt(n) + "-point loading branch");
}

void GraininessLoad(benchmark::State& state, bool literal) {
    CCurveAnalyzer analyzer = LoadedAnalyzer();
    const Settings settings;
    CurveDisplay display;
    if (!literal) {
        const GraphResult r =
            RunGraphCommand(GraphCommand::GraininessLoad, analyzer, display, settings, 0);
        const GraphSeries reference =
            LiteralGraininessLoad(analyzer, settings.strategy.m_fSectionSizePercent);
        RecordCheck("\"Graininess Load\" series (relative to its largest value)",
                    std::max(SeriesDifference(r.series.x, reference.x),
                             SeriesDifference(r.series.y, reference.y)));
    }
    for (auto _ : state) {
        if (literal) {
            benchmark::DoNotOptimize(
                LiteralGraininessLoad(analyzer, settings.strategy.m_fSectionSizePercent));
        } else {
            benchmark::DoNotOptimize(
                RunGraphCommand(GraphCommand::GraininessLoad, analyzer, display, settings, 0));
        }
    }
}

BENCHMARK_CAPTURE(PercentSeries, literal, true)
    ->Name("B4_percent_series/literal")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(PercentSeries, fast, false)
    ->Name("B4_percent_series/fast")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(CurveList, literal, true)
    ->Name("B5_curve_list/literal")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(CurveList, fast, false)
    ->Name("B5_curve_list/fast")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(GraininessWindows, slid, false)
    ->Name("B6_graininess_windows/fast")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(0.5);
BENCHMARK_CAPTURE(GraininessWindows, from_scratch, true)
    ->Name("B6_graininess_windows/literal")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(0.5);
BENCHMARK_CAPTURE(GraininessLoad, fast, false)
    ->Name("B6_graininess_load/fast")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);
BENCHMARK_CAPTURE(GraininessLoad, literal, true)
    ->Name("B6_graininess_load/literal")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);

}  // namespace
}  // namespace marvek::bench
