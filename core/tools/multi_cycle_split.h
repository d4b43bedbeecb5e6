#pragma once
// Cutting a curve file that holds several load-unload cycles into single-cycle curve files
// that the curve reader reads back. Cycles are found from the force alone; the segment column
// of the input is not used.
//
// The work is split in three steps so each can be tested and reused on its own:
//   PlanSplit       the scan: which points go into which output file, as index ranges;
//   RenderSplitFile the text of one output file;
//   WriteSplitFiles / SplitCurveFile  writing, with a report of what really reached the disk.

#include <filesystem>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/analysis/curve_analyzer.h"

namespace marvek {

enum class SplitKind {
    Unload,  // one file per cycle: load envelope, top hold, unloading, bottom hold
    Reload,  // one file per reloading: load envelope, reloading (top down), bottom hold
};

// The points the scan reads; the three spans have the same length.
struct CurvePoints {
    std::span<const double> depth;  // nm
    std::span<const double> load;   // mN
    std::span<const double> time;   // s
};

// The first m_nPoints points of the analyzer's loaded curve.
CurvePoints LoadedPoints(const CCurveAnalyzer& analyzer);

// Load band of a hold: the tool force accuracy (a float setting, widened) times the
// analyzer's hold band factor (6.0).
double HoldBand(float forceAccuracy, double holdBandFactor = 6.0);

// One output file. Ranges are half-open [begin, end) in point indices unless said otherwise.
struct SplitFilePlan {
    int number = 0;  // k, counting from 1 for every input file
    // LOAD lines: the first envelopeCount envelope points whose force is <= forceLimit
    // (unload split) or < forceLimit (reload split).
    int envelopeCount = 0;
    double forceLimit = 0;
    int topHoldBegin = 0, topHoldEnd = 0;  // unload split only
    int unloadBegin = 0, unloadEnd = 0;    // unload split only
    // Reload split only: RELOAD lines walk down from reloadTop to reloadBottom inclusive and
    // keep the points whose force is <= forceLimit.
    int reloadTop = -1, reloadBottom = 0;
    int bottomHoldBegin = 0, bottomHoldEnd = 0;
};

struct SplitPlan {
    SplitKind kind = SplitKind::Unload;
    // Indices of the points at which the force reached a new maximum for the file, in order.
    // Sized to the curve, so it can never overrun however often the force rises.
    std::vector<int> envelope;
    std::vector<SplitFilePlan> files;
};

// The scan over all points for one input file. `band` is the hold band in mN (HoldBand).
// Curves of 11 points or fewer give no file.
SplitPlan PlanSplit(const CurvePoints& points, SplitKind kind, double band);

// The input's path with its extension removed ("a/steel.csv" -> "a/steel"; "a/steel" stays).
std::filesystem::path SplitBaseName(const std::filesystem::path& input);
// "<base>_<k>u.csv" or "<base>_<k>r.csv".
std::filesystem::path SplitFileName(const std::filesystem::path& input, SplitKind kind, int number);

// The full text of one output file: the header "Depth,Force,Time,Segment", then one line per
// point with depth in micrometres, force in mN and time in s, 7 significant digits each.
std::string RenderSplitFile(const CurvePoints& points, const SplitPlan& plan,
                            const SplitFilePlan& file);

struct SplitOutput {
    std::filesystem::path path;
    std::string content;
};

// Everything the split of `input` would write, in order, without touching the disk.
std::vector<SplitOutput> BuildSplitFiles(const CurvePoints& points, SplitKind kind, double band,
                                         const std::filesystem::path& input);

// What became of one input file.
struct SplitFileReport {
    std::filesystem::path input;
    Status read;  // ok, or why the input was skipped
    std::vector<std::filesystem::path> written;
    std::vector<std::pair<std::filesystem::path, std::string>> failed;  // file, reason
    int CreatedCount() const { return static_cast<int>(written.size()); }
    bool ok() const { return read.ok() && failed.empty(); }
};

// Writes the files of the split one at a time (created or overwritten). A file that cannot be
// written is listed in `failed` and does not count; the numbering of later files is unchanged.
SplitFileReport WriteSplitFiles(const CurvePoints& points, SplitKind kind, double band,
                                const std::filesystem::path& input);

// Reads `input` with `reader` (its zero-point settings apply) and writes its split. A file that
// cannot be read is skipped: nothing is written and the report says why, so the points of an
// earlier file are never cut into files named after this one.
SplitFileReport SplitCurveFile(CCurveAnalyzer& reader, const std::filesystem::path& input,
                               SplitKind kind, double band);

// The message shown after each input file: "<path>\n\n     <n> unload curve files created\n"
// (or "... reload curves files created"), followed by the reason a skipped input was not read
// and the names of files that could not be written.
std::string SplitMessage(SplitKind kind, const SplitFileReport& report);

}  // namespace marvek
