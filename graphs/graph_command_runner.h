#pragma once
// What a window's graph menu command does: run the series in core with progress, say what
// failed, show the graph window.

#include "core/analysis/curve_analysis.h"
#include "core/analysis/curve_analyzer.h"
#include "core/io/settings.h"
#include "core/series/graph_series.h"
#include "ui/dialog.h"

namespace marvek::graphs {

// Runs `command` on copies of `analyzer` and `display` on a worker thread (progress with
// Cancel after half a second), then, unless nothing ran or the user cancelled, takes the
// copies over (the command's last analysis, as the one-thread run leaves it), shows the
// failures, note and result messages and runs the graph window. Returns true when the
// analysis state changed (the owner should repaint).
bool ShowGraphCommand(ui::Dialog& owner, GraphCommand command, CCurveAnalyzer& analyzer,
                      CurveDisplay& display, const Settings& settings, int currentCurve);

}  // namespace marvek::graphs
