#include <vector>

#include "core/analysis/curve_analyzer.h"

namespace marvek {

double CCurveAnalyzer::GetMaxLoad() const {
    double maxLoad = -9e9;
    for (int i = 0; i < m_nPoints; ++i)
        if (m_pLoad[i] > maxLoad) maxLoad = m_pLoad[i];
    return maxLoad;
}

namespace {

// Labels [s, e) around `centre`, where s and e are the first points outside the load band on
// either side (s stops at 0, e at the end), then labels the still unlabelled points before s.
void LabelHold(const double* load, char* seg, int n, int centre, double level, double band,
               char holdCode, char beforeCode) {
    int s = centre;
    while (level - band < load[s] && load[s] < level + band && s > 0) --s;
    int e = centre;
    while (e < n && level - band < load[e] && load[e] < level + band) ++e;
    for (int k = s; k < e; ++k) seg[k] = holdCode;
    for (int k = s - 1; k >= 0 && seg[k] == 'X'; --k) seg[k] = beforeCode;
}

}  // namespace

void CCurveAnalyzer::DetectSegments(double tolerance) {
    const double band = 3 * tolerance;
    const double* load = m_pLoad.data();
    char* seg = m_pSegment.data();
    const int n = m_nPoints;
    double pMax = -9e99, pMin = 9e99;
    int iMax = 0, iMin = 0;
    for (int i = 0; i < n; ++i) {
        if (load[i] > pMax) {
            pMax = load[i];
            iMax = i;
        }
        if (load[i] < pMin) {
            pMin = load[i];
            iMin = i;
        }
        if (i <= 10) continue;
        const double level = 0.33 * pMax;
        if (load[i] < level && level < load[i - 1]) {
            LabelHold(load, seg, n, iMax, pMax, band, 'T', 'L');
            pMin = 9e99;  // the bottom hold is searched after the top hold
        }
        if ((load[i - 1] < level && level < load[i]) || i == n - 1) {
            LabelHold(load, seg, n, iMin, pMin, band, 'B', 'U');
            pMax = -9e99;
            iMax = 0;
            pMin = 9e99;
            iMin = 0;
        }
    }
}

void CCurveAnalyzer::CorrectZeroPoint(double minPercent, double maxPercent) {
    const double pMax = GetMaxLoad();
    std::vector<double> depth, load;
    for (int i = 0; i < m_nPoints && m_pLoad[i] < pMax; ++i) {
        if (pMax * minPercent / 100 < m_pLoad[i] && m_pLoad[i] < pMax * maxPercent / 100) {
            depth.push_back(m_pDepth[i]);
            load.push_back(m_pLoad[i]);
        }
    }
    double offset = 0;  // an empty window leaves the depths as measured
    if (!depth.empty()) {
        double alpha = 0, m = 0;
        FitPowerLaw(alpha, m, offset, depth.data(), load.data(), static_cast<int>(depth.size()));
    }
    for (int i = 0; i < m_nPoints; ++i) m_pDepth[i] -= offset;
    m_dZeroPointOffset = offset;
}

void CCurveAnalyzer::ComputeDriftRate() {
    const int n = m_nPoints;
    m_dDriftRate = 0;
    // Without a time column, or with too few points for the tail reference, there is no rate.
    if (n < 5 || m_pTime[n - 1] == 0) return;
    std::vector<double> time, depth;
    if (m_pSegment[0] != 'X') {
        for (int i = 0; i < n; ++i) {
            if (m_pSegment[i] != 'B') continue;
            time.push_back(m_pTime[i]);
            depth.push_back(m_pDepth[i]);
        }
    } else {
        const double limit = m_pLoad[n - 5] + m_dHoldBandFactor * m_dForceAccuracy;
        for (int i = n - 1; i >= 0 && m_pLoad[i] < limit && static_cast<int>(time.size()) < n - 1;
             --i) {
            time.push_back(m_pTime[i]);
            depth.push_back(m_pDepth[i]);
        }
    }
    if (time.size() > 2)
        m_dDriftRate = FitLine(time.data(), depth.data(), static_cast<int>(time.size())).slope;
}

}  // namespace marvek
