// Runs every benchmark, then prints a summary table: each fast path next to its reference, the
// speed-up and the target it must reach, and the checks that both gave the same numbers.

#include <benchmark/benchmark.h>

#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "core/analysis/power_law_kernels.h"
#include "core/io/number_format.h"

namespace marvek::bench {
namespace {

struct Measured {
    double seconds = 0;     // wall clock per iteration
    double cpuSeconds = 0;  // processor time of the benchmark's thread per iteration
    std::map<std::string, double> counters;
    std::string label;
};

class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
            std::string key = run.run_name.function_name;
            if (!run.run_name.args.empty()) key += "/" + run.run_name.args;
            Measured& m = measured[key];
            m.seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
            m.cpuSeconds = run.cpu_accumulated_time / static_cast<double>(run.iterations);
            for (const auto& [name, counter] : run.counters) m.counters[name] = counter.value;
            m.label = run.report_label;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, Measured> measured;
};

std::string Duration(double seconds) {
    if (seconds >= 1) return FormatSignificant(seconds, 3) + " s";
    return FormatSignificant(seconds * 1e3, 3) + " ms";
}

struct Row {
    std::string what;
    std::string fast;            // benchmark measured
    std::string reference;       // benchmark it is compared with ("" for none)
    double target = 0;           // least speed-up, 0 for none
    bool oneThread = false;      // both sides on one thread: processor time compares them too
    bool processorTime = false;  // processor time of the benchmark's thread shown beside
};

const std::vector<Row>& Rows() {
    static const std::vector<Row> rows = {
        {"B2 FitPowerLaw, 2000-point curve, 1 thread", "B2_fit/fast_1thread/2000",
         "B2_fit/literal/2000", 0, true},
        {"B2 FitPowerLaw, 2000-point curve, all cores", "B2_fit/fast/2000", "B2_fit/literal/2000",
         0},
        {"B2 FitPowerLaw, 10000-point curve, 1 thread", "B2_fit/fast_1thread/10000",
         "B2_fit/literal/10000", 10, true},
        {"B2 FitPowerLaw, 10000-point curve, all cores", "B2_fit/fast/10000",
         "B2_fit/literal/10000", 18},
        {"B2 FitPowerLaw, 40000-point curve, 1 thread", "B2_fit/fast_1thread/40000",
         "B2_fit/literal/40000", 0, true},
        {"B2 FitPowerLaw, 40000-point curve, all cores", "B2_fit/fast/40000",
         "B2_fit/literal/40000", 0},
        {"B3 Oliver-Pharr analysis of a 40000-point curve", "B3_analysis/fast/40000",
         "B3_analysis/literal/40000", 0},
        {"B4 \"Percent Series\", 40000-point curve", "B4_percent_series/fast",
         "B4_percent_series/literal", 15},
        {"B5 curve-list graph, 200 curves of 10000 points", "B5_curve_list/fast",
         "B5_curve_list/literal", 15},
        {"B6 \"Graininess Load\" windows of an 8000-point loading branch, slid vs fitted "
         "from scratch",
         "B6_graininess_windows/fast", "B6_graininess_windows/literal", 50, true},
        {"B6 \"Graininess Load\", whole command (power-law fit and windows)",
         "B6_graininess_load/fast", "B6_graininess_load/literal", 0},
        {"B7 marvek-cli analyze, 1000 files of 2000 points", "B7_cli_analyze/1000/2000", "", 0},
        {"B7 marvek-cli analyze, 200 files of 10000 points", "B7_cli_analyze/200/10000", "", 0},
        {"B7 marvek-cli analyze, one 10000-point file", "B7_cli_analyze/1/10000", "", 0},
        {"B7 marvek-cli analyze, one 40000-point file", "B7_cli_analyze/1/40000", "", 0},
        {"B8 analysis of a 10000-point curve", "B8_iso/analysis/10000", "", 0},
        {"B8 result set (work, etaIT, CIT, RIT, HM(s)) of it", "B8_iso/quantities/10000", "", 0},
        {"B8 analysis with the uncertainty of EIT and HIT", "B8_iso/analysis_uncertainty/10000", "",
         0},
        {"B13 pop-ins (noise-adaptive detector) with the Hertz fit, 40000-point curve",
         "B13_popins/adaptive/40000", "", 0, false, true},
        {"B10 main window, repaint of the plot at its home view", "B10_window/repaint", "", 0,
         false, true},
        {"B10 main window, arrow-key step to the other curve (analysis, plot data, repaint)",
         "B10_window/step", "", 0, false, true},
        {"B10 main window, one wheel notch with its repaint", "B10_window/zoom", "", 0, false,
         true},
        {"B15 property map, repaint of map, histogram and scatter (10000 indents)",
         "B15_map_view/repaint", "", 0, false, true},
        {"B15 property map, update after an exclusion (map, mixture k = 1 ... 5, plots)",
         "B15_map_view/exclusion", "", 0, false, true},
    };
    return rows;
}

std::string CpuName() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("model name", 0) == 0) {
            const auto colon = line.find(':');
            if (colon != std::string::npos) return line.substr(colon + 2);
        }
    }
    return "unknown processor";
}

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string value;
    in >> value;
    return value.empty() ? "unknown" : value;
}

