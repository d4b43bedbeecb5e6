#include "core/phases/distribution.h"

#include <algorithm>
#include <cmath>

namespace marvek::phases {

namespace {

// Linear interpolation between the order statistics (the usual sample quantile, R's type 7).
double Quantile(const std::vector<double>& sorted, double p) {
    const double at = p * static_cast<double>(sorted.size() - 1);
    const auto i = static_cast<std::size_t>(at);
    if (i + 1 >= sorted.size()) return sorted.back();
    return sorted[i] + (at - static_cast<double>(i)) * (sorted[i + 1] - sorted[i]);
}

}  // namespace

Histogram MakeHistogram(const std::vector<double>& values, int maxBins) {
    Histogram h;
    std::vector<double> v;
    for (double x : values)
        if (std::isfinite(x)) v.push_back(x);
    if (v.empty()) {
        h.status = Status::Error("no value to count", ErrorCode::NoResult);
        return h;
    }
    std::sort(v.begin(), v.end());
    const double n = static_cast<double>(v.size());
    h.samples = static_cast<int>(v.size());
    const double lo = v.front(), hi = v.back();
    if (!(hi > lo)) {
        h.width = lo != 0 ? 0.1 * std::abs(lo) : 1.0;
        h.start = lo - h.width / 2;
        h.counts = {h.samples};
        return h;
    }
    const int sturges = 1 + static_cast<int>(std::ceil(std::log2(n)));
    const double iqr = Quantile(v, 0.75) - Quantile(v, 0.25);
    int bins = std::max(sturges, static_cast<int>(std::ceil(2 * std::sqrt(n))));
    if (iqr > 0) {
        const double fd = 2 * iqr / std::cbrt(n);
        bins = std::max(bins, static_cast<int>(std::ceil((hi - lo) / fd)));
    }
    bins = std::clamp(bins, 1, std::max(1, maxBins));
    h.start = lo;
    h.width = (hi - lo) / bins;
    h.counts.assign(static_cast<std::size_t>(bins), 0);
    for (double x : v) {
        const int b = std::clamp(static_cast<int>((x - lo) / h.width), 0, bins - 1);
        ++h.counts[static_cast<std::size_t>(b)];
    }
    return h;
}

PhaseCurves MixtureCurves(const MixtureFit& fit, int column, double lo, double hi, int points,
                          double scale) {
    PhaseCurves c;
    if (fit.phases.empty() || column < 0 || column >= fit.dimensions || points < 2 || !(hi > lo))
        return c;
    const double invSqrt2Pi = 1.0 / std::sqrt(2.0 * 3.14159265358979323846);
    c.x.resize(static_cast<std::size_t>(points));
    for (int i = 0; i < points; ++i)
        c.x[static_cast<std::size_t>(i)] = lo + (hi - lo) * i / (points - 1);
    c.total.assign(c.x.size(), 0.0);
    for (const Phase& p : fit.phases) {
        const double mean = p.mean[static_cast<std::size_t>(column)];
        const double sd = p.sd[static_cast<std::size_t>(column)];
        std::vector<double> y(c.x.size(), 0.0);
        if (sd > 0)
            for (std::size_t i = 0; i < c.x.size(); ++i) {
                const double z = (c.x[i] - mean) / sd;
                y[i] = scale * p.weight * invSqrt2Pi / sd * std::exp(-0.5 * z * z);
                c.total[i] += y[i];
            }
        c.phase.push_back(std::move(y));
    }
    return c;
}

}  // namespace marvek::phases
