#include "core/analysis/unload_analysis.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "core/analysis/curve_analyzer.h"
#include "core/analysis/peak_search.h"

namespace marvek {

void CCurveAnalyzer::SelectUnloadSection(float minPercent, float maxPercent) {
    m_nFitPoints = 0;
    const auto n = static_cast<std::size_t>(std::max(m_nPoints, 0));
    const std::span<const double> depth(m_pDepth.data(), n), load(m_pLoad.data(), n);
    const UnloadPeak p = FindUnloadPeak(depth, load);
    if (!p.found()) return;
    const LoadWindow window = UnloadLoadWindow(load, p, minPercent, maxPercent);
    for (int j = p.peak; j < p.bottom; ++j) {
        if (window.Holds(m_pLoad[j])) {
            m_pFitDepth[m_nFitPoints] = m_pDepth[j];
            m_pFitLoad[m_nFitPoints] = m_pLoad[j];
            ++m_nFitPoints;
        }
    }
}

void CCurveAnalyzer::PrepareLoadedUnload(double compliance, float minPercent, float maxPercent) {
    m_dDriftRate = 0;
    if (m_bDriftCorrection == 1) ComputeDriftRate();
    for (int i = 0; i < m_nPoints; ++i)
        m_pDepth[i] = m_pDepth[i] - compliance * m_pLoad[i] - m_dDriftRate * m_pTime[i];
    SelectUnloadSection(minPercent, maxPercent);
}

namespace {

// Largest load and depth over the points, starting from -9e99 and taking only strictly greater
// values (the first of equal extremes); no points give NaN, not the start value.
std::pair<double, double> MaxLoadAndDepth(std::span<const double> load,
                                          std::span<const double> depth) {
    double fMax = -9e99, hMax = -9e99;
    for (std::size_t i = 0; i < load.size(); ++i) {
        if (load[i] > fMax) fMax = load[i];
        if (depth[i] > hMax) hMax = depth[i];
    }
    if (load.empty()) fMax = hMax = std::numeric_limits<double>::quiet_NaN();
    return {fMax, hMax};
}

}  // namespace

PowerLawFit FitPowerLaw(std::span<const double> depths, std::span<const double> loads,
                        const PowerLawOptions& options) {
    PowerLawFit fit;
    fit.r2 = FitPowerLawSearch(fit.alpha, fit.m, fit.hf, depths.data(), loads.data(),
                               static_cast<int>(depths.size()), options.maxDepth, &fit.stats);
    fit.accepted = !std::isnan(fit.m);
    if (depths.empty()) fit.hf = std::numeric_limits<double>::quiet_NaN();
    return fit;
}

UnloadResult AnalyzeOliverPharrUnload(const UnloadInput& in, double epsilon) {
    const auto [fMax, hMax] = MaxLoadAndDepth(in.load, in.depth);
    const PowerLawFit fit = FitPowerLaw(in.fitDepth, in.fitLoad, {hMax});
    UnloadResult r;
    r.r2 = fit.r2;
    r.alpha = fit.alpha;
    r.m = fit.m;
    r.hf = fit.hf;
    r.fmax = fMax;
    r.hmax = hMax;
    // Contact stiffness: the slope of the power law at hmax, S = alpha*m*(hmax - hf)^(m-1).
    r.stiffness = fit.alpha * fit.m * std::pow(hMax - fit.hf, fit.m - 1);
    // Contact depth (Oliver-Pharr): hc = hmax - epsilon*Fmax/S; hr from the tangent at hmax.
    r.hc = hMax - epsilon * fMax / r.stiffness;
    r.hr = hMax - (hMax - r.hc) / epsilon;
    return r;
}

UnloadResult AnalyzeDoernerNixUnload(const UnloadInput& in, double epsilon) {
    const auto [fMax, hMax] = MaxLoadAndDepth(in.fitLoad, in.fitDepth);
    const LineFit line =
        FitLine(in.fitDepth.data(), in.fitLoad.data(), static_cast<int>(in.fitDepth.size()));
    UnloadResult r;
    // The line F = S*h + intercept meets F = 0 at hr; hc = hmax - epsilon*(hmax - hr).
    r.stiffness = line.slope;
    r.hr = -line.intercept / line.slope;
    r.hc = hMax - (hMax - r.hr) * epsilon;
    r.hf = 0;
    r.hmax = hMax;
    r.fmax = fMax;
    r.r2 = line.rSquared;
    r.intercept = line.intercept;
    return r;
}

UnloadInput CCurveAnalyzer::LoadedUnloadInput() const {
    const auto n = static_cast<std::size_t>(m_nPoints);
    const auto nFit = static_cast<std::size_t>(m_nFitPoints);
    return {{m_pDepth.data(), n},
            {m_pLoad.data(), n},
            {m_pFitDepth.data(), nFit},
            {m_pFitLoad.data(), nFit}};
}

// Both methods: correct the loaded curve, analyse its unloading, keep the results (and the
// method's own parameters: the power law's alpha and m, or the line's intercept).
void CCurveAnalyzer::AnalyzeLoadedUnload(double compliance, double epsilon, float minPercent,
                                         float maxPercent, bool oliverPharr) {
    PrepareLoadedUnload(compliance, minPercent, maxPercent);
    FitLoadedUnload(epsilon, oliverPharr);
}

void CCurveAnalyzer::FitLoadedUnload(double epsilon, bool oliverPharr) {
    const UnloadResult r = oliverPharr ? AnalyzeOliverPharrUnload(LoadedUnloadInput(), epsilon)
                                       : AnalyzeDoernerNixUnload(LoadedUnloadInput(), epsilon);
    m_dStiffness = r.stiffness;
    m_dHc = r.hc;
    m_dHr = r.hr;
    m_dHf = r.hf;
    m_dHmax = r.hmax;
    m_dFmax = r.fmax;
    m_dRSquared = r.r2;
    if (oliverPharr) {
        m_dAlpha = r.alpha;
        m_dM = r.m;
    } else {
        m_dIntercept = r.intercept;
    }
}

}  // namespace marvek
