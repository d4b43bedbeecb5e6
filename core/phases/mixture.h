#pragma once
// Phase deconvolution of grid indentation: a Gaussian mixture with full covariances over one or
// more result columns, the number of phases chosen by the Bayesian information criterion.
// Ulm, Vandamme, Bobko, Ortega, Tai & Ortiz, J. Am. Ceram. Soc. 90 (2007) 2677, and
// Constantinides, Ravi Chandran, Ulm & Van Vliet, Mater. Sci. Eng. A 430 (2006) 189, for the
// method; Dempster, Laird & Rubin, J. R. Stat. Soc. B 39 (1977) 1, for the EM iteration;
// Schwarz, Ann. Stat. 6 (1978) 461, for the criterion.

#include <cstdint>
#include <string>
#include <vector>

#include "core/base/status.h"

namespace marvek::phases {

struct PhaseSettings {
    int maxK = 5;            // mixtures of 1 ... maxK phases are fitted
    int starts = 8;          // EM runs from different seedings per k; the likeliest is kept
    std::uint64_t seed = 1;  // the same seed gives the same fit on every platform
    int maxIterations = 500;
    double tolerance = 1e-7;  // stop when the mean log-likelihood per sample changes less
    // Added to each covariance's diagonal (in units of each column's variance) so that a phase
    // that collapses onto a few equal values keeps a finite likelihood.
    double ridge = 1e-6;
};

struct Phase {
    double weight = 0;               // the phase's share of the indents (volume fraction)
    std::vector<double> mean;        // per column
    std::vector<double> sd;          // per column
    double correlation = 0;          // of the first two columns (0 with one column)
    std::vector<double> covariance;  // d x d, row by row
};

struct MixtureFit {
    Status status;  // ok, or why there is no fit (NoResult: too few samples)
    int k = 0;      // the chosen number of phases (lowest BIC)
    int dimensions = 0;
    int samples = 0;
    std::vector<double> bic;            // for k = 1 ... maxK; NaN where k could not be fitted
    std::vector<double> logLikelihood;  // for k = 1 ... maxK
    std::vector<Phase> phases;          // of the chosen k, sorted by the first column's mean
    std::vector<int> label;             // per sample: its likeliest phase (index into phases)
    std::vector<double> probability;    // per sample: that phase's posterior probability
};

// Free parameters of a k-phase mixture with full covariances in d dimensions.
int MixtureParameterCount(int k, int d);

// Fits mixtures of 1 ... maxK phases to `samples` (samples[i][j]: sample i, column j; all rows
// the same length) and keeps the one of lowest BIC = -2 ln L + p ln n.
MixtureFit FitPhases(const std::vector<std::vector<double>>& samples, const PhaseSettings& s);

// One k only (the window's histogram may show any k); `bic` then holds one value.
MixtureFit FitMixture(const std::vector<std::vector<double>>& samples, int k,
                      const PhaseSettings& s);

}  // namespace marvek::phases
