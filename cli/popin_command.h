#pragma once

#include <CLI/CLI.hpp>

namespace marvek::cli {

// `marvek-cli popin [options] FILE[#TEST]...`: the pop-ins of each curve's loading, the Hertz fit
// before the first, tauMax, and with --summary the statistics of the series.
void AddPopinCommand(CLI::App& app, int& exitStatus);

}  // namespace marvek::cli
