#include "core/analysis/curve_analysis.h"

#include <cmath>
#include <string>

#include "core/analysis/no_result_reason.h"
#include "core/base/constants.h"

namespace marvek {

namespace {

// The fit's depths, and with `withLoads` the model's loads at them.
template <typename Model>
void BuildSeries(const CCurveAnalyzer& a, std::vector<double>& depth, std::vector<double>& load,
                 Model model, bool withLoads = true) {
    depth.assign(a.m_pFitDepth.begin(), a.m_pFitDepth.begin() + a.m_nFitPoints);
    if (!withLoads) {
        load.clear();
        return;
    }
    load.resize(depth.size());
    for (std::size_t k = 0; k < depth.size(); ++k) load[k] = model(depth[k]);
}

}  // namespace

DerivedQuantities ComputeDerivedQuantities(const UnloadResult& unload,
                                           const AreaFunctionSettings& area, double samplePoisson) {
    DerivedQuantities q;
    const double hc = unload.hc;
    const double fMax = unload.fmax;
    const double ap = EvaluateAreaFunction(area.m_dApCoef, hc);
    q.projectedArea = ap;
    // Reduced modulus (Sneddon, Oliver-Pharr): Er = sqrt(pi)/2 * S / sqrt(Ap).
    const double pi = constants::kPiTenDigits;
    const double er =
        (std::sqrt(pi) / 2) * unload.stiffness / std::pow(ap / constants::kNm2PerMm2, 0.5);
    // Indentation modulus from 1/Er = (1 - vs^2)/EIT + (1 - vi^2)/Ei.
    const double vs = samplePoisson;
    const double vi = area.m_fIndenterPoisson;
    const double ei = area.m_fIndenterModulus;
    q.eit = (1 - vs * vs) / (1 / er - (1 - vi * vi) / ei);
    // H(IT) = Fmax / Ap(hc); H(OP) and HV over the surface area at hc, HM over it at hmax.
    q.hit = fMax / ap * constants::kMPaPerMNPerNm2;
    const double asAtHc = EvaluateAreaFunction(area.m_dAsCoef, hc);
    q.hop = fMax / asAtHc * constants::kMPaPerMNPerNm2;
    q.hv = q.hit * ap / (constants::kStandardGravity * asAtHc);
    q.surfaceArea = EvaluateAreaFunction(area.m_dAsCoef, unload.hmax);
    q.hm = fMax / q.surfaceArea * constants::kMPaPerMNPerNm2;
    return q;
}

void ConfigureAnalyzer(CCurveAnalyzer& analyzer, const StrategySettings& strategy) {
    analyzer.m_bZeroPointCorrection = strategy.m_bZeroPointCorrection;
    analyzer.m_dZeroFitMinPercent = strategy.m_fZeroFitMinPercent;
    analyzer.m_dZeroFitMaxPercent = strategy.m_fZeroFitMaxPercent;
}

namespace {

// What every analysis does first: the strategy's reading (the zero point) and the corrections of
// the unload analysis (drift, force accuracy) go to the analyzer, whatever it held before.
void PrepareAnalyzer(CCurveAnalyzer& a, const StrategySettings& strategy) {
    ConfigureAnalyzer(a, strategy);
    a.m_bDriftCorrection = strategy.m_bDriftCorrection;
    a.m_dForceAccuracy = strategy.m_fForceAccuracy;
}

// The unload fit of the curve the analyzer holds, read and corrected.
void FitHeldUnload(CCurveAnalyzer& a, const UnloadMethod& method) {
    a.AnalyzeLoadedUnload(method.compliance, method.epsilon, method.minPercent, method.maxPercent,
                          method.method == AnalysisMethod::OliverPharr);
}

UnloadMethod UnloadMethodOf(const Settings& settings) {
    return UnloadMethodOf(settings.strategy, settings.compliance.m_fCompliance);
}

}  // namespace

Status FitCurveUnload(CCurveAnalyzer& analyzer, int curve, const UnloadMethod& method) {
    if (!FitsUnloading(method.method))
        return Status::Error("the analysis method is neither Oliver-Pharr nor Doerner-Nix",
                             ErrorCode::BadValue);
    if (curve < 0 || curve >= analyzer.m_nFileCount)
        return Status::Error("curve " + std::to_string(curve) + " is not in the file list",
                             ErrorCode::CannotOpen);
    Status read = analyzer.ReadCurveFile(analyzer.m_strFiles[static_cast<std::size_t>(curve)]);
    if (read.ok()) FitHeldUnload(analyzer, method);
    return read;
}

Status AnalyzeCurve(CCurveAnalyzer& analyzer, int curve, const Settings& settings,
                    CurveDisplay& display) {
    if (analyzer.m_nFileCount < 1)
        return Status::Error("no curve files selected", ErrorCode::NoResult);
    PrepareAnalyzer(analyzer, settings.strategy);
    // Another method reads nothing: it shows what the analyzer holds.
    if (FitsUnloading(settings.strategy.method())) {
        Status read = FitCurveUnload(analyzer, curve, UnloadMethodOf(settings));
        if (!read.ok()) return read;
    }
    CompleteCurveDisplay(analyzer, settings.strategy.method(), settings, display);
    return Status();
}

Status AnalyzeCurve(CCurveAnalyzer& analyzer, int curve, const Settings& settings,
                    CurveDisplay& display, OliverPharrStep oliverPharr) {
    // The benchmarks' reference: its own read and Oliver-Pharr step, the rest as above.
    if (analyzer.m_nFileCount < 1)
        return Status::Error("no curve files selected", ErrorCode::NoResult);
    const StrategySettings& strategy = settings.strategy;
    PrepareAnalyzer(analyzer, strategy);
    if (FitsUnloading(strategy.method())) {
        const UnloadMethod method = UnloadMethodOf(settings);
        Status read = strategy.method() == AnalysisMethod::OliverPharr
                          ? oliverPharr(analyzer, curve, method.compliance, method.epsilon,
                                        method.minPercent, method.maxPercent)
                          : FitCurveUnload(analyzer, curve, method);
        if (!read.ok()) return read;
    }
    CompleteCurveDisplay(analyzer, strategy.method(), settings, display);
    return Status();
}

void CompleteCurveDisplay(CCurveAnalyzer& analyzer, AnalysisMethod method, const Settings& settings,
                          CurveDisplay& display) {
    if (FitsUnloading(method)) {
        const bool op = method == AnalysisMethod::OliverPharr;
        const CCurveAnalyzer& a = analyzer;
        auto model = [&a, op](double d) {
            return op ? a.m_dAlpha * std::pow(d - a.m_dHf, a.m_dM)
                      : a.m_dStiffness * d + a.m_dIntercept;
        };
        // A batch row needs the section's depths (its quality checks), not the model's loads.
        BuildSeries(a, display.m_pFitCurveDepth, display.m_pFitCurveLoad, model,
                    display.withPlotSeries);
        analyzer.SelectUnloadSection(0, 100);  // the analyzer's fit arrays end on this section
        if (display.withPlotSeries)
            BuildSeries(a, display.m_pExtrapDepth, display.m_pExtrapLoad, model);
    }

    const int n = display.withPlotSeries ? analyzer.m_nPoints : 0;
    display.m_pCurveDepth.assign(analyzer.m_pDepth.begin(), analyzer.m_pDepth.begin() + n);
    display.m_pCurveLoad.assign(analyzer.m_pLoad.begin(), analyzer.m_pLoad.begin() + n);

    UnloadResult unload;
    unload.stiffness = analyzer.m_dStiffness;
    unload.hc = analyzer.m_dHc;
    unload.hmax = analyzer.m_dHmax;
    unload.fmax = analyzer.m_dFmax;
    const DerivedQuantities q =
        ComputeDerivedQuantities(unload, settings.areaFunction, settings.m_fPoisson);
    display.m_dProjectedArea = q.projectedArea;
    display.m_dSurfaceArea = q.surfaceArea;
    display.m_dEIT = q.eit;
    display.m_dHIT = q.hit;
    display.m_dHOP = q.hop;
    display.m_dHV = q.hv;
    display.m_dHM = q.hm;
    // Segment durations belong to the analysis, not to whoever formats them later.
    analyzer.ComputeSegmentTimes();
}

CurveAnalysis AnalyzeCurve(const io::ParsedCurve& curve, const Settings& settings,
                           bool withPlotSeries) {
    CurveAnalysis r;
    r.method = settings.strategy.method();
    CCurveAnalyzer& a = r.analyzer;
    PrepareAnalyzer(a, settings.strategy);
    a.LoadCurve(curve);
    r.display.withPlotSeries = withPlotSeries;
    if (FitsUnloading(settings.strategy.method())) FitHeldUnload(a, UnloadMethodOf(settings));
    CompleteCurveDisplay(a, settings.strategy.method(), settings, r.display);
    r.noResult = NoResultReason(a, r.display, settings);
    return r;
}

}  // namespace marvek
