#include "iso_quantities.h"

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include "core/analysis/curve_analyzer.h"
#include "core/analysis/fitting.h"
#include "core/analysis/work_integral.h"
#include "core/platform/large_blocks.h"

namespace marvek {

namespace {

constexpr double kNmMnToNj = 1e-3;  // 1 nm * 1 mN = 1e-12 J = 1e-3 nJ

Quantity Absent(std::string reason) {
    Quantity q;
    q.reason = std::move(reason);
    return q;
}

Quantity Present(double v, const char* ifNotFinite) {
    if (std::isfinite(v)) return Quantity{v, {}};
    return Absent(ifNotFinite);
}

char Code(const CurveView& c, std::size_t i) { return i < c.segment.size() ? c.segment[i] : 'X'; }

// Integral of F dh over points [first, last] by trapezoids, nm*mN.
double Work(const CurveView& c, int first, int last) {
    return WorkIntegral(c.depth, c.load, first, last, WorkRule::Trapezoids);
}

}  // namespace

CurveView ViewOfCurve(const CCurveAnalyzer& a) {
    const auto n = static_cast<std::size_t>(std::max(a.m_nPoints, 0));
    return {{a.m_pDepth.data(), n},
            {a.m_pLoad.data(), n},
            {a.m_pTime.data(), n},
            {a.m_pSegment.data(), n}};
}

namespace {

// The first point of the run of `code` that ends at point i.
int RunStart(const CurveView& c, int i, char code) {
    while (i > 0 && Code(c, static_cast<std::size_t>(i - 1)) == code) --i;
    return i;
}

// No unloading label: split at the first largest load and the first smallest after it.
CycleRanges SplitAtLargestLoad(const CurveView& c, int n) {
    CycleRanges r;
    int peak = 0;
    for (int i = 1; i < n; ++i)
        if (c.load[static_cast<std::size_t>(i)] > c.load[static_cast<std::size_t>(peak)]) peak = i;
    int bottom = peak;
    for (int i = peak; i < n; ++i)
        if (c.load[static_cast<std::size_t>(i)] < c.load[static_cast<std::size_t>(bottom)])
            bottom = i;
    r.loadStart = 0;
    if (bottom > peak) {
        r.unloadStart = peak + 1;
        r.unloadEnd = bottom;
    }
    return r;
}

// The unloading from the top, first and last point: the last run of 'U' (ending at `last`) not
// preceded by a bottom hold (the unloading after a drift hold at low load belongs to the run
// before it).
std::pair<int, int> UnloadingFromTop(const CurveView& c, int last) {
    int start = RunStart(c, last, 'U'), end = last;
    while (start > 0 && Code(c, static_cast<std::size_t>(start - 1)) == 'B') {
        int j = start - 1;
        while (j >= 0 && Code(c, static_cast<std::size_t>(j)) != 'U') --j;
        if (j < 0) break;
        end = j;
        start = RunStart(c, j, 'U');
    }
    return {start, end};
}

}  // namespace

CycleRanges FindLastCycle(const CurveView& c) {
    const int n = static_cast<int>(std::min(c.depth.size(), c.load.size()));
    if (n < 2) return {};
    int e = n - 1;
    while (e >= 0 && Code(c, static_cast<std::size_t>(e)) != 'U') --e;
    if (e < 0) return SplitAtLargestLoad(c, n);
    CycleRanges r;
    const auto [start, end] = UnloadingFromTop(c, e);
    r.unloadStart = start;
    // The unloading goes on through the holds and unloading that follow it.
    r.unloadEnd = end;
    while (r.unloadEnd + 1 < n) {
        const char code = Code(c, static_cast<std::size_t>(r.unloadEnd + 1));
        if (code != 'U' && code != 'B') break;
        ++r.unloadEnd;
    }
    int k = start;
    if (k > 0 && Code(c, static_cast<std::size_t>(k - 1)) == 'T') {
        r.holdEnd = k - 1;
        k = RunStart(c, k - 1, 'T');
        r.holdStart = k;
    }
    while (k > 0) {
        const char code = Code(c, static_cast<std::size_t>(k - 1));
        if (code != 'L' && code != 'R') break;
        --k;
    }
    // A single cycle is loaded from the first point, whatever the labels before its loading.
    bool earlierUnload = false;
    for (int i = 0; i < k && !earlierUnload; ++i)
        earlierUnload = Code(c, static_cast<std::size_t>(i)) == 'U';
    r.loadStart = earlierUnload ? k : 0;
    return r;
}

namespace {

// Work: loading (with the hold) up to the start of unloading, then the unloading itself.
void ComputeWork(const CurveView& c, const CycleRanges& r, IsoQuantities& q) {
    if (r.unloadStart < 1 || r.unloadEnd <= r.unloadStart) {
        for (Quantity* w : {&q.wTotal, &q.wElastic, &q.wPlastic, &q.etaIT})
            *w = Absent("the curve has no unloading branch");
        return;
    }
    const int top = r.unloadStart - 1;
    q.wTotal = Present(Work(c, r.loadStart, top) * kNmMnToNj, "the loading work is not finite");
    q.wElastic =
        Present(-Work(c, top, r.unloadEnd) * kNmMnToNj, "the unloading work is not finite");
    if (q.wTotal.present() && q.wElastic.present())
        q.wPlastic.value = q.wTotal.value - q.wElastic.value;
    else
        q.wPlastic = Absent("the loading or unloading work is absent");
    if (q.wTotal.present() && q.wElastic.present() && q.wTotal.value > 0)
        q.etaIT.value = q.wElastic.value / q.wTotal.value * 100;
    else
        q.etaIT = Absent("the loading work is not positive");
}

// Top hold: creep when the force is held, relaxation when the depth is.
void ComputeHold(const CurveView& c, const CycleRanges& r, const IsoOptions& options,
                 IsoQuantities& q) {
    if (r.holdStart < 0 || r.holdEnd <= r.holdStart) {
        q.cIT = q.holdTime = q.rIT = Absent("the curve has no top hold");
        return;
    }
    double fHold = -std::numeric_limits<double>::infinity();
    for (int i = r.holdStart; i <= r.holdEnd; ++i)
        fHold = std::max(fHold, c.load[static_cast<std::size_t>(i)]);
    // The hold proper: from the first to the last point within the hold band of its
    // largest load (a detected hold also holds the ends of loading and unloading).
    int first = r.holdStart, last = r.holdEnd;
    const double level = fHold - std::max(options.holdBand, 0.005 * fHold);
    while (first < r.holdEnd && c.load[static_cast<std::size_t>(first)] < level) ++first;
    while (last > first && c.load[static_cast<std::size_t>(last)] < level) --last;
    // Held force or held depth: whichever moves less, relatively, over the middle half.
    const auto a = static_cast<std::size_t>(first + (last - first) / 4);
    const auto b = static_cast<std::size_t>(last - (last - first) / 4);
    const bool forceHeld = std::fabs(c.load[b] - c.load[a]) / std::fabs(c.load[a]) <=
                           std::fabs(c.depth[b] - c.depth[a]) / std::fabs(c.depth[a]);
    const auto i1 = static_cast<std::size_t>(first);
    // Creep ends with the last point at the hold force; relaxation with the hold.
    const auto i2 = static_cast<std::size_t>(forceHeld ? last : r.holdEnd);
    const double h1 = c.depth[i1], h2 = c.depth[i2];
    const double f1 = c.load[i1], f2 = c.load[i2];
    const bool timed = i2 < c.time.size() && c.time[i2] > c.time[i1];
    if (i2 <= i1) {
        q.cIT = q.holdTime = q.rIT = Absent("the top hold has fewer than two points at its load");
    } else if (forceHeld) {
        q.rIT = Absent("the top hold is at constant force");
        if (timed) {
            q.cIT = Present((h2 - h1) / h1 * 100, "the depth at the start of the hold is 0");
            q.holdTime.value = c.time[i2] - c.time[i1];
        } else {
            q.cIT = q.holdTime = Absent("the top hold has no time");
        }
    } else {
        q.cIT = q.holdTime = Absent("the top hold is at constant depth");
        q.rIT = Present((f1 - f2) / f1 * 100, "the force at the start of the hold is 0");
    }
}

// Martens hardness from the slope: h = a + s*sqrt(F) over 50-90 % of the largest load,
// on the loading up to the first point that reaches it.
void ComputeMartensSlope(const CurveView& c, const IsoOptions& options, IsoQuantities& q) {
    const int n = static_cast<int>(std::min(c.depth.size(), c.load.size()));
    double fMax = -std::numeric_limits<double>::infinity();
    int peak = 0;
    for (int i = 0; i < n; ++i)
        if (c.load[static_cast<std::size_t>(i)] > fMax)
            fMax = c.load[static_cast<std::size_t>(i)], peak = i;
    // Reserved once: no regrowth copies on 40000 points, and large blocks as huge pages.
    io::ZeroedVector<double> rootF, h;
    rootF.reserve(static_cast<std::size_t>(peak));
    h.reserve(static_cast<std::size_t>(peak));
    for (int i = 0; i < peak; ++i) {
        const double f = c.load[static_cast<std::size_t>(i)];
        if (f >= 0.5 * fMax && f <= 0.9 * fMax && f > 0) {
            rootF.push_back(std::sqrt(f));
            h.push_back(c.depth[static_cast<std::size_t>(i)]);
        }
    }
    if (rootF.size() < 3) {
        q.hMs = q.hMsR2 = Absent("fewer than 3 loading points between 50 and 90 % of Fmax");
        return;
    }
    if (!(options.surfaceCoefficient > 0)) {
        q.hMs = q.hMsR2 = Absent("the surface area function has no positive h^2 term");
        return;
    }
    const LineFit line = FitLine(rootF.data(), h.data(), static_cast<int>(rootF.size()));
    if (!(line.slope > 0)) {
        q.hMs = q.hMsR2 = Absent("depth does not rise with sqrt(F) on the loading");
        return;
    }
    // F = c*HM*h^2, so h rises by 1/sqrt(c*HM) per sqrt(mN); mN/nm^2 = 1e9 MPa.
    q.hMs = Present(1e9 / (options.surfaceCoefficient * line.slope * line.slope),
                    "the slope fit is not finite");
    q.hMsR2 = Present(line.rSquared, "the slope fit is not finite");
}

}  // namespace

IsoQuantities ComputeIsoQuantities(const CurveView& c, const IsoOptions& options) {
    IsoQuantities q;
    const CycleRanges r = FindLastCycle(c);
    ComputeWork(c, r, q);
    ComputeHold(c, r, options, q);
    ComputeMartensSlope(c, options, q);
    return q;
}

IsoQuantities ComputeIsoQuantities(const CCurveAnalyzer& analyzer, const Settings& settings) {
    IsoOptions options;
    options.surfaceCoefficient = settings.areaFunction.m_dAsCoef[0];
    options.holdBand = analyzer.m_dForceAccuracy;
    return ComputeIsoQuantities(ViewOfCurve(analyzer), options);
}

}  // namespace marvek
