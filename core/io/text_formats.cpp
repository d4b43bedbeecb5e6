// Text formats: generic delimited text, TriboScan .txt and .hld, FISCHERSCOPE, NanoTest.

#include "text_formats.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

#include "core/base/quantity_labels.h"
#include "core/io/number_format.h"
#include "line_reader.h"

namespace marvek::io {

namespace {

[[gnu::always_inline]] inline std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '"'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '"'))
        s.remove_suffix(1);
    return s;
}

bool IsNumberStart(std::string_view f) {
    f = Trim(f);
    if (f.empty()) return false;
    std::size_t used = 0;
    ParseDouble(f, &used);
    return used == f.size();
}

// Fields of a line: at `delim`, or at runs of blanks and tabs when delim is 0; at most `limit`
// (the rest of the line is then not looked at).
void SplitFields(std::string_view line, char delim, std::vector<std::string_view>& out,
                 std::size_t limit = std::string_view::npos) {
    out.clear();
    const char* p = line.data();
    const char* const end = p + line.size();
    if (delim == 0) {
        while (out.size() < limit) {
            while (p < end && (*p == ' ' || *p == '\t')) ++p;
            if (p == end) break;
            const char* const start = p;
            while (p < end && *p != ' ' && *p != '\t') ++p;
            out.emplace_back(start, static_cast<std::size_t>(p - start));
        }
        return;
    }
    while (out.size() < limit) {
        const char* const start = p;
        while (p < end && *p != delim) ++p;
        out.push_back(Trim(std::string_view(start, static_cast<std::size_t>(p - start))));
        if (p == end) break;
        ++p;
    }
}

char GuessDelimiter(std::string_view line) {
    if (line.find('\t') != std::string_view::npos) return '\t';
    if (line.find(';') != std::string_view::npos) return ';';
    if (line.find(',') != std::string_view::npos) return ',';
    return 0;
}

// How a block of rows maps to depth, load and time (0-based columns; -1 absent).
struct Plan {
    int depth = -1, load = -1, time = -1;
    double fd = 1, fl = 1, ft = 1;
    char delim = 0;
    bool decimalComma = false;
    std::string depthUnit = "nm", loadUnit = "mN", timeUnit = "s";
    // The headers as the file writes them (empty: no header), whether a unit was stated and,
    // in the side-by-side layout, the group the columns belong to.
    std::string depthName, loadName, timeName, group;
    bool depthUnitStated = false, loadUnitStated = false;
};

// One row of numbers into the curve; false when a needed field is not a number. Parsed in place:
// only the fields up to the last one needed are split, and decimal commas are read as points
// where they stand (the delimiter is never a comma then, so the fields are the same as those of
// the line with every comma made a point).
bool ReadRow(std::string_view line, const Plan& p, std::vector<std::string_view>& fields,
             ParsedCurve& c) {
    const int need = std::max({p.depth, p.load, p.time}) + 1;
    SplitFields(line, p.delim, fields, static_cast<std::size_t>(need));
    const int n = static_cast<int>(fields.size());
    if (p.depth >= n || p.load >= n || p.time >= n) return false;
    double v[3] = {0, 0, 0};
    const int cols[3] = {p.depth, p.load, p.time};
    for (int k = 0; k < 3; ++k) {
        if (cols[k] < 0) continue;
        std::string_view f = Trim(fields[static_cast<std::size_t>(cols[k])]);
        std::size_t used = 0;
        v[k] = p.decimalComma ? ParseDoubleDecimalComma(f, &used) : ParseDouble(f, &used);
        if (used == 0 || used != f.size()) return false;
    }
    c.push(v[0] * p.fd, v[1] * p.fl, v[2] * p.ft, 'X');
    return true;
}

std::string UnitsText(const Plan& p) {
    return "depth " + p.depthUnit + ", load " + p.loadUnit +
           (p.time >= 0 ? ", time " + p.timeUnit : std::string(", no time"));
}

