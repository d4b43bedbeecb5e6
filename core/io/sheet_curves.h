#pragma once
// Workbook sheets into curves, for the .xls reader here and the .xlsx reader of the workbook
// module: a sheet whose first row names a depth and a load column is a test (a "Test ..." sheet
// must be one); the other sheets give each test's values or are listed as skipped with the
// reason.

#include <string>
#include <string_view>
#include <vector>

#include "parsed_curve.h"
#include "xls_workbook.h"

namespace marvek::io {

// The curves of a workbook's sheets into `out` (`format` names it in each curve).
void WorkbookCurves(std::vector<workbook::SheetCells>& sheets, const ReadOptions& o,
                    const std::string& format, ParsedFile& out);

// .xls workbooks (G200/XP and any other BIFF8 workbook), read from memory.
void ParseXls(std::string_view content, const ReadOptions& o, ParsedFile& out);

}  // namespace marvek::io
