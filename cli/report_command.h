#pragma once

#include <CLI/CLI.hpp>

namespace marvek::cli {

// `marvek-cli report FILE... -o report.html|report.pdf`: one document with the settings and where
// each came from, the series table with statistics and flags, and each curve's plot with its fit.
void AddReportCommand(CLI::App& app, int& exitStatus);

}  // namespace marvek::cli
