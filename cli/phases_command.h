#pragma once

#include <CLI/CLI.hpp>

namespace marvek::cli {

// `marvek-cli phases TABLE.csv|FILE... --columns A,B`: the phases of a grid of indents.
void AddPhasesCommand(CLI::App& app, int& exitStatus);

}  // namespace marvek::cli
