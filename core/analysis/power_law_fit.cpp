#include "core/analysis/curve_analyzer.h"
#include "core/analysis/power_law_search.h"

namespace marvek {

double CCurveAnalyzer::GetMaxDepth() const {
    double maxDepth = -9000000000.0;
    for (int i = 0; i < m_nPoints; ++i)
        if (m_pDepth[i] > maxDepth) maxDepth = m_pDepth[i];
    return maxDepth;
}

// The search window is set by the deepest point of the whole loaded curve, whatever x holds.
double CCurveAnalyzer::FitPowerLaw(double& alpha, double& m, double& hf, const double* x,
                                   const double* y, int n) const {
    return FitPowerLawSearch(alpha, m, hf, x, y, n, GetMaxDepth());
}

}  // namespace marvek
