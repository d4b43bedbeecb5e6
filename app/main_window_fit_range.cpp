// One curve's own unloading fit range: the two ends of the fit are handles on the plot; dragged
// up or down the unloading they set the force range of the active method for this curve alone
// (in % of the load drop, the settings' own terms), which is kept with the curve's notes (undo,
// projects, the results table) until View > Reset Fit Range.
#include <QMouseEvent>

#include <algorithm>
#include <cmath>
#include <span>

#include "app/main_window.h"
#include "app/resource_ids.h"
#include "core/analysis/peak_search.h"
#include "core/io/number_format.h"
#include "table/results_table_window.h"

using namespace marvek;
using namespace resource;

namespace {

constexpr const char* kHandles = "fit range";
constexpr ui::Rgb kHandleColour{230, 120, 0};
// How near (pixels) a press must come to a handle to take it.
constexpr double kGrabPixels = 10;
// The ends keep at least this much of the load drop (%) between them.
constexpr float kLeastWidth = 1;

// Takes a press near a handle, moves the handle along the unloading with the cursor and hands
// the released load to OnFitRangeDragged. Every other mouse event goes on to the plot (zoom,
// pan). It holds the plot itself: the plot outlives the window's own members while Qt deletes
// the window's children, and the child events of that teardown pass through here too, so only
// mouse events may touch the window.
class FitRangeDrag : public QObject {
public:
    explicit FitRangeDrag(CIndentMainDlg& window)
        : QObject(window.m_plot), w_(window), plot_(*window.m_plot) {}

    bool eventFilter(QObject*, QEvent* event) override {
        ui::PlotView& plot = plot_;
        switch (event->type()) {
            case QEvent::MouseButtonPress: {
                auto* e = static_cast<QMouseEvent*>(event);
                if (e->button() != Qt::LeftButton || e->modifiers() != Qt::NoModifier) return false;
                const int handle = HandleAt(e->position());
                if (handle < 0) return false;
                dragging_ = handle;
                return true;
            }
            case QEvent::MouseMove: {
                auto* e = static_cast<QMouseEvent*>(event);
                if (dragging_ < 0) {
                    // The cursor says a handle can be taken.
                    if (HandleAt(e->position()) >= 0)
                        plot.setCursor(Qt::SizeVerCursor);
                    else
                        plot.unsetCursor();
                    return false;
                }
                MoveHandle(plot.yAxis->pixelToCoord(e->position().y()));
                return true;
            }
            case QEvent::MouseButtonRelease: {
                if (dragging_ < 0) return false;
                auto* e = static_cast<QMouseEvent*>(event);
                const bool upper = dragging_ == 0;
                dragging_ = -1;
                plot.unsetCursor();
                w_.OnFitRangeDragged(upper, plot.yAxis->pixelToCoord(e->position().y()));
                return true;
            }
            case QEvent::MouseButtonDblClick: return dragging_ >= 0;
            default: return false;
        }
    }

private:
    // 0 the upper handle, 1 the lower, -1 none near.
    int HandleAt(QPointF pixel) const {
        const ui::PlotView& plot = plot_;
        for (const ui::PlotSeries& s : plot.Data().series) {
            if (s.name != kHandles) continue;
            for (std::size_t k = 0; k < s.x.size() && k < 2; ++k) {
                const double dx = plot.xAxis->coordToPixel(s.x[k]) - pixel.x();
                const double dy = plot.yAxis->coordToPixel(s.y[k]) - pixel.y();
                if (std::hypot(dx, dy) <= kGrabPixels) return static_cast<int>(k);
            }
        }
        return -1;
    }

    // The dragged handle at the unloading point nearest `load`; the status line says where.
    void MoveHandle(double load) {
        const auto ends = w_.ShownFitRangeEnds();
        if (!ends) return;
        const CCurveAnalyzer& a = w_.m_analyzer;
        const auto n = static_cast<std::size_t>(std::max(a.m_nPoints, 0));
        const UnloadPeak p =
            FindUnloadPeak(std::span(a.m_pDepth.data(), n), std::span(a.m_pLoad.data(), n));
        if (!p.found()) return;
        int best = p.peak;
        for (int j = p.peak; j <= p.bottom; ++j)
            if (std::fabs(a.m_pLoad[j] - load) < std::fabs(a.m_pLoad[best] - load)) best = j;
        ui::PlotView& plot = plot_;
        for (int i = 0; i < plot.plottableCount(); ++i) {
            auto* graph = qobject_cast<QCPGraph*>(plot.plottable(i));
            if (!graph || graph->name() != kHandles || graph->dataCount() < 2) continue;
            QVector<double> x{ends->upperDepth, ends->lowerDepth},
                y{ends->upperLoad, ends->lowerLoad};
            x[dragging_] = a.m_pDepth[best];
            y[dragging_] = a.m_pLoad[best];
            graph->setData(x, y);
        }
        const double drop = ends->peakLoad - ends->bottomLoad;
        w_.SetStatusText("Fit range " + std::string(dragging_ == 0 ? "upper" : "lower") +
                         " end: " + FormatFixed((load - ends->bottomLoad) / drop * 100, 1) +
                         " % of the load drop (release to analyse)");
        plot.replot(QCustomPlot::rpQueuedReplot);
    }

