#pragma once
// Straight-line fits over windows sliding along one branch of a curve, for the graininess
// graphs. The whole run is linear in the branch length: each window's sums are updated from
// the previous window's instead of being summed afresh.

#include <cstddef>
#include <vector>

namespace marvek {

struct WindowFit {
    double meanDepth;  // sum of the window's depths / point count, nm
    double slope;      // dF/dh of the least-squares line, mN/nm
};

struct SlidingWindowPlan {
    int firstStart = 0;             // index of the first window's first point
    int endTrim = 0;                // points cut from the end of every window
    float sectionSizePercent = 10;  // window length, % of the branch's point count
};

// Windows start at j = firstStart, firstStart + 1, ... while j < n * (100 - S) / 100 and cover
// points j .. end - 1 with end = trunc(j + n * S / 100) - endTrim. A window without points
// gives NaN for both values. At most maxWindows windows are formed; `capped` says whether the
// rule asked for more.
std::vector<WindowFit> FitSlidingWindows(const double* depth, const double* load, int n,
                                         const SlidingWindowPlan& plan, std::size_t maxWindows,
                                         bool* capped = nullptr);

}  // namespace marvek
