#pragma once
// What a histogram of one property with the fitted phases drawn over it needs: the bins, and
// each phase's curve along one column of the mixture scaled to the histogram's counts.

#include <string>
#include <vector>

#include "core/phases/mixture.h"

namespace marvek::phases {

struct Histogram {
    Status status;            // ok, or why there are no bins (NoResult: no finite value)
    double start = 0;         // left edge of the first bin
    double width = 0;         // of every bin
    std::vector<int> counts;  // per bin; a value on the last edge counts in the last bin
    int samples = 0;          // the finite values binned
};

// Bins of equal width over the values' range: as many as the Freedman-Diaconis rule asks
// (width 2 IQR / n^(1/3); Freedman & Diaconis, Z. Wahrscheinlichkeitstheor. verw. Geb. 57
// (1981) 453) and never fewer than twice the square-root choice (2 sqrt n) nor than Sturges'
// 1 + log2 n (Sturges, J. Am. Stat. Assoc. 21 (1926) 65), at most `maxBins`. On a grid of two
// phases the quartiles straddle both, and a narrow phase would otherwise share its bar with
// empty ground. Values that are not finite are left out; equal values give one bin a tenth of
// their size wide.
Histogram MakeHistogram(const std::vector<double>& values, int maxBins = 80);

struct PhaseCurves {
    std::vector<double> x;                   // `points` evenly spaced from lo to hi
    std::vector<std::vector<double>> phase;  // per phase of the fit, at each x
    std::vector<double> total;               // the sum of the phases
};

// The density of each phase along column `column` (the marginal of its Gaussian: weight times
// the normal density of that column's mean and SD), times `scale`; with scale = samples x bin
// width the curves stand on a histogram's counts. Empty when the fit has no phases or the
// column is not one of its own.
PhaseCurves MixtureCurves(const MixtureFit& fit, int column, double lo, double hi, int points,
                          double scale);

}  // namespace marvek::phases
