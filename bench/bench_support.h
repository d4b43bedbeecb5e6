#pragma once
// Shared pieces of the benchmarks: curve files written once per run, thread limits, checks.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <tbb/task_arena.h>

#include "support/curve_generator.h"

namespace marvek::bench {

using testing::MakeSyntheticCurve;
using testing::SyntheticCurve;

// The curve of `points` points and `seed`, generated once per run.
const SyntheticCurve& Curve(int points, std::uint64_t seed = 1);
// Its layout-A file in the run's scratch folder, written once per run.
const std::filesystem::path& CurveFile(int points, std::uint64_t seed = 1);

// `count` curve files of `points` points (seeds 1000, 1001, ...), written once per run.
const std::vector<std::string>& CurveFiles(int count, int points);

// What a child process cost: processor time (user + system) and minor page faults.
struct ChildUsage {
    double cpuSeconds = 0;
    long pageFaults = 0;
};

// Runs the command (argv[0] a path) with its output thrown away; its exit status, -1 when it
// could not run or did not exit. `usage`, when given, receives what the run cost.
int RunQuietly(const std::vector<std::string>& args, ChildUsage* usage = nullptr);

// Runs f with at most `threads` worker threads (the caller's included).
template <typename F>
void WithThreads(int threads, F&& f) {
    tbb::task_arena arena(threads);
    arena.execute(f);
}

// How the benchmarks report: milliseconds of wall time.
inline void Milliseconds(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}
// Curves of 2000, 10000 and 40000 points, in milliseconds of wall time.
inline void CurveSizes(benchmark::internal::Benchmark* b) {
    Milliseconds(b->Arg(2000)->Arg(10000)->Arg(40000));
}

// Whether the fast path gave the plain path's numbers on a benchmark's data; the summary lists
// every check.
void RecordCheck(const std::string& what, double largestRelativeDifference);

struct Check {
    std::string what;
    double difference;
};
const std::vector<Check>& Checks();

// Results must agree to this relative difference.
inline constexpr double kAgreement = 1e-6;

}  // namespace marvek::bench