// "depth: column 2 "Indentation (nm)", nm; load: ..." for `list` and the file information.
// A header as text to show: files written on Windows spell the micro sign in Latin-1 (0xB5),
// which would make the output invalid UTF-8; such a name is taken as Latin-1 throughout.
std::string ShownName(const std::string& name) {
    bool valid = true;
    for (std::size_t i = 0; i < name.size() && valid;) {
        const auto c = static_cast<unsigned char>(name[i]);
        const std::size_t len = c < 0x80         ? 1
                                : (c >> 5) == 6  ? 2
                                : (c >> 4) == 14 ? 3
                                : (c >> 3) == 30 ? 4
                                                 : 0;
        valid = len > 0 && i + len <= name.size();
        for (std::size_t k = 1; valid && k < len; ++k)
            valid = (static_cast<unsigned char>(name[i + k]) >> 6) == 2;
        i += len;
    }
    if (valid) return name;
    std::string out;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string ColumnsText(const Plan& p) {
    auto one = [](const char* what, int col, const std::string& name, const std::string& unit,
                  bool stated) {
        std::string t = std::string(what) + ": column " + std::to_string(col + 1);
        if (!name.empty()) t += " \"" + ShownName(name) + "\"";
        return t + ", " + unit + (stated ? "" : " (no unit stated)");
    };
    std::string t = one("depth", p.depth, p.depthName, p.depthUnit, p.depthUnitStated) + "; " +
                    one("load", p.load, p.loadName, p.loadUnit, p.loadUnitStated);
    if (p.time >= 0) t += "; " + one("time", p.time, p.timeName, p.timeUnit, true);
    return t;
}

// A depth or load unit the file does not state is a guess the user must see.
void WarnUnstatedUnits(const Plan& p, const ReadHints& hints, ParsedCurve& c) {
    if (!p.depthUnitStated)
        c.warnings.push_back(
            {0, "no unit stated for depth: read as nm (" + hints.unitIfOtherwise + ")", true});
    if (!p.loadUnitStated)
        c.warnings.push_back(
            {0, "no unit stated for load: read as mN (" + hints.unitIfOtherwise + ")", true});
}

// Applies --columns and --units over what the file said; false with `error` set when a unit is
// unknown.
bool ApplyOptions(const ReadOptions& o, Plan& p, std::string& error) {
    // Columns given replace the file's choice whole: no time column unless one is named.
    if (o.depthColumn > 0 && o.loadColumn > 0) {
        p.depth = o.depthColumn - 1;
        p.load = o.loadColumn - 1;
        p.time = o.timeColumn - 1;
        p.depthName = p.loadName = p.timeName = "";
        p.depthUnitStated = p.loadUnitStated = false;
        p.fd = p.fl = p.ft = 1;
        p.depthUnit = "nm", p.loadUnit = "mN", p.timeUnit = "s";
    }
    if (!o.depthUnit.empty()) {
        p.fd = DepthFactor(o.depthUnit);
        p.depthUnit = o.depthUnit;
        p.depthUnitStated = true;
        if (p.fd == 0) return error = "unknown depth unit \"" + o.depthUnit + "\"", false;
    }
    if (!o.loadUnit.empty()) {
        p.fl = LoadFactor(o.loadUnit);
        p.loadUnit = o.loadUnit;
        p.loadUnitStated = true;
        if (p.fl == 0) return error = "unknown load unit \"" + o.loadUnit + "\"", false;
    }
    return true;
}

// "h [nm]  P [mN]": a blank-separated unit belongs to the name before it.
void JoinBlankSeparatedUnits(std::vector<std::string_view>& names) {
    std::vector<std::string_view> joined;
    for (std::string_view f : names) {
        if (!joined.empty() && (f.front() == '(' || f.front() == '[')) {
            const char* begin = joined.back().data();
            joined.back() =
                std::string_view(begin, static_cast<std::size_t>(f.data() + f.size() - begin));
        } else {
            joined.push_back(f);
        }
    }
    names = std::move(joined);
}

// Takes column `k` as depth, load or time when it is the first of its kind, with its unit.
void AssignColumn(const ColumnHeader& h, std::string_view written, std::size_t k, Plan& p,
                  std::string& error) {
    const int col = static_cast<int>(k);
    int* slot = nullptr;
    double* factor = nullptr;
    std::string *unit = nullptr, *name = nullptr;
    bool* stated = nullptr;
    bool timeStated = false;
    switch (h.quantity) {
        case Quantity::Depth:
            slot = &p.depth, factor = &p.fd, unit = &p.depthUnit, name = &p.depthName;
            stated = &p.depthUnitStated;
            break;
        case Quantity::Load:
            slot = &p.load, factor = &p.fl, unit = &p.loadUnit, name = &p.loadName;
            stated = &p.loadUnitStated;
            break;
        case Quantity::Time:
            slot = &p.time, factor = &p.ft, unit = &p.timeUnit, name = &p.timeName;
            stated = &timeStated;
            break;
        default: return;
    }
    if (*slot >= 0) return;
    *slot = col;
    *name = std::string(Trim(written));
    if (h.unit.empty()) return;
    *factor = h.factor;
    *unit = h.unit;
    *stated = true;
    if (h.factor == 0)
        error = std::string("unknown ") + QuantityWord(h.quantity) + " unit \"" + h.unit +
                "\" in column " + std::to_string(k + 1);
}

// The header cells of a row, and the units row's cells (empty when none).
void HeaderCells(std::string_view header, std::string_view unitsRow, char delim,
                 std::vector<std::string_view>& names, std::vector<std::string_view>& units) {
    SplitFields(header, delim, names);
    if (delim == 0) JoinBlankSeparatedUnits(names);
    units.clear();
    if (!unitsRow.empty()) SplitFields(unitsRow, delim, units);
}

ColumnHeader CellHeader(const std::vector<std::string_view>& names,
                        const std::vector<std::string_view>& units, std::size_t k, bool groups) {
    ColumnHeader h = ReadColumnHeader(names[k], groups);
    if (h.unit.empty() && k < units.size() && !Trim(units[k]).empty()) {
        h.unit = NormalUnit(units[k]);
        h.factor = UnitFactor(h.quantity, h.unit);
    }
    return h;
}

// Takes columns and units from a header row (and a units row, when the next line is one).
// False when the row names no depth and load column.
bool PlanFromHeader(std::string_view header, std::string_view unitsRow, Plan& p,
                    std::string& error) {
    p.delim = GuessDelimiter(header);
    std::vector<std::string_view> names, units;
    HeaderCells(header, unitsRow, p.delim, names, units);
    p.depth = p.load = p.time = -1;
    for (std::size_t k = 0; k < names.size(); ++k)
        AssignColumn(CellHeader(names, units, k, false), names[k], k, p, error);
    return p.depth >= 0 && p.load >= 0;
}

// Several curves side by side ("X_Test 1_Time [s]", "Y_Test 1_Pd [nm]", "Y_Test 1_Fn [mN]",
// "X_Test 2_Time [s]", ...): one plan per group that has a depth and a load column, in the
// order of the groups' first columns.
std::vector<Plan> GroupPlans(std::string_view header, std::string_view unitsRow,
                             std::string& error) {
    const char delim = GuessDelimiter(header);
    std::vector<std::string_view> names, units;
    HeaderCells(header, unitsRow, delim, names, units);
    std::vector<Plan> plans;
    for (std::size_t k = 0; k < names.size(); ++k) {
        const ColumnHeader h = CellHeader(names, units, k, true);
        if (h.group.empty()) continue;
        auto it = std::find_if(plans.begin(), plans.end(),
                               [&h](const Plan& p) { return p.group == h.group; });
        if (it == plans.end()) {
            plans.emplace_back();
            plans.back().delim = delim;
            plans.back().group = h.group;
            it = plans.end() - 1;
        }
        AssignColumn(h, names[k], k, *it, error);
    }
    std::erase_if(plans, [](const Plan& p) { return p.depth < 0 || p.load < 0; });
    return plans;
}

bool LooksNumeric(std::string_view line, char delim) {
    std::vector<std::string_view> f;
    std::string s(line);
    std::replace(s.begin(), s.end(), ',', delim == ',' ? ',' : '.');
    SplitFields(s, delim, f);
    if (f.size() < 2) return false;
    return std::all_of(f.begin(), f.end(),
                       [](std::string_view x) { return x.empty() || IsNumberStart(x); });
}

// Reads the rows after a header until the end of the block (a line that is not numeric and
// `stopAtText`), or until `limit` rows. Returns false with `error` when a second header with other
// units appears (a file that switches units mid-way).
bool ReadBlock(BufferLines& lines, Plan& p, ParsedCurve& c, bool stopAtText, int limit,
               std::string& error) {
    std::vector<std::string_view> fields;
    std::string_view line;
    bool decided = false;
    int rows = 0;
    while ((limit < 0 || rows < limit) && lines.Next(line)) {
        if (Trim(line).empty()) {
            if (stopAtText && !c.depth.empty()) break;
            continue;
        }
        if (!decided) {
            // Decimal commas: a tab-, semicolon- or blank-separated file with commas in its
            // numbers.
            p.decimalComma = p.delim != ',' && line.find(',') != std::string_view::npos;
            decided = true;
        }
        if (ReadRow(line, p, fields, c)) {
            ++rows;
            continue;
        }
        if (stopAtText) break;
        Plan again = p;
        std::string ignored;
        if (PlanFromHeader(line, {}, again, ignored)) {
            if (again.fd != p.fd || again.fl != p.fl || again.ft != p.ft) {
                error = "the units change at line " + std::to_string(lines.LineNumber()) + " (" +
                        UnitsText(p) + " before, " + UnitsText(again) + " after)";
                return false;
            }
            continue;
        }
        c.warnings.push_back({lines.LineNumber(), "not a row of numbers; skipped"});
    }
    return true;
}

bool StartsWith(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

// "Key: value unit" -> value as a number (0 when none) and the unit text.
double KeyNumber(std::string_view line, std::string* unit = nullptr) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return 0;
    std::string_view rest = Trim(line.substr(colon + 1));
    std::size_t used = 0;
    const double v = ParseDouble(rest, &used);
    if (unit) *unit = NormalUnit(Trim(rest.substr(used)));
    return v;
}

}  // namespace

