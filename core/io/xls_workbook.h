#pragma once
// Reader of .xls workbooks: the compound file that holds them (header, FAT, DIFAT, mini stream,
// directory) and the BIFF8 records of their "Workbook" stream that carry cell values. Every length
// and index read from the file is checked before use; nothing is allocated from an unchecked size.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/large_blocks.h"

namespace marvek::io::workbook {

// One cell as the sheet states it: a number, a text, or empty (neither).
struct Cell {
    bool number = false;
    double value = 0;
    std::string text;
};
using Row = std::vector<Cell>;

// Cells of one sheet at most (a test sheet of 40000 rows x 100 columns is 4 million); more is a
// forged size, not a curve.
constexpr std::uint64_t kMaxCells = 8'000'000;

// A sheet with every cell as its own object (SheetCells::Materialize).
struct Sheet {
    std::string name;
    std::vector<Row> rows;
    const Cell* at(std::size_t r, std::size_t c) const {
        if (r >= rows.size() || c >= rows[r].size()) return nullptr;
        return &rows[r][c];
    }
};

// A cell of SheetCells: `text` points into the sheet (or its shared strings) and lives as long.
struct CellView {
    bool number = false;
    double value = 0;
    std::string_view text;
    bool empty() const { return !number && text.empty(); }
};

// The cells of one sheet, stored flat: one double and one kind byte a cell, row after row, with
// texts held once (the workbook's shared strings, shared by all its sheets, or the sheet's own).
// A grid of small objects each owning a string cost more in allocation and page faults than the
// reading itself.
class SheetCells {
public:
    using SharedStrings = std::shared_ptr<const std::vector<std::string>>;
    SheetCells() = default;
    // A sheet's range: 65536 rows x 256 columns in BIFF8, more in other formats.
    explicit SheetCells(std::string sheetName, SharedStrings shared = {},
                        std::uint32_t maxRows = 65536, std::uint32_t maxCols = 256)
        : name(std::move(sheetName)),
          shared_(std::move(shared)),
          maxRows_(maxRows),
          maxCols_(maxCols) {}

    std::string name;

    // The grid's size: at least the stated DIMENSIONS, and every cell stated.
    std::size_t rows() const { return rows_; }
    std::size_t cols() const { return cols_; }
    // The cell at (r, c); empty outside the grid.
    CellView at(std::size_t r, std::size_t c) const {
        if (r >= rows_ || c >= cols_) return {};
        const std::size_t i = r * stride_ + c;
        switch (kind_[i]) {
            case kNumber: return {true, value_[i], {}};
            case kShared: return {false, 0, (*shared_)[static_cast<std::size_t>(value_[i])]};
            case kOwn: return {false, 0, own_[static_cast<std::size_t>(value_[i])]};
            default: return {};
        }
    }
    bool empty() const;  // no number and no text anywhere
    std::size_t sharedCount() const { return shared_ ? shared_->size() : 0; }

    // Building. Each fails with `error` set when the sheet would exceed kMaxCells or a cell
    // lies outside the sheet's range; a later cell replaces an earlier one at the same place.
    bool Dimensions(std::uint64_t rows, std::uint64_t cols, std::string& error);
    bool Touch(std::uint32_t r, std::uint32_t c, std::string& error);  // grows, sets nothing
    bool SetNumber(std::uint32_t r, std::uint32_t c, double v, std::string& error);
    bool SetText(std::uint32_t r, std::uint32_t c, std::string text, std::string& error);
    // Text `k` of the shared strings (the caller checks k against their count).
    bool SetShared(std::uint32_t r, std::uint32_t c, std::uint32_t k, std::string& error);

    // Every cell as an owning grid, each row as wide as the sheet.
    Sheet Materialize() const;

private:
    enum : std::uint8_t { kEmpty, kNumber, kShared, kOwn };
    bool Grow(std::uint64_t rows, std::uint64_t cols, std::string& error);
    std::size_t rows_ = 0, cols_ = 0, stride_ = 0;
    // Zeroed by the allocator (large ones as huge pages): a fresh grid costs no fill.
    ZeroedVector<double> value_;  // the number, or the index of the text
    ZeroedVector<std::uint8_t> kind_;
    std::vector<std::string> own_;
    SharedStrings shared_;
    std::uint32_t maxRows_ = 65536, maxCols_ = 256;
};

// A sheet of the workbook that holds no cells (a chart or macro sheet), with what it is.
struct OtherSheet {
    std::string name;
    std::string kind;  // "a chart sheet", "a macro sheet", ...
};

// The named stream of a compound file (names compare without case). False with `error` set
// when the container is damaged or holds no such stream.
bool ReadCompoundStream(std::string_view file, std::string_view name, std::string& stream,
                        std::string& error);

// The worksheets of a BIFF8 workbook stream in their order, handing each to `take` as soon as
// it is read (it may keep or drop it), so that a caller needs only one sheet's cells in memory at
// a time; the other sheets in `others`. False with `error` set on a damaged stream.
bool ReadBiffCells(std::string_view stream, const std::function<void(SheetCells&&)>& take,
                   std::vector<OtherSheet>& others, std::string& error);

// Both of the above over the bytes of an .xls file.
bool ReadXlsCells(std::string_view file, const std::function<void(SheetCells&&)>& take,
                  std::vector<OtherSheet>& others, std::string& error);

// The same, every worksheet materialized (Sheet), for callers that want every cell as an object.
bool ReadBiffWorkbook(std::string_view stream, std::vector<Sheet>& sheets,
                      std::vector<OtherSheet>& others, std::string& error);
bool ReadXlsWorkbook(std::string_view file, std::vector<Sheet>& sheets,
                     std::vector<OtherSheet>& others, std::string& error);

// The value of an RK number (a 30-bit integer or the high 30 bits of a double, optionally
// divided by 100).
double RkValue(std::uint32_t rk);

}  // namespace marvek::io::workbook
