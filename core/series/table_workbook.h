#pragma once
// Tables as an .xlsx workbook, one sheet each, for outputs that are not a series (the depth
// profiles of `marvek-cli profile --xlsx`). The workbook module writes it, so only runs that
// write a workbook load libxlsxwriter; a sheet's rows are asked for one at a time and written
// straight out, so a long table is never held twice.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "core/base/status.h"

namespace marvek {

// A number (NaN: an empty cell) or, with isText, a text (always a text cell, never a formula).
struct WorkbookCell {
    double number = std::numeric_limits<double>::quiet_NaN();
    std::string text;
    bool isText = false;
};

struct WorkbookSheet {
    std::string name;
    std::vector<std::string> header;
    std::size_t rows = 0;
    // Fills `cells` (resized to the header's width, cleared) with row `row`; rows are asked for
    // in order, once each.
    std::function<void(std::size_t row, std::vector<WorkbookCell>& cells)> fill;
};

// A sheet longer than a spreadsheet's rows continues on sheets "NAME 2", "NAME 3", ..., each with
// the header. A failure names the file and the reason; an older file of that name stays whole.
Status WriteTableWorkbook(const std::vector<WorkbookSheet>& sheets,
                          const std::filesystem::path& file);

// Rows of data a sheet holds below its header.
inline constexpr std::size_t kWorkbookSheetRows = 1048575;

}  // namespace marvek
