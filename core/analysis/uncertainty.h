#pragma once
// Standard uncertainty of the indentation modulus E(IT) and hardness H(IT) of one Oliver-Pharr
// analysis, with its budget: the unload fit, the fit window, the zero point, and the inputs
// (sample Poisson ratio, frame compliance, area function), combined as root-sum-square.

#include <array>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "core/config/settings.h"

namespace marvek {

class CCurveAnalyzer;

struct UncertaintyOptions {
    int monteCarloRuns = 200;  // re-fits of the Monte Carlo check of the fit term
    std::uint64_t seed = 1;    // the same seed gives the same Monte Carlo
    double poissonU = 0.02;    // standard uncertainty of the sample Poisson ratio
    // Of the frame compliance, nm/mN. 0 by default: only its calibration knows it, and a
    // guess would swamp every other term at high loads.
    double complianceU = 0;
    double areaRelativeU = 0.01;  // relative, of each area-function coefficient
    float windowHalfWidth = 10;   // %, the lower bound of the force range moved by up to this
};

struct BudgetEntry {
    std::string name;  // fit, fitMonteCarlo, fitWindow, zeroPoint, samplePoisson,
                       // frameCompliance, areaFunction
    double eit = std::numeric_limits<double>::quiet_NaN();  // GPa
    double hit = std::numeric_limits<double>::quiet_NaN();  // MPa
    bool combined = true;  // false: shown as a check, not part of the combined uncertainty
};

struct ModulusUncertainty {
    double eit = std::numeric_limits<double>::quiet_NaN();  // the analysis' values
    double hit = std::numeric_limits<double>::quiet_NaN();
    double uEit = std::numeric_limits<double>::quiet_NaN();  // combined standard uncertainties
    double uHit = std::numeric_limits<double>::quiet_NaN();
    std::vector<BudgetEntry> budget;
    std::string reason;  // why there is none, when uEit is NaN
    bool present() const { return uEit == uEit; }
    const BudgetEntry* Find(const std::string& name) const;
};

// Covariance of (hf, m, alpha) of the least-squares power law F = alpha (h - hf)^m through
// (depth, load), linearised at the given parameters: s^2 (J^T J)^-1 with s^2 the residual
// variance on n - 3 degrees of freedom (three parameters fitted). False when singular or with
// fewer than 4 points.
using Covariance3 = std::array<std::array<double, 3>, 3>;
bool PowerLawFitCovariance(std::span<const double> depth, std::span<const double> load,
                           double alpha, double m, double hf, Covariance3& cov);

// The zero-point term's depth scatter: the residual standard deviation, in depth, of the power
// law fitted through the zero-point window (minPercent..maxPercent of the largest load) of the
// loading envelope, on n - 3 degrees of freedom. NaN with fewer than 4 points or no fit.
double ZeroPointScatter(std::span<const double> depth, const double* load, double maxDepth,
                        float minPercent, float maxPercent);

// The analyzer must hold the curve as AnalyzeCurve left it with `settings` (Oliver-Pharr): its
// corrected depths, loads and results. Nothing in the analyzer is changed.
ModulusUncertainty EstimateUncertainty(const CCurveAnalyzer& analyzer, const Settings& settings,
                                       const UncertaintyOptions& options = {});

}  // namespace marvek
