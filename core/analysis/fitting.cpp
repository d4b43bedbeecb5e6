#include "core/analysis/fitting.h"

#include <cmath>

namespace marvek {

LineFit FitLine(const double* x, const double* y, int n) {
    double sx = 0, sy = 0, sxy = 0, sxx = 0, syy = 0;
    for (int i = 0; i < n; ++i) {
        sx += x[i];
        sy += y[i];
        sxy += x[i] * y[i];
        sxx += x[i] * x[i];
        syy += y[i] * y[i];
    }
    const double count = n;
    const double xMean = sx / count;
    const double yMean = sy / count;
    const double numerator = sxy - sx * sy / count;
    const double xSpread = sxx - count * xMean * xMean;
    const double ySpread = syy - count * yMean * yMean;
    const double slope = numerator / xSpread;
    const double intercept = yMean - slope * xMean;
    const double r = numerator / std::pow(xSpread * ySpread, 0.5);
    return {intercept, slope, r * r};
}

}  // namespace marvek
