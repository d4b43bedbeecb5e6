// B10: the main window offscreen with 40000-point curves: a repaint of the plot at its home
// view, one arrow-key step to the other curve (analysis, plot data and the repaint it asks for)
// and one wheel notch with its repaint. Wall time per operation; Google Benchmark's processor
// time is that of the window's thread (the result-set block runs on its own and is waited for
// outside the timing, so it never overlaps the next operation).

// Before Qt: TBB's headers use `emit` as a name, and Qt defines it as a macro.
#include "bench_support.h"

#include <QApplication>
#include <QTest>
#include <QWheelEvent>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "support/curve_generator.h"
#include "support/temp_dir.h"
#include "ui/plot_view.h"
#include "ui/test_doubles.h"

namespace marvek::bench {
namespace {

constexpr int kPoints = 40000;

// Two 40000-point curve files of different seeds, written once per run.
const std::vector<std::filesystem::path>& WindowCurves() {
    static const testing::TempDir dir;
    static const std::vector<std::filesystem::path> files = [] {
        std::vector<std::filesystem::path> out;
        for (std::uint64_t seed : {1, 2}) {
            out.push_back(dir.path() / ("curve_" + std::to_string(seed) + ".csv"));
            testing::WriteCurveFile(out.back(), MakeSyntheticCurve(kPoints, seed).Points(),
                                    testing::kLayoutA);
        }
        return out;
    }();
    return files;
}

// Counts the paint events the plot receives: the timed work must reach the painting.
class PaintCounter : public QObject {
public:
    long paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// The main window shown with the curves selected, the first one on show at its home view.
// Message boxes and file dialogs are answered by the service doubles, so nothing blocks.
class ShownWindow {
public:
    ShownWindow() {
        // The one QApplication of the process (offscreen unless QT_QPA_PLATFORM names another),
        // made by the first window benchmark that runs; the other benchmarks never need it.
        ui::EnsureTestApplication();
        window_ = std::make_unique<CIndentMainDlg>(nullptr, parameters_.path() / "marvek.par");
        window_->Create();
        window_->show();
        QApplication::processEvents();
        window_->SelectFiles(WindowCurves());
        window_->WaitForResultSet();
        plot()->installEventFilter(&counter_);
    }
    ~ShownWindow() {
        plot()->removeEventFilter(&counter_);
        window_.reset();
    }
    CIndentMainDlg& window() { return *window_; }
    ui::PlotView* plot() { return window_->m_plot; }
    long Paints() const { return counter_.paints; }
    // Fails the benchmark unless the window holds the full curves and every operation painted.
    void Check(benchmark::State& state) {
        if (window_->CurvePointCount() != kPoints)
            state.SkipWithError("the curve on show is not the 40000-point curve");
        else if (counter_.paints < state.iterations())
            state.SkipWithError("an operation ended without painting the plot");
        else if (!services_.messages.empty())
            state.SkipWithError(services_.messages.front().text.c_str());
        state.counters["paints_per_op"] =
            static_cast<double>(counter_.paints) / static_cast<double>(state.iterations());
        state.SetLabel(std::to_string(kPoints) + " points, " + std::to_string(plot()->width()) +
                       "x" + std::to_string(plot()->height()) + " px");
    }

private:
    ui::FakeServices services_;
    ui::ScopedServices scope_{services_};
    testing::TempDir parameters_;
    std::unique_ptr<CIndentMainDlg> window_;
    PaintCounter counter_;
};

// Every layer drawn again and put on the widget at once (QCustomPlot's immediate refresh).
void Repaint(benchmark::State& state) {
    ShownWindow w;
    if (w.plot()->IsZoomed()) state.SkipWithError("the plot is not at its home view");
    for (auto _ : state) w.plot()->replot(QCustomPlot::rpImmediateRefresh);
    w.Check(state);
}

// Right to the second curve, Left back to the first: each step analyses a curve, hands the plot
// new data, and the queued repaint is delivered.
void Step(benchmark::State& state) {
    ShownWindow w;
    int expected = 0;
    for (auto _ : state) {
        expected = 1 - expected;
        const long painted = w.Paints();
        QTest::keyClick(w.plot(), expected == 1 ? Qt::Key_Right : Qt::Key_Left);
        QApplication::processEvents();
        state.PauseTiming();
        if (w.window().m_nCurrentCurve != expected || w.Paints() == painted)
            state.SkipWithError("the step did not reach the other curve's painting");
        w.window().WaitForResultSet();
        state.ResumeTiming();
    }
    w.Check(state);
}

// One wheel notch in, the next out again, about the plot's centre, with the repaint.
void Zoom(benchmark::State& state) {
    ShownWindow w;
    ui::PlotView* plot = w.plot();
    const QPointF at(plot->width() / 2.0, plot->height() / 2.0);
    int delta = 120;
    for (auto _ : state) {
        QWheelEvent e(at, plot->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(plot, &e);
        QApplication::processEvents();
        if (delta > 0 && !plot->IsZoomed()) state.SkipWithError("the wheel did not zoom");
        delta = -delta;
    }
    w.Check(state);
}

BENCHMARK(Repaint)->Name("B10_window/repaint")->Apply(Milliseconds);
BENCHMARK(Step)->Name("B10_window/step")->Apply(Milliseconds);
BENCHMARK(Zoom)->Name("B10_window/zoom")->Apply(Milliseconds);

}  // namespace
}  // namespace marvek::bench