long WholeNumber(double v) {
    if (!(v >= 0) || v != std::floor(v)) return -1;
    return v > 2147483647.0 ? 2147483647L : static_cast<long>(v);
}

void FinishCurve(ParsedCurve& c) {
    std::size_t kept = 0, dropped = 0;
    for (std::size_t i = 0; i < c.depth.size(); ++i) {
        if (!(c.depth[i] > 0) || !std::isfinite(c.depth[i]) || !std::isfinite(c.load[i]) ||
            !std::isfinite(c.time[i])) {
            ++dropped;
            continue;
        }
        c.depth[kept] = c.depth[i], c.load[kept] = c.load[i], c.time[kept] = c.time[i];
        c.segment[kept] = c.segment[i];
        for (Channel& ch : c.channels) ch.values[kept] = ch.values[i];
        ++kept;
    }
    c.depth.resize(kept), c.load.resize(kept), c.time.resize(kept), c.segment.resize(kept);
    for (Channel& ch : c.channels) ch.values.resize(kept);
    if (dropped)
        c.warnings.push_back({0, labels::Count(static_cast<long long>(dropped), "point") +
                                     " with depth <= 0 left out"});
    if (kept > static_cast<std::size_t>(kMaxPoints)) {
        c.warnings.push_back({0, std::to_string(kept - kMaxPoints) + " points beyond " +
                                     std::to_string(kMaxPoints) + " left out"});
        c.depth.resize(kMaxPoints), c.load.resize(kMaxPoints), c.time.resize(kMaxPoints),
            c.segment.resize(kMaxPoints);
        for (Channel& ch : c.channels) ch.values.resize(kMaxPoints);
    }
}

