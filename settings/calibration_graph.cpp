#include "settings/calibration_graph.h"

#include "core/graph_series.h"
#include "graphs/graph_window.h"
#include "ui/services.h"

void ShowCalibrationGraph(const char* xTitle, const char* yTitle, const std::vector<double>& x,
                          const std::vector<double>& y) {
    CGraphDlg graph;
    graph.SetSeries(marvek::GraphSeries{xTitle, yTitle, x, y});
    marvek::ui::GetServices().RunModal(graph);
}
