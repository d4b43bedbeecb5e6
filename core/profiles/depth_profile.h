#pragma once
// Depth profiles of continuous-stiffness (CSM) tests: hardness and modulus at every sample of the
// loading from the contact stiffness the instrument measured by its small oscillation, averages
// over a depth window, the mean profile of many indents and the Nix-Gao size-effect fit.
//
// Per sample (Oliver & Pharr, J. Mater. Res. 7 (1992) 1564 and 19 (2004) 3; for the dynamic
// stiffness Hay, Agee & Herbert, Exp. Techniques 34 (2010) 86):
//   hc = h - eps * P / S,   A = C0 hc^2 + C1 hc + C2 hc^(1/2) + ... + C8 hc^(1/128),
//   H = P / A,   Er = sqrt(pi) S / (2 beta sqrt(A)),   1/Er = (1 - nu^2)/E + (1 - nui^2)/Ei.
// Everything here is a pure function of its arguments.

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/io/parsed_curve.h"

namespace marvek::profiles {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A named indenter with its area function (the user's list of tips).
struct TipAreaFunction {
    std::string name;
    std::vector<double> coefficients;  // C0, C1, ... (nm^2 for hc in nm)
};

// "C0,C1,..." (up to nine numbers) into `out`; false on anything else.
bool ParseCoefficientList(std::string_view text, std::vector<double>& out);
// The user's tip list: one tip a line, "NAME C0,C1,..." (the name may hold spaces; the
// coefficients are the last word); blank lines and lines starting with '#' are skipped. False
// with `error` naming the line on a malformed one.
bool ParseTipList(std::string_view text, std::vector<TipAreaFunction>& tips, std::string& error);

// Corrections, all off by default.
struct ProfileCorrections {
    // The instrument reports the mean load and displacement of the oscillation and its
    // amplitudes as rms; the contact is at its largest at the peak, P + sqrt(2) F0 and
    // h + sqrt(2) z0 (Hay, Agee & Herbert 2010).
    bool peakLoadAndDepth = false;
    // The oscillation unloads the contact elastically from its peak, so the measured stiffness
    // is a secant of the unloading curve, not its tangent: solved back through the power-law
    // unloading P ~ (h - hf)^m (Pharr, Strader & Oliver, J. Mater. Res. 24 (2009) 653; Hay,
    // Agee & Herbert 2010). Matters for soft, stiff materials at large depths.
    bool dynamicUnloading = false;
    double unloadingExponent = 1.5;
    // Depths less the drift rate (least squares over the drift hold) times the time.
    bool thermalDrift = false;
};

struct ProfileSettings {
    double epsilon = 0.75;                         // the instruments' CSM value
    double beta = 1.0;                             // the instruments' CSM value (not 1.034)
    double indenterModulus = 1141.0;               // GPa, diamond
    double indenterPoisson = 0.07;                 // diamond
    std::optional<double> samplePoisson;           // overrides the workbook's
    double fallbackPoisson = 0.3;                  // when neither gives one
    std::vector<double> areaCoefficients;          // overrides tips and workbook
    std::vector<TipAreaFunction> tips;             // chosen by the workbook's tip name
    std::vector<double> fallbackArea = {24.5};     // ideal Berkovich when nothing else gives one
    std::optional<double> harmonicFrameStiffness;  // N/m, for raw harmonic stiffness only
    std::optional<double> from, to;                // averaging window, nm; overrides the workbook's
    double defaultFrom = 100, defaultTo = 200;     // when neither gives one
    // What the warning about a workbook's incomplete area function tells the user to do: the
    // command line's words here, the window's its own.
    std::string completeAreaFunctionHint =
        "give the full one (--ap C0,C1,...) or add the tip to the tip list";
    ProfileCorrections corrections;
};

// Where the contact stiffness came from.
enum class StiffnessSource {
    None,
    ContactStiffnessColumn,  // "Harmonic Contact Stiffness": the instrument's, frame-corrected
    RawHarmonics,            // load and displacement amplitudes and phase
    HarmonicStiffness,       // "Harmonic Stiffness" (K), corrected for the frame here
};
const char* StiffnessSourceName(StiffnessSource s);

// Samples left out, by reason. A sample is counted once, under its first reason.
struct SkippedSamples {
    std::size_t missing = 0;            // depth, load or stiffness cell empty or 1.797e308
    std::size_t instrumentInvalid = 0;  // the instrument's Modulus cell empty, 0 or ~1e-158
    std::size_t nonPositiveStiffness = 0;
    std::size_t nonPositiveArea = 0;   // also hc <= 0
    std::size_t modulusUndefined = 0;  // the indenter's compliance exceeds the measured one
    std::size_t correctionFailed = 0;  // a correction has no solution for the sample
    std::size_t Total() const {
        return missing + instrumentInvalid + nonPositiveStiffness + nonPositiveArea +
               modulusUndefined + correctionFailed;
    }
};

// A value used and where it came from ("settings", "workbook", "tip list NAME", "default").
struct UsedValue {
    std::string name;
    std::string value;
    std::string from;
};

struct DepthProfile {
    std::string test;
    // Ok, or why there is no profile (NoResult: no stiffness columns, ...).
    Status status = Status::Error("no profile computed", ErrorCode::NoResult);
    bool ok() const { return status.ok(); }
    // One entry per usable sample, in file order. Units: nm, mN, N/m, nm, nm^2, GPa.
    std::vector<std::size_t> index;  // the sample's point in the curve
    std::vector<double> depth, load, stiffness, contactDepth, area, hardness, modulus,
        reducedModulus;
    std::size_t loadingSamples = 0;  // the first loadingSamples entries are the loading
    SkippedSamples skipped;
    StiffnessSource stiffnessSource = StiffnessSource::None;
    double samplePoisson = kNaN;
    std::vector<double> areaCoefficients;
    double from = kNaN, to = kNaN;  // the averaging window chosen
    double driftRate = kNaN;        // nm/s, with the drift correction
    std::vector<UsedValue> used;
    std::vector<std::string> warnings;
    std::size_t size() const { return depth.size(); }
};

// The profile of one curve read from a workbook (its points, channels and metadata).
DepthProfile ComputeProfile(const io::ParsedCurve& curve, const ProfileSettings& settings);
// The profiles of all curves, in order.
std::vector<DepthProfile> ComputeProfiles(const std::vector<io::ParsedCurve>& curves,
                                          const ProfileSettings& settings);

// A(hc) with as many terms as given; NaN for hc <= 0.
double ProjectedArea(const std::vector<double>& coefficients, double hc);

// The mean over a depth window of the loading: from the first sample at or past `from` to the
// last at or before `to`, each bound taking the neighbouring sample outside instead where that
// one is strictly closer to it. n = 0 and NaN means with a reason when no sample qualifies.
struct ProfileAverage {
    double from = kNaN, to = kNaN;
    std::size_t n = 0;
    std::size_t first = 0, last = 0;  // profile entries averaged: [first, last]
    double hardness = kNaN, modulus = kNaN;
    double hardnessSd = kNaN, modulusSd = kNaN;  // sample SD, n >= 2
    std::string reason;                          // empty when n > 0
};
ProfileAverage AverageProfile(const DepthProfile& profile, double from_nm, double to_nm);
// Over the profile's own window.
ProfileAverage AverageProfile(const DepthProfile& profile);

// The averages of many indents over one depth window (what a window of the workbook's
// indents shows as the window moves): each indent's AverageProfile, then the plain mean and
// sample SD of those averages over the indents that have one. Indents not ok, with include[k]
// false or without a sample in the window are left out of the mean (their entry says why).
struct WindowAverages {
    double from = kNaN, to = kNaN;
    std::vector<ProfileAverage> indents;  // one per profile given, in order
    std::size_t n = 0;                    // indents averaged
    double hardness = kNaN, modulus = kNaN;
    double hardnessSd = kNaN, modulusSd = kNaN;  // over the indents, n >= 2
    std::string reason;                          // empty when n > 0
};
WindowAverages AverageProfiles(const std::vector<DepthProfile>& profiles,
                               const std::vector<bool>& include, double from_nm, double to_nm);

// The top of a view that shows a profile's values but not the spikes of its first samples
// (the contact not yet established): a quarter above the 95th percentile of the finite values,
// or NaN when the values need no such limit (none above it, or no positive percentile).
double ProfileViewTop(std::vector<double> values);

// The mean profile of many indents on a common depth grid: at each depth the profiles whose
// loading covers it, linearly interpolated, their mean and sample SD.
struct MeanProfile {
    std::vector<double> depth;
    std::vector<std::size_t> n;
    std::vector<double> hardness, hardnessSd, modulus, modulusSd;
};
// `points` grid depths from the smallest to the largest loading depth of the profiles given
// (logarithmically spaced with `logSpacing`); profiles not ok or with include[k] false are left
// out (include may be empty: all).
MeanProfile ComputeMeanProfile(const std::vector<DepthProfile>& profiles,
                               const std::vector<bool>& include = {}, std::size_t points = 200,
                               bool logSpacing = false);

// Nix & Gao, J. Mech. Phys. Solids 46 (1998) 411: H^2 = H0^2 (1 + h*/h), fitted as the line
// H^2 = H0^2 + H0^2 h* (1/h) over the loading samples with from <= h <= to.
struct NixGaoFit {
    // Ok, or NoResult with "no size effect fit: ...".
    Status status = Status::Error("no size effect fit", ErrorCode::NoResult);
    bool ok() const { return status.ok(); }
    double h0 = kNaN;     // GPa
    double hStar = kNaN;  // nm
    double rSquared = kNaN;
    std::size_t n = 0;
};
NixGaoFit FitNixGao(const DepthProfile& profile, double from_nm, double to_nm);

}  // namespace marvek::profiles
