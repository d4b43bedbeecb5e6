// B15: the property map window offscreen with 10 000 indents on a 100 x 100 grid of two phases:
// a repaint of its three plots (surface with 10 000 dots, histogram with the phases' curves,
// scatter), and the update after a change in the table: the window thread's part (map
// interpolated, plots rebuilt and painted) as the time, and until the phases (mixtures of
// k = 1 ... 5, fitted off the window thread) are shown as a counter. Wall time per operation.

// Before Qt: TBB's headers use `emit` as a name, and Qt defines it as a macro.
#include "bench_support.h"

#include <QApplication>

#include <chrono>
#include <cmath>
#include <string>

#include "graphs/map_view.h"
#include "support/curve_generator.h"
#include "ui/plot_view.h"
#include "ui/test_doubles.h"

namespace marvek::bench {
namespace {

constexpr int kSide = 100;

// The series of a grid with a particle phase (a disc of 30 % of the indents) in a matrix.
Series GridSeries() {
    Series s;
    testing::PortableNoise noise(3);
    const int hit = FindSeriesQuantity("HIT"), eit = FindSeriesQuantity("EIT");
    for (int j = 0; j < kSide; ++j)
        for (int i = 0; i < kSide; ++i) {
            SeriesCurve c;
            c.input.address = c.input.file = "grid_" + std::to_string(j) + "_" + std::to_string(i);
            c.ok = c.included = true;
            c.values.assign(SeriesQuantities().size(), std::nan(""));
            const bool particle = std::hypot(i - 49.5, j - 49.5) < 31;
            c.values[static_cast<std::size_t>(hit)] = (particle ? 9000 : 3000) + noise.Normal(250);
            c.values[static_cast<std::size_t>(eit)] = (particle ? 240 : 110) + noise.Normal(8);
            c.x_um = 2.0 * i, c.y_um = 2.0 * j;
            s.curves.push_back(std::move(c));
        }
    return s;
}

struct ShownMap {
    ShownMap() {
        view.SetSeries(series);
        view.Flush();
        view.resize(1366, 768);
        view.show();
        QApplication::processEvents();
    }
    void Check(benchmark::State& state) {
        if (view.MappedIndents() != kSide * kSide)
            state.SkipWithError("the map does not hold the 10000 indents");
        state.SetLabel(std::to_string(view.MappedIndents()) + " indents, map " +
                       std::to_string(view.MapPlotView()->width()) + "x" +
                       std::to_string(view.MapPlotView()->height()) + " px");
    }
    // The one QApplication of the process, before the window.
    bool application = (ui::EnsureTestApplication(), true);
    Series series = GridSeries();
    graphs::MapView view;
};

void Repaint(benchmark::State& state) {
    ShownMap m;
    for (auto _ : state) m.view.Replot();
    m.Check(state);
}

// One indent out of the table, then back in: each a whole update of the view.
void Exclude(benchmark::State& state) {
    ShownMap m;
    bool out = true;
    double phases = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        m.series.curves[0].included = !out;
        m.view.SetSeries(m.series);
        m.view.Flush();
        m.view.Replot();
        state.PauseTiming();
        while (m.view.FittingPhases())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        phases += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.ResumeTiming();
        out = !out;
    }
    state.counters["phases_shown_ms"] = 1e3 * phases / static_cast<double>(state.iterations());
    m.series.curves[0].included = true;
    m.view.SetSeries(m.series);
    m.view.Flush();
    m.Check(state);
}

BENCHMARK(Repaint)->Name("B15_map_view/repaint")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK(Exclude)->Name("B15_map_view/exclusion")->Unit(benchmark::kMillisecond)->Iterations(4);

}  // namespace
}  // namespace marvek::bench
