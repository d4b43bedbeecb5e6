#pragma once

#include <CLI/CLI.hpp>

namespace marvek::cli {

// `marvek-cli export [analysis options] FILE -o OUT.csv`: the curve with its fit, extrapolation
// and results text, as the window's Save Curves writes it.
void AddExportCommand(CLI::App& app, int& exitStatus);

}  // namespace marvek::cli
