#pragma once
// Projected area function calibration: indents into a reference material of known modulus.
// Each curve's contact stiffness S gives its projected contact area Ap = pi*S^2/(2*Er')^2, and
// the area function is fitted to the pairs (hc, Ap).

#include <string>
#include <vector>

#include "core/analysis/curve_analyzer.h"
#include "core/base/status.h"
#include "core/calibration/calibration_curves.h"
#include "core/config/settings.h"

namespace marvek {

// Axis titles of the calibration graph.
inline constexpr const char* kAreaFunctionGraphXTitle = "hc (nm)";
inline constexpr const char* kAreaFunctionGraphYTitle = "Ap (nm^2)";

// Fits Ap(h) = sum_{j<=m} c_j * h^(0.5^(j-1)) to (x, y) and writes c[0..m]. Equation l weights
// with x^(0.5^l), one halving below the basis function of term l, and the system is solved by
// Gaussian elimination in natural order without pivoting; a zero pivot gives non-finite
// coefficients. Returns the fit quality sqrt((SStot - SSres)/SStot).
double FitAreaFunction(AreaCoefficients& c, const double* x, const double* y, int n, int m);

// As FitAreaFunction with c_0 held at c0 and terms 1..m fitted by ordinary least squares.
double FitAreaFunctionFixedLead(AreaCoefficients& c, const double* x, const double* y, int n, int m,
                                double c0);

// sqrt((SStot - SSres)/SStot) of terms 0..m; the square root of R^2, not R^2 itself.
double AreaFitQuality(const AreaCoefficients& c, const double* x, const double* y, int n, int m);

// Er' = 1/((1 - nus^2)/Es + (1 - nui^2)/Ei) / 1e6, moduli in GPa: S/Er' comes out in nm when S is
// in mN/nm.
double CalibrationReducedModulus(float sampleModulus, float samplePoisson, float indenterModulus,
                                 float indenterPoisson);

struct AreaFunctionCalibrationResult {
    // Ok, or why the calibration failed: BadValue (the settings or the curves cannot give one),
    // NoResult (the fit has none) or Cancelled.
    Status status = Status::Error("not calibrated", ErrorCode::NoResult);
    bool ok() const { return status.ok(); }
    std::string note;  // curves left out, shown beside a success too
    std::vector<LeftOutCurve> leftOut;
    std::vector<CalibrationCurve> curves;  // used curves in file order
    std::vector<double> hc;                // graph x, nm
    std::vector<double> ap;                // graph y, nm^2
    double reducedModulus = 0;             // Er', mN/nm^2
    // Only meaningful when ok: the new Ap coefficients (terms above the fitted ones 0) and the
    // fit quality.
    AreaCoefficients apCoef{};
    double rSquared = 0;
};

// Runs the calibration over the analyzer's file list with the area-function settings: the
// method copies, epsilon, m_fFrameCompliance as the frame compliance, the sample and indenter
// constants, m_nFunctionTerms, m_bFixLeadingTerm and m_dApCoef[0] (kept when the lead is
// fixed). Nothing in `settings` is changed; the caller stores the result when ok.
AreaFunctionCalibrationResult CalibrateAreaFunction(CCurveAnalyzer& analyzer,
                                                    const AreaFunctionSettings& settings,
                                                    const CalibrationProgress& progress = {});

// The fit alone, on pairs already computed.
AreaFunctionCalibrationResult FitAreaFunctionPoints(std::vector<double> hc, std::vector<double> ap,
                                                    const AreaFunctionSettings& settings);

}  // namespace marvek
