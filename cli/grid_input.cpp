#include "grid_input.h"

#include <cmath>
#include <filesystem>
#include <map>

#include "core/io/number_format.h"
#include "core/io/parsed_curve.h"
#include "core/phases/positions.h"
#include "core/series/series.h"

namespace marvek::cli {

void AddGridInputOptions(CLI::App& command, GridInputOptions& o) {
    AddAnalysisOptions(command, o.analysis);
    // --columns names the result columns here; text files are read by their headers.
    command.remove_option(command.get_option("--columns"));
    command.add_option("--positions", o.positions,
                       "Indent positions of curve files: a CSV with file, test, x_um, y_um");
    command.add_option("--grid", o.grid,
                       "Positions of curve files in list order: ROWSxCOLUMNS[,pitch=UM[:UM]]"
                       "[,serpentine][,start=bottom-left|bottom-right|top-left|top-right]");
    command.add_option("INPUT", o.inputs, "A results table (CSV with a header row) or curve files")
        ->required();
}

namespace {

bool IsTableFor(const std::string& input, const std::vector<std::string>& needed,
                phases::Table& table) {
    const std::filesystem::path p(input);
    if (p.extension() != ".csv" || !std::filesystem::is_regular_file(p)) return false;
    if (!phases::ReadTable(p, table).ok()) return false;
    // A table of results names its rows' files or holds one of the columns asked for; a curve
    // file's header holds neither.
    if (phases::FindColumn(table, "file") >= 0) return true;
    for (const auto& n : needed)
        if (phases::FindColumn(table, n) >= 0) return true;
    return false;
}

std::string Number(double v) { return std::isfinite(v) ? FormatShortest(v) : std::string(); }

// Positions the files themselves record (workbooks), read once per file.
std::vector<std::optional<phases::Position>> FilePositions(const std::vector<SeriesInput>& inputs,
                                                           const io::ReadOptions& read) {
    std::map<std::string, io::ParsedFile> files;
    std::vector<std::optional<phases::Position>> out;
    for (const auto& in : inputs) {
        auto it = files.find(in.file);
        if (it == files.end()) it = files.emplace(in.file, io::ReadFile(in.file, read)).first;
        std::optional<phases::Position> p;
        for (const auto& c : it->second.curves)
            if (c.test == in.test && c.meta.positionX && c.meta.positionY)
                p = phases::Position{*c.meta.positionX, *c.meta.positionY};
        out.push_back(p);
    }
    return out;
}

}  // namespace

Status LoadGridTable(const GridInputOptions& o, const std::vector<std::string>& needed,
                     phases::Table& table, std::string& note) {
    if (o.inputs.size() == 1 && o.positions.empty() && o.grid.empty() &&
        IsTableFor(o.inputs[0], needed, table)) {
        note = "table " + o.inputs[0];
        return {};
    }
    Settings settings;
    if (Status s = ResolveSettings(o.analysis, settings); !s.ok()) return s;
    io::ReadOptions read;
    if (Status s = ResolveReadOptions(o.analysis, read); !s.ok()) return s;
    const auto addresses = io::ExpandAddresses(
        std::vector<std::filesystem::path>(o.inputs.begin(), o.inputs.end()), read);
    std::vector<SeriesInput> inputs;
    for (const auto& a : addresses) {
        const io::Address parts = io::ParseAddress(a);
        inputs.push_back({a.string(), parts.file.string(), parts.test, {}});
    }
    Series series;
    RunSeries(inputs, settings, {}, series);

    std::vector<std::optional<phases::Position>> where(inputs.size());
    if (!o.positions.empty()) {
        phases::Table positions;
        if (Status s = phases::ReadTable(o.positions, positions); !s.ok()) return s;
        std::vector<phases::CurveKey> keys;
        for (const auto& in : inputs) keys.push_back({in.file, in.test});
        std::vector<phases::Position> joined;
        if (Status s = phases::JoinPositions(positions, o.positions, keys, joined); !s.ok())
            return s;
        for (std::size_t i = 0; i < joined.size(); ++i) where[i] = joined[i];
    } else if (!o.grid.empty()) {
        phases::GridLayout grid;
        if (Status s = phases::ParseGridLayout(o.grid, grid); !s.ok()) return s;
        for (std::size_t i = 0; i < inputs.size(); ++i)
            where[i] = phases::GridPosition(grid, static_cast<int>(i));
    } else {
        where = FilePositions(inputs, read);
    }

    table = {};
    table.headers = {"file", "test"};
    for (const auto& q : SeriesQuantities()) table.headers.push_back(q.title);
    table.headers.push_back("x_um");
    table.headers.push_back("y_um");
    int failed = 0;
    for (std::size_t i = 0; i < series.curves.size(); ++i) {
        const SeriesCurve& c = series.curves[i];
        if (!c.ok) {
            ++failed;
            continue;
        }
        std::vector<std::string> row = {c.input.file, c.input.test};
        for (double v : c.values) row.push_back(Number(v));
        row.push_back(where[i] ? Number(where[i]->x_um) : "");
        row.push_back(where[i] ? Number(where[i]->y_um) : "");
        table.rows.push_back(std::move(row));
    }
    note = std::to_string(series.curves.size()) + " curves analysed, " + std::to_string(failed) +
           " without a result";
    return {};
}

}  // namespace marvek::cli
