#pragma once
// One row per curve, as `marvek-cli analyze` computes it, over many addresses in parallel.

#include <functional>
#include <string>
#include <vector>

#include "cli/analysis_row.h"
#include "cli/iso_columns.h"
#include "core/analysis/curve_analysis.h"
#include "core/series/series.h"
#include "options.h"

namespace marvek::python {

using Row = cli::AnalysisRow;

// A result column: its name in `marvek-cli analyze --json`, its unit ("" for none) and value.
struct NumberColumn {
    const char* name;
    const char* unit;
    std::function<double(const Row&)> value;
};
// The columns of `marvek-cli analyze`, in its order.
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
