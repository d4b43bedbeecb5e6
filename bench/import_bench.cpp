// B9: reading each instrument format through the import layer (the bundled vendor files):
// MB/s of file and points/s of curve.

#include <filesystem>
#include <string>

#include "bench_support.h"
#include "core/io/parsed_curve.h"

namespace marvek::bench {
namespace {

const std::filesystem::path kVendor = std::filesystem::path(MARVEK_TEST_DATA) / "vendor";

void ReadFormat(benchmark::State& state, const char* file) {
    const std::filesystem::path path = kVendor / file;
    std::size_t points = 0;
    for (auto _ : state) {
        const io::ParsedFile f = io::ReadFile(path);
        if (f.status != ReadStatus::Ok) state.SkipWithError(f.error.c_str());
        points = 0;
        for (const io::ParsedCurve& c : f.curves) points += c.size();
        benchmark::DoNotOptimize(points);
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
    state.counters["points_per_second"] =
        benchmark::Counter(static_cast<double>(points) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}

BENCHMARK_CAPTURE(ReadFormat, triboscan_txt, "RobinSteel0000LC.txt")
    ->Name("B9_import/triboscan_txt")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(ReadFormat, triboscan_hld, "Exp-50mN_0000.hld")
    ->Name("B9_import/triboscan_hld")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(ReadFormat, fischerscope, "FS1.txt")
    ->Name("B9_import/fischerscope")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(ReadFormat, xls, "Popin.xls")
    ->Name("B9_import/xls")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(ReadFormat, xlsx, "Tungsten_FrameStiffness.xlsx")
    ->Name("B9_import/xlsx")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(ReadFormat, nanotest_zip, "multipleIndentations.zip")
    ->Name("B9_import/nanotest_zip")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Generic delimited text: the 40000-point file of B1 with a tab-separated, µN header.
void ReadDelimited(benchmark::State& state) {
    static const std::string text = [] {
        std::string t = "Time (s)\tDepth (nm)\tLoad (uN)\n";
        for (int i = 0; i < 40000; ++i)
            t += std::to_string(i * 0.01) + '\t' + std::to_string(1 + i * 0.05) + '\t' +
                 std::to_string(i * 0.3) + '\n';
        return t;
    }();
    for (auto _ : state) {
        const io::ParsedFile f = io::ParseBuffer(text, "bench.txt");
        if (f.status != ReadStatus::Ok) state.SkipWithError(f.error.c_str());
        benchmark::DoNotOptimize(f.curves.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
    state.counters["points_per_second"] = benchmark::Counter(
        40000.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(ReadDelimited)->Name("B9_import/delimited")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace marvek::bench