namespace {

// The header cells of a row, quoted, for a message ("\"Load (uN)\", \"Time (s)\"").
std::string QuotedCells(std::string_view header) {
    std::vector<std::string_view> cells;
    SplitFields(header, GuessDelimiter(header), cells);
    std::string t;
    std::size_t shown = 0;
    for (std::string_view c : cells) {
        if (Trim(c).empty()) continue;
        if (shown == 8) {
            t += ", \u2026";
            break;
        }
        t += (shown++ ? ", \"" : "\"") + std::string(Trim(c)) + "\"";
    }
    return t;
}

// A header that names results of an analysis (hardness, modulus) and no depth-load pair.
bool NamesResults(std::string_view header) {
    std::vector<std::string_view> cells;
    SplitFields(header, GuessDelimiter(header), cells);
    int results = 0;
    for (std::string_view c : cells) {
        std::string n;
        for (char ch : c) n += static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
        for (const char* word : {"hardness", "modulus", "hit", "eit", "h_it", "e_it", "stiffness",
                                 "contact depth", "reduced modulus", "er "})
            if (n.find(word) != std::string::npos) {
                ++results;
                break;
            }
    }
    return results >= 2;
}

// Why a header row (or its absence) gives no curve: the reason a user can act on.
std::string NoColumnsReason(std::string_view header, std::string_view firstRow,
                            const ReadHints& hints) {
    std::vector<std::string_view> cells, row;
    SplitFields(header, GuessDelimiter(header), cells);
    SplitFields(firstRow, GuessDelimiter(firstRow), row);
    // A line of another width above the rows is a note, not their header.
    if (!firstRow.empty() && cells.size() != row.size()) header = {};
    if (header.empty()) {
        std::vector<std::string_view> f;
        SplitFields(firstRow, GuessDelimiter(firstRow), f);
        return std::to_string(f.size()) + " columns without a header: " + hints.giveColumns;
    }
    if (NamesResults(header))
        return "a results table: no depth\u2013load series (headers are " + QuotedCells(header) +
               ")";
    Plan p;
    std::string ignored;
    PlanFromHeader(header, {}, p, ignored);
    const char* missing = p.depth < 0 && p.load < 0 ? "depth or load"
                          : p.depth < 0             ? "depth"
                                                    : "load";
    return std::string("no column for ") + missing + ": headers are " + QuotedCells(header);
}

// The text lines between blocks: a repeated header is skipped, another line names the block.
std::string BlockTitle(std::string_view line) {
    std::string t(Trim(line));
    if (t.size() > 60) t.resize(60);
    return t;
}

// Reads the rows after a header into one curve per plan (the side-by-side layout) or, with one
// plan, into one curve per block of rows separated by blank lines.
bool ReadDelimitedRows(BufferLines& lines, std::vector<Plan>& plans,
                       std::vector<ParsedCurve>& curves, std::string& error) {
    std::vector<std::string_view> fields;
    std::string_view line;
    bool decided = false, blank = false;
    const bool blocks = plans.size() == 1;
    std::string title;
    curves.assign(plans.size(), ParsedCurve{});
    for (std::size_t g = 0; g < plans.size(); ++g) curves[g].test = plans[g].group;
    while (lines.Next(line)) {
        if (Trim(line).empty()) {
            blank = blank || !curves.back().depth.empty();
            continue;
        }
        if (!decided) {
            // Decimal commas: a tab-, semicolon- or blank-separated file with commas in its
            // numbers.
            for (Plan& p : plans)
                p.decimalComma = p.delim != ',' && line.find(',') != std::string_view::npos;
            decided = true;
        }
        if (blocks && blank && LooksNumeric(line, plans[0].delim)) {
            // A new block of rows after a blank line: a curve of its own.
            curves.emplace_back();
            curves.back().test = title;
            title.clear();
        }
        bool any = false;
        if (blocks) {
            any = ReadRow(line, plans[0], fields, curves.back());
        } else {
            for (std::size_t g = 0; g < plans.size(); ++g)
                any = ReadRow(line, plans[g], fields, curves[g]) || any;
        }
        if (any) {
            blank = false;
            continue;
        }
        Plan again = plans[0];
        std::string ignored;
        if (PlanFromHeader(line, {}, again, ignored)) {
            if (again.fd != plans[0].fd || again.fl != plans[0].fl || again.ft != plans[0].ft) {
                error = "the units change at line " + std::to_string(lines.LineNumber()) + " (" +
                        UnitsText(plans[0]) + " before, " + UnitsText(again) + " after)";
                return false;
            }
            continue;
        }
        if (blocks && blank && title.empty()) {
            title = BlockTitle(line);
            continue;
        }
        curves.back().warnings.push_back({lines.LineNumber(), "not a row of numbers; skipped"});
    }
    return true;
}

// Block curves without a title are numbered; names are made unique.
void NameBlocks(std::vector<ParsedCurve>& curves) {
    if (curves.size() < 2) return;
    for (std::size_t i = 0; i < curves.size(); ++i) {
        std::string& name = curves[i].test;
        if (name.empty()) name = std::to_string(i + 1);
        for (std::size_t j = 0; j < i; ++j)
            if (curves[j].test == name) {
                name += " (" + std::to_string(i + 1) + ")";
                break;
            }
    }
}

}  // namespace

