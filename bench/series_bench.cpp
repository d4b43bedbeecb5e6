// B8: the results table of a series (every curve analysed, flags judged, summary) against
// `marvek-cli analyze` on the same files. The table should finish within twice the cli's time
// and show its first row within a second.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/io/number_format.h"
#include "core/series/series.h"

extern char** environ;

namespace marvek::bench {
namespace {

struct SeriesFiles {
    ScratchDir dir{"series"};
    std::vector<SeriesInput> inputs;
};

const SeriesFiles& Files(int count, int points) {
    static std::map<std::pair<int, int>, std::unique_ptr<SeriesFiles>> sets;
    std::unique_ptr<SeriesFiles>& slot = sets[{count, points}];
    if (!slot) {
        slot = std::make_unique<SeriesFiles>();
        for (int i = 0; i < count; ++i) {
            const auto file = slot->dir.path() / ("curve_" + FormatInt(i) + ".csv");
            WriteLayoutA(MakeSyntheticCurve(points, 1000 + static_cast<std::uint64_t>(i)), file);
            slot->inputs.push_back({file.string(), file.string(), ""});
        }
    }
    return *slot;
}

void SeriesTable(benchmark::State& state) {
    const SeriesFiles& set =
        Files(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    double firstRow = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        bool first = true;
        SeriesOptions options;
        options.curveDone = [&](std::size_t, const SeriesCurve&) {
            if (!first) return;
            first = false;
            firstRow =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
        };
        Series series;
        if (!RunSeries(set.inputs, Settings{}, {}, series, options) ||
            series.summary.included != set.inputs.size())
            state.SkipWithError("a curve of the series failed");
        benchmark::DoNotOptimize(series.summary.quantities.data());
    }
    state.counters["first_row_ms"] = firstRow;
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

int RunCli(const std::vector<std::string>& args) {
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

// The same files through the cli, with and without the summary.
void CliOnSeriesFiles(benchmark::State& state) {
    const SeriesFiles& set =
        Files(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::vector<std::string> args = {MARVEK_CLI, "analyze", "--defaults"};
    if (state.range(2)) args.push_back("--summary");
    for (const SeriesInput& input : set.inputs) args.push_back(input.file);
    for (auto _ : state)
        if (RunCli(args) != 0) state.SkipWithError("marvek-cli analyze failed");
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(SeriesTable)
    ->Name("B8_series_table")
    ->Args({200, 10000})
    ->Args({1000, 10000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);
BENCHMARK(CliOnSeriesFiles)
    ->Name("B8_cli_analyze_same_files")
    ->Args({200, 10000, 0})
    ->Args({1000, 10000, 0})
    ->Args({1000, 10000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

}  // namespace
}  // namespace marvek::bench
