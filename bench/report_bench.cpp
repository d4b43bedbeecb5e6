// B20: `marvek-cli report` as a whole process: 200 curves of 2000 points analysed, judged as a
// series and written with every curve drawn, as HTML (PNG pictures embedded) and as PDF.

#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "support/temp_dir.h"

namespace marvek::bench {
namespace {

void CliReport(benchmark::State& state, const char* extension) {
    const std::vector<std::string>& files = CurveFiles(static_cast<int>(state.range(0)), 2000);
    testing::TempDir dir;
    const std::string out = (dir.path() / (std::string("report") + extension)).string();
    std::vector<std::string> args = {MARVEK_CLI, "report", "--defaults", "-o", out};
    args.insert(args.end(), files.begin(), files.end());
    for (auto _ : state)
        if (RunQuietly(args) != 0) state.SkipWithError("marvek-cli report failed");
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(out));
}

BENCHMARK_CAPTURE(CliReport, html, ".html")
    ->Name("B20_cli_report_html")
    ->Arg(200)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(CliReport, pdf, ".pdf")
    ->Name("B20_cli_report_pdf")
    ->Arg(200)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
}  // namespace marvek::bench
