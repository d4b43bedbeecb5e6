#pragma once
// Several curves drawn together, and their mean curve with its ±SD band.
//
// Branches. A curve's loading branch runs from its first point to its first point of largest
// depth (a creep hold at the top load belongs to it); its unloading branch runs from there to
// the first point whose load is within 1 % of the load drop (largest load less the smallest
// after the deepest point) of that smallest load: the tip leaving the surface often goes on
// recording at zero load, and such a tail is no part of the unloading. A curve without points
// after its deepest one has no unloading branch.
//
// Grid and resampling. Both branches are resampled by depth onto one common grid: `gridPoints`
// depths evenly from 0 to the largest depth of all curves (1 when normalised). At a grid depth
// g a branch gives the load linearly interpolated on its first segment that brackets g,
// walking the loading branch from its start and the unloading branch from its deepest point
// (so a noisy, not strictly monotonic branch still gives one value: where it first reaches g).
// A grid depth outside a branch's range of depths gives nothing: that curve is not counted
// there. n is the number of curves counted at each grid depth; the mean is their plain mean,
// the SD the sample SD (n - 1). n = 0 gives a NaN mean, n < 2 a NaN SD.
//
// Normalised: each curve's depths divided by its own largest depth (hmax) and its loads by its
// own largest load (Fmax) before anything else, so the curves of different peak loads share
// one shape.

#include <string>
#include <vector>

#include "core/config/settings.h"
#include "core/io/parsed_curve.h"

namespace marvek {

struct OverlayCurve {
    std::string label;                // the curve's address
    std::vector<double> depth, load;  // nm, mN (as analysed: compliance, drift, zero point)
};

struct OverlaySettings {
    bool normalise = false;
    int gridPoints = 101;  // at least 2
};

// One branch's mean curve on the grid.
struct OverlayBranch {
    std::vector<double> mean, sd;  // per grid depth; NaN where n is too small
    std::vector<int> n;
};

struct OverlayResult {
    std::vector<double> grid;  // depths (nm, or depth/hmax when normalised)
    OverlayBranch loading, unloading;
    // The curves as drawn (normalised when asked); a curve that cannot be used (no points, a
    // largest depth or load that is not positive when normalising) is left out here and named
    // in `skipped` with the reason.
    std::vector<OverlayCurve> curves;
    std::vector<std::string> skipped;
    // Why there is no mean at all (no usable curve); empty otherwise.
    std::string reason;
};

OverlayResult ComputeOverlay(const std::vector<OverlayCurve>& curves,
                             const OverlaySettings& settings);

// The CSV of an overlay: one row per grid depth with n, mean and SD of both branches (empty
// fields where there is no value), after a header naming the units.
std::string FormatOverlayCsv(const OverlayResult& overlay, bool normalised);

// Reads and corrects each address as the analysis does (compliance, drift, zero point of
// `settings`), with the columns and units of `read`; a curve that cannot be read is named in
// `failures` ("FILE: reason").
std::vector<OverlayCurve> ReadOverlayCurves(const std::vector<std::string>& addresses,
                                            const Settings& settings,
                                            std::vector<std::string>& failures,
                                            const io::ReadOptions& read = {});

}  // namespace marvek
