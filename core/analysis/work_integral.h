#pragma once
// The one integral of force over depth (the work of indentation), with the integration rule
// named by the caller.

#include <cstddef>
#include <span>

namespace marvek {

enum class WorkRule {
    // F at the step's end times the step: the segment energies of the results table (loading,
    // unloading, reloading, in uJ) have always been summed so, and stored results and the
    // reference tests pin them to the last bit.
    RightRectangles,
    // Mean of the step's two forces times the step: second-order accurate, used for the
    // instrumented-indentation work W = integral of F dh (ISO 14577-1, 4.6), where the
    // rectangles' first-order error (half a step's force change per step) would bias eta(IT).
    Trapezoids,
};

// Sum over the steps i-1 -> i, i in (first, last], for which keep(i) holds, of
// (h[i] - h[i-1]) * F * termScale, in nm*mN times termScale; the scale is applied to each term
// (as the segment energies always were), not to the sum.
template <class Keep>
double WorkIntegral(std::span<const double> depth, std::span<const double> load, int first,
                    int last, WorkRule rule, double termScale, Keep keep) {
    double sum = 0;
    for (int i = first + 1; i <= last; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (!keep(k)) continue;
        const double dh = depth[k] - depth[k - 1];
        if (rule == WorkRule::RightRectangles)
            sum += dh * load[k] * termScale;
        else
            sum += dh * (load[k] + load[k - 1]) / 2 * termScale;
    }
    return sum;
}

inline double WorkIntegral(std::span<const double> depth, std::span<const double> load, int first,
                           int last, WorkRule rule) {
    return WorkIntegral(depth, load, first, last, rule, 1.0, [](std::size_t) { return true; });
}

}  // namespace marvek
