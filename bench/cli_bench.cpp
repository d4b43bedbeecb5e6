// B7: `marvek-cli analyze` as a whole process (start-up, reading, analysis on all cores, output):
// 1000 files of 2000 points, a 200-curve batch of 10000 points, and single 10000- and
// 40000-point curves, the cases researchers time against their scripts.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "core/io/number_format.h"
#include "support/temp_dir.h"

extern char** environ;

namespace marvek::bench {
namespace {

struct FileSet {
    testing::TempDir dir;
    std::vector<std::string> files;
};

const FileSet& Files(int count, int points) {
    static std::map<std::pair<int, int>, std::unique_ptr<FileSet>> sets;
    std::unique_ptr<FileSet>& slot = sets[{count, points}];
    if (!slot) slot = std::make_unique<FileSet>();
    FileSet& set = *slot;
    if (set.files.empty()) {
        for (int i = 0; i < count; ++i) {
            const auto file = set.dir.path() / ("curve_" + FormatInt(i) + ".csv");
            WriteLayoutA(MakeSyntheticCurve(points, 1000 + static_cast<std::uint64_t>(i)), file);
            set.files.push_back(file.string());
        }
    }
    return set;
}

// Runs the command with its output thrown away; its exit status.
int Run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void CliAnalyze(benchmark::State& state) {
    const FileSet& set = Files(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::vector<std::string> args = {MARVEK_CLI, "analyze"};
    args.insert(args.end(), set.files.begin(), set.files.end());
    for (auto _ : state) {
        if (Run(args) != 0) state.SkipWithError("marvek-cli analyze failed");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(CliAnalyze)
    ->Name("B7_cli_analyze")
    ->Args({1000, 2000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(CliAnalyze)
    ->Name("B7_cli_analyze")
    ->Args({200, 10000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(CliAnalyze)
    ->Name("B7_cli_analyze")
    ->Args({1, 10000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20);
BENCHMARK(CliAnalyze)
    ->Name("B7_cli_analyze")
    ->Args({1, 40000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20);

}  // namespace
}  // namespace marvek::bench
