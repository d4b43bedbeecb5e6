#pragma once
// The median and the median absolute deviation of a window of values that moves along a curve.
// Kept sorted, a window moved by a few values costs a few insertions instead of two selections
// over all of it: the pop-in detector takes both every fourth step, and the selections were as
// costly as the unload analysis of the curve. Both give the very values of a selection: the
// middle value, or the mean of the two middle values (lower + upper) for an even count.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <span>
#include <vector>

#include "core/popins/popins.h"

namespace marvek::popins {

// The noise-adaptive detector of FindBursts with its baseline taken by two selections over the
// whole window at every update, as first written: the reference the tests hold the sorted
// window to.
std::vector<Popin> FindAdaptiveBurstsBySelection(std::span<const double> depth,
                                                 std::span<const double> load,
                                                 const PopinSettings& settings);

class SortedWindow {
public:
    void Clear() {
        sorted_.clear();
        unordered_ = 0;
    }
    void Add(double v) {
        if (std::isnan(v)) {
            ++unordered_;
            return;
        }
        sorted_.insert(sorted_.begin() + static_cast<std::ptrdiff_t>(CountUpTo(v)), v);
    }
    // Removes one value equal to `v` (one that was added).
    void Remove(double v) {
        if (std::isnan(v)) {
            --unordered_;
            return;
        }
        const auto at = sorted_.begin() + static_cast<std::ptrdiff_t>(CountBelow(v));
        if (at != sorted_.end() && *at == v) sorted_.erase(at);
    }
    // Remove(out) then Add(in), moving only the values between the two places.
    void Replace(double out, double in) {
        if (std::isnan(out) || std::isnan(in) || sorted_.empty()) {
            Remove(out);
            Add(in);
            return;
        }
        std::size_t at = CountBelow(out);
        if (at == sorted_.size() || sorted_[at] != out) {  // not in the window: nothing leaves
            Add(in);
            return;
        }
        sorted_[at] = in;
        for (; at > 0 && sorted_[at - 1] > in; --at) sorted_[at] = sorted_[at - 1];
        for (; at + 1 < sorted_.size() && sorted_[at + 1] < in; ++at) sorted_[at] = sorted_[at + 1];
        sorted_[at] = in;
    }
    // False when a NaN was added: values without an order have no defined median here.
    bool Ordered() const { return unordered_ == 0; }
    bool empty() const { return sorted_.empty(); }

    double Median() const {
        const std::size_t n = sorted_.size();
        if (n == 0) return std::numeric_limits<double>::quiet_NaN();
        const std::size_t mid = n / 2;
        double m = sorted_[mid];
        if (n % 2 == 0) m = (m + sorted_[mid - 1]) / 2;
        return m;
    }

    // Median of |v - center| over the window. The deviations grow outwards from `center` on
    // both sides, so the middle ones are found by merging the two sides from there.
    double MedianDeviation(double center) const {
        const std::size_t n = sorted_.size();
        if (n == 0) return std::numeric_limits<double>::quiet_NaN();
        const std::size_t k = n / 2;
        std::size_t right = CountBelow(center);
        std::size_t left = right;  // the next one below is left - 1
        double previous = 0, current = 0;
        for (std::size_t taken = 0; taken <= k; ++taken) {
            previous = current;
            const double below = left > 0 ? std::abs(sorted_[left - 1] - center)
                                          : std::numeric_limits<double>::infinity();
            const double above = right < n ? std::abs(sorted_[right] - center)
                                           : std::numeric_limits<double>::infinity();
            if (right >= n || (left > 0 && below <= above)) {
                current = below;
                --left;
            } else {
                current = above;
                ++right;
            }
        }
        return n % 2 == 0 ? (current + previous) / 2 : current;
    }

private:
    // Positions by counting rather than by a binary search: a window of tens of values is
    // counted without a branch, where a search mispredicts at every level.
    std::size_t CountBelow(double v) const {
        std::size_t n = 0;
        for (double x : sorted_) n += x < v ? 1 : 0;
        return n;
    }
    std::size_t CountUpTo(double v) const {
        std::size_t n = 0;
        for (double x : sorted_) n += x <= v ? 1 : 0;
        return n;
    }

    std::vector<double> sorted_;
    std::size_t unordered_ = 0;
};

}  // namespace marvek::popins
