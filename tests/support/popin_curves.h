#pragma once
// Synthetic spherical-tip loading curves with pop-ins of known load, depth and width, and series
// of first pop-in loads drawn from known distributions, for the pop-in tests and benchmark.

#include <cstdint>
#include <vector>

namespace marvek::testing {

struct GeneratedBurst {
    double load;   // mN: the load at which the depth jumps
    double width;  // nm
    int samples;   // samples recorded along the burst at constant load (0: between two samples)
};

struct PopinCurveShape {
    double reducedModulus = 200;         // GPa
    double radius = 500;                 // nm
    double h0 = 0;                       // nm: depth of first contact
    double maxLoad = 2;                  // mN
    int points = 600;                    // loading samples, evenly spaced in load from 0 to maxLoad
    std::vector<GeneratedBurst> bursts;  // in load order
    double plasticCompliance = 20;       // nm/mN: extra depth per load after the first burst
    int approachPoints = 0;              // samples at zero load and depth h0 - k*approachStep first
    double approachStep = 0.3;           // nm
    double noiseDepth = 0.3;             // nm, Gaussian
    double noiseLoad = 0.0005;           // mN, Gaussian
    std::uint64_t seed = 1;
};

struct PopinCurve {
    std::vector<double> depth, load, time;
    // The truth of each burst: its load, the depth just before it and its width.
    struct Truth {
        double load, depth, width;
    };
    std::vector<Truth> truth;
};

// Hertzian loading P = 4/3·Er·sqrt(R)·(h - h0)^1.5 up to the first burst, then the same depth
// law shifted by the bursts' widths plus plasticCompliance·(P - first burst load).
PopinCurve MakePopinCurve(const PopinCurveShape& shape);

// Loads drawn from F(P) = 1 - exp(-(P/scale)^modulus).
std::vector<double> DrawWeibullLoads(int n, double modulus, double scale, std::uint64_t seed);
// Loads drawn from F(P) = 1 - exp(-exp(a + beta·(P·1e-3 N/mN)^(1/3))) (the stress-assisted
// nucleation law with tauMax proportional to P^(1/3)); beta in N^(-1/3). Draws at or below
// zero load are drawn again.
std::vector<double> DrawNucleationLoads(int n, double a, double beta, std::uint64_t seed);

}  // namespace marvek::testing
