#pragma once
// The one synthetic indentation curve of the tests and benchmarks, made from known parameters so
// tests can recover them: power-law loading and unloading, holds with creep, relaxation or drift,
// frame compliance, thermal drift, seeded noise, several cycles; written in the header layout or
// the marker layout. The presets at the end are the curves particular tests are built around;
// each only chooses options (their expectations were worked out on exactly these curves).

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/config/settings.h"
#include "support/temp_dir.h"

namespace marvek::testing {

struct GeneratedPoint {
    double depth;  // nm
    double load;   // mN
    double time;   // s
    char segment;  // 'L' 'T' 'U' 'B' 'R'
};

struct CurveShape {
    // Loading: loadPoints points evenly spaced in depth after loadStartDepth (and at it, with
    // loadFromStart) up to hMax, F = fMax*(h/hMax)^loadExponent.
    double fMax = 10;   // mN
    double hMax = 100;  // nm, of the specimen (before compliance and drift)
    double loadExponent = 2;
    double loadStartDepth = 0;  // nm
    bool loadFromStart = false;
    int loadPoints = 200;
    // Top hold from hMax (its first point the peak itself unless holdAfterPeak): the depth
    // creeps by holdCreep, linearly or, with creepDecay > 0, as (1 - e^(-creepDecay*s))
    // normalised; the load relaxes linearly by holdRelaxation.
    int topHoldPoints = 0;
    double holdCreep = 0;       // nm
    double holdRelaxation = 0;  // mN
    double creepDecay = 0;
    bool holdAfterPeak = false;
    // Unloading F = fTop*((h - hf - creep)/(hMax - hf))^m from fTop = fMax - relaxation, or
    // F = unloadAlpha*(h - hf)^m when unloadAlpha > 0; unloadPoints points evenly spaced in load
    // (in depth with unloadEvenInDepth) down to unloadToFraction*fMax.
    double hf = 40;  // nm
    double m = 1.5;
    double unloadAlpha = 0;
    int unloadPoints = 200;
    double unloadToFraction = 0;
    bool unloadEvenInDepth = false;
    // Bottom hold at the unloading's end force, its depth drifting by bottomDrift nm/s.
    int bottomHoldPoints = 0;
    double bottomDrift = 0;
    // Several cycles instead of the above: ramps evenly spaced in load from 0 (then from
    // cycleValley) to each peak, unloading to cycleValley, both holds after every cycle with
    // their load holdWobble·(1, 2, 3, 1, ...) inside the peak or valley; every depth is on the
    // unloading law (loadPoints, unloadPoints, topHoldPoints and bottomHoldPoints as above).
    std::vector<double> cyclePeaks;  // mN
    double cycleValley = 0;          // mN
    double holdWobble = 0;           // mN
    // Frame and clock: every depth gains compliance*F + driftRate*(t - driftFrom); point k is at
    // dt*(k + firstTick), or with summedClock at dt*firstTick plus dt added k times.
    double compliance = 0;  // nm/mN
    double driftRate = 0;   // nm/s
    double driftFrom = 0;   // s
    double dt = 0.1;        // s
    int firstTick = 1;
    bool summedClock = false;
    // Gaussian noise from std::mt19937(seed), depth before load, for each positive deviation.
    double noiseDepth = 0;  // nm
    double noiseLoad = 0;   // mN
    unsigned seed = 1;
};

// Noise that is the same on every platform (mt19937_64 is fully specified, the standard
// distributions are not): uniform draws and Box-Muller normals, for the benchmark curves.
class PortableNoise {
public:
    explicit PortableNoise(std::uint64_t seed) : m_engine(seed) {}
    double Uniform() { return static_cast<double>(m_engine() >> 11) * 0x1.0p-53; }
    double Between(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
    double Normal(double sigma);

private:
    std::mt19937_64 m_engine;
};

struct GeneratedCycle {
    int rampBegin = 0;     // first point of the (re)loading ramp
    int peak = 0;          // last ramp point, at the peak force
    int firstUnload = 0;   // first point after the top hold
    int valley = 0;        // last unloading point, at the valley force
    int holdEnd = 0;       // first point after the bottom hold (n for the last cycle)
    double peakForce = 0;  // mN
};

// The curve; `cycles` receives where each cycle's segments lie (several cycles only). With
// `noise`, the noise comes from it (drawn for depth and load of every point) instead.
std::vector<GeneratedPoint> GenerateCurve(const CurveShape& shape,
                                          std::vector<GeneratedCycle>* cycles = nullptr);
std::vector<GeneratedPoint> GenerateCurve(const CurveShape& shape, PortableNoise& noise);

struct WriteOptions {
    bool time = true;
    bool keywords = false;
    bool micrometres = false;   // header says um, depths written in um
    bool markerLayout = false;  // the ",1, " layout (depth in um, time in the sixth field)
    int digits = 17;
    const char* loadHeader = "Force (mN)";
};

std::string CurveText(const std::vector<GeneratedPoint>& points, const WriteOptions& options);
// CurveText written byte for byte to `file`; throws when it cannot be written.
void WriteCurveFile(const std::filesystem::path& file, const std::vector<GeneratedPoint>& points,
                    const WriteOptions& options = {});

// ---- Presets ----

// A curve as columns, as the analyzer and the split take it.
struct CurveColumns {
    std::vector<double> depth, load, time;  // nm, mN, s
    std::vector<char> segment;
    int size() const { return static_cast<int>(load.size()); }
    std::vector<GeneratedPoint> Points() const;
};

// Seeded realistic benchmark curve of `points` (>= 16) points: Berkovich loading, creep at peak
// load, unloading F = alpha*(h - hf)^m, a drifting hold at 10 % of the peak, noise throughout.
struct SyntheticCurve : CurveColumns {
    double alpha = 0, m = 0, hf = 0;  // mN, nm
};
SyntheticCurve MakeSyntheticCurve(int points, std::uint64_t seed);
// "Depth (nm),Load (mN),Time (s),Segment" with seven significant digits.
inline constexpr WriteOptions kLayoutA{true, true, false, false, 7, "Load (mN)"};

// Ramps of `rampPoints` to rising peaks, holds of `holdPoints` wobbling a few uN inside the
// peak or valley force; depth = 100 + 80*F + 0.3*index, time = index + 1, so a written line
// names its point. `envelope`: the points that raise the force above everything before them.
struct MultiCycleCurve : CurveColumns {
    std::vector<GeneratedCycle> cycles;
    std::vector<int> envelope;
};
MultiCycleCurve MakeMultiCycleCurve(const std::vector<double>& peaks, double valley,
                                    int rampPoints = 10, int holdPoints = 5);

// Loading F = fMax*(h/hMax)^loadExponent from h = 0 and unloading evenly in depth on
// F = fMax*((h - hf)/(hMax - hf))^m, written with segment keywords: results by hand formulas.
struct PowerLawCurve {
    double fMax = 10, hMax = 500, hf = 200, m = 1.5, loadExponent = 1.5;  // mN, nm
    int loadPoints = 200;
    int unloadPoints = 200;
};
void WriteCurve(const std::filesystem::path& file, const PowerLawCurve& c);

// A material, indenter and frame of known values, for the calibrations.
struct IndentModel {
    double fmax = 10;              // mN
    double reducedModulus = 69.6;  // Er, GPa
    double hardness = 9;           // Fmax/Ap(hc), GPa
    AreaCoefficients apCoef = {24.5, 0, 0, 0, 0, 0, 0, 0, 0};
    double epsilon = 0.75;
    double unloadExponent = 1.5;  // m of F = alpha*(h - hf)^m
    double frameCompliance = 0;   // nm/mN, added to every depth as Cf*F
    double depthNoise = 0;        // nm, standard deviation
    unsigned seed = 1;
    int loadPoints = 120;
    int unloadPoints = 120;
};
// What the sample itself did, without the frame.
struct IndentTruth {
    double hc = 0, hmax = 0;  // nm
    double stiffness = 0;     // mN/nm
    double area = 0;          // Ap(hc), nm^2
};
IndentTruth SolveIndent(const IndentModel& model);
// Loading F ~ h^2 and Oliver-Pharr unloading to zero load, ten significant digits.
IndentTruth WriteIndentCurve(const std::filesystem::path& file, const IndentModel& model);
// `count` forces spaced evenly on a log scale from `fmin` to `fmax` (mN).
std::vector<double> LogSpacedForces(double fmin, double fmax, int count);
// One curve per force into `folder` (indent_00.csv ...), seeds model.seed + 1, + 2, ...
std::vector<std::filesystem::path> WriteIndentSeries(const std::filesystem::path& folder,
                                                     IndentModel model,
                                                     const std::vector<double>& forces);

}  // namespace marvek::testing
