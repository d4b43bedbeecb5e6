#include "settings/calibration_support.h"

#include "core/series/graph_series.h"
#include "graphs/graph_progress.h"
#include "graphs/graph_window.h"
#include "ui/services.h"

void RunCalibrationWithProgress(
    QWidget* owner, const std::function<void(const marvek::CalibrationProgress&)>& work) {
    marvek::graphs::RunWithProgress(owner, [&](const marvek::GraphOptions& options) {
        work([&](int done, int total) {
            if (options.progress) {
                options.progress(static_cast<std::size_t>(done), static_cast<std::size_t>(total));
            }
            return !(options.cancel && options.cancel->load());
        });
        return marvek::GraphResult{};
    });
}

void ShowCalibrationGraph(const char* xTitle, const char* yTitle, const std::vector<double>& x,
                          const std::vector<double>& y) {
    CGraphDlg graph;
    marvek::GraphSeries series;
    series.xTitle = xTitle;
    series.yTitle = yTitle;
    series.x = x;
    series.y = y;
    graph.SetSeries(series);
    marvek::ui::GetServices().RunModal(graph);
}
