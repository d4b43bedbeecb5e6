#pragma once
// Pop-ins: displacement bursts at nearly constant load on the loading branch, the Hertzian
// elastic contact before the first one, the maximum shear stress under the tip at that moment,
// and the statistics of the first pop-in over a series of indents.
//
// Sources: the Hertzian sphere-on-flat contact P = 4/3·Er·sqrt(R)·h^1.5 and the maximum shear
// stress 0.31·p0 at depth 0.48a below the surface (K. L. Johnson, Contact Mechanics, Cambridge
// 1985, ch. 4); the first pop-in as a stress-assisted, thermally activated nucleation event and
// the activation volume from the load dependence of its cumulative probability (C. A. Schuh,
// A. C. Lund, J. Mater. Res. 19 (2004) 2152; C. A. Schuh, J. K. Mason, A. C. Lund, Nature
// Materials 4 (2005) 617; J. K. Mason, A. C. Lund, C. A. Schuh, Phys. Rev. B 73 (2006) 054102).
//
// Units: depth nm, load mN, moduli and stresses GPa, radius nm. A value that cannot be had is
// NaN, and the result says why.

#include <cstddef>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "core/io/parsed_curve.h"

namespace marvek::popins {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// How bursts are found. With minJump and minLoad both set (finite) the threshold rule is used:
// a pop-in starts at sample i where P[i] >= minLoad and h[i+1] - h[i] >= minJump and runs while
// each following step is also >= minJump. A missing one of the two is 0 nm / 0 mN when the other
// is given. With neither, the noise-adaptive detector (see FindBursts in popins.cpp).
struct PopinSettings {
    double minJump = kNaN;  // nm
    double minLoad = kNaN;  // mN
    // The noise-adaptive detector: a burst must exceed the local loading progression by this
    // many standard deviations of a depth step, and the running baseline spans this many steps.
    double noiseFactor = 6.0;
    int window = 20;
    // The contact: Er from the curve's unloading (or the user), or the tip radius to give Er.
    double reducedModulus = kNaN;  // GPa
    double tipRadius = kNaN;       // nm
    // The sample's modulus and Poisson ratio, for tauMax as a fraction of the shear modulus.
    double sampleModulus = kNaN;  // GPa
    double samplePoisson = kNaN;

    bool UsesThresholds() const;
};

struct Popin {
    double load = kNaN;     // mN, at the last sample before the burst
    double depth = kNaN;    // nm, at that sample
    double width = kNaN;    // nm, the displacement excursion
    std::size_t first = 0;  // index of that sample
    std::size_t last = 0;   // index of the first sample after the burst
};

// P = K·(h - h0)^1.5 over the loading before the first pop-in.
struct HertzFit {
    double K = kNaN;   // mN/nm^1.5
    double h0 = kNaN;  // nm
    double r2 = kNaN;
    double depthFrom = kNaN, depthTo = kNaN;  // nm, the points used
    int points = 0;
    double reducedModulus = kNaN;  // GPa: given, from the unloading, or from the tip radius
    double radius = kNaN;          // nm: given, or from K and Er
    std::string reason;            // why the fit or Er/R is missing; empty when all are there
    // The fitted curve over the depth range used, for drawing.
    std::vector<double> curveDepth, curveLoad;
};

struct PopinResult {
    std::vector<Popin> popins;  // in load order
    bool thresholds = false;    // which detector ran
    std::size_t maxLoadIndex = 0;
    HertzFit hertz;
    double tauMax = kNaN;           // GPa, at the first pop-in
    double tauMaxOverShear = kNaN;  // tauMax / G with G = E / (2(1 + nu))
    std::string note;               // e.g. "no pop-in found"; empty otherwise
    const Popin* First() const { return popins.empty() ? nullptr : &popins.front(); }
};

// The bursts of a loading curve from its first sample to its maximum load.
std::vector<Popin> FindBursts(std::span<const double> depth, std::span<const double> load,
                              const PopinSettings& settings);

// Least squares of P = K·(h - h0)^1.5 over samples [0, end] with a positive load.
HertzFit FitHertz(std::span<const double> depth, std::span<const double> load, std::size_t end);

// Er (GPa) from K (mN/nm^1.5) and R (nm), and R from K and Er: P = 4/3·Er·sqrt(R)·h^1.5.
double ReducedModulusFromRadius(double K, double radius);
double RadiusFromReducedModulus(double K, double reducedModulus);
// tauMax = 0.31·(6·Er²·P / (pi³·R²))^(1/3) in GPa, for P mN, Er GPa, R nm.
double MaxShearStress(double load, double reducedModulus, double radius);

// Detection, the Hertz fit before the first pop-in, Er/R and tauMax.
PopinResult FindPopins(std::span<const double> depth, std::span<const double> load,
                       const PopinSettings& settings);
PopinResult FindPopins(const io::ParsedCurve& curve, const PopinSettings& settings);

struct MeanSd {
    double mean = kNaN, sd = kNaN;
    int n = 0;
};

struct PopinStatisticsSettings {
    double temperature = 298.0;  // K
};

struct PopinStatistics {
    int curves = 0;  // curves given
    int n = 0;       // curves with a first pop-in
    MeanSd load, depth, width, tauMax;
    // The cumulative distribution of first pop-in loads: sorted, F_i = (i - 0.5)/n.
    std::vector<double> cdfLoad, cdfProbability;
    // Weibull F = 1 - exp(-(P/scale)^modulus), least squares of ln ln(1/(1-F)) on ln P.
    double weibullModulus = kNaN, weibullScale = kNaN, weibullR2 = kNaN;
    std::vector<double> weibullLoad, weibullProbability;  // the fitted line, for drawing
    // ln ln(1/(1-F)) = a + beta·P^(1/3) with P in N; V = beta·k·T / (0.31·(6Er²/(pi³R²))^(1/3)).
    double beta = kNaN;                                   // N^(-1/3)
    double meanReducedModulus = kNaN, meanRadius = kNaN;  // GPa, nm
    double activationVolume = kNaN;                       // Å^3
    std::string reason;                                   // why a statistic is missing
};

PopinStatistics SummarisePopins(std::span<const PopinResult> results,
                                const PopinStatisticsSettings& settings = {});

}  // namespace marvek::popins
