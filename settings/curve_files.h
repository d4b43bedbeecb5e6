#pragma once
// The shared curve-file picker of the main window and the calibrations.

#include "core/analysis/curve_analyzer.h"

namespace marvek {

// Runs the multi-select open dialog for CSV files. On a confirmed choice the analyzer's list is
// replaced by the chosen paths in the dialog's order (the first 2000) and true is returned; a
// cancelled dialog leaves the list as it was.
// The open dialog's filter: every format the import layer reads.
extern const char* const kCurveFileFilter;

bool SelectCurveFiles(CCurveAnalyzer& analyzer);

}  // namespace marvek
