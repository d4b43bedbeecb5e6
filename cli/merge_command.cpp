#include "merge_command.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "merge.h"

namespace marvek::cli {

namespace {

int Run(const std::vector<std::string>& files) {
    std::vector<ShardFile> shards(files.size());
    for (std::size_t k = 0; k < files.size(); ++k) {
        std::ifstream in(files[k], std::ios::binary);
        if (!in) {
            std::cerr << "marvek-cli merge: " << files[k] << ": cannot be opened\n";
            return 1;
        }
        const std::string text{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
        std::string error;
        if (in.bad() || !ParseShard(text, files[k], shards[k], error)) {
            std::cerr << "marvek-cli merge: " << (error.empty() ? files[k] + ": read error" : error)
                      << '\n';
            return 1;
        }
    }
    std::string error;
    if (!MergeShards(shards, std::cout, error)) {
        std::cerr << "marvek-cli merge: " << error << '\n';
        return 1;
    }
    std::cout.flush();
    return std::cout ? 0 : 1;
}

}  // namespace

void AddMergeCommand(CLI::App& app, int& exitStatus) {
    auto files = std::make_shared<std::vector<std::string>>();
    CLI::App* cmd = app.add_subcommand(
        "merge", "Join the outputs of analyze --shard K/N (all N of them) into one run's output");
    cmd->add_option("SHARD", *files, "Shard outputs (CSV or JSON lines), in any order")->required();
    cmd->callback([files, &exitStatus] { exitStatus = Run(*files); });
}

}  // namespace marvek::cli
