#pragma once
// The results text of the displayed curve.

#include <string>

#include "core/analysis/curve_analysis.h"
#include "core/analysis/curve_analyzer.h"

namespace marvek {

// The text shown in the main window's results box, from the analyzer and display that
// AnalyzeCurve filled (segment durations included).
std::string BuildResultsText(const CCurveAnalyzer& analyzer, const CurveDisplay& display,
                             AnalysisMethod method);

}  // namespace marvek
