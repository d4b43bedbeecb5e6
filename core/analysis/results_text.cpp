#include "core/analysis/results_text.h"

#include <cmath>
#include <string>

#include "core/base/constants.h"
#include "core/io/number_format.h"

namespace marvek {

std::string BuildResultsText(const CCurveAnalyzer& a, const CurveDisplay& display,
                             AnalysisMethod method) {
    const auto f = [](double v, int decimals) { return FormatFixed(v, decimals); };
    std::string t = "Method :\n";
    t += std::string(" ") + MethodTitle(method) + "\n\n";
    t += "Main Results :\n";
    t += " E(IT) = " + f(display.m_dEIT, 2) + " GPa\n";
    t += " H(IT) = " + f(display.m_dHIT, 2) + " MPa\n";
    t += " HM = " + f(display.m_dHM, 2) + " MPa\n";
    t += " H(OP) = " + f(display.m_dHOP, 2) + " MPa\n";
    t += " HV = " + f(display.m_dHV, 2) + " kg/mm^2\n";
    t += " Brinell(500gf,10mm) = " +
         f((display.m_dHV + constants::kBrinellOffset) / constants::kBrinellSlope, 2) + "\n";
    t += "\nAdditional Results :\n";
    t += " Force max = " + f(a.m_dFmax, 2) + " mN\n";
    t += " hmax = " + f(a.m_dHmax, 2) + " nm\n";
    t += " hc = " + f(a.m_dHc, 2) + " nm\n";
    t += " hr = " + f(a.m_dHr, 2) + " nm\n";
    t += " hf = " + f(a.m_dHf, 2) + " nm\n";
    t += " Ap = " + f(display.m_dProjectedArea, 2) + " nm^2\n";
    if (method == AnalysisMethod::OliverPharr) {
        t += "\n alpha = " + f(a.m_dAlpha, 6) + " nm/mN^m\n";
        t += " m = " + f(a.m_dM, 6) + " \n";
        t += " R = " + f(a.m_dRSquared, 6) + " \n";
    } else if (method == AnalysisMethod::DoernerNix) {
        t += "\n R = " + f(a.m_dRSquared, 6) + " \n";
    }
    t += "\nDrift Correction = " + f(a.m_dDriftRate, 5) + " nm/s\n";
    t += "Total Data Points = " + FormatInt(a.m_nPoints) + "\n";
    t += "Unload/Reload Points = " + FormatInt(a.m_nFitPoints) + "\n";
    // A curve without unloading says so rather than showing zero seconds and zero work.
    auto seconds = [&](double v) {
        return std::isnan(v) ? std::string("no unloading") : f(v, 2) + " s";
    };
    auto energy = [&](double v) {
        return std::isnan(v) ? std::string("no unloading") : f(v, 6) + " \u00b5J";
    };
    t += "Load = " + seconds(a.m_dLoadTime) + "\n";
    t += "Top Hold = " + seconds(a.m_dTopHoldTime) + "\n";
    if (a.m_bNoUnloading || a.m_dUnloadTime >= a.m_dReloadTime)
        t += "Unload = " + seconds(a.m_dUnloadTime) + "\n";
    else
        t += "Reload = " + seconds(a.m_dReloadTime) + "\n";
    t += "Bottom Hold = " + seconds(a.m_dBottomHoldTime) + "\n";
    t += "\nEnergy Loading = " + energy(a.GetLoadingEnergy()) + "\n";
    t += "Energy Unloading = " + energy(a.GetUnloadingEnergy()) + "\n";
    t += "Energy Reloading = " + energy(a.GetReloadingEnergy()) + "\n";
    return t;
}

}  // namespace marvek