void ParseDelimited(std::string_view text, const ReadOptions& o, ParsedFile& out) {
    BufferLines lines(text);
    std::string_view line;
    std::vector<Plan> plans;
    std::string error;
    std::string_view lastText;  // the last text line before the rows: the header, if any
    std::string_view firstNumeric;
    int numericBefore = 0;
    bool anyLine = false;
    const bool columnsGiven = o.depthColumn > 0 && o.loadColumn > 0;
    while (plans.empty() && lines.Next(line)) {
        if (Trim(line).empty()) continue;
        anyLine = true;
        const char delim = GuessDelimiter(line);
        if (LooksNumeric(line, delim)) {
            // No header naming depth and load: the columns must be given (a number or two among
            // metadata lines before a header are not yet the rows).
            if (!columnsGiven) {
                if (firstNumeric.empty()) firstNumeric = line;
                if (++numericBefore < 3) continue;
                out.Fail(ErrorCode::UnknownLayout,
                         NoColumnsReason(lastText, firstNumeric, HintsOf(o)));
                return;
            }
            plans.emplace_back();
            plans.back().delim = delim;
            lines = BufferLines(text);
            break;
        }
        // A header; the next line may hold the units.
        BufferLines peek = lines;
        std::string_view next;
        std::string_view unitsRow;
        if (peek.Next(next) && !LooksNumeric(next, GuessDelimiter(line)) && !Trim(next).empty() &&
            next.find_first_of("0123456789") == std::string_view::npos) {
            unitsRow = next;
        }
        Plan p;
        if (PlanFromHeader(line, unitsRow, p, error) || columnsGiven) {
            plans.push_back(p);
        } else if (std::vector<Plan> groups = GroupPlans(line, unitsRow, error); !groups.empty()) {
            plans = std::move(groups);
        } else {
            lastText = line;
            continue;
        }
        if (!unitsRow.empty()) lines = peek;
    }
    if (!anyLine) return out.Fail(ErrorCode::UnknownLayout, "empty file");
    if (plans.empty()) {
        out.Fail(ErrorCode::UnknownLayout,
                 !firstNumeric.empty() ? NoColumnsReason(lastText, firstNumeric, HintsOf(o))
                 : !lastText.empty() && GuessDelimiter(lastText) != 0
                     ? NoColumnsReason(lastText, {}, HintsOf(o))
                     : "no header naming depth and load and no rows of numbers");
        return;
    }
    for (Plan& p : plans)
        if (!ApplyOptions(o, p, error) || !error.empty())
            return out.Fail(ErrorCode::Damaged, error);
    std::vector<ParsedCurve> curves;
    if (!ReadDelimitedRows(lines, plans, curves, error)) return out.Fail(ErrorCode::Damaged, error);
    // A title line after the last block, or blank lines at the end, make no curve.
    if (plans.size() == 1 && curves.size() > 1)
        curves.erase(std::remove_if(curves.begin() + 1, curves.end(),
                                    [](const ParsedCurve& c) { return c.depth.empty(); }),
                     curves.end());
    NameBlocks(curves);
    for (std::size_t i = 0; i < curves.size(); ++i) {
        ParsedCurve& c = curves[i];
        const Plan& p = plans[plans.size() == 1 ? 0 : i];
        c.format = "delimited";
        c.units = UnitsText(p);
        c.columns = ColumnsText(p);
        WarnUnstatedUnits(p, HintsOf(o), c);
        FinishCurve(c);
        out.curves.push_back(std::move(c));
    }
}

