#include "curve_analysis.h"

#include <cmath>

namespace marvek {

namespace {

template <typename Model>
void BuildSeries(const CCurveAnalyzer& a, std::vector<double>& depth, std::vector<double>& load,
                 Model model) {
    depth.assign(a.m_pFitDepth.begin(), a.m_pFitDepth.begin() + a.m_nFitPoints);
    load.resize(depth.size());
    for (std::size_t k = 0; k < depth.size(); ++k) load[k] = model(depth[k]);
}

}  // namespace

AnalysisOutcome AnalyzeCurve(CCurveAnalyzer& analyzer, int curve, const Settings& settings,
                             CurveDisplay& display) {
    AnalysisOutcome outcome;
    if (analyzer.m_nFileCount < 1) {
        outcome.status = AnalysisStatus::NoFiles;
        outcome.error = "no curve files selected";
        return outcome;
    }
    const StrategySettings& strategy = settings.strategy;
    analyzer.m_bDriftCorrection = strategy.m_bDriftCorrection;
    analyzer.m_dForceAccuracy = strategy.m_fForceAccuracy;
    const double compliance = settings.compliance.m_fCompliance;
    const double epsilon = strategy.m_fEpsilon;

    if (strategy.m_nMethod == 0 || strategy.m_nMethod == 1) {
        const bool op = strategy.m_nMethod == 0;
        outcome.read =
            op ? analyzer.AnalyzeOliverPharr(curve, compliance, epsilon, strategy.m_fOPMinPercent,
                                             strategy.m_fOPMaxPercent)
               : analyzer.AnalyzeDoernerNix(curve, compliance, epsilon, strategy.m_fDNMinPercent,
                                            strategy.m_fDNMaxPercent);
        if (outcome.read != ReadStatus::Ok) {
            outcome.status = AnalysisStatus::ReadFailed;
            const bool known = curve >= 0 && curve < analyzer.m_nFileCount;
            outcome.error = DescribeReadFailure(
                outcome.read, known ? analyzer.m_strFiles[static_cast<std::size_t>(curve)]
                                    : std::filesystem::path("curve " + std::to_string(curve)));
            return outcome;
        }
        const CCurveAnalyzer& a = analyzer;
        auto model = [&a, op](double d) {
            return op ? a.m_dAlpha * std::pow(d - a.m_dHf, a.m_dM)
                      : a.m_dStiffness * d + a.m_dIntercept;
        };
        BuildSeries(a, display.m_pFitCurveDepth, display.m_pFitCurveLoad, model);
        analyzer.SelectUnloadSection(0, 100);
        BuildSeries(a, display.m_pExtrapDepth, display.m_pExtrapLoad, model);
    }

    const int n = analyzer.m_nPoints;
    display.m_pCurveDepth.assign(analyzer.m_pDepth.begin(), analyzer.m_pDepth.begin() + n);
    display.m_pCurveLoad.assign(analyzer.m_pLoad.begin(), analyzer.m_pLoad.begin() + n);

    const AreaFunctionSettings& area = settings.areaFunction;
    const double hc = analyzer.m_dHc;
    const double fMax = analyzer.m_dFmax;
    const double ap = EvaluateAreaFunction(area.m_dApCoef, hc);
    display.m_dProjectedArea = ap;
    const double pi = 3.141592654;
    const double er = (std::sqrt(pi) / 2) * analyzer.m_dStiffness / std::pow(ap / 1e12, 0.5);
    const double vs = settings.m_fPoisson;
    const double vi = area.m_fIndenterPoisson;
    const double ei = area.m_fIndenterModulus;
    display.m_dEIT = (1 - vs * vs) / (1 / er - (1 - vi * vi) / ei);
    display.m_dHIT = fMax / ap * 1e9;
    const double asAtHc = EvaluateAreaFunction(area.m_dAsCoef, hc);
    display.m_dHOP = fMax / asAtHc * 1e9;
    display.m_dHV = display.m_dHIT * ap / (9.80665 * asAtHc);
    display.m_dSurfaceArea = EvaluateAreaFunction(area.m_dAsCoef, analyzer.m_dHmax);
    display.m_dHM = fMax / display.m_dSurfaceArea * 1e9;
    return outcome;
}

}  // namespace marvek
