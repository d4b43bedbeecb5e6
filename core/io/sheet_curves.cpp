// Workbook sheets into curves: which sheets are tests, their columns and units, their points
// and the values the other sheets state for each test; and the .xls workbooks, whose reader
// (xls_workbook.cpp) needs no library and so is part of the import layer itself.

#include "sheet_curves.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "column_names.h"
#include "core/io/number_format.h"
#include "text_formats.h"

namespace marvek::io {

namespace {

using workbook::CellView;
using Sheet = workbook::SheetCells;

std::string Trimmed(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    return std::string(s);
}

bool IsTestSheet(const std::string& name) { return name.rfind("Test ", 0) == 0; }

// The segment a workbook marker starts; 0 for a marker that is not a segment type.
char MarkerCode(const std::string& m) {
    if (m == "Load Segment Type") return 'L';
    if (m == "Hold Segment Type") return 'T';
    if (m == "Unload From Peak Segment Type") return 'U';
    if (m == "Thermal Drift Hold Segment") return 'B';
    if (m.rfind("Cycle Begin Marker", 0) == 0) return ParseDouble(m.substr(18)) > 1 ? 'R' : 'L';
    if (m.rfind("Cycle Unload Marker", 0) == 0) return 'U';
    return 0;
}

// The test number of a sheet name ("Test 004" -> 4), 0 when none.
int TestNumber(const std::string& name) {
    return static_cast<int>(WholeNumber(
        ParseDouble(std::string_view(name).substr(std::min<std::size_t>(5, name.size())))));
}

// Values of the row for `test` (first column) of an inputs or results sheet, by column name.
void TakeSheetValues(const Sheet& s, int test, CurveMetadata& meta) {
    if (s.rows() < 3) return;
    for (std::size_t r = 1; r < s.rows(); ++r) {
        // The Results sheet writes the test numbers as text.
        const CellView first = s.at(r, 0);
        const double number = first.number ? first.value : ParseDouble(Trimmed(first.text));
        if (WholeNumber(number) != test) continue;
        for (std::size_t c = 1; c < s.cols(); ++c) {
            const std::string name = Trimmed(s.at(0, c).text);
            const CellView v = s.at(r, c);
            if (name.empty() || v.empty()) continue;
            const std::string unit = Trimmed(s.at(1, c).text);
            if (name == "Poissons Ratio" || name == "Poisson's Ratio of Sample") {
                if (v.number) meta.poissonRatio = v.value;
            } else if (name == "Frame Stiffness Correction" && v.number && v.value > 0 &&
                       unit == "N/m") {
                meta.frameCompliance = 1e6 / v.value;  // N/m -> nm/mN
            } else if (name.rfind("Area Coefficient ", 0) == 0 && v.number) {
                const long k = WholeNumber(ParseDouble(name.substr(17)));
                if (k >= 1 && k <= 9) {
                    const auto n = static_cast<std::size_t>(k);
                    if (meta.areaCoefficients.size() < n) meta.areaCoefficients.resize(n, 0.0);
                    meta.areaCoefficients[n - 1] = v.value;
                }
            } else if (name == "Tip Name") {
                meta.tipName = std::string(v.text);
            } else if (name == "Harmonic Frame Stiffness Correction" && v.number && v.value > 0 &&
                       unit == "N/m") {
                meta.harmonicFrameStiffness = v.value;  // 0: none entered
            } else if ((name == "Minimum Calculation Depth" ||
                        name == "Minimum Depth for Average") &&
                       v.number && unit == "nm") {
                meta.averageFrom = v.value;
            } else if ((name == "Maximum Calculation Depth" ||
                        name == "Maximum Depth for Average") &&
                       v.number && unit == "nm") {
                meta.averageTo = v.value;
            } else if (name == "X Test Position" && v.number) {
                meta.positionX = v.value;
            } else if (name == "Y Test Position" && v.number) {
                meta.positionY = v.value;
            }
            meta.values.emplace_back(name + (unit.empty() ? "" : " [" + unit + "]"),
                                     v.number ? FormatShortest(v.value) : std::string(v.text));
        }
        return;
    }
}

// Where the depth, load, time and marker columns of a test sheet are, with their units.
struct SheetColumns {
    int depth = -1, load = -1, time = -1, marker = -1;
    std::size_t firstRow = 2;  // 1 when the names carry the units and no unit row follows
    double fd = 1, fl = 1, ft = 1;
    std::string du = "nm", lu = "mN", tu = "s";
};

// The columns as row 1 names them (units there or in row 2), then --columns and --units over
// them.
SheetColumns FindSheetColumns(const Sheet& s, const ReadOptions& o) {
    SheetColumns k;
    for (std::size_t i = 0; i < s.cols(); ++i) {
        std::string name, unit;
        SplitNameUnit(std::string(s.at(0, i).text), name, unit);
        if (unit.empty()) unit = Trimmed(s.at(1, i).text);
        const int col = static_cast<int>(i);
        if (name == "Segment" || name == "Markers") k.marker = col;
        switch (ColumnKind(name)) {
            case 'd':
                if (k.depth < 0)
                    k.depth = col, k.du = unit, k.fd = unit.empty() ? 1 : DepthFactor(unit);
                break;
            case 'l':
                if (k.load < 0)
                    k.load = col, k.lu = unit, k.fl = unit.empty() ? 1 : LoadFactor(unit);
                break;
            case 't':
                if (k.time < 0)
                    k.time = col, k.tu = unit, k.ft = unit.empty() ? 1 : TimeFactor(unit);
                break;
            default: break;
        }
    }
    if (k.depth >= 0)
        if (s.at(1, static_cast<std::size_t>(k.depth)).number) k.firstRow = 1;
    if (o.depthColumn > 0) k.depth = o.depthColumn - 1, k.fd = 1, k.du = "nm";
    if (o.loadColumn > 0) k.load = o.loadColumn - 1, k.fl = 1, k.lu = "mN";
    if (o.timeColumn > 0) k.time = o.timeColumn - 1, k.ft = 1;
    if (!o.depthUnit.empty()) k.fd = DepthFactor(o.depthUnit), k.du = o.depthUnit;
    if (!o.loadUnit.empty()) k.fl = LoadFactor(o.loadUnit), k.lu = o.loadUnit;
    return k;
}

// The final unloading after the thermal-drift hold has no marker of its own: it starts at
// the first point more than 2 % below the hold's force.
void MarkFinalUnloading(std::size_t driftHoldStart, ParsedCurve& c) {
    if (driftHoldStart >= c.load.size()) return;
    const double hold = c.load[driftHoldStart];
    for (std::size_t i = driftHoldStart; i < c.load.size(); ++i)
        if (c.load[i] < hold * 0.98) {
            for (std::size_t j = i; j < c.load.size(); ++j) c.segment[j] = 'U';
            break;
        }
}

// The continuous-stiffness columns kept beside the points (what a depth profile needs and the
// instrument's own results to compare with).
bool IsChannelColumn(const std::string& name) {
    static const char* const kNames[] = {"Harmonic Contact Stiffness",
                                         "Harmonic Stiffness",
                                         "Harmonic Load",
                                         "Harmonic Displacement",
                                         "Phase Angle",
                                         "Harmonic System Stiffness",
                                         "Harmonic Frame Stiffness",
                                         "Hardness",
                                         "Modulus",
                                         "Contact Depth",
                                         "Contact Area",
                                         "Reduced Modulus"};
    return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
}

// The points from row 3 on, with segment codes from the marker column; the channel columns
// (`channelColumns`, one per c.channels) get one value per point kept.
void ReadSheetPoints(const Sheet& s, const SheetColumns& k,
                     const std::vector<std::size_t>& channelColumns, ParsedCurve& c) {
    char code = 'X';
    bool anyMarker = false;
    std::size_t driftHoldStart = std::string::npos;
    for (std::size_t r = k.firstRow; r < s.rows(); ++r) {
        const CellView d = s.at(r, static_cast<std::size_t>(k.depth));
        const CellView l = s.at(r, static_cast<std::size_t>(k.load));
        const CellView t = k.time >= 0 ? s.at(r, static_cast<std::size_t>(k.time)) : CellView{};
        if (k.marker >= 0) {
            if (const CellView m = s.at(r, static_cast<std::size_t>(k.marker)); !m.text.empty()) {
                if (const char mc = MarkerCode(Trimmed(m.text))) {
                    code = mc;
                    anyMarker = true;
                    if (mc == 'B') driftHoldStart = c.depth.size();
                }
            }
        }
        if (!d.number || !l.number) {
            if (!d.text.empty() || !l.text.empty())
                c.warnings.push_back({static_cast<int>(r + 1), "not a row of numbers; skipped"});
            continue;
        }
        c.push(d.value * k.fd, l.value * k.fl, t.number ? t.value * k.ft : 0, code);
        for (std::size_t j = 0; j < channelColumns.size(); ++j) {
            const CellView v = s.at(r, channelColumns[j]);
            c.channels[j].values.push_back(v.number ? v.value
                                                    : std::numeric_limits<double>::quiet_NaN());
        }
    }
    if (anyMarker) MarkFinalUnloading(driftHoldStart, c);
}

// One test sheet: row 1 names, row 2 units, then the points.
bool TestSheetCurve(const Sheet& s, const ReadOptions& o, const std::string& format, ParsedCurve& c,
                    std::string& error) {
    if (s.rows() < 2) {
        error = "sheet \"" + s.name + "\" has no column names and units";
        return false;
    }
    const SheetColumns k = FindSheetColumns(s, o);
    if (k.depth < 0 || k.load < 0) {
        error = "sheet \"" + s.name + "\" has no depth and load columns";
        return false;
    }
    if (k.fd == 0 || k.fl == 0 || k.ft == 0) {
        error = "sheet \"" + s.name + "\" states a unit that is not understood (depth \"" + k.du +
                "\", load \"" + k.lu + "\", time \"" + k.tu + "\")";
        return false;
    }
    c.test = s.name;
    c.format = format;
    c.units = "depth " + k.du + ", load " + k.lu + (k.time >= 0 ? ", time " + k.tu : ", no time");
    std::vector<std::size_t> channelColumns;
    for (std::size_t i = 0; i < s.cols(); ++i) {
        const std::string name = Trimmed(s.at(0, i).text);
        if (!IsChannelColumn(name) || c.FindChannel(name)) continue;
        c.channels.push_back({name, Trimmed(s.at(1, i).text), {}});
        channelColumns.push_back(i);
    }
    ReadSheetPoints(s, k, channelColumns, c);
    FinishCurve(c);
    return true;
}

// Why a sheet that is not a "Test ..." sheet holds no curve; empty when its first row names a
// depth and a load column (a test, whatever the sheet's name).
std::string NoCurveReason(const Sheet& s) {
    const std::string sheet = "sheet '" + s.name + "' holds no curve: ";
    if (s.empty()) return sheet + "it is empty";
    const SheetColumns k = FindSheetColumns(s, ReadOptions{});
    if (k.depth >= 0 && k.load >= 0) return "";
    return sheet +
           (k.depth < 0 && k.load < 0 ? "no depth and no load column"
            : k.depth < 0             ? "no depth column"
                                      : "no load column") +
           " in its first row";
}

// The curves of a workbook's test sheets, with each test's metadata from the other sheets. A
// sheet named "Test ..." must hold a curve; any other sheet is a test when its first row names a
// depth and a load column, and is listed as skipped with the reason otherwise.
// A sheet, or for a "Test ..." sheet already read into its curve, the curve (and the sheet's
// name only): a workbook's test sheets need not all be in memory at once.
struct WorkbookEntry {
    Sheet sheet;
    std::optional<ParsedCurve> curve;
};

void WorkbookCurves(std::vector<WorkbookEntry>& entries, const ReadOptions& o,
                    const std::string& format, ParsedFile& out) {
    std::string error;
    for (WorkbookEntry& e : entries) {
        const Sheet& s = e.sheet;
        ParsedCurve c;
        if (IsTestSheet(s.name)) {
            if (e.curve)
                c = std::move(*e.curve);
            else if (!TestSheetCurve(s, o, format, c, error))
                return out.Fail(ErrorCode::Damaged, error);
            const int test = TestNumber(s.name);
            for (const WorkbookEntry& info : entries)
                if (test >= 0 && !IsTestSheet(info.sheet.name))
                    TakeSheetValues(info.sheet, test, c.meta);
        } else if (std::string why = NoCurveReason(s); !why.empty()) {
            out.skipped.push_back({s.name, std::move(why)});
            continue;
        } else if (!TestSheetCurve(s, o, format, c, error)) {
            out.skipped.push_back({s.name, "sheet '" + s.name + "' holds no curve: " + error});
            continue;
        }
        out.curves.push_back(std::move(c));
    }
    if (out.curves.empty()) {
        std::string why = "no sheet of the workbook holds a curve";
        for (std::size_t i = 0; i < out.skipped.size(); ++i)
            why += (i ? "; " : " (") + out.skipped[i].reason +
                   (i + 1 == out.skipped.size() ? ")" : "");
        out.Fail(ErrorCode::Damaged, why);
    }
}

}  // namespace

void WorkbookCurves(std::vector<Sheet>& sheets, const ReadOptions& o, const std::string& format,
                    ParsedFile& out) {
    std::vector<WorkbookEntry> entries(sheets.size());
    for (std::size_t i = 0; i < sheets.size(); ++i) entries[i].sheet = std::move(sheets[i]);
    WorkbookCurves(entries, o, format, out);
}

void ParseXls(std::string_view content, const ReadOptions& o, ParsedFile& out) {
    // Each test sheet becomes its curve as soon as it is read and its cells are freed, so the
    // next sheet reuses their memory: a workbook of many large sheets costs one sheet's worth.
    std::vector<WorkbookEntry> entries;
    auto take = [&](Sheet&& sheet) {
        WorkbookEntry& e = entries.emplace_back();
        e.sheet = std::move(sheet);
        ParsedCurve c;
        std::string ignored;  // a damaged test sheet is read again below and fails the file there
        if (IsTestSheet(e.sheet.name) && TestSheetCurve(e.sheet, o, "xls", c, ignored)) {
            e.curve = std::move(c);
            e.sheet = Sheet(e.sheet.name);
        }
    };
    std::vector<workbook::OtherSheet> others;
    std::string error;
    if (!workbook::ReadXlsCells(content, take, others, error))
        return out.Fail(ErrorCode::Damaged, "not a readable .xls workbook: " + error);
    for (const workbook::OtherSheet& other : others)
        out.skipped.push_back(
            {other.name, "sheet '" + other.name + "' holds no curve: it is " + other.kind});
    WorkbookCurves(entries, o, "xls", out);
}

}  // namespace marvek::io
