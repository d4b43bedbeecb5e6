#pragma once
// The run's settings as plain data. The windows derive their dialogs from these structs; core
// functions take them as arguments and never reach for a global.

#include <array>

namespace marvek {

using AreaCoefficients = std::array<double, 9>;

// The unloading analysis. Stored as its number (parameter file, dialogs, projects); code
// compares the enum. A stored number of no known method reads as Other, which fits no unloading.
enum class AnalysisMethod { OliverPharr = 0, DoernerNix = 1, Other };
constexpr AnalysisMethod MethodOf(int stored) {
    return stored == 0   ? AnalysisMethod::OliverPharr
           : stored == 1 ? AnalysisMethod::DoernerNix
                         : AnalysisMethod::Other;
}
constexpr bool FitsUnloading(AnalysisMethod m) { return m != AnalysisMethod::Other; }
// "Oliver-Pharr", "Doerner-Nix" or "Experimental", as the results text names them.
constexpr const char* MethodTitle(AnalysisMethod m) {
    return m == AnalysisMethod::OliverPharr  ? "Oliver-Pharr"
           : m == AnalysisMethod::DoernerNix ? "Doerner-Nix"
                                             : "Experimental";
}
// The method's name on the command line and in tables: "op", "dn" or "other".
constexpr const char* MethodKey(AnalysisMethod m) {
    return m == AnalysisMethod::OliverPharr  ? "op"
           : m == AnalysisMethod::DoernerNix ? "dn"
                                             : "other";
}

struct StrategySettings {
    float m_fEpsilon = 0.75f;    // Sneddon's material epsilon
    float m_fOPMaxPercent = 82;  // Oliver-Pharr force range, % of the load drop
    float m_fOPMinPercent = 20;
    float m_fDNMaxPercent = 100;  // Doerner-Nix force range, % of the load drop
    float m_fDNMinPercent = 82;
    float m_fSectionSizePercent = 10;  // width of one unload section, %
    int m_bZeroPointCorrection = 0;
    float m_fZeroFitMinPercent = 10;  // zero-point window, % of the maximum load
    float m_fZeroFitMaxPercent = 90;
    int m_nMethod = 0;  // stored AnalysisMethod: 0 Oliver-Pharr, 1 Doerner-Nix
    int m_bDriftCorrection = 0;
    float m_fDisplacementAccuracy = 0.02f;  // +- nm, stored and shown only
    float m_fForceAccuracy = 0.02f;         // +- mN, load band of hold searches
    AnalysisMethod method() const { return MethodOf(m_nMethod); }
};

struct ComplianceSettings {
    float m_fCompliance = 0;  // frame compliance, nm/mN
};

struct AreaFunctionSettings {
    // The calibration's copies of the strategy and compliance (see CopyStrategyToAreaFunction).
    float m_fEpsilon = 0;
    int m_nMethod = 0;  // stored AnalysisMethod
    float m_fOPMaxPercent = 0;
    float m_fOPMinPercent = 0;
    float m_fDNMaxPercent = 0;
    float m_fDNMinPercent = 0;
    float m_fCompliance = 0;                                       // nm/mN
    AreaCoefficients m_dApCoef = {24.5, 0, 0, 0, 0, 0, 0, 0, 0};   // projected area, nm^2
    AreaCoefficients m_dAsCoef = {26.44, 0, 0, 0, 0, 0, 0, 0, 0};  // surface area, nm^2
    float m_fIndenterModulus = 1141;                               // GPa
    float m_fIndenterPoisson = 0.07f;
    float m_fSampleModulus = 72;  // calibration sample, GPa
    float m_fSamplePoisson = 0.17f;
    int m_nFunctionTerms = 2;  // 1..9
    double m_dFitRSquared = 0;
    int m_bFixLeadingTerm = 0;
    float m_fFrameCompliance = 0;  // nm/mN, shown in the area-function dialog
};

// Thresholds of the quality flags of a series of curves. Flags only inform: no threshold
// changes a number.
struct QualitySettings {
    double m_dMinRSquared = 0.995;     // low-r2 below this
    double m_dMinFitPoints = 20;       // few-fit-points below this many
    double m_dOutlierMads = 3;         // outlier-*: scaled median absolute deviations
    double m_dMaxDriftRate = 0.05;     // drift: |rate| above this, nm/s
    double m_dMaxZeroLoadPercent = 5;  // zero-offset: first load above this % of Fmax
    double m_dSlipDepth = 2;           // slip: depth step against the load above this, nm
};

// Everything the parameter file holds: the three settings objects and the sample's Poisson
// ratio of the main window.
struct Settings {
    StrategySettings strategy;
    ComplianceSettings compliance;
    AreaFunctionSettings areaFunction;
    float m_fPoisson = 0.3f;  // sample Poisson ratio
    QualitySettings quality;  // stored after the 40 values of the older file
};

// One curve's own unloading fit range, in the settings' terms: the force range of the active
// method (Oliver-Pharr or Doerner-Nix) in % of the load drop, i.e. loads from
// Fmin + min % (Fpeak - Fmin) to Fmin + max % (Fpeak - Fmin) of the unloading.
struct UnloadFitRange {
    float minPercent = 0;
    float maxPercent = 100;
    bool operator==(const UnloadFitRange&) const = default;
};

// `settings` with the active method's force range replaced by `range`: a curve with a range
// of its own is analysed exactly as with settings of that range.
Settings WithFitRange(Settings settings, const UnloadFitRange& range);
// The active method's force range of `settings`.
UnloadFitRange FitRangeOf(const Settings& settings);

// A(h) = sum c_k * h^(0.5^(k-1)), k = 0..8: terms h^2, h, h^1/2 ... h^1/128; nm -> nm^2.
double EvaluateAreaFunction(const AreaCoefficients& coef, double h);

// Start-up copy rule: the area-function calibration's copies of the six strategy values and of
// the frame compliance.
void CopyStrategyToAreaFunction(const StrategySettings& strategy, AreaFunctionSettings& area);
void CopyComplianceToAreaFunction(const ComplianceSettings& compliance, AreaFunctionSettings& area);

}  // namespace marvek
