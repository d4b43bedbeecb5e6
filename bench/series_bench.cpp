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

// The series inputs of the shared curve files.
std::vector<SeriesInput> SeriesInputs(int count, int points) {
    std::vector<SeriesInput> inputs;
    for (const std::string& file : CurveFiles(count, points))
        inputs.push_back({file, file, "", {}});
    return inputs;
}

void SeriesTable(benchmark::State& state) {
    const std::vector<SeriesInput> inputs =
        SeriesInputs(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
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
        if (!RunSeries(inputs, Settings{}, {}, series, options) ||
            series.summary.included != inputs.size())
            state.SkipWithError("a curve of the series failed");
        benchmark::DoNotOptimize(series.summary.quantities.data());
    }
    state.counters["first_row_ms"] = firstRow;
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The same files through the cli, with and without the summary.
void CliOnSeriesFiles(benchmark::State& state) {
    const std::vector<SeriesInput> inputs =
        SeriesInputs(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::vector<std::string> args = {MARVEK_CLI, "analyze", "--defaults"};
    if (state.range(2)) args.push_back("--summary");
    for (const SeriesInput& input : inputs) args.push_back(input.file);
    for (auto _ : state)
        if (RunQuietly(args) != 0) state.SkipWithError("marvek-cli analyze failed");
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
