#pragma once
// Readers of the text formats and the helpers the workbook readers share with them.

#include <string>
#include <string_view>
#include <vector>

#include "column_names.h"
#include "parsed_curve.h"

namespace marvek::io {

// A count or index read from a file as a whole number: -1 when negative, not a number or not
// whole, at most 2^31 - 1 (a cast of a larger double would be undefined).
long WholeNumber(double v);

// Drops points with depth <= 0 or any non-finite value (the analysis needs depth > 0) and cuts
// the curve at kMaxPoints, noting both among the warnings.
void FinishCurve(ParsedCurve& c);

// Each reader appends the curves of `text` to `out`; on failure it calls out.Fail
// (without the file's name, which the caller puts in front).
void ParseDelimited(std::string_view text, const ReadOptions& o, ParsedFile& out);
void ParseTriboScanTxt(std::string_view text, const ReadOptions& o, ParsedFile& out);
void ParseTriboScanHld(std::string_view text, const ReadOptions& o, ParsedFile& out);
void ParseFischerscope(std::string_view text, const ReadOptions& o, ParsedFile& out);
void ParseNanoTestTxt(std::string_view text, const ReadOptions& o, ParsedFile& out);

// The text formats `text` fits, best first, with a score (10: the format's own marker line,
// 5: a header naming depth and load, 2: three columns of numbers as NanoTest writes them, 1:
// numbers only) and what was seen.
struct TextFormatCandidate {
    std::string format;
    int score = 0;
    std::string why;
};
std::vector<TextFormatCandidate> ScoreTextFormats(std::string_view text);

// The text format `text` looks like best, "" when none.
std::string DetectTextFormat(std::string_view text);

}  // namespace marvek::io
