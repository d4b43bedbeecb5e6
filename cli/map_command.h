#pragma once

#include <CLI/CLI.hpp>

namespace marvek::cli {

// `marvek-cli map TABLE.csv|FILE... --value HIT --png OUT.png`: a property map over positions.
void AddMapCommand(CLI::App& app, int& exitStatus);

}  // namespace marvek::cli
