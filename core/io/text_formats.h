#pragma once
// Readers of the text formats and the helpers the workbook readers share with them.

#include <string>
#include <string_view>
#include <vector>

#include "parsed_curve.h"

namespace marvek::io {

// Factor to nm, mN or s of a unit as files write it ("µm", "uN", "(nm)", "[mN]"); 0 = unknown.
double DepthFactor(std::string_view unit);
double LoadFactor(std::string_view unit);
double TimeFactor(std::string_view unit);

// The quantity a column name stands for: 'd' depth, 'l' load, 't' time, 0 other.
char ColumnKind(std::string_view name);

// Splits "Load (µN)" / "Force_uN" / "Depth [nm]" into name and unit.
void SplitNameUnit(std::string_view header, std::string& name, std::string& unit);

// A count or index read from a file as a whole number: -1 when negative, not a number or not
// whole, at most 2^31 - 1 (a cast of a larger double would be undefined).
long WholeNumber(double v);

// Drops points with depth <= 0 or any non-finite value (the analysis needs depth > 0) and cuts
// the curve at kMaxPoints, noting both among the warnings.
void FinishCurve(ParsedCurve& c);

// Each reader appends the curves of `text` to `out`; on failure it sets out.status and out.error
// (without the file's name, which the caller puts in front).
void ParseDelimited(std::string_view text, const ReadOptions& o, ParsedFile& out);
void ParseTriboScanTxt(std::string_view text, const ReadOptions& o, ParsedFile& out);
void ParseTriboScanHld(std::string_view text, const ReadOptions& o, ParsedFile& out);
void ParseFischerscope(std::string_view text, const ReadOptions& o, ParsedFile& out);
void ParseNanoTestTxt(std::string_view text, const ReadOptions& o, ParsedFile& out);

// The text format `text` looks like, "" when none.
std::string DetectTextFormat(std::string_view text);

}  // namespace marvek::io
