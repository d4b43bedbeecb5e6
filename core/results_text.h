#pragma once
// The results text of the displayed curve.

#include <string>

#include "curve_analysis.h"
#include "curve_analyzer.h"

namespace marvek {

// The text shown in the main window's results box. Recomputes the segment durations of the
// analyzer (ComputeSegmentTimes) as part of the text, as the display does.
std::string BuildResultsText(CCurveAnalyzer& analyzer, const CurveDisplay& display, int method);

}  // namespace marvek
