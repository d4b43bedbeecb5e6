#pragma once

#include <CLI/CLI.hpp>

namespace marvek::cli {

// `marvek-cli graph NAME [options] FILE... [-o OUT.csv] [--curve N] [--section-size S]`: the
// series of one graph command as the graph window saves it.
void AddGraphCommand(CLI::App& app, int& exitStatus);

}  // namespace marvek::cli
