// Text formats: generic delimited text, TriboScan .txt and .hld, FISCHERSCOPE, NanoTest.

#include "text_formats.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "core/io/number_format.h"
#include "core/io/quantity_labels.h"
#include "line_reader.h"

namespace marvek::io {

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

[[gnu::always_inline]] inline std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '"'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '"'))
        s.remove_suffix(1);
    return s;
}

// "µ" as UTF-8 (micro sign or Greek mu) or Latin-1 becomes "u".
std::string NormalUnit(std::string_view unit) {
    std::string out;
    for (std::size_t i = 0; i < unit.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(unit[i]);
        if ((c == 0xC2 && i + 1 < unit.size() && static_cast<unsigned char>(unit[i + 1]) == 0xB5) ||
            (c == 0xCE && i + 1 < unit.size() && static_cast<unsigned char>(unit[i + 1]) == 0xBC)) {
            out += 'u';
            ++i;
        } else if (c == 0xB5) {
            out += 'u';
        } else if (c != ' ' && c != '(' && c != ')' && c != '[' && c != ']') {
            out += static_cast<char>(c);
        }
    }
    return out;
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

// Applies --columns and --units over what the file said; false with `error` set when a unit is
// unknown.
bool ApplyOptions(const ReadOptions& o, Plan& p, std::string& error) {
    // Columns given replace the file's choice whole: no time column unless one is named.
    if (o.depthColumn > 0 && o.loadColumn > 0) {
        p.depth = o.depthColumn - 1;
        p.load = o.loadColumn - 1;
        p.time = o.timeColumn - 1;
    }
    if (!o.depthUnit.empty()) {
        p.fd = DepthFactor(o.depthUnit);
        p.depthUnit = o.depthUnit;
        if (p.fd == 0) return error = "unknown depth unit \"" + o.depthUnit + "\"", false;
    }
    if (!o.loadUnit.empty()) {
        p.fl = LoadFactor(o.loadUnit);
        p.loadUnit = o.loadUnit;
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
void AssignColumn(char kind, std::size_t k, const std::string& unit, Plan& p, std::string& error) {
    const int col = static_cast<int>(k);
    switch (kind) {
        case 'd':
            if (p.depth >= 0) break;
            p.depth = col;
            if (!unit.empty()) {
                p.fd = DepthFactor(unit);
                p.depthUnit = unit;
                if (p.fd == 0)
                    error =
                        "unknown depth unit \"" + unit + "\" in column " + std::to_string(k + 1);
            }
            break;
        case 'l':
            if (p.load >= 0) break;
            p.load = col;
            if (!unit.empty()) {
                p.fl = LoadFactor(unit);
                p.loadUnit = unit;
                if (p.fl == 0)
                    error = "unknown load unit \"" + unit + "\" in column " + std::to_string(k + 1);
            }
            break;
        case 't':
            if (p.time >= 0) break;
            p.time = col;
            if (!unit.empty()) {
                p.ft = TimeFactor(unit);
                p.timeUnit = unit;
                if (p.ft == 0)
                    error = "unknown time unit \"" + unit + "\" in column " + std::to_string(k + 1);
            }
            break;
        default: break;
    }
}

// Takes columns and units from a header row (and a units row, when the next line is one).
// False when the row names no depth and load column.
bool PlanFromHeader(std::string_view header, std::string_view unitsRow, Plan& p,
                    std::string& error) {
    p.delim = GuessDelimiter(header);
    std::vector<std::string_view> names, units;
    SplitFields(header, p.delim, names);
    if (p.delim == 0) JoinBlankSeparatedUnits(names);
    if (!unitsRow.empty()) SplitFields(unitsRow, p.delim, units);
    p.depth = p.load = p.time = -1;
    for (std::size_t k = 0; k < names.size(); ++k) {
        std::string name, unit;
        SplitNameUnit(names[k], name, unit);
        if (unit.empty() && k < units.size()) unit = NormalUnit(units[k]);
        AssignColumn(ColumnKind(name), k, unit, p, error);
    }
    return p.depth >= 0 && p.load >= 0;
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

void Fail(ParsedFile& out, ReadStatus status, std::string error) {
    out.status = status;
    out.error = std::move(error);
    out.curves.clear();
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

double DepthFactor(std::string_view unit) {
    const std::string u = NormalUnit(unit);
    if (u == "nm") return 1;
    if (u == "um" || u == "micron") return 1000;
    if (u == "mm") return 1e6;
    if (u == "m") return 1e9;
    return 0;
}

double LoadFactor(std::string_view unit) {
    const std::string u = NormalUnit(unit);
    if (u == "mN") return 1;
    if (u == "uN") return 1e-3;
    if (u == "nN") return 1e-6;
    if (u == "N") return 1e3;
    return 0;
}

double TimeFactor(std::string_view unit) {
    const std::string u = NormalUnit(unit);
    if (u == "s" || u == "sec") return 1;
    if (u == "ms") return 1e-3;
    if (u == "min") return 60;
    return 0;
}

char ColumnKind(std::string_view name) {
    const std::string n = Lower(Trim(name));
    if (n == "depth" || n == "displacement" || n == "disp" || n == "h" || n == "depth on sample" ||
        n == "displacement into surface")
        return 'd';
    if (n == "load" || n == "force" || n == "f" || n == "p" || n == "load on sample") return 'l';
    if (n == "time" || n == "t" || n == "time on sample") return 't';
    return 0;
}

void SplitNameUnit(std::string_view header, std::string& name, std::string& unit) {
    header = Trim(header);
    const std::size_t open = header.find_first_of("([");
    if (open != std::string_view::npos) {
        const std::size_t close = header.find_first_of(")]", open);
        name = std::string(Trim(header.substr(0, open)));
        unit = NormalUnit(
            header.substr(open + 1, close == std::string_view::npos ? close : close - open - 1));
        return;
    }
    const std::size_t under = header.rfind('_');
    if (under != std::string_view::npos) {
        name = std::string(Trim(header.substr(0, under)));
        unit = NormalUnit(header.substr(under + 1));
        return;
    }
    name = std::string(header);
    unit.clear();
}

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
        c.warnings.push_back(
            {0, labels::Count(static_cast<long long>(dropped), "point") + " with depth <= 0 left out"});
    if (kept > static_cast<std::size_t>(kMaxPoints)) {
        c.warnings.push_back({0, std::to_string(kept - kMaxPoints) + " points beyond " +
                                     std::to_string(kMaxPoints) + " left out"});
        c.depth.resize(kMaxPoints), c.load.resize(kMaxPoints), c.time.resize(kMaxPoints),
            c.segment.resize(kMaxPoints);
        for (Channel& ch : c.channels) ch.values.resize(kMaxPoints);
    }
}

void ParseDelimited(std::string_view text, const ReadOptions& o, ParsedFile& out) {
    BufferLines lines(text);
    std::string_view line;
    Plan p;
    std::string error;
    bool found = false;
    while (lines.Next(line)) {
        if (Trim(line).empty()) continue;
        const char delim = GuessDelimiter(line);
        if (LooksNumeric(line, delim)) {
            // No header: the columns must be given.
            if (o.depthColumn <= 0 || o.loadColumn <= 0) {
                Fail(out, ReadStatus::UnknownLayout,
                     "no header row naming depth and load; give the columns with --columns "
                     "depth=N,load=N[,time=N]");
                return;
            }
            p.delim = delim;
            lines = BufferLines(text);
            found = true;
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
        if (PlanFromHeader(line, unitsRow, p, error) || (o.depthColumn > 0 && o.loadColumn > 0)) {
            if (!unitsRow.empty()) lines = peek;
            found = true;
            break;
        }
    }
    if (!found) {
        Fail(out, ReadStatus::UnknownLayout, "no header row naming depth and load columns");
        return;
    }
    if (!ApplyOptions(o, p, error) || !error.empty()) {
        Fail(out, ReadStatus::Damaged, error);
        return;
    }
    ParsedCurve c;
    if (!ReadBlock(lines, p, c, false, -1, error)) {
        Fail(out, ReadStatus::Damaged, error);
        return;
    }
    c.format = "delimited";
    c.units = UnitsText(p);
    FinishCurve(c);
    out.curves.push_back(std::move(c));
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
        Fail(out, ReadStatus::Damaged,
             "no \"Depth (nm)\" and \"Load\" column header after \"Number of Points\"");
        return;
    }
    if (!ApplyOptions(o, p, error) || !error.empty()) return Fail(out, ReadStatus::Damaged, error);
    ParsedCurve c;
    if (!ReadBlock(lines, p, c, false, -1, error)) return Fail(out, ReadStatus::Damaged, error);
    if (declared >= 0 && static_cast<long>(c.depth.size()) != declared) {
        Fail(out, ReadStatus::Damaged,
             "the header declares " + std::to_string(declared) + " points, the file holds " +
                 std::to_string(c.depth.size()) + " (truncated?)");
        return;
    }
    c.format = "triboscan-txt";
    c.units = UnitsText(p);
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
    if (declared < 0) return Fail(out, ReadStatus::Damaged, "no \"Test Data Points\" block");
    std::string_view header;
    if (!lines.Next(header))
        return Fail(out, ReadStatus::Damaged, "the test data block is missing");
    Plan p;
    std::string error;
    if (!PlanFromHeader(header, {}, p, error))
        return Fail(out, ReadStatus::Damaged, "the test data block has no Disp and Force columns");
    if (!ApplyOptions(o, p, error) || !error.empty()) return Fail(out, ReadStatus::Damaged, error);
    if (!ReadBlock(lines, p, c, true, static_cast<int>(std::min<long>(declared, 1 << 30)), error))
        return Fail(out, ReadStatus::Damaged, error);
    if (static_cast<long>(c.depth.size()) != declared)
        return Fail(out, ReadStatus::Damaged,
                    "the header declares " + std::to_string(declared) +
                        " test points, the file holds " + std::to_string(c.depth.size()) +
                        " (truncated?)");
    if (h.haveTip) c.meta.areaCoefficients.assign(h.tip, h.tip + 6);
    LabelHldSegments(h.segments, c);
    c.format = "triboscan-hld";
    c.units = UnitsText(p);
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
            c.meta.positionX = ParseDouble(line.substr(2));
            const std::size_t y = line.find("y=");
            if (y != std::string_view::npos) c.meta.positionY = ParseDouble(line.substr(y + 2));
        } else if (line.find("\t[") != std::string_view::npos) {
            metaValue(line);
        } else if (Trim(line) == "F\th\tt" || (StartsWith(line, "F\th\tt"))) {
            Plan p;
            p.delim = '\t';
            p.load = 0, p.depth = 1, p.time = 2;
            p.fd = 1000;
            p.depthUnit = "um";
            if (!ApplyOptions(o, p, error)) return Fail(out, ReadStatus::Damaged, error);
            if (c.test.empty()) c.test = std::to_string(out.curves.size() + 1);
            if (!ReadBlock(lines, p, c, true, -1, error))
                return Fail(out, ReadStatus::Damaged, error);
            if (c.depth.empty())
                return Fail(out, ReadStatus::Damaged,
                            "test " + c.test +
                                " has no data rows after its \"F h t\" header (line " +
                                std::to_string(lines.LineNumber()) + ")");
            c.format = "fischerscope";
            c.units = UnitsText(p);
            FinishCurve(c);
            out.curves.push_back(std::move(c));
            c = ParsedCurve{};
        }
    }
    if (out.curves.empty())
        Fail(out, ReadStatus::Damaged, "no test section with an \"F h t\" header");
}

void ParseNanoTestTxt(std::string_view text, const ReadOptions& o, ParsedFile& out) {
    Plan p;
    p.time = 0, p.depth = 1, p.load = 2;
    BufferLines probe(text);
    std::string_view first;
    while (probe.Next(first) && Trim(first).empty()) {
    }
    p.delim = GuessDelimiter(first) == '\t' ? '\t' : 0;
    std::string error;
    if (!ApplyOptions(o, p, error)) return Fail(out, ReadStatus::Damaged, error);
    BufferLines lines(text);
    ParsedCurve c;
    if (!ReadBlock(lines, p, c, false, -1, error)) return Fail(out, ReadStatus::Damaged, error);
    c.format = "nanotest-txt";
    c.units = UnitsText(p);
    FinishCurve(c);
    out.curves.push_back(std::move(c));
}

std::string DetectTextFormat(std::string_view text) {
    BufferLines lines(text.substr(0, 1 << 16));
    std::string_view line;
    int count = 0;
    int numericRows = 0, textRows = 0;
    std::string firstText;
    bool header = false;
    while (lines.Next(line) && count < 400) {
        ++count;
        if (StartsWith(line, "Number of Points")) return "triboscan-txt";
        if (StartsWith(line, "File Version: Hysitron") || StartsWith(line, "Test Data Points:"))
            return "triboscan-hld";
        if (StartsWith(line, "F\th\tt") ||
            line.find("\tName of the application") != std::string_view::npos)
            return "fischerscope";
        const std::string_view t = Trim(line);
        if (t.empty()) continue;
        const char delim = GuessDelimiter(t);
        if (LooksNumeric(t, delim)) {
            ++numericRows;
            if (numericRows >= 3 && !header) {
                std::vector<std::string_view> f;
                SplitFields(t, delim == '\t' ? '\t' : delim, f);
                if (delim != ',' && delim != ';' && f.size() == 3) return "nanotest-txt";
                return "delimited";
            }
            continue;
        }
        ++textRows;
        Plan p;
        std::string error;
        if (!header && PlanFromHeader(t, {}, p, error)) header = true;
        if (header && numericRows >= 1) return "delimited";
    }
    // A header naming the columns, or numbers only (short files; the columns then come from
    // --columns).
    if (header || (numericRows > 0 && textRows == 0)) return "delimited";
    return "";
}

}  // namespace marvek::io
