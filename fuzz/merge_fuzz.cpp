// Feeds arbitrary bytes to marvek-cli merge's reader and merge: the input is cut at lines "@@" into
// up to four shard outputs; each is parsed, and those that parse are merged.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/merge.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    std::vector<marvek::cli::ShardFile> shards;
    std::size_t pos = 0;
    for (int k = 0; k < 4 && pos <= all.size(); ++k) {
        std::size_t cut = all.find("\n@@\n", pos);
        if (cut == std::string_view::npos || k == 3)
            cut = all.size();
        else
            ++cut;  // the shard keeps its last line break
        marvek::cli::ShardFile shard;
        std::string error;
        const bool ok = marvek::cli::ParseShard(all.substr(pos, cut - pos),
                                                "shard" + std::to_string(k), shard, error);
        if (ok != error.empty()) std::abort();  // a failure always says why, a success never
        if (ok) shards.push_back(std::move(shard));
        pos = cut + 3;
    }
    std::ostringstream out;
    std::string error;
    const bool merged = !shards.empty() && marvek::cli::MergeShards(shards, out, error);
    if (!merged && !out.str().empty()) std::abort();  // nothing half-written
    return 0;
}
