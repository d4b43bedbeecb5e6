#pragma once

#include <CLI/CLI.hpp>

namespace marvek::cli {

// `marvek-cli list FILE...`: each curve address with its format, points, units and warnings.
void AddListCommand(CLI::App& app, int& exitStatus);

}  // namespace marvek::cli
