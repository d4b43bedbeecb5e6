#pragma once
// How quantities are named and in which unit they are shown, in one place for the window, the
// table, its exports and the cli. Energies are shown in µJ everywhere.

namespace marvek::labels {

// 1 nm·mN = 1e-12 J = 1e-6 µJ; 1 nJ = 1e-3 µJ.
inline constexpr double kMicroJoulePerNanoJoule = 1e-3;
inline constexpr const char* kEnergyUnit = "\xC2\xB5J";

// The two ways the program integrates work, said wherever both appear. The energy lines of the
// results text are the older rectangle sums per segment code; the ISO 14577-1 works W(total),
// W(elast) and W(plast) are trapezoids over the corrected curve. They differ by a few per cent on
// coarse curves.
inline constexpr const char* kRectangleRule =
    "rectangle sum over the segment's points: \xCE\xA3 (h[i] - h[i-1]) \xC2\xB7 F[i]";
inline constexpr const char* kTrapezoidRule = "trapezoid rule over the corrected curve";

// Sign convention: the rectangle sums keep the sign of the depth step, so the unloading energy
// is negative (depth falls); ISO 14577-1 defines W(elast) as the positive work given back.
inline constexpr const char* kUnloadingSignNote =
    "negative: depth falls while unloading; W(elast) is the same work, positive, by trapezoids";

// Column titles of the rectangle-sum energies (table, CSV, workbook, cli).
inline constexpr const char* kLoadingEnergyTitle = "energyLoading [\xC2\xB5J]";
inline constexpr const char* kUnloadingEnergyTitle = "energyUnloading [\xC2\xB5J]";
inline constexpr const char* kReloadingEnergyTitle = "energyReloading [\xC2\xB5J]";
inline constexpr const char* kWTotalTitle = "Wtotal [\xC2\xB5J]";
inline constexpr const char* kWElasticTitle = "Welast [\xC2\xB5J]";
inline constexpr const char* kWPlasticTitle = "Wplast [\xC2\xB5J]";

}  // namespace marvek::labels

#include <string>

namespace marvek::labels {

// "1 point", "2 points": a count with its noun in the right number.
inline std::string Count(long long n, const char* singular, const char* plural = nullptr) {
    return std::to_string(n) + " " +
           (n == 1   ? std::string(singular)
            : plural ? std::string(plural)
                     : singular + std::string("s"));
}

}  // namespace marvek::labels