void ParseTriboScanTxt(std::string_view text, const ReadOptions& o, ParsedFile& out) {
    BufferLines lines(text);
    std::string_view line;
    long declared = -1;
    while (lines.Next(line)) {
        if (StartsWith(Trim(line), "Number of Points")) {
            const std::size_t eq = line.find('=');
            if (eq != std::string_view::npos)
                declared = WholeNumber(ParseDouble(line.substr(eq + 1)));
            break;
        }
    }
    std::string_view header;
    while (lines.Next(line))
        if (!Trim(line).empty()) {
            header = line;
            break;
        }
    Plan p;
    std::string error;
    if (!PlanFromHeader(header, {}, p, error)) {
        out.Fail(ErrorCode::Damaged,
                 "no \"Depth (nm)\" and \"Load\" column header after \"Number of Points\"");
        return;
    }
    if (!ApplyOptions(o, p, error) || !error.empty()) return out.Fail(ErrorCode::Damaged, error);
    ParsedCurve c;
    if (!ReadBlock(lines, p, c, false, -1, error)) return out.Fail(ErrorCode::Damaged, error);
    if (declared >= 0 && static_cast<long>(c.depth.size()) != declared) {
        out.Fail(ErrorCode::Damaged, "the header declares " + std::to_string(declared) +
                                         " points, the file holds " +
                                         std::to_string(c.depth.size()) + " (truncated?)");
        return;
    }
    c.format = "triboscan-txt";
    c.units = UnitsText(p);
    c.columns = ColumnsText(p);
    FinishCurve(c);
    out.curves.push_back(std::move(c));
}

namespace {

struct HldSegment {
    double begin = 0, end = 0, beginDemand = 0, endDemand = 0;
};

// What the header lines before the test data hold besides the curve's metadata.
struct HldHeader {
    std::vector<HldSegment> segments;
    double tip[6] = {0, 0, 0, 0, 0, 0};
    bool haveTip = false;
    long declared = -1;  // test points declared; -1 when the block is not found
};

// Reads one header line into `c`'s metadata and warnings or into `h`; false at the line that
// opens the test data block.
bool ReadHldHeaderLine(std::string_view line, int lineNumber, ParsedCurve& c, HldHeader& h) {
    std::string unit;
    std::vector<HldSegment>& segments = h.segments;
    if (StartsWith(line, "Segment Begin Time:")) {
        segments.push_back({});
        segments.back().begin = KeyNumber(line);
    } else if (StartsWith(line, "Segment End Time:") && !segments.empty()) {
        segments.back().end = KeyNumber(line);
    } else if (StartsWith(line, "Segment Begin Demand:") && !segments.empty()) {
        segments.back().beginDemand = KeyNumber(line);
    } else if (StartsWith(line, "Segment End Demand:") && !segments.empty()) {
        segments.back().endDemand = KeyNumber(line);
    } else if (StartsWith(line, "Tip C") && line.size() > 6 && line[5] >= '0' && line[5] <= '5' &&
               line[6] == ':') {
        h.tip[line[5] - '0'] = KeyNumber(line);
        h.haveTip = true;
    } else if (StartsWith(line, "Tip ID:")) {
        c.meta.tipName = std::string(Trim(line.substr(7)));
    } else if (StartsWith(line, "Machine Comp:")) {
        const double v = KeyNumber(line, &unit);
        // nm/uN -> nm/mN
        if (unit == "nm/uN")
            c.meta.frameCompliance = v * 1000;
        else if (unit == "nm/mN")
            c.meta.frameCompliance = v;
        else
            c.warnings.push_back(
                {lineNumber, "machine compliance in unknown unit \"" + unit + "\" ignored"});
    } else if (StartsWith(line, "Stage X:") || StartsWith(line, "Stage Y:")) {
        double v = KeyNumber(line, &unit);
        if (unit == "mm") v *= 1000;
        (line[6] == 'X' ? c.meta.positionX : c.meta.positionY) = v;
    } else if (StartsWith(line, "Drift Rate:") || StartsWith(line, "Maximum Demand:") ||
               StartsWith(line, "Time Stamp:") || StartsWith(line, "Test Type:")) {
        const std::size_t colon = line.find(':');
        c.meta.values.emplace_back(std::string(line.substr(0, colon)),
                                   std::string(Trim(line.substr(colon + 1))));
    } else if (StartsWith(line, "Test Data Points:")) {
        h.declared = WholeNumber(KeyNumber(line));
        return false;
    }
    return true;
}

// Segment codes from the demands: rising is loading (reloading after an unloading), falling
// unloading, level a hold (top at the largest demand). The approach before the first rise
// counts as loading, as the workbooks label it.
void LabelHldSegments(const std::vector<HldSegment>& segments, ParsedCurve& c) {
    if (segments.empty()) return;
    double top = 0;
    for (const HldSegment& s : segments) top = std::max({top, s.beginDemand, s.endDemand});
    std::vector<char> codes;
    bool unloaded = false, loaded = false;
    for (const HldSegment& s : segments) {
        char code = 'L';
        if (s.endDemand > s.beginDemand)
            code = unloaded ? 'R' : 'L', loaded = true;
        else if (s.endDemand < s.beginDemand)
            code = loaded ? 'U' : 'L', unloaded = unloaded || loaded;
        else if (loaded)
            code = s.endDemand >= top ? 'T' : 'B';
        codes.push_back(code);
    }
    for (std::size_t i = 0; i < c.time.size(); ++i) {
        std::size_t k = 0;
        while (k + 1 < segments.size() && c.time[i] >= segments[k + 1].begin) ++k;
        c.segment[i] = codes[k];
    }
}

}  // namespace

