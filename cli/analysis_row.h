#pragma once
// One row of `marvek-cli analyze`: everything reported for one curve, taken from the analyzer
// right after its analysis, and the numeric columns it is written in. The Python package builds
// its tables from the same rows, so the two give the same numbers by construction.

#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/analysis/curve_analysis.h"
#include "core/config/settings.h"
#include "core/io/file_cache.h"
#include "core/series/series.h"
#include "iso_columns.h"

namespace marvek::cli {

inline constexpr double kAbsent = std::numeric_limits<double>::quiet_NaN();

struct AnalysisRow {
    std::string file;                   // the address: FILE or FILE#TEST
    std::string test, format;           // test: "" for a one-curve file
    std::vector<std::string> fromFile;  // settings taken from the file (--use-file-settings)
    std::vector<std::string> fromFileWarnings;  // what the file left out of a taken setting
    bool ok = false;
    std::string error;
    double fmax = 0, hmax = 0, hc = 0, hr = 0, hf = 0, s = 0, r2 = 0, alpha = 0, m = 0,
           intercept = 0, driftRate = 0, zeroPointOffset = 0;
    int nPoints = 0, nFitPoints = 0;
    CurveDisplay display;  // its numbers only, without the plot series
    double loadTime = 0, topHoldTime = 0, unloadTime = 0, bottomHoldTime = 0, reloadTime = 0;
    double energyLoading = 0, energyUnloading = 0, energyReloading = 0;
    // The first pop-in of the loading, from the series description (NaN without one).
    double firstPopinLoad = kAbsent, firstPopinDepth = kAbsent;
    std::string resultsText;
    IsoResult iso;
    SeriesCurve curve;  // flags and included state
    // A continuous-stiffness workbook's depth-profile average (NaN for other curves).
    // Where the instrument put the indent, in µm, when its file records it (grid maps).
    double xUm = kAbsent, yUm = kAbsent;
    double csmFrom = kAbsent, csmTo = kAbsent, csmN = kAbsent, csmHardness = kAbsent,
           csmModulus = kAbsent;
};

// A numeric column: its name in the JSON output, its CSV title, its unit ("" for none).
struct RowColumn {
    const char* json;
    const char* csv;
    const char* unit;
    std::function<double(const AnalysisRow&)> value;
    bool emptyWhenAbsent = false;  // CSV: an empty field, not "nan", where the curve has none
};
const std::vector<RowColumn>& RowColumns();

// One thread's analysis state, kept for a whole run: a fresh analyzer and fresh display series
// for every file cost more in page faults than the analysis of a 10000-point curve.
struct RowWorker {
    CCurveAnalyzer analyzer;
    CurveDisplay display;  // keeps its storage from file to file
    RowWorker() { display.withPlotSeries = false; }
};

// The analyzer configured for a run: strategy and read options, and the run's cache of parsed
// files when given (the workers of one run then parse each workbook once between them).
void ConfigureRowWorker(RowWorker& worker, const Settings& settings, const io::ReadOptions& read,
                        std::shared_ptr<io::ParsedFileCache> cache = nullptr);

// Analyses one address and describes it as a member of a series (flags, first pop-in).
// `useFileSettings` takes what the file records (Poisson's ratio, frame compliance, area
// function) over `base`; the row's fromFile names each.
AnalysisRow AnalyzeRow(RowWorker& worker, const std::string& file, const Settings& base,
                       bool useFileSettings, const IsoOptions& iso);

}  // namespace marvek::cli