    CIndentMainDlg& w_;
    ui::PlotView& plot_;
    int dragging_ = -1;
};

}  // namespace

Settings CIndentMainDlg::CurveSettings(int curve) const {
    const Settings settings = CurrentSettings();
    if (curve < 0 || curve >= m_analyzer.m_nFileCount) return settings;
    const auto range =
        NotesOf(m_analyzer.m_strFiles[static_cast<std::size_t>(curve)].string()).fitRange;
    return range ? WithFitRange(settings, *range) : settings;
}

std::optional<CIndentMainDlg::FitRangeEnds> CIndentMainDlg::ShownFitRangeEnds() const {
    if (!m_lastOutcome.ok() || m_nCurrentCurve < 0 || m_analyzer.m_nPoints < 2) return {};
    if (!FitsUnloading(CurrentSettings().strategy.method())) return {};
    const auto n = static_cast<std::size_t>(m_analyzer.m_nPoints);
    const std::span<const double> depth(m_analyzer.m_pDepth.data(), n),
        load(m_analyzer.m_pLoad.data(), n);
    const UnloadPeak p = FindUnloadPeak(depth, load);
    if (!p.found() ||
        !(load[static_cast<std::size_t>(p.peak)] > load[static_cast<std::size_t>(p.bottom)]))
        return {};
    const UnloadFitRange range = FitRangeOf(CurveSettings(m_nCurrentCurve));
    const LoadWindow window = UnloadLoadWindow(load, p, range.minPercent, range.maxPercent);
    // The section's first and last points, as the analysis selects them.
    int first = -1, last = -1;
    for (int j = p.peak; j < p.bottom; ++j)
        if (window.Holds(load[static_cast<std::size_t>(j)])) {
            if (first < 0) first = j;
            last = j;
        }
    if (first < 0) return {};
    FitRangeEnds e;
    e.upperDepth = depth[static_cast<std::size_t>(first)];
    e.upperLoad = load[static_cast<std::size_t>(first)];
    e.lowerDepth = depth[static_cast<std::size_t>(last)];
    e.lowerLoad = load[static_cast<std::size_t>(last)];
    e.peakLoad = load[static_cast<std::size_t>(p.peak)];
    e.bottomLoad = load[static_cast<std::size_t>(p.bottom)];
    return e;
}

void CIndentMainDlg::AddFitRangeHandles(ui::PlotData& content) const {
    const auto ends = ShownFitRangeEnds();
    if (!ends) return;
    content.series.push_back({kHandles,
                              {ends->upperDepth, ends->lowerDepth},
                              {ends->upperLoad, ends->lowerLoad},
                              kHandleColour,
                              ui::PlotSeries::Style::Markers});
}

void CIndentMainDlg::InstallFitRangeDrag() { m_plot->installEventFilter(new FitRangeDrag(*this)); }

bool CIndentMainDlg::OnFitRangeDragged(bool upper, double load) {
    const auto ends = ShownFitRangeEnds();
    if (!ends || !std::isfinite(load)) return false;
    // The load in the settings' terms, to a tenth of a per cent.
    const double drop = ends->peakLoad - ends->bottomLoad;
    const double percent =
        std::clamp(std::round((load - ends->bottomLoad) / drop * 1000) / 10, 0.0, 100.0);
    UnloadFitRange range = FitRangeOf(CurveSettings(m_nCurrentCurve));
    (upper ? range.maxPercent : range.minPercent) = static_cast<float>(percent);
    if (!(range.maxPercent - range.minPercent >= kLeastWidth)) {
        SetStatusText("The fit range needs its lower end at least " + FormatShortest(kLeastWidth) +
                      " % of the load drop below its upper end; nothing was changed.");
        RefreshPlot();  // the handle back where it was
        return false;
    }
    SetCurveFitRange(m_nCurrentCurve, range);
    return true;
}

void CIndentMainDlg::SetCurveFitRange(int curve, std::optional<UnloadFitRange> range) {
    if (curve < 0 || curve >= m_analyzer.m_nFileCount) return;
    // The settings' own range is no range of the curve's own.
    if (range && *range == FitRangeOf(CurrentSettings())) range.reset();
    const std::string address = m_analyzer.m_strFiles[static_cast<std::size_t>(curve)].string();
    project::CurveNotes notes = NotesOf(address);
    if (notes.fitRange == range) {
        RefreshPlot();
        return;
    }
    notes.fitRange = range;
    SetCurveNotes(address, notes, "fit range");
    if (table_) table_->SetFitRange(curve, range);
    if (curve == m_nCurrentCurve) DisplayCurve(curve);
    SetStatusText(range ? "Fit range of this curve: " + FormatShortest(range->minPercent) + "-" +
                              FormatShortest(range->maxPercent) + " % of the load drop"
                        : std::string("Fit range of this curve: the settings'"));
}

void CIndentMainDlg::OnResetFitRange() { SetCurveFitRange(m_nCurrentCurve, std::nullopt); }
