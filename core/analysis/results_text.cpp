#include "core/analysis/results_text.h"

#include "core/io/constants.h"
#include "core/io/number_format.h"

namespace marvek {

std::string BuildResultsText(const CCurveAnalyzer& a, const CurveDisplay& display, int method) {
    const auto f = [](double v, int decimals) { return FormatFixed(v, decimals); };
    std::string t = "Method :\n";
    t += method == 0 ? " Oliver-Pharr\n\n" : method == 1 ? " Doerner-Nix\n\n" : " Experimental\n\n";
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
    if (method == 0) {
        t += "\n alpha = " + f(a.m_dAlpha, 6) + " nm/mN^m\n";
        t += " m = " + f(a.m_dM, 6) + " \n";
        t += " R = " + f(a.m_dRSquared, 6) + " \n";
    } else if (method == 1) {
        t += "\n R = " + f(a.m_dRSquared, 6) + " \n";
    }
    t += "\nDrift Correction = " + f(a.m_dDriftRate, 5) + " nm/s\n";
    t += "Total Data Points = " + FormatInt(a.m_nPoints) + "\n";
    t += "Unload/Reload Points = " + FormatInt(a.m_nFitPoints) + "\n";
    t += "Load = " + f(a.m_dLoadTime, 2) + " s\n";
    t += "Top Hold = " + f(a.m_dTopHoldTime, 2) + " s\n";
    if (a.m_dUnloadTime >= a.m_dReloadTime)
        t += "Unload = " + f(a.m_dUnloadTime, 2) + " s\n";
    else
        t += "Reload = " + f(a.m_dReloadTime, 2) + " s\n";
    t += "Bottom Hold = " + f(a.m_dBottomHoldTime, 2) + " s\n";
    t += "\nEnergy Loading = " + f(a.GetLoadingEnergy(), 6) + " µJ\n";
    t += "Energy Unloading = " + f(a.GetUnloadingEnergy(), 6) + " µJ\n";
    t += "Energy Reloading = " + f(a.GetReloadingEnergy(), 6) + " µJ\n";
    return t;
}

}  // namespace marvek
