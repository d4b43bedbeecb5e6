// Marvek's own comma-separated curve files: the header layout ("Depth"/"Disp" header, depth in
// nm or um, load in mN, optional time and segment keyword) and the marker layout (",1, " line,
// then any, integer, depth um, load mN, any, time s). Files written by Save Curves are header
// layout files whose fit and extrapolation rows follow the measured points: only the measured
// points are read back.

#include <cmath>
#include <string>
#include <string_view>

#include "core/io/number_format.h"
#include "line_reader.h"
#include "parsed_curve.h"

namespace marvek::io {

namespace {

const std::string_view kSaveCurvesHeader =
    "Displacement(nm), Force(mN), Fit(mN), Extrapolation(mN)";

bool Contains(std::string_view text, std::string_view what) {
    return text.find(what) != std::string_view::npos;
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "nm" in a line sets nanometres, "um" micrometres (which wins when both appear). One scan for
// the 'm's: a data line usually has none.
void UpdateDepthFactor(std::string_view line, double& factor) {
    bool nm = false, um = false;
    for (std::size_t at = line.find('m', 1); at != std::string_view::npos;
         at = line.find('m', at + 1)) {
        nm = nm || line[at - 1] == 'n';
        um = um || line[at - 1] == 'u';
    }
    if (nm) factor = 1;
    if (um) factor = 1000;
}

// The segment a data line's keyword names; the later keyword of this list wins when a line
// holds several: LOAD, TOP_HOLD, UNLOAD, BOTTOM_HOLD, RELOAD. `tail` starts at a comma.
char SegmentKeyword(std::string_view tail) {
    bool load = false, top = false, unload = false, bottom = false, reload = false;
    for (std::size_t at = tail.find(','); at != std::string_view::npos;
         at = tail.find(',', at + 1)) {
        const std::string_view word = tail.substr(at + 1);
        if (word.empty()) break;
        switch (word[0]) {
            case 'L': load = load || word.starts_with("LOAD"); break;
            case 'T': top = top || word.starts_with("TOP_HOLD"); break;
            case 'U': unload = unload || word.starts_with("UNLOAD"); break;
            case 'B': bottom = bottom || word.starts_with("BOTTOM_HOLD"); break;
            case 'R': reload = reload || word.starts_with("RELOAD"); break;
            default: break;
        }
    }
    return reload ? 'R' : bottom ? 'B' : unload ? 'U' : top ? 'T' : load ? 'L' : 'X';
}

// Position just after the next comma at or after `from`, or npos.
std::size_t AfterComma(std::string_view line, std::size_t from) {
    const std::size_t comma = line.find(',', from);
    return comma == std::string_view::npos ? comma : comma + 1;
}

struct Point {
    double depth = 0, load = 0, time = 0;
    char code = 'X';
};

// A point is stored only with a positive, finite depth and finite load and time.
bool Usable(const Point& p) {
    return p.depth > 0 && std::isfinite(p.depth) && std::isfinite(p.load) && std::isfinite(p.time);
}

// One data line of the header layout; false when the line holds no point. `scratch` holds the
// rewritten line of a semicolon-separated file.
bool ParseHeaderLayoutLine(std::string_view line, double& depthFactor, Point& p,
                           std::string& scratch) {
    UpdateDepthFactor(line, depthFactor);
    if (line.empty() || IsLetter(line[0])) return false;
    std::string_view text = line;
    if (Contains(line, ";")) {
        // Semicolon-separated files use decimal commas.
        scratch.assign(line);
        for (char& c : scratch) {
            if (c == ',')
                c = '.';
            else if (c == ';')
                c = ',';
        }
        text = scratch;
    }
    p = Point{};
    // A number holds no comma: when one follows it, that is the field's end, with no search.
    std::size_t used = 0;
    auto commaAfter = [&](std::size_t field) {
        const std::size_t end = field + used;
        return used > 0 && end < text.size() && text[end] == ',' ? end : text.find(',', field);
    };
    p.depth = ParseDouble(text, &used) * depthFactor;
    std::size_t comma = commaAfter(0);
    if (comma == std::string_view::npos) return false;  // no load field
    const std::size_t loadAt = comma + 1;
    p.load = ParseDouble(text.substr(loadAt), &used);
    comma = commaAfter(loadAt);
    if (comma != std::string_view::npos) {
        const std::size_t timeAt = comma + 1;
        p.time = ParseDouble(text.substr(timeAt), &used);
        const std::size_t thirdComma = commaAfter(timeAt);
        if (thirdComma != std::string_view::npos) p.code = SegmentKeyword(text.substr(thirdComma));
    }
    return Usable(p);
}

// One line of the marker layout: any, integer, depth in um, load in mN, any, time in s.
bool ParseMarkerLayoutLine(std::string_view line, Point& p) {
    std::size_t field[6] = {0};
    for (int k = 1; k < 6; ++k) {
        field[k] = AfterComma(line, field[k - 1]);
        if (field[k] == std::string_view::npos) return false;  // fields missing
    }
    p = Point{};
    p.depth = ParseDouble(line.substr(field[2])) * 1000;
    p.load = ParseDouble(line.substr(field[3]));
    p.time = ParseDouble(line.substr(field[5]));
    return Usable(p);
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

void ParsedCurve::clear() {
    depth.clear();
    load.clear();
    time.clear();
    segment.clear();
    test.clear();
    format.clear();
    units.clear();
    columns.clear();
    meta = CurveMetadata{};
    warnings.clear();
    channels.clear();
}

void ParsedCurve::push(double d, double l, double t, char code) {
    depth.push_back(d);
    load.push_back(l);
    time.push_back(t);
    segment.push_back(code);
}

namespace {

// Where the points go: a ParsedCurve, or straight into fixed arrays (the analyzer's fast path).
struct CurveSink {
    ParsedCurve& c;
    void operator()(const Point& p) { c.push(p.depth, p.load, p.time, p.code); }
};
struct ArraySink {
    const PointArrays& a;
    int n = 0;
    void operator()(const Point& p) {
        a.depth[n] = p.depth;
        a.load[n] = p.load;
        a.time[n] = p.time;
        a.segment[n] = p.code;
        ++n;
    }
};

// `reader` is a LineReader over a stream or BufferLines over text in memory.
template <class Lines, class Sink>
bool ParseInto(Lines& reader, Sink& sink, ParsedCurve& out) {
    out.clear();
    enum class Layout { None, Header, Marker, SaveCurves } layout = Layout::None;
    std::string_view line;
    std::string scratch;
    double depthFactor = 1000;
    while (reader.Next(line)) {
        if (line.substr(0, 5) == "Depth" || line.substr(0, 4) == "Disp") {
            layout = TrimRight(line) == kSaveCurvesHeader ? Layout::SaveCurves : Layout::Header;
            UpdateDepthFactor(line, depthFactor);
            break;
        }
        if (Contains(line, ",1, ")) {
            layout = Layout::Marker;
            break;
        }
    }
    if (layout == Layout::None) return false;
    out.format = layout == Layout::SaveCurves ? "marvek-save-curves" : "marvek-csv";
    const int capacity = layout == Layout::Marker ? kMaxPointsMarkerLayout : kMaxPoints;
    int n = 0;
    Point p;
    while (n < capacity && reader.Next(line)) {
        if (layout == Layout::SaveCurves) {
            // The fit and extrapolation rows, which follow the measured ones, have no force.
            const std::size_t loadAt = AfterComma(line, 0);
            if (loadAt == std::string_view::npos || loadAt == line.size() || line[loadAt] == ',')
                break;
        }
        const bool stored = layout == Layout::Marker
                                ? ParseMarkerLayoutLine(line, p)
                                : ParseHeaderLayoutLine(line, depthFactor, p, scratch);
        if (!stored) continue;
        sink(p);
        ++n;
    }
    out.units = layout == Layout::Marker ? "depth um, load mN, time s"
                : depthFactor == 1       ? "depth nm, load mN, time s"
                                         : "depth um, load mN, time s";
    return true;
}

}  // namespace

bool ParseMarvekCsv(std::istream& in, ParsedCurve& out) {
    LineReader lines(in);
    CurveSink sink{out};
    return ParseInto(lines, sink, out);
}

bool ParseMarvekCsv(std::string_view text, ParsedCurve& out) {
    BufferLines lines(text);
    CurveSink sink{out};
    return ParseInto(lines, sink, out);
}

bool ParseMarvekCsv(std::istream& in, const PointArrays& points, int& count, ParsedCurve& info) {
    LineReader lines(in);
    ArraySink sink{points};
    const bool ok = ParseInto(lines, sink, info);
    count = sink.n;
    return ok;
}

}  // namespace marvek::io
