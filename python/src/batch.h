#pragma once
// One row per curve, as `marvek-cli analyze` computes it, over many addresses in parallel.

#include <string>
#include <vector>

#include "cli/iso_columns.h"
#include "core/analysis/curve_analysis.h"
#include "core/series/series.h"
#include "options.h"

namespace marvek::python {

struct Row {
    std::string file;  // the address: FILE or FILE#TEST
    std::string test, format;
    std::vector<std::string> fromFile;
    bool ok = false;
    std::string error;
    double fmax = 0, hmax = 0, hc = 0, hr = 0, hf = 0, s = 0, r2 = 0, alpha = 0, m = 0,
           intercept = 0, driftRate = 0, zeroPointOffset = 0;
    int nPoints = 0, nFitPoints = 0;
    double loadTime = 0, topHoldTime = 0, unloadTime = 0, bottomHoldTime = 0, reloadTime = 0;
    double energyLoading = 0, energyUnloading = 0, energyReloading = 0;
    CurveDisplay display;
    std::string resultsText;
    cli::IsoResult iso;
    SeriesCurve curve;
};

// A result column: its name in `marvek-cli analyze --json`, its unit ("" for none) and value.
struct NumberColumn {
    const char* name;
    const char* unit;
    double (*value)(const Row&);
};
const std::vector<NumberColumn>& NumberColumns();
// The ISO result set's columns, with their units.
const std::vector<NumberColumn>& IsoColumns();

// The addresses of every test of `paths` (a workbook gives one per test), as analyze expands them.
std::vector<std::string> ExpandPaths(const std::vector<std::string>& paths,
                                     const io::ReadOptions& read);

// Analyses every address; in parallel when there are several (never more than `threads`
// workers when it is positive). Rows are in address order and equal a one-thread run's.
std::vector<Row> AnalyzeAddresses(const std::vector<std::string>& addresses,
                                  const CallSettings& settings);

}  // namespace marvek::python
