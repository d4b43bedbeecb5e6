#pragma once
// What a window's graph menu command does: run the series in core with progress, say what
// failed, show the graph window.

#include "core/analysis/curve_analysis.h"
#include "core/analysis/curve_analyzer.h"
#include "core/config/settings.h"
#include "core/series/graph_series.h"
#include "ui/dialog.h"

namespace marvek::graphs {

// Runs `command` on copies of `analyzer` and `display` on a worker thread (progress with
// Cancel after half a second), then, unless nothing ran or the user cancelled, takes the
// copies over (the command's last analysis, as the one-thread run leaves it), shows the
// failures, note and result messages and runs the graph window. Returns true when the
// analysis state changed (the owner should repaint).
// What the window adds to a graph: the curves the user excluded (their points are left out,
// so the mean is that of the curves the table counts) and the file and settings line of the
// title.
struct GraphContext {
    std::vector<bool> excluded;  // by curve index; missing entries are included
};
bool ShowGraphCommand(ui::Dialog& owner, GraphCommand command, CCurveAnalyzer& analyzer,
                      CurveDisplay& display, const Settings& settings, int currentCurve,
                      const GraphContext& context = {});

// The series as the window shows it: curve numbers counted from 1 as the main window counts
// them, points of excluded curves left out, each point labelled with its curve's file and test.
// `left` receives the number of points left out.
GraphSeries PrepareGraphSeries(GraphSeries series, const CCurveAnalyzer& analyzer,
                               const GraphContext& context, std::size_t& left);
// "19 curves in /data/steel; Oliver-Pharr 20-82 %, Poisson 0.3, compliance 0 nm/mN".
std::string DescribeGraphSource(const CCurveAnalyzer& analyzer, const Settings& settings,
                                GraphKind kind, int currentCurve);

}  // namespace marvek::graphs
