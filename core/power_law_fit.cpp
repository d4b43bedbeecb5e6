#include <cmath>
#include <limits>
#include <vector>

#include "curve_analyzer.h"

namespace marvek {

double CCurveAnalyzer::GetMaxDepth() const {
    double maxDepth = -9000000000.0;
    for (int i = 0; i < m_nPoints; ++i)
        if (m_pDepth[i] > maxDepth) maxDepth = m_pDepth[i];
    return maxDepth;
}

// Grid search of the offset hf on a window that halves around the best candidate each sweep;
// alpha and m of each candidate come from a straight line in log-log space.
double CCurveAnalyzer::FitPowerLaw(double& alpha, double& m, double& hf, const double* x,
                                   const double* y, int n) const {
    constexpr int kSteps = 200;
    double xMin = 9e99;
    for (int i = 0; i < n; ++i)
        if (x[i] < xMin) xMin = x[i];
    const double top = xMin + (GetMaxDepth() - xMin) / 2;
    double lo = -top, hi = top;
    double bestHf = xMin, bestError = 9e9, previousError = 9e99;
    // No accepted candidate leaves alpha and m undefined: say so with NaN rather than a number.
    double bestR2 = 0, bestAlpha = std::numeric_limits<double>::quiet_NaN(), bestM = bestAlpha;
    std::vector<double> logX(static_cast<std::size_t>(n > 0 ? n : 1));
    std::vector<double> logY(logX.size());
    for (int sweep = 0; std::fabs(previousError - bestError) > 1e-7 && sweep < 100; ++sweep) {
        previousError = bestError;
        bestError = 9e9;
        const double step = (hi - lo) / kSteps;
        for (double h = lo; h < hi; h += step) {
            // A window narrower than the spacing of doubles would never advance.
            if (h + step == h) break;
            int used = 0;
            bool rejected = false;
            for (int i = 0; i < n; ++i) {
                const double shifted = x[i] - h;
                if (shifted <= 0) {
                    rejected = true;
                    break;
                }
                if (y[i] <= 0) continue;
                logX[static_cast<std::size_t>(used)] = std::log10(shifted);
                logY[static_cast<std::size_t>(used)] = std::log10(y[i]);
                ++used;
            }
            // Every later candidate lies further right, so none can pass either.
            if (rejected) break;
            const LineFit line = FitLine(logX.data(), logY.data(), used);
            const double candidateM = line.slope;
            const double candidateAlpha = std::pow(10.0, line.intercept);
            double sum = 0;
            for (int i = 0; i < n; ++i) {
                const double residual = candidateAlpha * std::pow(x[i] - h, candidateM) - y[i];
                sum += residual * residual;
            }
            const double error = std::pow(sum / n, 0.5);
            if (error < bestError && candidateM >= 1.0) {
                bestError = error;
                bestHf = h;
                bestAlpha = candidateAlpha;
                bestM = candidateM;
                bestR2 = line.rSquared;
            }
        }
        const double half = (hi - lo) / 2;
        const double newHi = bestHf + half / 2;
        const double newLo = bestHf - half / 2;
        if (newHi < hi) hi = newHi;
        if (newLo > lo) lo = newLo;
    }
    alpha = bestAlpha;
    m = bestM;
    hf = bestHf;
    return bestR2;
}

}  // namespace marvek
