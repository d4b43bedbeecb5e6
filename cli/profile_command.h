#pragma once

#include <CLI/CLI.hpp>

namespace marvek::cli {

// `marvek-cli profile FILE[#TEST]...`: hardness and modulus over depth of continuous-stiffness
// tests, their averages over a depth window and the series statistics of those averages.
void AddProfileCommand(CLI::App& app, int& exitStatus);

}  // namespace marvek::cli
