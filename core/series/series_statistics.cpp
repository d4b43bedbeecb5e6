// Summary statistics of a series and the Student t quantile of its confidence interval.

#include <algorithm>
#include <cmath>

#include "series.h"

namespace marvek {

namespace {

// Continued fraction of the regularized incomplete beta function (modified Lentz).
double BetaContinuedFraction(double a, double b, double x) {
    constexpr double kTiny = 1e-300;
    constexpr double kEps = 1e-16;
    const double qab = a + b, qap = a + 1, qam = a - 1;
    double c = 1, d = 1 - qab * x / qap;
    if (std::fabs(d) < kTiny) d = kTiny;
    d = 1 / d;
    double h = d;
    for (int m = 1; m <= 10000; ++m) {
        const double m2 = 2.0 * m;
        double aa = m * (b - m) * x / ((qam + m2) * (a + m2));
        d = 1 + aa * d;
        if (std::fabs(d) < kTiny) d = kTiny;
        c = 1 + aa / c;
        if (std::fabs(c) < kTiny) c = kTiny;
        d = 1 / d;
        h *= d * c;
        aa = -(a + m) * (qab + m) * x / ((a + m2) * (qap + m2));
        d = 1 + aa * d;
        if (std::fabs(d) < kTiny) d = kTiny;
        c = 1 + aa / c;
        if (std::fabs(c) < kTiny) c = kTiny;
        d = 1 / d;
        const double del = d * c;
        h *= del;
        if (std::fabs(del - 1) < kEps) break;
    }
    return h;
}

// I_x(a, b).
double RegularizedIncompleteBeta(double a, double b, double x) {
    if (x <= 0) return 0;
    if (x >= 1) return 1;
    const double lnFront =
        std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) + a * std::log(x) + b * std::log1p(-x);
    const double front = std::exp(lnFront);
    if (x < (a + 1) / (a + b + 2)) return front * BetaContinuedFraction(a, b, x) / a;
    return 1 - front * BetaContinuedFraction(b, a, 1 - x) / b;
}

// P(T <= t) for t >= 0.
double StudentTCdfPositive(double t, double dof) {
    const double x = dof / (dof + t * t);
    return 1 - 0.5 * RegularizedIncompleteBeta(dof / 2, 0.5, x);
}

double Median(std::vector<double>& sorted) {
    const std::size_t n = sorted.size();
    return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

}  // namespace

double StudentTQuantile(double p, double dof) {
    if (!(p > 0 && p < 1) || !(dof > 0)) return std::numeric_limits<double>::quiet_NaN();
    if (p < 0.5) return -StudentTQuantile(1 - p, dof);
    if (p == 0.5) return 0;
    double hi = 1;
    while (StudentTCdfPositive(hi, dof) < p && hi < 1e300) hi *= 2;
    double lo = 0;
    // Bisection to the resolution of doubles: the cdf is monotonic, so this cannot go astray.
    for (int k = 0; k < 2000; ++k) {
        const double mid = lo + (hi - lo) / 2;
        if (mid <= lo || mid >= hi) break;
        (StudentTCdfPositive(mid, dof) < p ? lo : hi) = mid;
    }
    return lo + (hi - lo) / 2;
}

QuantityStatistics ComputeStatistics(std::vector<double> values) {
    std::erase_if(values, [](double v) { return !std::isfinite(v); });
    QuantityStatistics s;
    s.n = values.size();
    if (s.n == 0) return s;
    const double n = static_cast<double>(s.n);
    double sum = 0;
    for (double v : values) sum += v;
    s.mean = sum / n;
    std::sort(values.begin(), values.end());
    s.min = values.front();
    s.max = values.back();
    s.median = Median(values);
    if (s.n < 2) return s;
    double squares = 0;
    for (double v : values) squares += (v - s.mean) * (v - s.mean);
    s.sd = std::sqrt(squares / (n - 1));
    s.cov = s.mean != 0 ? 100 * s.sd / std::fabs(s.mean) : std::numeric_limits<double>::quiet_NaN();
    s.se = s.sd / std::sqrt(n);
    const double t = StudentTQuantile(0.975, n - 1);
    s.ciLow = s.mean - t * s.se;
    s.ciHigh = s.mean + t * s.se;
    return s;
}

const std::vector<StatisticRow>& StatisticRows() {
    static const std::vector<StatisticRow> rows = {
        {"n", [](const QuantityStatistics& s) { return static_cast<double>(s.n); }},
        {"mean", [](const QuantityStatistics& s) { return s.mean; }},
        {"sd", [](const QuantityStatistics& s) { return s.sd; }},
        {"cov [%]", [](const QuantityStatistics& s) { return s.cov; }},
        {"se", [](const QuantityStatistics& s) { return s.se; }},
        {"ci95 low", [](const QuantityStatistics& s) { return s.ciLow; }},
        {"ci95 high", [](const QuantityStatistics& s) { return s.ciHigh; }},
        {"median", [](const QuantityStatistics& s) { return s.median; }},
        {"min", [](const QuantityStatistics& s) { return s.min; }},
        {"max", [](const QuantityStatistics& s) { return s.max; }},
    };
    return rows;
}

}  // namespace marvek
