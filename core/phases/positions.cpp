#include "core/phases/positions.h"

#include <cmath>
#include <filesystem>
#include <map>

#include "core/io/number_format.h"

namespace marvek::phases {

Position GridPosition(const GridLayout& g, int i) {
    const int columns = std::max(1, g.columns), rows = std::max(1, g.rows);
    const int row = i / columns;
    int column = i % columns;
    if (g.order == GridLayout::Order::Serpentine && row % 2 == 1) column = columns - 1 - column;
    const bool fromRight =
        g.start == GridLayout::Corner::BottomRight || g.start == GridLayout::Corner::TopRight;
    const bool fromTop =
        g.start == GridLayout::Corner::TopLeft || g.start == GridLayout::Corner::TopRight;
    const int xIndex = fromRight ? columns - 1 - column : column;
    const int yIndex = fromTop ? rows - 1 - row : row;
    return {xIndex * g.pitchX_um, yIndex * g.pitchY_um};
}

Status ParseGridLayout(const std::string& text, GridLayout& out) {
    auto bad = [&](const std::string& why) {
        return Status::Error("grid '" + text + "': " + why +
                             " (e.g. 20x30,pitch=5,serpentine,start=top-left)");
    };
    GridLayout g;
    std::size_t at = 0;
    std::vector<std::string> parts;
    while (at <= text.size()) {
        const auto comma = text.find(',', at);
        parts.push_back(
            text.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    const auto x = parts[0].find('x');
    if (x == std::string::npos) return bad("no ROWSxCOLUMNS");
    std::size_t used1 = 0, used2 = 0;
    g.rows = ParseInt(parts[0].substr(0, x), &used1);
    g.columns = ParseInt(parts[0].substr(x + 1), &used2);
    if (used1 != x || used2 != parts[0].size() - x - 1 || g.rows < 1 || g.columns < 1)
        return bad("rows and columns must be whole numbers of at least 1");
    for (std::size_t p = 1; p < parts.size(); ++p) {
        const std::string& part = parts[p];
        if (part == "serpentine") {
            g.order = GridLayout::Order::Serpentine;
        } else if (part == "raster") {
            g.order = GridLayout::Order::Raster;
        } else if (part.rfind("pitch=", 0) == 0) {
            const std::string v = part.substr(6);
            const auto colon = v.find(':');
            std::size_t u1 = 0, u2 = 0;
            g.pitchX_um = ParseDouble(v.substr(0, colon), &u1);
            g.pitchY_um =
                colon == std::string::npos ? g.pitchX_um : ParseDouble(v.substr(colon + 1), &u2);
            const bool ok = u1 == std::min(colon, v.size()) &&
                            (colon == std::string::npos || u2 == v.size() - colon - 1);
            if (!ok || !(g.pitchX_um > 0) || !(g.pitchY_um > 0) || !std::isfinite(g.pitchX_um) ||
                !std::isfinite(g.pitchY_um))
                return bad("the pitch must be a positive number of µm");
        } else if (part == "start=bottom-left") {
            g.start = GridLayout::Corner::BottomLeft;
        } else if (part == "start=bottom-right") {
            g.start = GridLayout::Corner::BottomRight;
        } else if (part == "start=top-left") {
            g.start = GridLayout::Corner::TopLeft;
        } else if (part == "start=top-right") {
            g.start = GridLayout::Corner::TopRight;
        } else {
            return bad("unknown part '" + part + "'");
        }
    }
    out = g;
    return {};
}

Status JoinPositions(const Table& table, const std::string& tableName,
                     const std::vector<CurveKey>& curves, std::vector<Position>& out) {
    const int file = FindColumn(table, "file"), test = FindColumn(table, "test");
    const int x = FindColumn(table, "x_um"), y = FindColumn(table, "y_um");
    if (file < 0 || test < 0 || x < 0 || y < 0)
        return Status::FileError(tableName,
                                 "a positions table needs the columns file, test, "
                                 "x_um and y_um");
    // Rows by (file, test); the first row number is kept to name both of a duplicate pair.
    std::map<std::pair<std::string, std::string>, std::size_t> rowOf;
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const auto key = std::make_pair(table.rows[r][file], table.rows[r][test]);
        const auto [it, fresh] = rowOf.emplace(key, r);
        if (!fresh)
            return Status::FileError(tableName, "rows " + std::to_string(it->second + 2) + " and " +
                                                    std::to_string(r + 2) + " both place " +
                                                    key.first +
                                                    (key.second.empty() ? "" : "#" + key.second));
    }
    out.clear();
    for (const auto& c : curves) {
        auto it = rowOf.find({c.file, c.test});
        if (it == rowOf.end())
            it = rowOf.find({std::filesystem::path(c.file).filename().string(), c.test});
        const std::string name = c.file + (c.test.empty() ? "" : "#" + c.test);
        if (it == rowOf.end())
            return Status::FileError(tableName, "no position for " + name, ErrorCode::BadValue);
        const auto& row = table.rows[it->second];
        std::size_t ux = 0, uy = 0;
        const Position p{ParseDouble(row[x], &ux), ParseDouble(row[y], &uy)};
        if (row[x].empty() || row[y].empty() || ux != row[x].size() || uy != row[y].size() ||
            !std::isfinite(p.x_um) || !std::isfinite(p.y_um))
            return Status::LineError(ErrorCode::BadValue, tableName,
                                     static_cast<int>(it->second + 2),
                                     "the position of " + name + " is not a pair of numbers");
        out.push_back(p);
    }
    return {};
}

}  // namespace marvek::phases
