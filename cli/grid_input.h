#pragma once
// What `phases` and `map` work on: a results table (any CSV with a header row) or curve files,
// analysed into one, with the indents' positions where they are known.

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "analysis_options.h"
#include "core/base/status.h"
#include "core/phases/table.h"

namespace marvek::cli {

struct GridInputOptions {
    AnalysisOptions analysis;  // for curve files
    std::vector<std::string> inputs;
    std::string positions;  // --positions TABLE.csv
    std::string grid;       // --grid ROWSxCOLUMNS[,pitch=P][,serpentine][,start=CORNER]
};

void AddGridInputOptions(CLI::App& command, GridInputOptions& options);

// One CSV input with a file column or one of the columns in `needed` is taken as the table.
// Otherwise the inputs are curve files (or FILE#TEST addresses): they are analysed, and the table
// holds one row per curve that gave a result (file, test, the result columns, x_um and y_um where
// known: from
// --positions, from --grid in list order, or from the file). `note` tells what was done.
Status LoadGridTable(const GridInputOptions& options, const std::vector<std::string>& needed,
                     phases::Table& table, std::string& note);

}  // namespace marvek::cli
