#pragma once
// The one search for the top of the unloading, shared by the analysis, the uncertainty re-fits
// and the series flags, so that all three cut the same points from a curve.

#include <span>

namespace marvek {

struct UnloadPeak {
    int peak = -1;    // the first point of largest depth x load; -1 without points
    int bottom = -1;  // the first point of least load from the peak on
    bool found() const { return peak >= 0; }
};

// Depth x load rather than load alone: a load-controlled hold ends at its deepest point, where
// the unloading starts (Oliver & Pharr, J. Mater. Res. 7 (1992) 1564). Points whose product or
// load is NaN are never chosen; the first of equal values wins.
UnloadPeak FindUnloadPeak(std::span<const double> depth, std::span<const double> load);

// The loads bounding the fit window [minPercent, maxPercent] of the force range from the bottom
// to the peak; the window is read on [peak, bottom), bounds inclusive.
struct LoadWindow {
    double low, high;
    bool Holds(double f) const { return low <= f && f <= high; }
};
LoadWindow UnloadLoadWindow(std::span<const double> load, const UnloadPeak& p, float minPercent,
                            float maxPercent);

}  // namespace marvek
