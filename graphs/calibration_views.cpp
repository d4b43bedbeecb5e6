#include "graphs/calibration_views.h"

#include "core/series/graph_series.h"
#include "graphs/graph_progress.h"
#include "graphs/graph_window.h"
#include "ui/services.h"

namespace marvek::graphs {

CalibrationViews MakeCalibrationViews() {
    CalibrationViews views;
    views.runWithProgress = [](QWidget* owner,
                               const std::function<void(const CalibrationProgress&)>& work) {
        RunWithProgress(owner, [&](const GraphOptions& options) {
            work([&](int done, int total) {
                if (options.progress) {
                    options.progress(static_cast<std::size_t>(done),
                                     static_cast<std::size_t>(total));
                }
                return !(options.cancel && options.cancel->load());
            });
            return GraphResult{};
        });
    };
    views.showGraph = [](const std::string& xTitle, const std::string& yTitle,
                         const std::vector<double>& x, const std::vector<double>& y) {
        CGraphDlg graph;
        GraphSeries series;
        series.xTitle = xTitle;
        series.yTitle = yTitle;
        series.x = x;
        series.y = y;
        graph.SetSeries(series);
        ui::GetServices().RunModal(graph);
    };
    return views;
}

}  // namespace marvek::graphs
