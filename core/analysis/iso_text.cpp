#include "iso_text.h"

#include "core/base/quantity_labels.h"
#include "core/io/number_format.h"

namespace marvek {

namespace {

std::string Value(const Quantity& q, int decimals, const char* unit, double scale = 1) {
    return q.present() ? FormatFixed(q.value * scale, decimals) + unit : std::string("-");
}

std::string PlusMinus(double value, double u, int decimals, const char* unit) {
    std::string t = FormatFixed(value, decimals);
    if (u == u) t += " \xC2\xB1 " + FormatFixed(u, decimals);
    return t + unit;
}

}  // namespace

std::string BuildIsoResultsText(const IsoQuantities& q, const ModulusUncertainty& u) {
    // The works are trapezoid sums, unlike the rectangle-sum energy lines above them.
    std::string t = "ISO 14577 (W by trapezoids) :\n";
    if (u.eit == u.eit) {
        t += " E(IT) = " + PlusMinus(u.eit, u.uEit, 2, " GPa") + "\n";
        t += " H(IT) = " + PlusMinus(u.hit, u.uHit, 0, " MPa") + "\n";
    } else {
        t += " E(IT), H(IT) \xC2\xB1 u : -\n";
    }
    // Same unit as the energy lines above; a different rule (trapezoids), said once.
    const std::string unit = std::string(" ") + labels::kEnergyUnit;
    const double k = labels::kMicroJoulePerNanoJoule;
    t += " W(total) = " + Value(q.wTotal, 6, unit.c_str(), k) + "\n";
    t += " W(elast) = " + Value(q.wElastic, 6, unit.c_str(), k) + "\n";
    t += " W(plast) = " + Value(q.wPlastic, 6, unit.c_str(), k) + "\n";
    t += " \xCE\xB7(IT) = " + Value(q.etaIT, 2, " %") + "\n";
    t += " C(IT) = " + Value(q.cIT, 3, " %");
    if (q.holdTime.present()) t += " (" + FormatFixed(q.holdTime.value, 1) + " s)";
    t += "\n R(IT) = " + Value(q.rIT, 3, " %") + "\n";
    t += " HM(s) = " + Value(q.hMs, 2, " MPa");
    if (q.hMsR2.present()) t += "\n  r\xC2\xB2 = " + FormatFixed(q.hMsR2.value, 6);
    return t + "\n";
}

}  // namespace marvek
