#pragma once
// Runs a graph command off the window thread while the window shows its progress (once the
// work has taken half a second) with a Cancel button.

#include <functional>

#include "core/series/graph_series.h"

class QWidget;

namespace marvek::graphs {

// `work` runs on a worker thread with options carrying the progress and cancel hooks; it must
// not touch the windows. Returns what `work` returned (cancelled when the user pressed Cancel).
GraphResult RunWithProgress(QWidget* owner,
                            const std::function<GraphResult(const GraphOptions&)>& work);

}  // namespace marvek::graphs