void ParseTriboScanHld(std::string_view text, const ReadOptions& o, ParsedFile& out) {
    BufferLines lines(text);
    std::string_view line;
    ParsedCurve c;
    HldHeader h;
    while (lines.Next(line) && ReadHldHeaderLine(line, lines.LineNumber(), c, h)) {
    }
    const long declared = h.declared;
    if (declared < 0) return out.Fail(ErrorCode::Damaged, "no \"Test Data Points\" block");
    std::string_view header;
    if (!lines.Next(header)) return out.Fail(ErrorCode::Damaged, "the test data block is missing");
    Plan p;
    std::string error;
    if (!PlanFromHeader(header, {}, p, error))
        return out.Fail(ErrorCode::Damaged, "the test data block has no Disp and Force columns");
    if (!ApplyOptions(o, p, error) || !error.empty()) return out.Fail(ErrorCode::Damaged, error);
    if (!ReadBlock(lines, p, c, true, static_cast<int>(std::min<long>(declared, 1 << 30)), error))
        return out.Fail(ErrorCode::Damaged, error);
    if (static_cast<long>(c.depth.size()) != declared)
        return out.Fail(ErrorCode::Damaged, "the header declares " + std::to_string(declared) +
                                                " test points, the file holds " +
                                                std::to_string(c.depth.size()) + " (truncated?)");
    if (h.haveTip) c.meta.areaCoefficients.assign(h.tip, h.tip + 6);
    LabelHldSegments(h.segments, c);
    c.format = "triboscan-hld";
    c.units = UnitsText(p);
    c.columns = ColumnsText(p);
    FinishCurve(c);
    out.curves.push_back(std::move(c));
}

void ParseFischerscope(std::string_view text, const ReadOptions& o, ParsedFile& out) {
    BufferLines lines(text);
    std::string_view line;
    ParsedCurve c;
    std::string error;
    auto metaValue = [&](std::string_view l) {
        std::vector<std::string_view> f;
        SplitFields(l, '\t', f);
        if (f.size() < 3) return;
        std::string key(Trim(f[0]));
        key += ' ';
        key += NormalUnit(f[1]);
        std::string value(Trim(f[2]));
        std::replace(value.begin(), value.end(), ',', '.');
        if (f.size() > 3) {
            std::string pct(Trim(f[3]));
            std::replace(pct.begin(), pct.end(), ',', '.');
            value += " (" + pct + ")";
        }
        c.meta.values.emplace_back(key, value);
    };
    while (lines.Next(line)) {
        if (StartsWith(line, "Block :")) {
            const std::size_t v = line.find("Value :");
            c.test = v == std::string_view::npos ? std::to_string(out.curves.size() + 1)
                                                 : std::string(Trim(line.substr(v + 7)));
        } else if (StartsWith(line, "x=")) {
            // The stage position in mm, though the line names no unit: the tests of a block
            // sit 0.11 apart, which as µm would put 300 mN indents 110 nm from each other.
            c.meta.positionX = ParseDouble(line.substr(2)) * 1000;
            const std::size_t y = line.find("y=");
            if (y != std::string_view::npos)
                c.meta.positionY = ParseDouble(line.substr(y + 2)) * 1000;
        } else if (line.find("\t[") != std::string_view::npos) {
            metaValue(line);
        } else if (Trim(line) == "F\th\tt" || (StartsWith(line, "F\th\tt"))) {
            Plan p;
            p.delim = '\t';
            p.load = 0, p.depth = 1, p.time = 2;
            p.fd = 1000;
            p.depthUnit = "um";
            if (!ApplyOptions(o, p, error)) return out.Fail(ErrorCode::Damaged, error);
            if (c.test.empty()) c.test = std::to_string(out.curves.size() + 1);
            if (!ReadBlock(lines, p, c, true, -1, error))
                return out.Fail(ErrorCode::Damaged, error);
            if (c.depth.empty())
                return out.Fail(ErrorCode::Damaged,
                                "test " + c.test +
                                    " has no data rows after its \"F h t\" header (line " +
                                    std::to_string(lines.LineNumber()) + ")");
            c.format = "fischerscope";
            c.units = UnitsText(p);
            c.columns = ColumnsText(p);
            FinishCurve(c);
            out.curves.push_back(std::move(c));
            c = ParsedCurve{};
        }
    }
    if (out.curves.empty())
        out.Fail(ErrorCode::Damaged, "no test section with an \"F h t\" header");
}

