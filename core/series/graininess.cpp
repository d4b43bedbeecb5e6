#include "core/series/graininess.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace marvek {

namespace {

// Below this many points a window is fitted directly, which is as cheap as sliding.
constexpr int kDirectFitBelow = 32;

// Two passes: the means first, then the sums of deviations from them (a one-point window has
// no spread and gives not a number, as any least-squares slope would).
WindowFit FitCentred(const double* depth, const double* load, int begin, int end) {
    const double k = end - begin;
    double sumX = 0, sumY = 0;
    for (int i = begin; i < end; ++i) sumX += depth[i], sumY += load[i];
    const double mx = sumX / k, my = sumY / k;
    double sxy = 0, sxx = 0;
    for (int i = begin; i < end; ++i) {
        sxy += (depth[i] - mx) * (load[i] - my);
        sxx += (depth[i] - mx) * (depth[i] - mx);
    }
    return {sumX / k, sxy / sxx};
}

// A running sum with Neumaier's compensation, so that a term added and later removed leaves
// no rounding residue behind.
class CompensatedSum {
public:
    void Reset() { sum_ = carry_ = 0; }
    void Add(double v) {
        const double t = sum_ + v;
        carry_ += std::fabs(sum_) >= std::fabs(v) ? (sum_ - t) + v : (v - t) + sum_;
        sum_ = t;
    }
    double Value() const { return sum_ + carry_; }

private:
    double sum_ = 0, carry_ = 0;
};

// Sums of one window, taken about a shift point near the window so the variance terms do not
// cancel against the square of the mean depth.
class WindowSums {
public:
    void Reset(const double* depth, const double* load, int begin, int end) {
        double meanX = 0, meanY = 0;
        for (int i = begin; i < end; ++i) meanX += depth[i], meanY += load[i];
        cx_ = meanX / (end - begin);
        cy_ = meanY / (end - begin);
        for (CompensatedSum* s : {&sx_, &sy_, &sxy_, &sxx_, &sumDepth_}) s->Reset();
        for (int i = begin; i < end; ++i) Add(depth[i], load[i], 1);
        begin_ = begin;
        end_ = end;
        updates_ = 0;
        valid_ = true;
    }

    // Moves the window to [begin, end); both ends only ever move forward.
    void Slide(const double* depth, const double* load, int begin, int end) {
        const int k = end - begin;
        // Start afresh now and then: the shift point should stay near the window.
        if (!valid_ || begin >= end_ || updates_ > std::max(4 * k, 64)) {
            Reset(depth, load, begin, end);
            return;
        }
        for (; end_ < end; ++end_, ++updates_) Add(depth[end_], load[end_], 1);
        for (; begin_ < begin; ++begin_, ++updates_) Add(depth[begin_], load[begin_], -1);
    }

    void Invalidate() { valid_ = false; }

    WindowFit Fit() const {
        const double k = end_ - begin_;
        const double sx = sx_.Value(), sy = sy_.Value();
        const double n = sxy_.Value() - sx * sy / k;
        const double var = sxx_.Value() - sx * sx / k;
        return {sumDepth_.Value() / k, n / var};
    }

private:
    void Add(double d, double f, double sign) {
        const double x = d - cx_, y = f - cy_;
        sx_.Add(sign * x);
        sy_.Add(sign * y);
        sxy_.Add(sign * (x * y));
        sxx_.Add(sign * (x * x));
        sumDepth_.Add(sign * d);
    }

    double cx_ = 0, cy_ = 0;
    CompensatedSum sx_, sy_, sxy_, sxx_, sumDepth_;
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
        windows.reserve(std::min(
            maxWindows, static_cast<std::size_t>(std::min(bound - plan.firstStart + 1, 1e9))));
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
            windows.push_back(FitCentred(depth, load, j, end));
            sums.Invalidate();
        } else {
            sums.Slide(depth, load, j, end);
            windows.push_back(sums.Fit());
        }
    }
    return windows;
}

}  // namespace marvek
