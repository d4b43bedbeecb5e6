#pragma once
// marvek-cli analyze --shard K/N: one machine's share of a job split over N machines, and the
// first line of its output that lets `marvek-cli merge` check the shards belong together.
//
// The rule: the given entries are grouped by file (the tests of one file, given as addresses
// FILE#TEST or found in a workbook, stay together), the files are sorted by path in byte order,
// and the i-th file (0-based) goes to shard (i mod N) + 1. Each shard analyses its files in that
// order, so merging the shards gives the rows in path order.

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "core/config/settings.h"
#include "series_output.h"

namespace marvek::cli {

struct ShardSelection {
    std::string text;  // "K/N" as given; empty without --shard
    int shard = 0, of = 0;
    std::size_t files = 0;    // files of the whole job
    std::size_t entries = 0;  // files of this shard
    std::string list;         // fingerprint of the whole job's sorted file list
    bool Active() const { return of > 0; }
};

void AddShardOption(CLI::App& command, ShardSelection& shard);

// Keeps in `files` the entries of the shard (in path order); nothing changes without --shard.
// False with a message when the text is not K/N with 1 <= K <= N.
bool SelectShard(ShardSelection& shard, std::vector<std::string>& files, std::string& error);

// Writes the shard's first line (JSON lines: a JSON object; CSV: "# " and the same object),
// which names the shard, the job and the series rules merge needs to judge the whole series.
// False with a message for outputs that cannot be merged (--text, --xlsx).
bool BeginShardOutput(const ShardSelection& shard, bool json, bool text,
                      const SeriesCliOptions& series, const Settings& settings, std::ostream& out,
                      std::string& error);

}  // namespace marvek::cli
