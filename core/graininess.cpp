#include "graininess.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "fitting.h"

namespace marvek {

namespace {

// Below this many points a window is fitted directly: cheap, and tiny windows then give
// exactly what a direct fit gives (one point: not a number).
constexpr int kDirectFitBelow = 32;

// Sums of one window, taken about a shift point near the window so the variance terms do not
// cancel against the square of the mean depth.
class WindowSums {
public:
    void Reset(const double* depth, const double* load, int begin, int end) {
        cx_ = depth[begin];
        cy_ = load[begin];
        sx_ = sy_ = sxy_ = sxx_ = sumDepth_ = 0;
        for (int i = begin; i < end; ++i) Add(depth[i], load[i]);
        begin_ = begin;
        end_ = end;
        updates_ = 0;
        valid_ = true;
    }

    // Moves the window to [begin, end); both ends only ever move forward.
    void Slide(const double* depth, const double* load, int begin, int end) {
        const int k = end - begin;
        if (!valid_ || begin >= end_ || updates_ > std::max(k, 64)) {
            Reset(depth, load, begin, end);
            return;
        }
        for (; end_ < end; ++end_, ++updates_) Add(depth[end_], load[end_]);
        for (; begin_ < begin; ++begin_, ++updates_) Remove(depth[begin_], load[begin_]);
    }

    void Invalidate() { valid_ = false; }

    WindowFit Fit() const {
        const double k = end_ - begin_;
        const double n = sxy_ - sx_ * sy_ / k;
        const double var = sxx_ - sx_ * sx_ / k;
        return {sumDepth_ / k, n / var};
    }

private:
    void Add(double d, double f) {
        const double x = d - cx_, y = f - cy_;
        sx_ += x;
        sy_ += y;
        sxy_ += x * y;
        sxx_ += x * x;
        sumDepth_ += d;
    }
    void Remove(double d, double f) {
        const double x = d - cx_, y = f - cy_;
        sx_ -= x;
        sy_ -= y;
        sxy_ -= x * y;
        sxx_ -= x * x;
        sumDepth_ -= d;
    }

    double cx_ = 0, cy_ = 0;
    double sx_ = 0, sy_ = 0, sxy_ = 0, sxx_ = 0, sumDepth_ = 0;
    int begin_ = 0, end_ = 0, updates_ = 0;
    bool valid_ = false;
};

}  // namespace

std::vector<WindowFit> FitSlidingWindows(const double* depth, const double* load, int n,
                                         const SlidingWindowPlan& plan, std::size_t maxWindows,
                                         bool* capped) {
    std::vector<WindowFit> windows;
    if (capped) *capped = false;
    const double s = plan.sectionSizePercent;
    const double bound = n * (100 - s) / 100;
    const double width = n * s / 100;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (bound > plan.firstStart)
        windows.reserve(std::min(maxWindows, static_cast<std::size_t>(
                                                 std::min(bound - plan.firstStart + 1, 1e9))));
    WindowSums sums;
    for (int j = plan.firstStart; j < bound; ++j) {
        if (windows.size() == maxWindows) {
            if (capped) *capped = true;
            break;
        }
        // Clamp before converting: a huge or negative section size must not overflow the index.
        const double endValue = std::trunc(j + width) - plan.endTrim;
        const int end = endValue >= n ? n : endValue > j ? static_cast<int>(endValue) : j;
        const int k = end - j;
        if (k <= 0) {
            windows.push_back({nan, nan});
            sums.Invalidate();
        } else if (k < kDirectFitBelow) {
            double sum = 0;
            for (int i = j; i < end; ++i) sum += depth[i];
            windows.push_back({sum / k, FitLine(depth + j, load + j, k).slope});
            sums.Invalidate();
        } else {
            sums.Slide(depth, load, j, end);
            windows.push_back(sums.Fit());
        }
    }
    return windows;
}

}  // namespace marvek