void ParseNanoTestTxt(std::string_view text, const ReadOptions& o, ParsedFile& out) {
    Plan p;
    p.time = 0, p.depth = 1, p.load = 2;
    p.timeName = "time", p.depthName = "depth", p.loadName = "load";
    p.depthUnitStated = p.loadUnitStated = true;  // the layout fixes them
    BufferLines probe(text);
    std::string_view first;
    while (probe.Next(first) && Trim(first).empty()) {
    }
    p.delim = GuessDelimiter(first) == '\t' ? '\t' : 0;
    std::string error;
    if (!ApplyOptions(o, p, error)) return out.Fail(ErrorCode::Damaged, error);
    BufferLines lines(text);
    ParsedCurve c;
    if (!ReadBlock(lines, p, c, false, -1, error)) return out.Fail(ErrorCode::Damaged, error);
    // The layout has no header: its first column is the time, which never runs backwards. Three
    // columns of another kind (depth, load, time) must not pass for it.
    if (o.depthColumn <= 0 &&
        std::adjacent_find(c.time.begin(), c.time.end(), std::greater<>()) != c.time.end())
        return out.Fail(
            ErrorCode::UnknownLayout,
            "3 columns without a header: " + HintsOf(o).giveColumns +
                " (the first column runs backwards, so it is not the time of a NanoTest "
                "file)");
    // Columns the user gave make it another layout: units it does not give are a guess.
    WarnUnstatedUnits(p, HintsOf(o), c);
    c.format = "nanotest-txt";
    c.units = UnitsText(p);
    c.columns = ColumnsText(p);
    FinishCurve(c);
    out.curves.push_back(std::move(c));
}

std::vector<TextFormatCandidate> ScoreTextFormats(std::string_view text) {
    std::vector<TextFormatCandidate> found;
    auto add = [&found](const char* format, int score, const char* why) {
        for (const TextFormatCandidate& c : found)
            if (c.format == format) return;
        found.push_back({format, score, why});
    };
    BufferLines lines(text.substr(0, 1 << 16));
    std::string_view line;
    int count = 0;
    int numericRows = 0, textRows = 0, threeColumns = 0;
    bool header = false;
    while (lines.Next(line) && count < 400) {
        ++count;
        if (StartsWith(line, "Number of Points"))
            add("triboscan-txt", 10, "a \"Number of Points\" line");
        if (StartsWith(line, "File Version: Hysitron") || StartsWith(line, "Test Data Points:"))
            add("triboscan-hld", 10, "a \"Test Data Points\" block");
        if (StartsWith(line, "F\th\tt") ||
            line.find("\tName of the application") != std::string_view::npos)
            add("fischerscope", 10, "an \"F h t\" test section");
        const std::string_view t = Trim(line);
        if (t.empty()) continue;
        const char delim = GuessDelimiter(t);
        if (LooksNumeric(t, delim)) {
            ++numericRows;
            std::vector<std::string_view> f;
            SplitFields(t, delim, f);
            if (!header && delim != ',' && delim != ';' && f.size() == 3) ++threeColumns;
            continue;
        }
        ++textRows;
        Plan p;
        std::string error;
        if (!header && numericRows < 3 &&
            (PlanFromHeader(t, {}, p, error) || !GroupPlans(t, {}, error).empty()))
            header = true;
    }
    if (header) add("delimited", 5, "a header naming depth and load");
    if (!header && numericRows >= 3 && threeColumns == numericRows)
        add("nanotest-txt", 2, "three columns of numbers without a header");
    // Numbers only, or a header the reader must explain: the generic reader says why.
    if (!header && numericRows > 0) add("delimited", 1, "rows of numbers without a header");
    std::stable_sort(found.begin(), found.end(),
                     [](const TextFormatCandidate& a, const TextFormatCandidate& b) {
                         return a.score > b.score;
                     });
    (void)textRows;
    return found;
}

std::string DetectTextFormat(std::string_view text) {
    const std::vector<TextFormatCandidate> found = ScoreTextFormats(text);
    return found.empty() ? std::string() : found.front().format;
}

}  // namespace marvek::io
