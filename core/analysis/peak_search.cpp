#include "core/analysis/peak_search.h"

#include <cstddef>
#include <limits>

namespace marvek {

UnloadPeak FindUnloadPeak(std::span<const double> depth, std::span<const double> load) {
    UnloadPeak p;
    const std::size_t n = depth.size() < load.size() ? depth.size() : load.size();
    double best = -std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < n; ++i) {
        const double product = depth[i] * load[i];
        if (product > best) best = product, p.peak = static_cast<int>(i);
    }
    if (p.peak < 0) return p;
    p.bottom = p.peak;
    double least = std::numeric_limits<double>::infinity();
    for (std::size_t j = static_cast<std::size_t>(p.peak); j < n; ++j)
        if (load[j] < least) least = load[j], p.bottom = static_cast<int>(j);
    return p;
}

LoadWindow UnloadLoadWindow(std::span<const double> load, const UnloadPeak& p, float minPercent,
                            float maxPercent) {
    const double fPeak = load[static_cast<std::size_t>(p.peak)];
    const double fMin = load[static_cast<std::size_t>(p.bottom)];
    return {(fPeak - fMin) * minPercent / 100 + fMin, (fPeak - fMin) * maxPercent / 100 + fMin};
}

}  // namespace marvek
