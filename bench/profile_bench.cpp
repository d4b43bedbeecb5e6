// B13: depth profiles of continuous-stiffness workbooks. B13_read reads a workbook of 5000-sample
// tests (written here with libxlsxwriter in the layout of the instruments' exports);
// B13_profile profiles and averages the same curves, and at 1000 indents (the workbook's curves
// repeated) with the mean profile over all of them. per_indent_us compares the two: the profile
// math must cost far less than the read of the same tests.

#include <xlsxwriter.h>

#include <string>
#include <vector>

#include "bench_support.h"
#include "core/io/parsed_curve.h"
#include "core/profiles/depth_profile.h"
#include "support/temp_dir.h"

namespace marvek::bench {
namespace {

constexpr int kSamples = 5000;
// Tests in the workbook read: the reader keeps every sheet's cells in memory at once, so a
// 1000-test workbook (35 million cells) would need gigabytes; the read is reported per test.
constexpr int kWorkbookTests = 40;

const std::string& Workbook() {
    static const testing::TempDir dir;
    static const std::string path = [] {
        const std::string p = (dir.path() / "csm.xlsx").string();
        lxw_workbook* book = workbook_new(p.c_str());
        static const char* const kNames[] = {
            "Segment",        "Displacement Into Surface",  "Load On Sample",
            "Time On Sample", "Harmonic Contact Stiffness", "Hardness",
            "Modulus"};
        static const char* const kUnits[] = {"", "nm", "mN", "s", "N/m", "GPa", "GPa"};
        for (int t = 1; t <= kWorkbookTests; ++t) {
            char name[32];
            std::snprintf(name, sizeof name, "Test %03d", t);
            lxw_worksheet* sheet = workbook_add_worksheet(book, name);
            for (lxw_col_t c = 0; c < 7; ++c) {
                worksheet_write_string(sheet, 0, c, kNames[c], nullptr);
                worksheet_write_string(sheet, 1, c, kUnits[c], nullptr);
            }
            worksheet_write_string(sheet, 2, 0, "Load Segment Type", nullptr);
            for (int i = 0; i < kSamples; ++i) {
                // A contact of hc = h / 4 under P = 1e-4 h^2 mN with S = 100 h N/m.
                const double h = 0.2 * (i + 1) * (1 + 0.01 * t);
                const lxw_row_t r = static_cast<lxw_row_t>(i + 2);
                worksheet_write_number(sheet, r, 1, h, nullptr);
                worksheet_write_number(sheet, r, 2, 1e-4 * h * h, nullptr);
                worksheet_write_number(sheet, r, 3, 0.1 * i, nullptr);
                worksheet_write_number(sheet, r, 4, 100 * h, nullptr);
                worksheet_write_number(sheet, r, 5, 10, nullptr);
                worksheet_write_number(sheet, r, 6, 70, nullptr);
            }
        }
        workbook_close(book);
        return p;
    }();
    return path;
}

const std::vector<io::ParsedCurve>& WorkbookCurves() {
    static const std::vector<io::ParsedCurve> curves = io::ReadFile(Workbook()).curves;
    return curves;
}

void PerIndent(benchmark::State& state, std::size_t indents) {
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(indents));
    state.counters["indents"] = static_cast<double>(indents);
    state.counters["per_indent_us"] = benchmark::Counter(
        static_cast<double>(indents) * 1e-6,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void ReadWorkbook(benchmark::State& state) {
    const std::string& path = Workbook();
    std::size_t tests = 0;
    for (auto _ : state) {
        const io::ParsedFile f = io::ReadFile(path);
        if (!f.status.ok()) state.SkipWithError(f.status.message().c_str());
        tests = f.curves.size();
        benchmark::DoNotOptimize(tests);
    }
    PerIndent(state, tests);
}

// The workbook's tests repeated to state.range(0) indents; empty (and the run skipped) when the
// workbook could not be read.
std::vector<io::ParsedCurve> RepeatedCurves(benchmark::State& state) {
    const std::vector<io::ParsedCurve>& read = WorkbookCurves();
    std::vector<io::ParsedCurve> curves;
    if (read.empty()) {
        state.SkipWithError("the workbook was not read");
        return curves;
    }
    for (std::size_t k = 0; k < static_cast<std::size_t>(state.range(0)); ++k)
        curves.push_back(read[k % read.size()]);
    return curves;
}

void ProfileAndAverage(benchmark::State& state) {
    const std::vector<io::ParsedCurve> curves = RepeatedCurves(state);
    if (curves.empty()) return;
    profiles::ProfileSettings settings;
    for (auto _ : state) {
        const std::vector<profiles::DepthProfile> all = profiles::ComputeProfiles(curves, settings);
        double sum = 0;
        for (const profiles::DepthProfile& p : all) sum += profiles::AverageProfile(p).modulus;
        const profiles::MeanProfile mean = profiles::ComputeMeanProfile(all);
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(mean.hardness.data());
    }
    PerIndent(state, curves.size());
}

// What the depth-profile window does on every mouse move while a window edge is dragged: the
// averages of every indent over the new window and their mean and SD.
void WindowAverages(benchmark::State& state) {
    const std::vector<io::ParsedCurve> curves = RepeatedCurves(state);
    if (curves.empty()) return;
    const std::vector<profiles::DepthProfile> all =
        profiles::ComputeProfiles(curves, profiles::ProfileSettings{});
    double to = 200;
    for (auto _ : state) {
        to = to < 400 ? to + 1 : 200;  // a new window each time, as the edge moves
        const profiles::WindowAverages w = profiles::AverageProfiles(all, {}, 100, to);
        benchmark::DoNotOptimize(w.hardness);
    }
    PerIndent(state, curves.size());
}

BENCHMARK(ReadWorkbook)->Name("B13_read")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ProfileAndAverage)
    ->Name("B13_profile")
    ->Arg(kWorkbookTests)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(WindowAverages)
    ->Name("B13_window_drag")
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace marvek::bench
