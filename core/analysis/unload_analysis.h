#pragma once
// The unload analyses as plain functions: the loaded curve and its unload section in, the fit
// and the depths out. CCurveAnalyzer's members of the same names store these results.

#include <span>

#include "core/analysis/power_law_search.h"

namespace marvek {

// What the power-law search needs besides the points: the deepest point of the whole curve
// sets its first window.
struct PowerLawOptions {
    double maxDepth = 0;  // nm
};

// y = alpha*(x - hf)^m. Not accepted: no candidate had m >= 1; then r2 = 0, alpha = m = NaN
// and hf is the smallest x (NaN for no points at all).
struct PowerLawFit {
    double alpha = 0, m = 0, hf = 0, r2 = 0;
    bool accepted = false;
    PowerLawSearchStats stats;
};

PowerLawFit FitPowerLaw(std::span<const double> depths, std::span<const double> loads,
                        const PowerLawOptions& options);

// Results of one unload analysis; a quantity the curve cannot give is NaN.
struct UnloadResult {
    double fmax = 0, hmax = 0;      // mN, nm
    double hc = 0, hr = 0, hf = 0;  // nm
    double stiffness = 0;           // S, mN/nm
    double r2 = 0;                  // of the fit
    double alpha = 0, m = 0;        // power law (Oliver-Pharr)
    double intercept = 0;           // line (Doerner-Nix), mN
};

// The loaded curve (corrected depths) and the unload section chosen from it.
struct UnloadInput {
    std::span<const double> depth, load;        // whole curve
    std::span<const double> fitDepth, fitLoad;  // unload section
};

// Oliver-Pharr: power law through the section; Fmax, hmax over the whole curve.
UnloadResult AnalyzeOliverPharrUnload(const UnloadInput& in, double epsilon);

// Doerner-Nix: straight line through the section; Fmax, hmax over the section.
UnloadResult AnalyzeDoernerNixUnload(const UnloadInput& in, double epsilon);

}  // namespace marvek
