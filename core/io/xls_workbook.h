#pragma once
// Reader of .xls workbooks: the compound file that holds them (header, FAT, DIFAT, mini stream,
// directory) and the BIFF8 records of their "Workbook" stream that carry cell values. Every length
// and index read from the file is checked before use; nothing is allocated from an unchecked size.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

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

struct Sheet {
    std::string name;
    std::vector<Row> rows;
    const Cell* at(std::size_t r, std::size_t c) const {
        if (r >= rows.size() || c >= rows[r].size()) return nullptr;
        return &rows[r][c];
    }
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

// The worksheets of a BIFF8 workbook stream in their order, every cell each one states (a dense
// grid at least as large as its DIMENSIONS record); the other sheets in `others`. False with
// `error` set on a damaged stream.
bool ReadBiffWorkbook(std::string_view stream, std::vector<Sheet>& sheets,
                      std::vector<OtherSheet>& others, std::string& error);

// Both of the above over the bytes of an .xls file.
bool ReadXlsWorkbook(std::string_view file, std::vector<Sheet>& sheets,
                     std::vector<OtherSheet>& others, std::string& error);

// The same, handing each worksheet to `take` as soon as it is read (it may keep or drop it), so
// that a caller needs only one sheet's cells in memory at a time.
bool ReadXlsWorkbook(std::string_view file, const std::function<void(Sheet&&)>& take,
                     std::vector<OtherSheet>& others, std::string& error);

// The value of an RK number (a 30-bit integer or the high 30 bits of a double, optionally
// divided by 100).
double RkValue(std::uint32_t rk);

}  // namespace marvek::io::workbook
