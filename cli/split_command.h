#pragma once

#include <CLI/CLI.hpp>

namespace marvek::cli {

// `marvek-cli split unload|reload [--force-accuracy F] FILE...`: cuts multi-cycle curve files
// into single-cycle files beside them, one count line per input file.
void AddSplitCommand(CLI::App& app, int& exitStatus);

}  // namespace marvek::cli