void PrintSummary(const std::map<std::string, Measured>& measured) {
    std::cout << "\nMarvek benchmarks on " << CpuName() << ", "
              << FormatInt(std::thread::hardware_concurrency()) << " cores, vector unit "
              << detail::PowerLawVectorTarget() << ", load average " << LoadAverage()
              << " (wall-clock time per operation; the reference is the plain search, one "
                 "thread)\n\n";
    std::cout << "| Benchmark | Marvek | Reference | Speed-up | Target | Speed-up in processor "
                 "time (one thread) |\n";
    std::cout << "|---|---|---|---|---|---|\n";
    bool allMet = true;
    auto find = [&](const std::string& name) -> const Measured* {
        const auto it = measured.find(name);
        return it == measured.end() ? nullptr : &it->second;
    };

    if (const Measured* read = find("B1_read/40000")) {
        const double rate = read->counters.count("bytes_per_second")
                                ? read->counters.at("bytes_per_second") / 1e6
                                : 0;
        const bool met = rate >= 150;
        allMet = allMet && met;
        std::cout << "| B1 read a 40000-point layout-A file | " << Duration(read->seconds) << ", "
                  << FormatFixed(rate, 0) << " MB/s | | | >= 150 MB/s " << (met ? "met" : "MISSED")
                  << " | |\n";
    }
    for (const Row& row : Rows()) {
        const Measured* fast = find(row.fast);
        if (!fast) continue;
        std::string what = row.what;
        if (!fast->label.empty()) what += " (" + fast->label + ")";
        std::cout << "| " << what << " | " << Duration(fast->seconds);
        if (fast->counters.count("peak_heap_MB"))
            std::cout << ", peak heap " << FormatFixed(fast->counters.at("peak_heap_MB"), 1)
                      << " MB";
        if (row.processorTime)
            std::cout << " (processor time " << Duration(fast->cpuSeconds) << ")";
        std::cout << " | ";
        const Measured* reference = row.reference.empty() ? nullptr : find(row.reference);
        if (reference) {
            const double ratio = reference->seconds / fast->seconds;
            std::cout << Duration(reference->seconds) << " | " << FormatFixed(ratio, 1) << "x | ";
            if (row.target > 0) {
                const bool met = ratio >= row.target;
                allMet = allMet && met;
                std::cout << ">= " << FormatFixed(row.target, 0) << "x "
                          << (met ? "met" : "MISSED");
            }
        } else {
            std::cout << " | | ";
        }
        if (fast->counters.count("peak_heap_MB")) {
            const bool met = fast->counters.at("peak_heap_MB") < 100;
            allMet = allMet && met;
            std::cout << (row.target > 0 ? "; " : "") << "heap < 100 MB "
                      << (met ? "met" : "MISSED");
        }
        std::cout << " | ";
        if (reference && row.oneThread && fast->cpuSeconds > 0)
            std::cout << FormatFixed(reference->cpuSeconds / fast->cpuSeconds, 1) << "x";
        std::cout << " |\n";
    }

    std::cout << "\nSame numbers as the plain search (largest relative difference of hf, m, "
                 "alpha, r^2 and every derived quantity; limit "
              << FormatSignificant(kAgreement, 1) << "):\n";
    bool allSame = true;
    for (const Check& check : Checks()) {
        const bool same = check.difference <= kAgreement;
        allSame = allSame && same;
        std::cout << "  " << check.what << ": " << FormatSignificant(check.difference, 3)
                  << (same ? " (same)" : " (DIFFERENT)") << "\n";
    }
    std::cout << "\n"
              << (allMet ? "All targets met." : "Some targets missed.")
              << (allSame ? "" : " Some results differ from the plain search.") << "\n";
}

}  // namespace
}  // namespace marvek::bench

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    marvek::bench::CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    marvek::bench::PrintSummary(reporter.measured);
    return 0;
}
