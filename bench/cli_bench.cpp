// B7: `marvek-cli analyze --json` as a whole process (start-up, reading, analysis on all cores,
// output): 1000 files of 2000 points, a 200-curve batch of 10000 points, and single 10000- and
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

void CliAnalyze(benchmark::State& state) {
    const std::vector<std::string>& files =
        CurveFiles(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::vector<std::string> args = {MARVEK_CLI, "analyze", "--json"};
    args.insert(args.end(), files.begin(), files.end());
    double cpu = 0;
    long faults = 0;
    for (auto _ : state) {
        ChildUsage usage;
        if (RunQuietly(args, &usage) != 0) state.SkipWithError("marvek-cli analyze failed");
        cpu += usage.cpuSeconds;
        faults += usage.pageFaults;
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    // The process's own processor time and page faults: the parent's CPU column shows neither.
    const double runs = static_cast<double>(state.iterations());
    state.counters["cpu_ms_per_curve"] = 1e3 * cpu / (runs * static_cast<double>(state.range(0)));
    state.counters["page_faults"] = static_cast<double>(faults) / runs;
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
