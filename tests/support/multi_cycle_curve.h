#pragma once
// A synthetic multi-cycle indentation: loading (or reloading) ramps to rising peaks, a top hold,
// an unloading ramp to a common valley force and a bottom hold after every cycle. The indices
// of every segment are recorded as the curve is built, so tests know where each point belongs
// without running any of the code under test.

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/io/number_format.h"

namespace marvek::testing {

struct GeneratedCycle {
    int rampBegin = 0;     // first point of the (re)loading ramp
    int peak = 0;          // last ramp point, at the peak force
    int firstUnload = 0;   // first point after the top hold
    int valley = 0;        // last unloading point, at the valley force
    int holdEnd = 0;       // first point after the bottom hold (n for the last cycle)
    double peakForce = 0;  // mN
};

struct MultiCycleCurve {
    std::vector<double> depth;  // nm
    std::vector<double> load;   // mN
    std::vector<double> time;   // s, = index + 1, so a written line names its point
    std::vector<GeneratedCycle> cycles;
    std::vector<int> envelope;  // points that raise the force above everything before them

    int size() const { return static_cast<int>(load.size()); }
};

// Ramps have `rampPoints` points; holds `holdPoints` points whose force wobbles a few uN on the
// inner side of the peak or valley force. Every ramp step must exceed the hold band used.
inline MultiCycleCurve MakeMultiCycleCurve(const std::vector<double>& peaks, double valley,
                                           int rampPoints = 10, int holdPoints = 5) {
    MultiCycleCurve c;
    auto add = [&c](double force) {
        const int i = c.size();
        c.load.push_back(force);
        c.depth.push_back(100.0 + 80.0 * force + 0.3 * i);
        c.time.push_back(i + 1.0);
    };
    double from = 0;
    double previousPeak = -1;
    for (double peak : peaks) {
        GeneratedCycle cycle;
        cycle.peakForce = peak;
        cycle.rampBegin = c.size();
        for (int j = 1; j <= rampPoints; ++j) {
            const double f = from + (peak - from) * j / rampPoints;
            if (f > previousPeak) c.envelope.push_back(c.size());
            add(f);
        }
        cycle.peak = c.size() - 1;
        for (int j = 0; j < holdPoints; ++j) add(peak - 0.004 * (1 + j % 3));
        cycle.firstUnload = c.size();
        for (int j = 1; j <= rampPoints; ++j) add(peak - (peak - valley) * j / rampPoints);
        cycle.valley = c.size() - 1;
        for (int j = 0; j < holdPoints; ++j) add(valley + 0.004 * (1 + j % 3));
        cycle.holdEnd = c.size();
        c.cycles.push_back(cycle);
        from = valley;
        previousPeak = peak;
    }
    return c;
}

// Writes the curve as a header-layout file in nm, mN, s without segment keywords.
inline void WriteCurveFile(const MultiCycleCurve& curve, const std::filesystem::path& file) {
    std::ofstream out(file, std::ios::binary);
    out << "Depth (nm),Force (mN),Time (s)\n";
    for (int i = 0; i < curve.size(); ++i)
        out << FormatSignificant(curve.depth[i], 17) << ',' << FormatSignificant(curve.load[i], 17)
            << ',' << FormatSignificant(curve.time[i], 17) << '\n';
}

}  // namespace marvek::testing
