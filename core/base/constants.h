#pragma once
// Physical and geometric constants of the analysis, each with where it comes from. Units follow
// the analysis: depth nm, force mN, area nm^2, modulus GPa, hardness MPa.

#include <numbers>

namespace marvek::constants {

// pi for new computations.
inline constexpr double kPi = std::numbers::pi;

// The ten-digit pi the modulus and the area-function calibration have always used. Stored results
// and the reference tests depend on it to the last bit, so it is kept rather than replaced by kPi
// (the two differ by 4e-10 relative).
inline constexpr double kPiTenDigits = 3.141592654;

// Standard acceleration of gravity, m/s^2 (CGPM 1901, exact): converts N/mm^2 to kgf/mm^2 for HV.
inline constexpr double kStandardGravity = 9.80665;

// Unit factors of the analysis.
inline constexpr double kNmPerUm = 1000.0;  // depth files in micrometres
// Area in mm^2: a stiffness in mN/nm (= kN/m) over the root of an area in mm^2 is a modulus in GPa.
inline constexpr double kNm2PerMm2 = 1e12;
inline constexpr double kMPaPerMNPerNm2 = 1e9;      // force over area: mN/nm^2 -> MPa
inline constexpr double kMicroJoulePerNmMN = 1e-6;  // work: nm*mN = 1e-12 J = 1e-6 uJ

// Ideal Berkovich indenter (ISO 14577-1, Annex A): projected area 24.5 h^2 (24.494 rounded as
// instruments do), surface area 26.44 h^2; the Martens-hardness slope constant uses the latter.
inline constexpr double kBerkovichProjectedArea = 24.5;
inline constexpr double kBerkovichSurfaceArea = 26.44;
// Ideal Vickers indenter (ISO 14577-1): projected 24.504 h^2, surface 26.43 h^2.
inline constexpr double kVickersProjectedArea = 24.504;
inline constexpr double kVickersSurfaceArea = 26.43;

// Brinell equivalent of a Vickers number, HB(500 gf, 10 mm ball) = (HV + 5.60725) / 1.19007: the
// linear fit of the ASTM E140 steel conversion table the results text has always shown.
inline constexpr double kBrinellOffset = 5.60725;
inline constexpr double kBrinellSlope = 1.19007;

}  // namespace marvek::constants
