// The series as an .xlsx workbook (libxlsxwriter): the module marvek_series_workbook.so.

#include "series_workbook.h"

#include <unistd.h>
#include <xlsxwriter.h>

#include <cmath>
#include <string>

#include "core/io/number_format.h"
#include "series.h"

namespace marvek {

namespace {

// Names are always written as text: a name starting with '=' must never become a formula.
void TextCell(lxw_worksheet* ws, lxw_row_t r, lxw_col_t c, const std::string& s,
              lxw_format* fmt = nullptr) {
    worksheet_write_string(ws, r, c, s.c_str(), fmt);
}

void NumberCell(lxw_worksheet* ws, lxw_row_t r, lxw_col_t c, double v) {
    if (std::isfinite(v)) worksheet_write_number(ws, r, c, v, nullptr);
}

void WriteCurvesSheet(lxw_workbook* book, lxw_format* bold, const Series& series) {
    lxw_worksheet* table = workbook_add_worksheet(book, "Curves");
    const char* heads[] = {"address", "file",  "test", "included",
                           "reason",  "flags", "note", "userFlag"};
    lxw_col_t col = 0;
    for (const char* h : heads) TextCell(table, 0, col++, h, bold);
    for (const SeriesQuantity& q : SeriesQuantities()) TextCell(table, 0, col++, q.title, bold);
    lxw_row_t row = 1;
    for (const SeriesCurve& c : series.curves) {
        col = 0;
        TextCell(table, row, col++, c.input.address);
        TextCell(table, row, col++, c.input.file);
        TextCell(table, row, col++, c.input.test);
        worksheet_write_boolean(table, row, col++, c.included, nullptr);
        TextCell(table, row, col++, c.exclusionReason);
        TextCell(table, row, col++, FlagCodesText(c, "; "));
        TextCell(table, row, col++, c.note);
        TextCell(table, row, col++, c.userFlag);
        for (double v : c.values) NumberCell(table, row, col++, v);
        ++row;
    }
}

void WriteSummarySheet(lxw_workbook* book, lxw_format* bold, const Series& series) {
    lxw_worksheet* summary = workbook_add_worksheet(book, "Summary");
    TextCell(summary, 0, 0, "statistic", bold);
    lxw_col_t col = 1;
    for (const SeriesQuantity& q : SeriesQuantities()) TextCell(summary, 0, col++, q.title, bold);
    lxw_row_t row = 1;
    for (const StatisticRow& r : StatisticRows()) {
        TextCell(summary, row, 0, r.name);
        col = 1;
        for (const QuantityStatistics& s : series.summary.quantities)
            NumberCell(summary, row, col++, r.value(s));
        ++row;
    }
    ++row;
    TextCell(summary, row, 0, "curves", bold);
    worksheet_write_number(summary, row++, 1, static_cast<double>(series.summary.curves), nullptr);
    TextCell(summary, row, 0, "included", bold);
    worksheet_write_number(summary, row++, 1, static_cast<double>(series.summary.included),
                           nullptr);
    TextCell(summary, row, 0, "failed", bold);
    worksheet_write_number(summary, row++, 1, static_cast<double>(series.summary.failed), nullptr);
    ++row;
    TextCell(summary, row, 0, "excluded", bold);
    TextCell(summary, row, 1, "test", bold);
    TextCell(summary, row++, 2, "reason", bold);
    for (const ExcludedCurve& e : series.summary.excluded) {
        TextCell(summary, row, 0, e.input.address);
        TextCell(summary, row, 1, e.input.test);
        TextCell(summary, row++, 2, e.reason);
    }
}

void WriteSettingsSheet(lxw_workbook* book, lxw_format* bold, const Series& series) {
    lxw_worksheet* used = workbook_add_worksheet(book, "Settings");
    TextCell(used, 0, 0, "setting", bold);
    TextCell(used, 0, 1, "value", bold);
    lxw_row_t row = 1;
    for (const auto& [name, value] : SettingsReport(series.settings)) {
        TextCell(used, row, 0, name);
        // A value that is one number is a number cell, so a spreadsheet can compute with it.
        std::size_t consumed = 0;
        const double number = ParseDouble(value, &consumed);
        if (!value.empty() && consumed == value.size() && std::isfinite(number))
            worksheet_write_number(used, row++, 1, number, nullptr);
        else
            TextCell(used, row++, 1, value);
    }
    std::string rules;
    for (const std::string& code : series.excludeCodes) rules += (rules.empty() ? "" : ",") + code;
    TextCell(used, row, 0, "excluded when flagged");
    TextCell(used, row++, 1, rules);
}

// Written beside the file and renamed over it, as every output file is: a failed write leaves
// an older workbook whole. `fill` adds the sheets.
template <class Fill>
Status WriteBook(const std::filesystem::path& file, bool constantMemory, Fill fill) {
    std::filesystem::path temp = file;
    temp += ".tmp" + std::to_string(::getpid());
    lxw_workbook_options options{};
    // Rows go straight to the file as written: a long table costs no memory.
    options.constant_memory = constantMemory ? LXW_TRUE : LXW_FALSE;
    lxw_workbook* book = workbook_new_opt(temp.c_str(), &options);
    if (!book) return Status::FileError(file, "cannot be created");
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    fill(book, bold);
    const lxw_error status = workbook_close(book);
    std::error_code ec;
    if (status != LXW_NO_ERROR) {
        std::filesystem::remove(temp, ec);
        return Status::FileError(file, std::string("cannot be written: ") + lxw_strerror(status));
    }
    std::filesystem::rename(temp, file, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return Status::FileError(file, "cannot be written: " + ec.message());
    }
    return {};
}

Status WriteWorkbookFile(const Series& series, const std::filesystem::path& file) {
    return WriteBook(file, false, [&](lxw_workbook* book, lxw_format* bold) {
        WriteCurvesSheet(book, bold, series);
        WriteSummarySheet(book, bold, series);
        WriteSettingsSheet(book, bold, series);
    });
}

void WriteTableSheets(lxw_workbook* book, lxw_format* bold, const WorkbookSheet& sheet) {
    std::vector<WorkbookCell> cells;
    std::size_t row = 0;
    int part = 1;
    // A table without rows still gets its sheet with the header.
    do {
        const std::string name = part == 1 ? sheet.name : sheet.name + " " + std::to_string(part);
        lxw_worksheet* ws = workbook_add_worksheet(book, name.c_str());
        for (std::size_t c = 0; c < sheet.header.size(); ++c)
            TextCell(ws, 0, static_cast<lxw_col_t>(c), sheet.header[c], bold);
        for (lxw_row_t r = 1; row < sheet.rows && r <= kWorkbookSheetRows; ++r, ++row) {
            cells.assign(sheet.header.size(), {});
            sheet.fill(row, cells);
            for (std::size_t c = 0; c < cells.size(); ++c) {
                if (cells[c].isText)
                    TextCell(ws, r, static_cast<lxw_col_t>(c), cells[c].text);
                else
                    NumberCell(ws, r, static_cast<lxw_col_t>(c), cells[c].number);
            }
        }
        ++part;
    } while (row < sheet.rows);
}

Status WriteTablesFile(const std::vector<WorkbookSheet>& sheets,
                       const std::filesystem::path& file) {
    return WriteBook(file, true, [&](lxw_workbook* book, lxw_format* bold) {
        for (const WorkbookSheet& sheet : sheets) WriteTableSheets(book, bold, sheet);
    });
}

}  // namespace
}  // namespace marvek

extern "C" __attribute__((visibility("default"))) const void* marvek_series_workbook() {
    static const marvek::SeriesWorkbookWriter writer{
        sizeof(marvek::Series), &marvek::WriteWorkbookFile, &marvek::WriteTablesFile};
    return &writer;
}
