#pragma once
// Frame compliance calibration: a series of indents into one material at different maximum
// forces, each analysed with frame compliance 0; the total compliance 1/S against 1/sqrt(Ap(hc))
// is fitted with a straight line whose intercept is the frame compliance. The contact depths
// depend on that compliance, so the fit is repeated with corrected depths until it settles.

#include <string>
#include <vector>

#include "core/analysis/curve_analyzer.h"
#include "core/analysis/fitting.h"
#include "core/base/status.h"
#include "core/calibration/calibration_curves.h"
#include "core/config/settings.h"

namespace marvek {

// What the calibration uses of the settings: the unload method, its force ranges and epsilon
// (the strategy's, or the compliance dialog's copies of them) and the projected-area function.
struct ComplianceCalibrationSettings {
    int m_nMethod = 0;  // stored AnalysisMethod
    float m_fEpsilon = 0.75f;
    float m_fOPMaxPercent = 82;
    float m_fOPMinPercent = 20;
    float m_fDNMaxPercent = 100;
    float m_fDNMinPercent = 82;
    AreaCoefficients m_dApCoef = {24.5, 0, 0, 0, 0, 0, 0, 0, 0};
};

ComplianceCalibrationSettings MakeComplianceCalibrationSettings(const StrategySettings& strategy,
                                                                const AreaCoefficients& apCoef);

// Axis titles of the calibration graph.
inline constexpr const char* kComplianceGraphXTitle = "1/Ap(nm)^0.5";
inline constexpr const char* kComplianceGraphYTitle = "Ct (nm/mN)";

// One fit of the iteration and the text shown for it ("y = <slope> x + <intercept>  R^2 = <r2>").
struct ComplianceFit {
    LineFit line;
    std::string text;
};

// The iteration stops after the first fit whose intercept moved by no more than this, nm/mN.
inline constexpr double kComplianceTolerance = 0.0001;
inline constexpr int kMaxComplianceFits = 30;

struct ComplianceCalibrationResult {
    // Ok, or why the calibration failed: BadValue (the settings or the curves cannot give one),
    // NoResult (the fit has none) or Cancelled.
    Status status = Status::Error("not calibrated", ErrorCode::NoResult);
    bool ok() const { return status.ok(); }
    std::string note;  // curves left out, shown beside a success too
    std::vector<LeftOutCurve> leftOut;
    // Per used curve, in file order: the values of the analysis at compliance 0 and the graph
    // point (x = 1/sqrt(Ap) of the last corrected depth, y = 1/S).
    std::vector<CalibrationCurve> curves;
    std::vector<double> x;            // 1/nm
    std::vector<double> y;            // nm/mN
    std::vector<ComplianceFit> fits;  // every fit made, in order
    double compliance = 0;            // the last intercept, nm/mN; only meaningful when ok
};

// "y = %f x + %f  R^2 = %f" with slope, intercept and r^2.
std::string FormatComplianceFit(const LineFit& fit);

// The corrected contact depth of a curve analysed at compliance 0. The frame adds Cf*Fmax to
// the maximum depth and Cf*Fmax to the epsilon*Fmax/S term, so the contact depth is too deep by
// (1 - epsilon)*Cf*Fmax only.
double CorrectedContactDepth(double hc, double fmax, double compliance, double epsilon);

// Runs the calibration over the analyzer's file list. The analyzer keeps its correction
// switches (zero point, drift); its results afterwards are those of the last curve analysed.
ComplianceCalibrationResult CalibrateCompliance(CCurveAnalyzer& analyzer,
                                                const ComplianceCalibrationSettings& settings,
                                                const CalibrationProgress& progress = {});

// The fit iteration alone, on curves already analysed at compliance 0.
ComplianceCalibrationResult IterateCompliance(std::vector<CalibrationCurve> curves,
                                              const ComplianceCalibrationSettings& settings);

}  // namespace marvek
