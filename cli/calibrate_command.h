#pragma once

#include <CLI/CLI.hpp>

namespace marvek::cli {

// `marvek-cli calibrate compliance|area [options] FILE...`: the frame compliance and the
// projected area function from series of indents, optionally saved to the parameter file.
void AddCalibrateCommand(CLI::App& app, int& exitStatus);

}  // namespace marvek::cli
