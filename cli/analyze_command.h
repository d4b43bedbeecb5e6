#pragma once

#include <CLI/CLI.hpp>

namespace marvek::cli {

// `marvek-cli analyze [options] FILE...`: one row (or JSON line) of results per curve file.
void AddAnalyzeCommand(CLI::App& app, int& exitStatus);

}  // namespace marvek::cli
