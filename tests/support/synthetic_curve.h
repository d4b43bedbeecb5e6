#pragma once
// Seeded, realistic indentation curves for the benchmarks: Berkovich loading (F ~ h^2), a hold at
// peak load with creep, power-law unloading and a hold at low load with thermal drift, all with
// measurement noise. The same seed always gives the same curve.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace marvek::bench {

struct SyntheticCurve {
    std::vector<double> depth;  // nm
    std::vector<double> load;   // mN
    std::vector<double> time;   // s
    std::vector<char> segment;  // 'L' 'T' 'U' 'B'
    // The law the unloading branch was drawn from.
    double alpha = 0, m = 0, hf = 0;  // F = alpha * (h - hf)^m, mN and nm
};

// A curve of `points` points (at least 16).
SyntheticCurve MakeSyntheticCurve(int points, std::uint64_t seed);

// The curve as layout-A text: a "Depth (nm),Load (mN),Time (s),Segment" header and one
// "depth,load,time,KEYWORD" line per point.
std::string FormatLayoutA(const SyntheticCurve& curve);
void WriteLayoutA(const SyntheticCurve& curve, const std::filesystem::path& file);

}  // namespace marvek::bench
