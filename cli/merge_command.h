#pragma once

#include <CLI/CLI.hpp>

namespace marvek::cli {

// `marvek-cli merge SHARD...`: the outputs of `analyze --shard K/N` joined into one run's output.
void AddMergeCommand(CLI::App& app, int& exitStatus);

}  // namespace marvek::cli
