// B7: `marvek-cli analyze --json` as a whole process (start-up, reading, analysis on all cores,
// output): 1000 files of 2000 points, a 200-curve batch of 10000 points, and single 10000- and
// 40000-point curves, the cases researchers time against their scripts.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "analysis_row.h"
#include "bench_support.h"
#include "core/analysis/curve_analysis.h"
#include "core/io/number_format.h"
#include "core/io/parsed_curve.h"
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

// The small batch, 200 curves of 2000 points, as one comparison measured in the same iterations:
// the whole process on one thread and on every core, against its parts: the empty process
// (`--version`) and the sum of reading and analysing each curve on one thread in this process.
// The process should cost no more than the parts (budget_ratio >= 1), and less with two cores.
// A row of `analyze` computes more than the analysis (the result set, the quality checks, the
// first pop-in, the results text): the whole rows computed in this process on one thread are
// the second comparison, the one that shows what the process itself adds.
double WallSeconds(const std::vector<std::string>& args) {
    const auto start = std::chrono::steady_clock::now();
    if (RunQuietly(args) != 0) return std::numeric_limits<double>::quiet_NaN();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void SmallBatch(benchmark::State& state) {
    const std::vector<std::string>& files = CurveFiles(200, 2000);
    std::vector<std::string> one = {MARVEK_CLI, "analyze", "--json", "--threads", "1"};
    one.insert(one.end(), files.begin(), files.end());
    std::vector<std::string> all = {MARVEK_CLI, "analyze", "--json"};
    all.insert(all.end(), files.begin(), files.end());
    const Settings settings;
    double tOne = 0, tAll = 0, tEmpty = 0, tParts = 0, tRows = 0;
    for (auto _ : state) {
        tOne += WallSeconds(one);
        tAll += WallSeconds(all);
        tEmpty += WallSeconds({MARVEK_CLI, "--version"});
        const auto start = std::chrono::steady_clock::now();
        WithThreads(1, [&] {
            for (const std::string& file : files) {
                io::ParsedCurve curve;
                if (!io::ReadCurve(file, {}, curve).ok()) {
                    state.SkipWithError("a curve could not be read");
                    return;
                }
                benchmark::DoNotOptimize(AnalyzeCurve(curve, settings, false).display.m_dEIT);
            }
        });
        tParts += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const auto rowsStart = std::chrono::steady_clock::now();
        WithThreads(1, [&] {
            cli::RowWorker worker;
            cli::ConfigureRowWorker(worker, settings, {});
            for (const std::string& file : files)
                benchmark::DoNotOptimize(cli::AnalyzeRow(worker, file, settings, false, {}).ok);
        });
        tRows +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - rowsStart).count();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["process_1thread_ms"] = 1e3 * tOne / n;
    state.counters["process_all_ms"] = 1e3 * tAll / n;
    state.counters["empty_process_ms"] = 1e3 * tEmpty / n;
    state.counters["read_analyze_sum_ms"] = 1e3 * tParts / n;
    state.counters["budget_ratio_1thread"] = (tParts + tEmpty) / tOne;
    state.counters["budget_ratio_all"] = (tParts + tEmpty) / tAll;
    state.counters["rows_sum_ms"] = 1e3 * tRows / n;
    state.counters["rows_ratio_1thread"] = (tRows + tEmpty) / tOne;
    state.counters["rows_ratio_all"] = (tRows + tEmpty) / tAll;
}

BENCHMARK(SmallBatch)
    ->Name("B7_small_batch")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(10);

// The 4 MB instrument workbook of 9 tests (about 240 000 cells), `list` and `analyze` of all its
// tests, against the same curves converted to one CSV file each and read by the CSV path.
const std::filesystem::path kWorkbook =
    std::filesystem::path(MARVEK_TEST_DATA) / "vendor" / "FS_XP.xls";

const std::vector<std::string>& WorkbookAsCsv() {
    static const testing::TempDir dir;
    static const std::vector<std::string> files = [] {
        std::vector<std::string> out;
        const io::ParsedFile f = io::ReadFile(kWorkbook);
        for (const io::ParsedCurve& c : f.curves) {
            std::string t = "Depth (nm),Load (mN),Time (s)\n";
            for (std::size_t i = 0; i < c.size(); ++i)
                t += FormatShortest(c.depth[i]) + ',' + FormatShortest(c.load[i]) + ',' +
                     FormatShortest(c.time[i]) + '\n';
            out.push_back(dir.Write(io::SafeFileNamePart(c.test) + ".csv", t).string());
        }
        return out;
    }();
    return files;
}

void CliWorkbook(benchmark::State& state, const char* command, bool csv) {
    std::vector<std::string> args = {MARVEK_CLI, command};
    if (std::string(command) == "analyze") args.push_back("--json");
    if (csv) {
        const std::vector<std::string>& files = WorkbookAsCsv();
        args.insert(args.end(), files.begin(), files.end());
    } else {
        args.push_back(kWorkbook.string());
    }
    double cpu = 0;
    for (auto _ : state) {
        ChildUsage usage;
        if (RunQuietly(args, &usage) != 0) state.SkipWithError("marvek-cli failed");
        cpu += usage.cpuSeconds;
    }
    state.counters["cpu_ms"] = 1e3 * cpu / static_cast<double>(state.iterations());
}

BENCHMARK_CAPTURE(CliWorkbook, list_xls, "list", false)
    ->Name("B7_cli_workbook/list_xls")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20);
BENCHMARK_CAPTURE(CliWorkbook, list_csv, "list", true)
    ->Name("B7_cli_workbook/list_csv")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20);
BENCHMARK_CAPTURE(CliWorkbook, analyze_xls, "analyze", false)
    ->Name("B7_cli_workbook/analyze_xls")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20);
BENCHMARK_CAPTURE(CliWorkbook, analyze_csv, "analyze", true)
    ->Name("B7_cli_workbook/analyze_csv")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20);

}  // namespace
}  // namespace marvek::bench
