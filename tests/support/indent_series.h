#pragma once
// Writes indentation curves of a known material, indenter and testing frame, so calibrations can
// be checked against the values the curves were made from.

#include <filesystem>
#include <vector>

#include "core/io/settings.h"

namespace marvek::test {

struct IndentModel {
    double fmax = 10;              // mN
    double reducedModulus = 69.6;  // Er, GPa
    double hardness = 9;           // Fmax/Ap(hc), GPa
    AreaCoefficients apCoef = {24.5, 0, 0, 0, 0, 0, 0, 0, 0};
    double epsilon = 0.75;
    double unloadExponent = 1.5;  // m of F = alpha*(h - hf)^m
    double frameCompliance = 0;   // nm/mN, added to every depth as Cf*F
    double depthNoise = 0;        // standard deviation of added depth noise, nm
    unsigned seed = 1;
    int loadPoints = 120;
    int unloadPoints = 120;
};

// What the sample itself did, without the frame.
struct IndentTruth {
    double hc = 0;         // nm
    double hmax = 0;       // nm
    double stiffness = 0;  // mN/nm
    double area = 0;       // Ap(hc), nm^2
};

// The contact depth, stiffness and area the model gives, without writing anything.
IndentTruth SolveIndent(const IndentModel& model);

// Writes a "Depth (nm),Force (mN),Time (s),Segment" file of a loading branch F ~ h^2 and an
// Oliver-Pharr unloading branch down to zero load, each depth plus Cf*F.
IndentTruth WriteIndentCurve(const std::filesystem::path& file, const IndentModel& model);

// `count` forces spaced evenly on a log scale from `fmin` to `fmax` (mN).
std::vector<double> LogSpacedForces(double fmin, double fmax, int count);

// Writes one curve per force into `folder` (indent_00.csv ...) and returns their paths.
std::vector<std::filesystem::path> WriteIndentSeries(const std::filesystem::path& folder,
                                                     IndentModel model,
                                                     const std::vector<double>& forces);

}  // namespace marvek::test
