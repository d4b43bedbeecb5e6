#pragma once
// Where each indent was: from a user's table joined on file and test, or from a description of
// the grid applied in list order. Positions in µm, x to the right and y up.

#include <string>
#include <vector>

#include "core/base/status.h"
#include "core/phases/table.h"

namespace marvek::phases {

struct Position {
    double x_um = 0, y_um = 0;
};

struct GridLayout {
    enum class Order { Raster, Serpentine };  // serpentine: every other row runs back
    enum class Corner { BottomLeft, BottomRight, TopLeft, TopRight };
    int rows = 1, columns = 1;
    double pitchX_um = 1, pitchY_um = 1;
    Order order = Order::Raster;
    Corner start = Corner::BottomLeft;  // where the first indent is; rows run along x
};

// The position of the i-th indent (0-based) of the grid; the grid's bottom-left indent is at
// (0, 0). Indents beyond rows x columns continue the pattern past the last row.
Position GridPosition(const GridLayout& grid, int i);

// Parses "ROWSxCOLUMNS" with optional ",pitch=P" (or ",pitch=PX:PY"), ",serpentine" and
// ",start=bottom-left|bottom-right|top-left|top-right" (e.g. "20x30,pitch=5,serpentine").
Status ParseGridLayout(const std::string& text, GridLayout& out);

// One curve to place: its file as given and its test name (empty for a one-curve file).
struct CurveKey {
    std::string file, test;
};

// Joins `table` (columns file, test, x_um, y_um) to `curves`: a row matches a curve when its
// test equals the curve's and its file equals the curve's file or that file's name. A curve
// without a row, or with two, is an error naming it.
Status JoinPositions(const Table& table, const std::string& tableName,
                     const std::vector<CurveKey>& curves, std::vector<Position>& out);

}  // namespace marvek::phases
