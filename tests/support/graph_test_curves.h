#pragma once
// Small synthetic indentation curves for the graph tests: a loading branch F = Fmax*(h/hmax)^n
// and an unloading branch that follows a known power law F = Fmax*((h-hf)/(hmax-hf))^m, so the
// analysis results can be worked out by hand.

#include <filesystem>
#include <string>
#include <vector>

namespace marvek::testing {

struct PowerLawCurve {
    double fMax = 10;           // mN
    double hMax = 500;          // nm
    double hf = 200;            // nm, where the unloading branch meets zero load
    double m = 1.5;             // unloading exponent
    double loadExponent = 1.5;  // loading branch F = fMax*(h/hMax)^loadExponent
    int loadPoints = 200;
    int unloadPoints = 200;
};

// Writes the curve in the header layout with segment keywords.
void WriteCurve(const std::filesystem::path& file, const PowerLawCurve& c);

// A fresh empty folder under the test temp dir, named after the running test.
std::filesystem::path FreshFolder();

// Hand formulas of the per-curve analysis for an unloading branch that is exactly the power law,
// with the default settings (epsilon 0.75, Ap = 24.5 hc^2, As = 26.44 h^2, Ei 1141 GPa,
// nu_i 0.07, nu_s 0.3).
struct ExpectedResults {
    double stiffness, hc, eit, hit, hop, hv, hm, alpha;
};
ExpectedResults ExpectOliverPharr(const PowerLawCurve& c);

}  // namespace marvek::testing
