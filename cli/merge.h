#pragma once
// Joining the outputs of `marvek-cli analyze --shard K/N` (CSV or JSON lines) into what one
// process would have written: the rows in path order and, for a series, the flags, included
// states and summary judged again over all rows.

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/series/series.h"

namespace marvek::cli {

// The first line of a shard's output.
struct ShardHeader {
    int shard = 0, of = 0;
    std::size_t files = 0, entries = 0;
    std::string list;
    bool json = false;
    bool series = false, summary = false;
    double outlierMads = 0;
    std::vector<std::string> exclude;
};

// One curve's row as the shard wrote it, and what the series needs of it.
struct ShardRow {
    std::string text;  // the row's bytes without its final line break
    std::string file;  // the file part of the address: the order key
    std::string method;
    nlohmann::ordered_json json;  // JSON lines only
    SeriesCurve curve;            // values, own flags (no outlier flags), ok, error
};

struct ShardFile {
    std::string name;
    ShardHeader header;
    std::string csvHeader;  // CSV only: the column header line
    std::vector<ShardRow> rows;
};

// Reads one shard's output. False with a message (naming `name`) when it is not a complete
// shard output: no shard line, a row cut short, rows out of order, a summary missing.
bool ParseShard(std::string_view text, const std::string& name, ShardFile& shard,
                std::string& error);

// Checks the shards form one whole job (same job, same format and rules, each shard once, no
// file in two shards) and writes the merged output. Nothing is written on failure.
bool MergeShards(std::vector<ShardFile>& shards, std::ostream& out, std::string& error);

}  // namespace marvek::cli
