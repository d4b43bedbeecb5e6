#pragma once
// Why the displayed curve gives no result, in words a researcher can act on.

#include <string>

#include "core/analysis/curve_analysis.h"
#include "core/analysis/curve_analyzer.h"
#include "core/config/settings.h"

namespace marvek {

// A plain sentence without a final full stop ("no unloading segment found", "all loads are
// zero", "the fit range 120–5 % is empty"), or empty when the analysis gave a result. Reads the
// analyzer and display as AnalyzeCurve left them.
std::string NoResultReason(const CCurveAnalyzer& analyzer, const CurveDisplay& display,
                           const Settings& settings);

// The text the results box shows instead of numbers that do not exist: the method, the point
// counts and the reason.
std::string NoResultText(const CCurveAnalyzer& analyzer, AnalysisMethod method,
                         const std::string& reason);

}  // namespace marvek
