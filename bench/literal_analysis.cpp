#include "literal_analysis.h"

#include <algorithm>
#include <cmath>

#include "support/literal_power_law.h"

namespace marvek::bench {
namespace {

Status Prologue(CCurveAnalyzer& a, int curve, double compliance, float minPercent,
                float maxPercent) {
    Status status = a.ReadCurveFile(a.m_strFiles[static_cast<std::size_t>(curve)]);
    if (!status.ok()) return status;
    a.m_dDriftRate = 0;
    if (a.m_bDriftCorrection == 1) a.ComputeDriftRate();
    for (int i = 0; i < a.m_nPoints; ++i)
        a.m_pDepth[i] = a.m_pDepth[i] - compliance * a.m_pLoad[i] - a.m_dDriftRate * a.m_pTime[i];
    a.SelectUnloadSection(minPercent, maxPercent);
    return Status();
}

Status OliverPharr(CCurveAnalyzer& a, int curve, double compliance, double epsilon,
                   float minPercent, float maxPercent) {
    Status status = Prologue(a, curve, compliance, minPercent, maxPercent);
    if (!status.ok()) return status;
    double alpha = 0, m = 0, hf = 0;
    a.m_dRSquared = testing::LiteralFitPowerLaw(
        alpha, m, hf, a.m_pFitDepth.data(), a.m_pFitLoad.data(), a.m_nFitPoints, a.GetMaxDepth());
    double fMax = -9e99, hMax = -9e99;
    for (int i = 0; i < a.m_nPoints; ++i) {
        if (a.m_pLoad[i] > fMax) fMax = a.m_pLoad[i];
        if (a.m_pDepth[i] > hMax) hMax = a.m_pDepth[i];
    }
    const double stiffness = alpha * m * std::pow(hMax - hf, m - 1);
    const double hc = hMax - epsilon * fMax / stiffness;
    a.m_dStiffness = stiffness;
    a.m_dHc = hc;
    a.m_dHr = hMax - (hMax - hc) / epsilon;
    a.m_dHf = hf;
    a.m_dHmax = hMax;
    a.m_dFmax = fMax;
    a.m_dAlpha = alpha;
    a.m_dM = m;
    return Status();
}

}  // namespace

Status LiteralAnalyzeCurve(CCurveAnalyzer& analyzer, int curve, const Settings& settings,
                           CurveDisplay& display) {
    // Only the search is done the plain way; everything around it is the core's.
    return AnalyzeCurve(analyzer, curve, settings, display, OliverPharr);
}

void LoadCurve(CCurveAnalyzer& analyzer, const std::vector<double>& depth,
               const std::vector<double>& load, const std::vector<double>& time,
               const std::vector<char>& segment) {
    const std::size_t n = std::min<std::size_t>(depth.size(), CCurveAnalyzer::kMaxPoints);
    std::copy_n(depth.begin(), n, analyzer.m_pDepth.begin());
    std::copy_n(load.begin(), n, analyzer.m_pLoad.begin());
    std::copy_n(time.begin(), n, analyzer.m_pTime.begin());
    std::copy_n(segment.begin(), n, analyzer.m_pSegment.begin());
    analyzer.m_nPoints = static_cast<int>(n);
}

double RelativeDifference(double a, double b) {
    if (a == b || (std::isnan(a) && std::isnan(b))) return 0;
    return std::fabs(a - b) / std::max(std::fabs(a), std::fabs(b));
}

double LargestDifference(const CCurveAnalyzer& a, const CurveDisplay& da, const CCurveAnalyzer& b,
                         const CurveDisplay& db) {
    const double pairs[][2] = {{a.m_dHf, b.m_dHf},
                               {a.m_dM, b.m_dM},
                               {a.m_dAlpha, b.m_dAlpha},
                               {a.m_dRSquared, b.m_dRSquared},
                               {a.m_dStiffness, b.m_dStiffness},
                               {a.m_dHc, b.m_dHc},
                               {a.m_dHr, b.m_dHr},
                               {a.m_dHmax, b.m_dHmax},
                               {a.m_dFmax, b.m_dFmax},
                               {da.m_dEIT, db.m_dEIT},
                               {da.m_dHIT, db.m_dHIT},
                               {da.m_dHOP, db.m_dHOP},
                               {da.m_dHV, db.m_dHV},
                               {da.m_dHM, db.m_dHM},
                               {da.m_dProjectedArea, db.m_dProjectedArea},
                               {da.m_dSurfaceArea, db.m_dSurfaceArea}};
    double largest = 0;
    for (const auto& p : pairs) largest = std::max(largest, RelativeDifference(p[0], p[1]));
    return largest;
}

}  // namespace marvek::bench
