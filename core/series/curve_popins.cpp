#include "core/series/curve_popins.h"

#include <cmath>
#include <span>

#include "core/io/number_format.h"

namespace marvek {

double ReducedModulusFromSample(double eit, double vs, const AreaFunctionSettings& area) {
    if (!(eit > 0) || !std::isfinite(eit)) return popins::kNaN;
    const double vi = area.m_fIndenterPoisson, ei = area.m_fIndenterModulus;
    const double er = 1 / ((1 - vs * vs) / eit + (1 - vi * vi) / ei);
    return er > 0 && std::isfinite(er) ? er : popins::kNaN;
}

double SampleModulusFromReduced(double er, double vs, const AreaFunctionSettings& area) {
    if (!(er > 0)) return popins::kNaN;
    const double vi = area.m_fIndenterPoisson, ei = area.m_fIndenterModulus;
    const double inv = 1 / er - (1 - vi * vi) / ei;
    return inv > 0 ? (1 - vs * vs) / inv : popins::kNaN;
}

popins::PopinResult AnalyzeCurvePopins(const CCurveAnalyzer& analyzer, const CurveDisplay& display,
                                       const Settings& settings, popins::PopinSettings popin) {
    const double vs = settings.m_fPoisson;
    const AreaFunctionSettings& area = settings.areaFunction;
    if (!std::isfinite(popin.reducedModulus) && !std::isfinite(popin.tipRadius))
        popin.reducedModulus = ReducedModulusFromSample(display.m_dEIT, vs, area);
    popin.samplePoisson = vs;
    const std::size_t n = static_cast<std::size_t>(std::max(analyzer.m_nPoints, 0));
    popins::PopinResult result =
        popins::FindPopins(std::span<const double>(analyzer.m_pDepth.data(), n),
                           std::span<const double>(analyzer.m_pLoad.data(), n), popin);
    const double er = result.hertz.reducedModulus;
    const double sample = display.m_dEIT > 0 && std::isfinite(display.m_dEIT)
                              ? display.m_dEIT
                              : SampleModulusFromReduced(er, vs, area);
    if (sample > 0 && std::isfinite(result.tauMax))
        result.tauMaxOverShear = result.tauMax / (sample / (2 * (1 + vs)));
    return result;
}

std::string DescribeHertzFit(const popins::PopinResult& r) {
    const popins::Popin* first = r.First();
    const popins::HertzFit& h = r.hertz;
    if (!first || !std::isfinite(h.K)) return {};
    // Short lines: the label stands in the plot's corner.
    std::string text = "Hertz P = K(h - h0)^1.5: K = " + FormatSignificant(h.K, 4) +
                       " mN/nm^1.5\nh0 = " + FormatFixed(h.h0, 1) +
                       " nm, R² = " + FormatFixed(h.r2, 4);
    if (std::isfinite(h.depthFrom) && std::isfinite(h.depthTo))
        text += ", fitted " + FormatFixed(h.depthFrom, 1) + "-" + FormatFixed(h.depthTo, 1) + " nm";
    text += "\n";
    if (std::isfinite(h.radius) && std::isfinite(r.tauMax)) {
        text += "R = " + FormatSignificant(h.radius, 4) +
                " nm, τmax = " + FormatSignificant(r.tauMax, 4) +
                " GPa at P = " + FormatSignificant(first->load, 4) + " mN";
        if (std::isfinite(r.tauMaxOverShear))
            text += " (" + FormatSignificant(r.tauMaxOverShear, 3) + " G)";
    } else {
        // The fit's reason already names what is missing and why.
        text += h.reason.empty() ? std::string("R and τmax unknown: no Er") : h.reason;
    }
    return text;
}

}  // namespace marvek
