#include "support/literal_power_law.h"

#include <cmath>
#include <limits>
#include <vector>

#include "core/analysis/fitting.h"

namespace marvek::testing {

double LiteralFitPowerLaw(double& alpha, double& m, double& hf, const double* x, const double* y,
                          int n, double maxDepth) {
    const int steps = 200;
    double xmin = 9e99;
    for (int i = 0; i < n; i++)
        if (x[i] < xmin) xmin = x[i];
    const double top = xmin + (maxDepth - xmin) / 2;
    double lo = -top;
    double hi = top;
    double bestHf = xmin;
    double bestErr = 9e9;
    double prevErr = 9e99;
    double r2 = 0;
    double a = std::numeric_limits<double>::quiet_NaN();
    double b = a;
    int sweeps = 0;
    std::vector<double> lx(static_cast<std::size_t>(n) + 1), ly(static_cast<std::size_t>(n) + 1);
    while (std::fabs(prevErr - bestErr) > 1e-7 && sweeps < 100) {
        prevErr = bestErr;
        bestErr = 9e9;
        const double step = (hi - lo) / steps;
        for (double h = lo; h < hi; h += step) {
            if (h + step == h) break;
            int k = 0;
            bool reject = false;
            for (int i = 0; i < n; i++) {
                if (x[i] - h <= 0) {
                    reject = true;
                    break;
                }
                if (y[i] <= 0) continue;
                lx[static_cast<std::size_t>(k)] = std::log10(x[i] - h);
                ly[static_cast<std::size_t>(k)] = std::log10(y[i]);
                k++;
            }
            if (reject) break;
            const LineFit f = FitLine(lx.data(), ly.data(), k);
            const double mm = f.slope;
            const double aa = std::pow(10.0, f.intercept);
            double sum = 0;
            for (int i = 0; i < n; i++) {
                const double e = aa * std::pow(x[i] - h, mm) - y[i];
                sum += e * e;
            }
            const double err = std::pow(sum / n, 0.5);
            if (err < bestErr && mm >= 1.0) {
                bestErr = err;
                bestHf = h;
                a = aa;
                b = mm;
                r2 = f.rSquared;
            }
        }
        const double half = (hi - lo) / 2;
        if (bestHf + half / 2 < hi) hi = bestHf + half / 2;
        if (bestHf - half / 2 > lo) lo = bestHf - half / 2;
        sweeps++;
    }
    alpha = a;
    m = b;
    hf = bestHf;
    return r2;
}

}  // namespace marvek::testing
