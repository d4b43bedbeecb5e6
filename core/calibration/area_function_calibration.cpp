#include "core/calibration/area_function_calibration.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/base/constants.h"
#include "core/io/number_format.h"

namespace marvek {

namespace {

// Exponent of term j: 2, 1, 1/2, ... 1/128.
double TermExponent(int j) { return std::pow(0.5, j - 1); }

// Sum of x[i]^e over the n points: one entry of the normal equations.
double PowerSum(const double* x, int n, double e) {
    double sum = 0;
    for (int i = 0; i < n; ++i) sum += std::pow(x[i], e);
    return sum;
}

using Row = std::array<double, 10>;  // up to 9 coefficients and the right-hand side

// Solves the `size` equations held in rows[0..size-1] (coefficients in columns 0..size-1, the
// right-hand side in column `size`) and returns the solution in order.
std::array<double, 9> SolveNaturalOrder(std::array<Row, 9>& rows, int size) {
    for (int k = 0; k < size; ++k) {
        Row& pivotRow = rows[static_cast<std::size_t>(k)];
        const double pivot = pivotRow[static_cast<std::size_t>(k)];
        for (int col = k; col <= size; ++col) pivotRow[static_cast<std::size_t>(col)] /= pivot;
        for (int i = k + 1; i < size; ++i) {
            Row& row = rows[static_cast<std::size_t>(i)];
            const double factor = row[static_cast<std::size_t>(k)];
            for (int col = k; col <= size; ++col) {
                row[static_cast<std::size_t>(col)] -=
                    factor * pivotRow[static_cast<std::size_t>(col)];
            }
        }
    }
    std::array<double, 9> solution{};
    for (int k = size - 1; k >= 0; --k) {
        const Row& row = rows[static_cast<std::size_t>(k)];
        double value = row[static_cast<std::size_t>(size)];
        for (int j = k + 1; j < size; ++j) {
            value -= row[static_cast<std::size_t>(j)] * solution[static_cast<std::size_t>(j)];
        }
        solution[static_cast<std::size_t>(k)] = value;
    }
    return solution;
}

int DistinctCount(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return static_cast<int>(std::unique(values.begin(), values.end()) - values.begin());
}

}  // namespace

double AreaFitQuality(const AreaCoefficients& c, const double* x, const double* y, int n, int m) {
    double sumY = 0;
    for (int i = 0; i < n; ++i) sumY += y[i];
    const double mean = sumY / n;
    double ssTot = 0, ssRes = 0;
    for (int i = 0; i < n; ++i) {
        ssTot += (y[i] - mean) * (y[i] - mean);
        double model = 0;
        for (int j = 0; j <= m; ++j) {
            model += c[static_cast<std::size_t>(j)] * std::pow(x[i], TermExponent(j));
        }
        ssRes += (y[i] - model) * (y[i] - model);
    }
    return std::pow((ssTot - ssRes) / ssTot, 0.5);
}

double FitAreaFunction(AreaCoefficients& c, const double* x, const double* y, int n, int m) {
    std::array<Row, 9> rows{};
    for (int l = 0; l <= m; ++l) {
        const double weight = std::pow(0.5, l);
        Row& row = rows[static_cast<std::size_t>(l)];
        for (int j = 0; j <= m; ++j)
            row[static_cast<std::size_t>(j)] = PowerSum(x, n, TermExponent(j) + weight);
        double rhs = 0;
        for (int i = 0; i < n; ++i) rhs += std::pow(x[i], weight) * y[i];
        row[static_cast<std::size_t>(m + 1)] = rhs;
    }
    const std::array<double, 9> solution = SolveNaturalOrder(rows, m + 1);
    for (int j = 0; j <= m; ++j)
        c[static_cast<std::size_t>(j)] = solution[static_cast<std::size_t>(j)];
    return AreaFitQuality(c, x, y, n, m);
}

double FitAreaFunctionFixedLead(AreaCoefficients& c, const double* x, const double* y, int n, int m,
                                double c0) {
    // Unknowns c_1..c_m sit in columns 0..m-1.
    std::array<Row, 9> rows{};
    for (int l = 1; l <= m; ++l) {
        const double el = TermExponent(l);
        Row& row = rows[static_cast<std::size_t>(l - 1)];
        for (int j = 1; j <= m; ++j)
            row[static_cast<std::size_t>(j - 1)] = PowerSum(x, n, TermExponent(j) + el);
        double rhs = 0;
        for (int i = 0; i < n; ++i) rhs += std::pow(x[i], el) * y[i] - c0 * std::pow(x[i], 2 + el);
        row[static_cast<std::size_t>(m)] = rhs;
    }
    const std::array<double, 9> solution = SolveNaturalOrder(rows, m);
    c[0] = c0;
    for (int j = 1; j <= m; ++j) {
        c[static_cast<std::size_t>(j)] = solution[static_cast<std::size_t>(j - 1)];
    }
    return AreaFitQuality(c, x, y, n, m);
}

double CalibrationReducedModulus(float sampleModulus, float samplePoisson, float indenterModulus,
                                 float indenterPoisson) {
    const long double nus = samplePoisson, es = sampleModulus;
    const long double nui = indenterPoisson, ei = indenterModulus;
    const long double er = 1.0L / ((1.0L - nus * nus) / es + (1.0L - nui * nui) / ei);
    return static_cast<double>(er / 1000000.0L);
}

AreaFunctionCalibrationResult FitAreaFunctionPoints(std::vector<double> hc, std::vector<double> ap,
                                                    const AreaFunctionSettings& settings) {
    AreaFunctionCalibrationResult r;
    r.hc = std::move(hc);
    r.ap = std::move(ap);
    const int terms = settings.m_nFunctionTerms;
    if (terms < 1 || terms > 9) {
        r.status = Status::Error("The number of function terms must be between 1 and 9.",
                                 ErrorCode::BadValue);
        return r;
    }
    const int n = static_cast<int>(r.hc.size());
    const int m = terms - 1;
    const bool fixLead = settings.m_bFixLeadingTerm != 0;
    const int unknowns = fixLead ? m : terms;
    const int needed = unknowns < 2 ? 2 : unknowns;
    if (n < needed) {
        r.status = Status::Error("Fitting " + FormatInt(terms) + (terms == 1 ? " term" : " terms") +
                                     (fixLead ? " with the leading term fixed" : "") +
                                     " needs at least " + FormatInt(needed) + " usable curves; " +
                                     FormatInt(n) + (n == 1 ? " is" : " are") + " usable.",
                                 ErrorCode::BadValue);
        return r;
    }
    if (DistinctCount(r.hc) < unknowns) {
        r.status = Status::Error(
            "The equations of the area-function fit are singular: the curves have only " +
                FormatInt(DistinctCount(r.hc)) + " different contact depths for " +
                FormatInt(unknowns) +
                " free terms. Use indents of different maximum force "
                "or fewer function terms.",
            ErrorCode::NoResult);
        return r;
    }
    AreaCoefficients c{};
    const double quality =
        fixLead ? FitAreaFunctionFixedLead(c, r.hc.data(), r.ap.data(), n, m, settings.m_dApCoef[0])
                : FitAreaFunction(c, r.hc.data(), r.ap.data(), n, m);
    for (double v : c) {
        if (!std::isfinite(v)) {
            r.status = Status::Error(
                "The equations of the area-function fit are singular (" + FormatInt(terms) +
                    (terms == 1 ? " term" : " terms") +
                    " cannot be told apart on these contact depths). Use indents over a wider "
                    "range of depths or fewer function terms.",
                ErrorCode::NoResult);
            return r;
        }
    }
    if (!std::isfinite(quality)) {
        r.status = Status::Error(
            "The fitted area function describes the contact areas worse than their mean "
            "does, so the fit quality is undefined. Use more curves, a wider range of "
            "depths or fewer function terms.",
            ErrorCode::NoResult);
        return r;
    }
    r.apCoef = c;
    r.rSquared = quality;
    r.status = {};
    return r;
}

AreaFunctionCalibrationResult CalibrateAreaFunction(CCurveAnalyzer& analyzer,
                                                    const AreaFunctionSettings& settings,
                                                    const CalibrationProgress& progress) {
    AreaFunctionCalibrationResult r;
    if (settings.m_nFunctionTerms < 1 || settings.m_nFunctionTerms > 9) {
        r.status = Status::Error("The number of function terms must be between 1 and 9.",
                                 ErrorCode::BadValue);
        return r;
    }
    if (std::string count = CheckCalibrationFileCount(analyzer.m_nFileCount); !count.empty()) {
        r.status = Status::Error(std::move(count), ErrorCode::BadValue);
        return r;
    }
    r.reducedModulus =
        CalibrationReducedModulus(settings.m_fSampleModulus, settings.m_fSamplePoisson,
                                  settings.m_fIndenterModulus, settings.m_fIndenterPoisson);
    if (!(r.reducedModulus > 0) || !std::isfinite(r.reducedModulus)) {
        r.status = Status::Error(
            "The sample and indenter constants give no positive reduced modulus; check "
            "the moduli and Poisson's ratios.",
            ErrorCode::BadValue);
        return r;
    }

    CalibrationCurves analysed = AnalyzeCalibrationCurves(
        analyzer, UnloadMethodOf(settings, settings.m_fFrameCompliance), progress);
    if (analysed.cancelled) {
        r.status = Status::Error("The calibration was cancelled; the area function is unchanged.",
                                 ErrorCode::Cancelled);
        return r;
    }
    const double twoEr = 2 * r.reducedModulus;
    std::vector<double> hc, ap;
    std::vector<CalibrationCurve> used;
    for (const CalibrationCurve& c : analysed.curves) {
        if (!(c.hc > 0)) {
            // The fractional powers of the area function have no value there.
            analysed.leftOut.push_back({c.file, c.file.string() + ": contact depth " +
                                                    FormatSignificant(c.hc, 7) +
                                                    " nm is not above zero"});
            continue;
        }
        used.push_back(c);
        hc.push_back(c.hc);
        ap.push_back(constants::kPiTenDigits * c.stiffness * c.stiffness / (twoEr * twoEr));
    }
    const double er = r.reducedModulus;
    r = FitAreaFunctionPoints(std::move(hc), std::move(ap), settings);
    r.reducedModulus = er;
    r.curves = std::move(used);
    r.leftOut = std::move(analysed.leftOut);
    r.note = DescribeLeftOut(r.leftOut);
    return r;
}

}  // namespace marvek
