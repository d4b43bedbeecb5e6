#include "core/calibration/compliance_calibration.h"

#include <algorithm>
#include <cmath>

#include "core/io/number_format.h"

namespace marvek {

namespace {

// x of a graph point: 1/sqrt(Ap(h)); NaN when the depth gives no positive area.
double InverseRootArea(const AreaCoefficients& apCoef, double h) {
    if (!(h > 0)) return std::nan("");
    const double ap = EvaluateAreaFunction(apCoef, h);
    if (!(ap > 0) || !std::isfinite(ap)) return std::nan("");
    return 1.0 / std::pow(ap, 0.5);
}

const char* const kNoSpread =
    "The straight-line fit is undefined: the curves' contact areas have no spread. Use indents "
    "of clearly different maximum force.";

// Rounding can leave a tiny variance where every x is the same; such a line means nothing.
bool HasSpread(const std::vector<double>& x) {
    const auto [lo, hi] = std::minmax_element(x.begin(), x.end());
    return *hi - *lo > 1e-9 * std::fabs(*hi);
}

bool IsStorable(double compliance) {
    return std::isfinite(compliance) && std::isfinite(static_cast<float>(compliance));
}

}  // namespace

ComplianceCalibrationSettings MakeComplianceCalibrationSettings(const StrategySettings& strategy,
                                                                const AreaCoefficients& apCoef) {
    ComplianceCalibrationSettings s;
    s.m_nMethod = strategy.m_nMethod;
    s.m_fEpsilon = strategy.m_fEpsilon;
    s.m_fOPMaxPercent = strategy.m_fOPMaxPercent;
    s.m_fOPMinPercent = strategy.m_fOPMinPercent;
    s.m_fDNMaxPercent = strategy.m_fDNMaxPercent;
    s.m_fDNMinPercent = strategy.m_fDNMinPercent;
    s.m_dApCoef = apCoef;
    return s;
}

std::string FormatComplianceFit(const LineFit& fit) {
    return "y = " + FormatFixed(fit.slope, 6) + " x + " + FormatFixed(fit.intercept, 6) +
           "  R^2 = " + FormatFixed(fit.rSquared, 6);
}

double CorrectedContactDepth(double hc, double fmax, double compliance, double epsilon) {
    return hc - (1.0 - epsilon) * compliance * fmax;
}

namespace {

// The points at compliance 0; a curve whose contact depth gives no area cannot be placed.
void PlaceAtZeroCompliance(const std::vector<CalibrationCurve>& curves,
                           const ComplianceCalibrationSettings& settings,
                           ComplianceCalibrationResult& r) {
    for (const CalibrationCurve& c : curves) {
        const double x = InverseRootArea(settings.m_dApCoef, c.hc);
        if (!std::isfinite(x)) {
            r.leftOut.push_back({c.file, c.file.string() + ": contact depth " +
                                             FormatSignificant(c.hc, 7) +
                                             " nm gives no positive contact area"});
            continue;
        }
        r.curves.push_back(c);
        r.x.push_back(x);
        r.y.push_back(1.0 / c.stiffness);
    }
}

// Moves every point to the contact depth corrected for compliance `cf`. False (with r.status)
// when a corrected depth gives no contact area.
bool MoveToCompliance(double cf, double epsilon, const ComplianceCalibrationSettings& settings,
                      ComplianceCalibrationResult& r) {
    for (std::size_t i = 0; i < r.curves.size(); ++i) {
        const CalibrationCurve& c = r.curves[i];
        const double h = CorrectedContactDepth(c.hc, c.fmax, cf, epsilon);
        const double x = InverseRootArea(settings.m_dApCoef, h);
        if (!std::isfinite(x)) {
            r.status =
                Status::Error("At a frame compliance of " + FormatFixed(cf, 6) +
                                  " nm/mN the corrected contact depth of " + c.file.string() +
                                  " is " + FormatSignificant(h, 7) +
                                  " nm, which gives no contact area. The curves do not fit a "
                                  "frame compliance; check the files and the area function.",
                              ErrorCode::NoResult);
            return false;
        }
        r.x[i] = x;
    }
    return true;
}

}  // namespace

// The compliance is the intercept of 1/S against 1/sqrt(Ap(hc)): C_total = C_frame + sqrt(pi)/
// (2 Er) / sqrt(Ap). Each fit's intercept corrects hc by (1 - epsilon)*C*Fmax until it settles.
ComplianceCalibrationResult IterateCompliance(std::vector<CalibrationCurve> curves,
                                              const ComplianceCalibrationSettings& settings) {
    ComplianceCalibrationResult r;
    const double epsilon = settings.m_fEpsilon;
    PlaceAtZeroCompliance(curves, settings, r);
    const int n = static_cast<int>(r.curves.size());
    if (n < 2) {
        r.status = Status::Error(
            "The calibration needs at least two usable curves of different maximum "
            "force; " +
                FormatInt(n) + (n == 1 ? " is" : " are") + " usable.",
            ErrorCode::BadValue);
        return r;
    }

    double cf = 0;
    for (int j = 0;;) {
        if (!HasSpread(r.x)) {
            r.status = Status::Error(kNoSpread, ErrorCode::NoResult);
            return r;
        }
        const LineFit fit = FitLine(r.x.data(), r.y.data(), n);
        const double previous = cf;
        cf = fit.intercept;
        r.fits.push_back({fit, FormatComplianceFit(fit)});
        if (!IsStorable(fit.intercept) || !std::isfinite(fit.slope)) {
            r.status = Status::Error(kNoSpread, ErrorCode::NoResult);
            return r;
        }
        const bool goOn = std::fabs(previous - cf) > kComplianceTolerance;
        if (goOn && j < kMaxComplianceFits && !MoveToCompliance(cf, epsilon, settings, r)) return r;
        ++j;
        if (!(goOn && j < kMaxComplianceFits)) break;
    }
    r.compliance = cf;
    r.status = {};
    return r;
}

ComplianceCalibrationResult CalibrateCompliance(CCurveAnalyzer& analyzer,
                                                const ComplianceCalibrationSettings& settings,
                                                const CalibrationProgress& progress) {
    const std::string countProblem = CheckCalibrationFileCount(analyzer.m_nFileCount);
    if (!countProblem.empty()) {
        ComplianceCalibrationResult r;
        r.status = Status::Error(countProblem, ErrorCode::BadValue);
        return r;
    }
    CalibrationCurves analysed =
        AnalyzeCalibrationCurves(analyzer, UnloadMethodOf(settings, 0), progress);
    if (analysed.cancelled) {
        ComplianceCalibrationResult r;
        r.status =
            Status::Error("The calibration was cancelled; the frame compliance is unchanged.",
                          ErrorCode::Cancelled);
        return r;
    }
    ComplianceCalibrationResult r = IterateCompliance(std::move(analysed.curves), settings);
    r.leftOut.insert(r.leftOut.begin(), analysed.leftOut.begin(), analysed.leftOut.end());
    r.note = DescribeLeftOut(r.leftOut);
    return r;
}

}  // namespace marvek
