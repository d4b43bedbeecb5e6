#include <cmath>

#include "curve_analyzer.h"

namespace marvek {

void CCurveAnalyzer::SelectUnloadSection(float minPercent, float maxPercent) {
    m_nFitPoints = 0;
    if (m_nPoints < 1) return;
    // Peak: largest depth x load, the first of equal products.
    int peak = 0;
    double best = -9e9;
    for (int i = 0; i < m_nPoints; ++i) {
        const double product = m_pDepth[i] * m_pLoad[i];
        if (product > best) {
            best = product;
            peak = i;
        }
    }
    // Bottom: the first smallest load from the peak on.
    int bottom = peak;
    double fMin = 9e99;
    for (int j = peak; j < m_nPoints; ++j) {
        if (m_pLoad[j] < fMin) {
            fMin = m_pLoad[j];
            bottom = j;
        }
    }
    const double fPeak = m_pLoad[peak];
    const double lo = (fPeak - fMin) * minPercent / 100 + fMin;
    const double hi = (fPeak - fMin) * maxPercent / 100 + fMin;
    for (int j = peak; j < bottom; ++j) {
        if (lo <= m_pLoad[j] && m_pLoad[j] <= hi) {
            m_pFitDepth[m_nFitPoints] = m_pDepth[j];
            m_pFitLoad[m_nFitPoints] = m_pLoad[j];
            ++m_nFitPoints;
        }
    }
}

ReadStatus CCurveAnalyzer::RunPrologue(int curve, double compliance, float minPercent,
                                       float maxPercent) {
    if (curve < 0 || curve >= m_nFileCount) return ReadStatus::CannotOpen;
    const ReadStatus status = ReadCurveFile(m_strFiles[static_cast<std::size_t>(curve)]);
    if (status != ReadStatus::Ok) return status;
    m_dDriftRate = 0;
    if (m_bDriftCorrection == 1) ComputeDriftRate();
    for (int i = 0; i < m_nPoints; ++i)
        m_pDepth[i] = m_pDepth[i] - compliance * m_pLoad[i] - m_dDriftRate * m_pTime[i];
    SelectUnloadSection(minPercent, maxPercent);
    return ReadStatus::Ok;
}

ReadStatus CCurveAnalyzer::AnalyzeOliverPharr(int curve, double compliance, double epsilon,
                                              float minPercent, float maxPercent) {
    const ReadStatus status = RunPrologue(curve, compliance, minPercent, maxPercent);
    if (status != ReadStatus::Ok) return status;
    double alpha = 0, m = 0, hf = 0;
    m_dRSquared = FitPowerLaw(alpha, m, hf, m_pFitDepth.data(), m_pFitLoad.data(), m_nFitPoints);
    double fMax = -9e99, hMax = -9e99;
    for (int i = 0; i < m_nPoints; ++i) {
        if (m_pLoad[i] > fMax) fMax = m_pLoad[i];
        if (m_pDepth[i] > hMax) hMax = m_pDepth[i];
    }
    const double stiffness = alpha * m * std::pow(hMax - hf, m - 1);
    const double hc = hMax - epsilon * fMax / stiffness;
    m_dStiffness = stiffness;
    m_dHc = hc;
    m_dHr = hMax - (hMax - hc) / epsilon;
    m_dHf = hf;
    m_dHmax = hMax;
    m_dFmax = fMax;
    m_dAlpha = alpha;
    m_dM = m;
    return ReadStatus::Ok;
}

ReadStatus CCurveAnalyzer::AnalyzeDoernerNix(int curve, double compliance, double epsilon,
                                             float minPercent, float maxPercent) {
    const ReadStatus status = RunPrologue(curve, compliance, minPercent, maxPercent);
    if (status != ReadStatus::Ok) return status;
    double fMax = -9e99, hMax = -9e99;
    for (int i = 0; i < m_nFitPoints; ++i) {
        if (m_pFitLoad[i] > fMax) fMax = m_pFitLoad[i];
        if (m_pFitDepth[i] > hMax) hMax = m_pFitDepth[i];
    }
    const LineFit line = FitLine(m_pFitDepth.data(), m_pFitLoad.data(), m_nFitPoints);
    m_dStiffness = line.slope;
    m_dHr = -line.intercept / line.slope;
    m_dHc = hMax - (hMax - m_dHr) * epsilon;
    m_dHf = 0;
    m_dHmax = hMax;
    m_dFmax = fMax;
    m_dRSquared = line.rSquared;
    m_dIntercept = line.intercept;
    return ReadStatus::Ok;
}

}  // namespace marvek
