#include "graphs/graph_command_runner.h"

#include "graphs/graph_progress.h"
#include "graphs/graph_window.h"
#include "ui/services.h"

namespace marvek::graphs {

bool ShowGraphCommand(ui::Dialog& owner, GraphCommand command, CCurveAnalyzer& analyzer,
                      CurveDisplay& display, const Settings& settings, int currentCurve) {
    if (analyzer.m_nFileCount < 1) return false;
    // The work runs on copies; the window takes them over only when the command completes.
    CCurveAnalyzer workAnalyzer = analyzer;
    CurveDisplay workDisplay = display;
    const GraphResult result = RunWithProgress(&owner, [&](const GraphOptions& options) {
        return RunGraphCommand(command, workAnalyzer, workDisplay, settings, currentCurve, options);
    });
    if (!result.ran || result.cancelled) return false;
    analyzer = std::move(workAnalyzer);
    display = std::move(workDisplay);
    if (!result.failures.empty())
        ui::ShowMessage(&owner, DescribeGraphFailures(result.failures), ui::kApplicationName,
                        ui::MessageButtons::Ok, ui::MessageIcon::Warning);
    if (!result.note.empty()) ui::ShowMessage(&owner, result.note, ui::kApplicationName);
    if (!result.resultMessage.empty())
        ui::ShowMessage(&owner, result.resultMessage, kGraininessResultCaption);
    CGraphDlg graph;
    graph.SetSeries(result.series);
    graph.DoModal();
    return true;
}

}  // namespace marvek::graphs
