#include "core/popins/popins.h"
#include "core/popins/sorted_window.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/analysis/fitting.h"

namespace marvek::popins {

namespace {

// Boltzmann's constant, J/K (exact since the 2019 SI redefinition, CODATA 2018).
constexpr double kBoltzmann = 1.380649e-23;
// Er in mN/nm^2 is GPa·1e-6 (1 GPa = 1e9 N/m^2 = 1e12 mN / 1e18 nm^2).
constexpr double kMNPerNm2PerGPa = 1e-6;
// Johnson (1985): the maximum shear stress under a sphere is 0.31 p0, p0 = (6 P Er^2/(pi^3
// R^2))^(1/3).
constexpr double kShearFactor = 0.31;

// The median of v, reordering it (no copy: the detector takes one per sample).
double MedianInPlace(std::vector<double>& v) {
    if (v.empty()) return kNaN;
    const std::size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(mid), v.end());
    double m = v[mid];
    if (v.size() % 2 == 0) m = (m + *std::max_element(v.begin(), v.begin() + mid)) / 2;
    return m;
}

double Median(std::vector<double> v) { return MedianInPlace(v); }

// Noise of single samples from second differences (sd of h[j+1] - 2h[j] + h[j-1] is sqrt(6)σ
// for white noise; a smooth loading curve contributes almost nothing).
double SampleNoise(std::span<const double> v, std::size_t end) {
    if (end < 2) return 0;
    std::vector<double> d2;
    d2.reserve(end - 1);
    for (std::size_t j = 1; j < end; ++j) d2.push_back(v[j + 1] - 2 * v[j] + v[j - 1]);
    std::vector<double> absd(d2.size());
    for (std::size_t k = 0; k < d2.size(); ++k) absd[k] = std::abs(d2[k]);
    return 1.4826 * Median(std::move(absd)) / std::sqrt(6.0);
}

std::size_t MaxLoadIndex(std::span<const double> load, std::size_t n) {
    std::size_t best = 0;
    for (std::size_t k = 1; k < n; ++k)
        if (load[k] > load[best]) best = k;
    return best;
}

std::vector<Popin> ThresholdBursts(std::span<const double> h, std::span<const double> p,
                                   std::size_t imax, double minJump, double minLoad) {
    std::vector<Popin> out;
    for (std::size_t i = 0; i < imax; ++i) {
        if (!(p[i] >= minLoad && h[i + 1] - h[i] >= minJump)) continue;
        std::size_t j = i + 1;
        while (j < imax && h[j + 1] - h[j] >= minJump) ++j;
        out.push_back({p[i], h[i], h[j] - h[i], i, j});
        i = j - 1;  // the step from j is below the jump
    }
    return out;
}

// The noise-adaptive detector. Each depth step is compared with the loading's own progression
// just before it: the median of the last `window` ordinary steps (base) and their spread, never
// below the curve's overall step noise. A burst starts where one step, or the depth gained over
// 2, 4 or 8 samples (a burst spread over several samples at a high sampling rate), exceeds that
// progression by noiseFactor standard deviations of a step; it runs while the following steps
// stay clearly above the progression. It is kept only when
//  - the load is nearly constant over it: it gains at most 15 % (the settling of the first
//    contact is no pop-in), and three quarters of the excursion are not explained by the load
//    gained on the loading's local slope dP/dh (this rules out faster loading),
//  - the depth stays there: the median of the three samples after it keeps at least half the
//    excursion (a single noisy sample that comes back is no pop-in),
//  - the load is above five times its own noise (no "bursts" before contact).
// The width is the excursion less what the load gained over the burst accounts for on that
// slope, so that a burst between two samples of a steady ramp is not counted one step wide.
// A rate criterion on a running median and MAD is used rather than a fixed jump because real
// curves have depth noise from a fraction of a nanometre to several (near first contact) and
// steps that grow tenfold over a constant-strain-rate loading.
std::vector<Popin> AdaptiveBursts(std::span<const double> h, std::span<const double> p,
                                  std::size_t imax, const PopinSettings& s, bool sortedWindow) {
    std::vector<Popin> out;
    constexpr std::size_t kHistory = 8;
    if (imax < kHistory + 2) return out;
    const std::size_t window = static_cast<std::size_t>(std::max(s.window, 8));
    const double k = s.noiseFactor > 0 ? s.noiseFactor : 6.0;
    const double stepNoise = std::sqrt(2.0) * SampleNoise(h, imax);
    const double loadNoise = SampleNoise(p, imax);
    std::vector<std::size_t> ordinary;
    for (std::size_t j = 0; j < kHistory; ++j) ordinary.push_back(j);
    std::vector<double> dh, deviation, ends, after;
    // The depth steps of ordinary[windowFrom, windowTo), sorted.
    SortedWindow steps;
    std::size_t windowFrom = 0, windowTo = 0;
    auto step = [&](std::size_t q) { return h[ordinary[q] + 1] - h[ordinary[q]]; };
    double peak = -INFINITY;  // the highest load up to sample i
    std::size_t reached = 0;
    std::size_t known = 0;  // ordinary steps when base and sigma were taken
    double base = 0, sigma = 0;
    for (std::size_t i = kHistory; i < imax;) {
        if (ordinary.size() < kHistory) break;
        const std::size_t from = ordinary.size() > window ? ordinary.size() - window : 0;
        while (reached <= i) peak = std::max(peak, p[reached++]);
        // The baseline moves slowly: it is taken again after every fourth ordinary step (and
        // after a burst), which halves the detector's time.
        if (ordinary.size() < known || ordinary.size() >= known + 4) {
            known = ordinary.size();
            // The window moves on: the steps that left it out, the new ones in.
            if (from >= windowTo) {
                steps.Clear();
                windowTo = from;
            } else {
                // Steps leaving and joining in pairs, then what is left of either.
                std::size_t leaving = windowFrom, joining = windowTo;
                for (; leaving < from && joining < ordinary.size(); ++leaving, ++joining)
                    steps.Replace(step(leaving), step(joining));
                for (; leaving < from; ++leaving) steps.Remove(step(leaving));
                windowTo = joining;
            }
            for (std::size_t q = windowTo; q < ordinary.size(); ++q) steps.Add(step(q));
            windowFrom = from, windowTo = ordinary.size();
            base = steps.Median();
            if (sortedWindow && steps.Ordered() && std::isfinite(base)) {
                sigma = std::max(stepNoise, 1.4826 * steps.MedianDeviation(base));
            } else {  // NaN or infinite steps: the plain selections decide, as they always did
                dh.clear();
                for (std::size_t q = from; q < ordinary.size(); ++q) dh.push_back(step(q));
                base = MedianInPlace(dh);
                deviation.clear();
                for (double d : dh) deviation.push_back(std::abs(d - base));
                sigma = std::max(stepNoise, 1.4826 * MedianInPlace(deviation));
            }
        }
        const double threshold = k * sigma;
        const double ex1 = h[i + 1] - h[i] - base;
        double rate = kNaN;
        if (ex1 > threshold) {
            rate = ex1;
        } else if (ex1 > 0.5 * sigma) {
            for (std::size_t m : {2u, 4u, 8u}) {
                if (i + m > imax) break;
                const double exm = h[i + m] - h[i] - static_cast<double>(m) * base;
                // Started here: this step carries at least half of the window's largest one
                // (otherwise the window triggers again where the burst begins).
                double largest = ex1;
                for (std::size_t j = i + 1; j < i + m; ++j)
                    largest = std::max(largest, h[j + 1] - h[j] - base);
                if (exm > threshold && ex1 > exm / (2.0 * static_cast<double>(m)) &&
                    ex1 >= 0.5 * largest) {
                    rate = exm / static_cast<double>(m);
                    break;
                }
            }
        }
        // Only virgin loading: at the highest load reached so far, above the load's noise.
        if (std::isnan(rate) || !(p[i] > 5 * loadNoise) || !(p[i] >= peak - 3 * loadNoise)) {
            ordinary.push_back(i);
            ++i;
            continue;
        }
        // The window's typical load step, and the loading's local slope dP/dh from the ends of
        // the window (medians of a few samples each, as single steps are mostly noise at low
        // loads): NaN where the load does not rise (before contact), infinite where the depth
        // does not measurably.
        const std::size_t count = ordinary.size() - from;
        const std::size_t few = std::max<std::size_t>(1, std::min<std::size_t>(5, count / 3));
        auto endMedian = [&](std::span<const double> v, bool tail) {
            ends.clear();
            for (std::size_t q = 0; q < few; ++q)
                ends.push_back(tail ? v[ordinary[ordinary.size() - 1 - q] + 1]
                                    : v[ordinary[from + q]]);
            return MedianInPlace(ends);
        };
        const double gainedLoad = endMedian(p, true) - endMedian(p, false);
        const double gainedDepth = endMedian(h, true) - endMedian(h, false);
        const double slope = !(gainedLoad > 3 * loadNoise) ? kNaN
                             : gainedDepth > 0             ? gainedLoad / gainedDepth
                                                           : INFINITY;  // mN/nm
        if (std::isnan(slope)) {
            ordinary.push_back(i);
            ++i;
            continue;
        }
        ends.clear();
        for (std::size_t q = from; q < ordinary.size(); ++q)
            ends.push_back(p[ordinary[q] + 1] - p[ordinary[q]]);
        const double loadStep = MedianInPlace(ends);
        // The burst's steps: on while each is clearly above the progression.
        std::size_t e = i;
        double sum = ex1;
        while (e + 1 < imax) {
            const double next = h[e + 2] - h[e + 1] - base;
            const double mean = sum / static_cast<double>(e - i + 1);
            // Twice the progression at least: a loading that merely got softer after the burst
            // does not extend it; nor does a step over which the load rose as on the loading.
            // A burst spread over many samples may have single steps within the noise: the
            // mean of the next three steps decides then.
            const double cap = 0.5 * std::max(mean, rate);
            const double enough = std::max(std::min(3 * sigma, cap), 2 * base);
            const std::size_t ahead = std::min<std::size_t>(3, imax - (e + 1));
            const double aheadMean =
                (h[e + 1 + ahead] - h[e + 1]) / static_cast<double>(ahead) - base;
            const double enoughAhead = std::max(
                std::min(3 * sigma / std::sqrt(static_cast<double>(ahead)), cap), 2 * base);
            const double nextLoad = p[e + 2] - p[e + 1];
            if (!(next > enough || (next > 0 && aheadMean > enoughAhead)) ||
                nextLoad > 0.5 * loadStep + 4.5 * loadNoise)
                break;
            sum += next;
            ++e;
        }
        const std::size_t last = e + 1;
        const double raw = h[last] - h[i];
        auto loadShare = [&](std::size_t j) { return std::max(0.0, p[j] - p[i]) / slope; };
        const double width = raw - loadShare(last);
        // The depth after the burst: median of up to three samples from `last`.
        after.clear();
        for (std::size_t j = last; j <= std::min(last + 2, imax); ++j)
            after.push_back(h[j] - h[i] - loadShare(j));
        const double kept = MedianInPlace(after);
        const bool constantLoad =
            width >= 0.75 * raw && p[last] - p[i] <= 0.15 * p[i] + 3 * loadNoise;
        if (width > threshold && constantLoad && kept >= 0.5 * width) {
            // The depth before the burst from a line through the last samples (depth on load),
            // as a single sample carries the full depth noise.
            double depthBefore = h[i];
            constexpr std::size_t kLine = 16;
            if (i + 1 >= kLine && p[i] > p[i + 1 - kLine]) {
                const LineFit local = FitLine(p.data() + i + 1 - kLine, h.data() + i + 1 - kLine,
                                              static_cast<int>(kLine));
                if (std::isfinite(local.slope) && std::isfinite(local.intercept))
                    depthBefore = local.intercept + local.slope * p[i];
            }
            out.push_back({p[i], depthBefore, width, i, last});
            // The loading after a pop-in is another (softer) one: its baseline starts afresh.
            ordinary.clear();
            steps.Clear();
            windowFrom = windowTo = 0;
            known = 0;
            for (std::size_t j = last; j < std::min(last + kHistory, imax); ++j)
                ordinary.push_back(j);
            i = last + kHistory;
        } else {
            ordinary.push_back(i);
            ++i;
        }
    }
    return out;
}

}  // namespace

bool PopinSettings::UsesThresholds() const {
    return std::isfinite(minJump) || std::isfinite(minLoad);
}

std::vector<Popin> FindBursts(std::span<const double> depth, std::span<const double> load,
                              const PopinSettings& settings) {
    const std::size_t n = std::min(depth.size(), load.size());
    if (n < 2) return {};
    const std::size_t imax = MaxLoadIndex(load, n);
    if (settings.UsesThresholds())
        return ThresholdBursts(depth, load, imax,
                               std::isfinite(settings.minJump) ? settings.minJump : 0.0,
                               std::isfinite(settings.minLoad) ? settings.minLoad : 0.0);
    return AdaptiveBursts(depth, load, imax, settings, true);
}

std::vector<Popin> FindAdaptiveBurstsBySelection(std::span<const double> depth,
                                                 std::span<const double> load,
                                                 const PopinSettings& settings) {
    const std::size_t n = std::min(depth.size(), load.size());
    if (n < 2) return {};
    return AdaptiveBursts(depth, load, MaxLoadIndex(load, n), settings, false);
}

HertzFit FitHertz(std::span<const double> depth, std::span<const double> load, std::size_t end) {
    HertzFit fit;
    std::vector<double> h, p;
    for (std::size_t k = 0; k <= end && k < depth.size() && k < load.size(); ++k)
        if (load[k] > 0 && std::isfinite(depth[k])) {
            h.push_back(depth[k]);
            p.push_back(load[k]);
        }
    if (h.size() < 5) {
        fit.reason = "too few loaded points before the pop-in for a Hertz fit";
        return fit;
    }
    const double pEnd = *std::max_element(p.begin(), p.end());
    const double hEnd = *std::max_element(h.begin(), h.end());
    const double hMin = *std::min_element(h.begin(), h.end());
    // Start: P^(2/3) is linear in h, K^(2/3)·(h - h0), over the upper nine tenths of the load.
    std::vector<double> x, y;
    for (std::size_t k = 0; k < h.size(); ++k)
        if (p[k] >= 0.1 * pEnd) {
            x.push_back(h[k]);
            y.push_back(std::cbrt(p[k] * p[k]));
        }
    double h0Start = hMin;
    if (x.size() >= 3) {
        const LineFit line = FitLine(x.data(), y.data(), static_cast<int>(x.size()));
        if (line.slope > 0 && std::isfinite(line.intercept)) h0Start = -line.intercept / line.slope;
    }
    // For a given h0 the best K is linear; the error is then searched over h0.
    auto solve = [&](double h0, double& kOut) {
        double sxy = 0, sxx = 0;
        for (std::size_t j = 0; j < h.size(); ++j) {
            const double d = h[j] - h0;
            const double xx = d > 0 ? d * std::sqrt(d) : 0;
            sxy += xx * p[j];
            sxx += xx * xx;
        }
        kOut = sxx > 0 ? sxy / sxx : 0;
        double sse = 0;
        for (std::size_t j = 0; j < h.size(); ++j) {
            const double d = h[j] - h0;
            const double r = p[j] - kOut * (d > 0 ? d * std::sqrt(d) : 0);
            sse += r * r;
        }
        return sse;
    };
    const double lowest = std::min(h0Start, hMin);
    const double lo = lowest - std::max(hEnd - lowest, 1.0);
    const double hi = hEnd - 1e-6 * (hEnd - lo);
    // A coarse scan, then golden sections around its best cell.
    constexpr int kCells = 80;
    double bestH0 = lo, bestErr = INFINITY, kk = 0;
    for (int c = 0; c <= kCells; ++c) {
        const double h0 = lo + (hi - lo) * c / kCells;
        const double err = solve(h0, kk);
        if (err < bestErr) bestErr = err, bestH0 = h0;
    }
    if (std::isfinite(h0Start) && h0Start > lo && h0Start < hi && solve(h0Start, kk) < bestErr)
        bestH0 = h0Start, bestErr = solve(h0Start, kk);
    double a = std::max(lo, bestH0 - (hi - lo) / kCells),
           b = std::min(hi, bestH0 + (hi - lo) / kCells);
    const double g = (std::sqrt(5.0) - 1) / 2;
    double c1 = b - g * (b - a), c2 = a + g * (b - a);
    double f1 = solve(c1, kk), f2 = solve(c2, kk);
    for (int it = 0; it < 100 && b - a > 1e-9 * (1 + std::abs(b)); ++it) {
        if (f1 < f2) {
            b = c2, c2 = c1, f2 = f1;
            c1 = b - g * (b - a);
            f1 = solve(c1, kk);
        } else {
            a = c1, c1 = c2, f1 = f2;
            c2 = a + g * (b - a);
            f2 = solve(c2, kk);
        }
    }
    double h0 = f1 < f2 ? c1 : c2;
    double sse = solve(h0, kk);
    if (bestErr < sse) h0 = bestH0, sse = solve(h0, kk);
    if (!(kk > 0)) {
        fit.reason = "the loading before the pop-in does not rise like a Hertzian contact";
        return fit;
    }
    double mean = 0;
    for (double v : p) mean += v;
    mean /= static_cast<double>(p.size());
    double sst = 0;
    for (double v : p) sst += (v - mean) * (v - mean);
    fit.K = kk;
    fit.h0 = h0;
    fit.r2 = sst > 0 ? 1 - sse / sst : kNaN;
    fit.depthFrom = hMin;
    fit.depthTo = hEnd;
    fit.points = static_cast<int>(h.size());
    const double from = std::max(h0, hMin);
    constexpr int kCurvePoints = 60;
    for (int c = 0; c <= kCurvePoints; ++c) {
        const double d = from + (hEnd - from) * c / kCurvePoints;
        const double x15 = std::max(0.0, d - h0);
        fit.curveDepth.push_back(d);
        fit.curveLoad.push_back(kk * x15 * std::sqrt(x15));
    }
    return fit;
}

double ReducedModulusFromRadius(double K, double radius) {
    if (!(K > 0) || !(radius > 0)) return kNaN;
    return 3 * K / (4 * std::sqrt(radius)) / kMNPerNm2PerGPa;
}

double RadiusFromReducedModulus(double K, double reducedModulus) {
    if (!(K > 0) || !(reducedModulus > 0)) return kNaN;
    const double root = 3 * K / (4 * reducedModulus * kMNPerNm2PerGPa);
    return root * root;
}

double MaxShearStress(double load, double reducedModulus, double radius) {
    if (!(load > 0) || !(reducedModulus > 0) || !(radius > 0)) return kNaN;
    const double er = reducedModulus * kMNPerNm2PerGPa;
    const double pi3 = std::numbers::pi * std::numbers::pi * std::numbers::pi;
    return kShearFactor * std::cbrt(6 * er * er * load / (pi3 * radius * radius)) / kMNPerNm2PerGPa;
}

PopinResult FindPopins(std::span<const double> depth, std::span<const double> load,
                       const PopinSettings& settings) {
    PopinResult r;
    const std::size_t n = std::min(depth.size(), load.size());
    r.thresholds = settings.UsesThresholds();
    if (n < 2) {
        r.note = "too few points to look for pop-ins";
        r.hertz.reason = r.note;
        return r;
    }
    r.maxLoadIndex = MaxLoadIndex(load, n);
    r.popins = FindBursts(depth, load, settings);
    // Without a pop-in the whole loading is fitted (a purely elastic indent gives R that way).
    const std::size_t end = r.popins.empty() ? r.maxLoadIndex : r.popins.front().first;
    if (r.popins.empty()) r.note = "no pop-in found";
    r.hertz = FitHertz(depth.first(n), load.first(n), end);
    HertzFit& hz = r.hertz;
    if (!std::isfinite(hz.K)) return r;
    const bool givenEr = settings.reducedModulus > 0;
    const bool givenR = settings.tipRadius > 0;
    hz.reducedModulus =
        givenEr ? settings.reducedModulus : ReducedModulusFromRadius(hz.K, settings.tipRadius);
    hz.radius = givenR ? settings.tipRadius : RadiusFromReducedModulus(hz.K, hz.reducedModulus);
    if (!givenEr && !givenR)
        hz.reason =
            "no reduced modulus (no unloading analysed) and no tip radius: Er, R and "
            "tauMax unknown";
    if (const Popin* first = r.First()) {
        r.tauMax = MaxShearStress(first->load, hz.reducedModulus, hz.radius);
        if (settings.sampleModulus > 0 && std::isfinite(settings.samplePoisson)) {
            const double shear = settings.sampleModulus / (2 * (1 + settings.samplePoisson));
            r.tauMaxOverShear = r.tauMax / shear;
        }
    }
    return r;
}

PopinResult FindPopins(const io::ParsedCurve& curve, const PopinSettings& settings) {
    return FindPopins(std::span<const double>(curve.depth), std::span<const double>(curve.load),
                      settings);
}

namespace {

MeanSd Moments(const std::vector<double>& v) {
    MeanSd m;
    m.n = static_cast<int>(v.size());
    if (v.empty()) return m;
    double sum = 0;
    for (double x : v) sum += x;
    m.mean = sum / static_cast<double>(v.size());
    if (v.size() < 2) return m;
    double ss = 0;
    for (double x : v) ss += (x - m.mean) * (x - m.mean);
    m.sd = std::sqrt(ss / static_cast<double>(v.size() - 1));
    return m;
}

void AddReason(std::string& reason, const std::string& text) {
    reason += (reason.empty() ? "" : "; ") + text;
}

}  // namespace

PopinStatistics SummarisePopins(std::span<const PopinResult> results,
                                const PopinStatisticsSettings& settings) {
    PopinStatistics s;
    s.curves = static_cast<int>(results.size());
    std::vector<double> loads, depths, widths, taus, ers, radii;
    for (const PopinResult& r : results) {
        const Popin* first = r.First();
        if (!first || !std::isfinite(first->load)) continue;
        loads.push_back(first->load);
        depths.push_back(first->depth);
        widths.push_back(first->width);
        if (std::isfinite(r.tauMax)) taus.push_back(r.tauMax);
        if (std::isfinite(r.hertz.reducedModulus) && std::isfinite(r.hertz.radius)) {
            ers.push_back(r.hertz.reducedModulus);
            radii.push_back(r.hertz.radius);
        }
    }
    s.n = static_cast<int>(loads.size());
    s.load = Moments(loads), s.depth = Moments(depths), s.width = Moments(widths);
    s.tauMax = Moments(taus);
    std::sort(loads.begin(), loads.end());
    const double n = static_cast<double>(loads.size());
    for (std::size_t i = 0; i < loads.size(); ++i) {
        s.cdfLoad.push_back(loads[i]);
        s.cdfProbability.push_back((static_cast<double>(i) + 0.5) / n);
    }
    const bool spread = loads.size() >= 2 && loads.front() > 0 && loads.back() > loads.front();
    if (!spread) {
        AddReason(s.reason,
                  "fewer than two distinct positive first pop-in loads: no Weibull fit "
                  "and no activation volume");
        return s;
    }
    std::vector<double> lnP(loads.size()), cubeRoot(loads.size()), y(loads.size());
    for (std::size_t i = 0; i < loads.size(); ++i) {
        lnP[i] = std::log(loads[i]);
        cubeRoot[i] = std::cbrt(loads[i] * 1e-3);  // N^(1/3)
        y[i] = std::log(-std::log(1 - s.cdfProbability[i]));
    }
    const int count = static_cast<int>(loads.size());
    const LineFit weibull = FitLine(lnP.data(), y.data(), count);
    s.weibullModulus = weibull.slope;
    s.weibullR2 = weibull.rSquared;
    if (weibull.slope > 0) {
        s.weibullScale = std::exp(-weibull.intercept / weibull.slope);
        constexpr int kLinePoints = 100;
        for (int c = 0; c <= kLinePoints; ++c) {
            const double load = loads.front() + (loads.back() - loads.front()) * c / kLinePoints;
            s.weibullLoad.push_back(load);
            s.weibullProbability.push_back(
                1 - std::exp(-std::pow(load / s.weibullScale, s.weibullModulus)));
        }
    }
    const LineFit rate = FitLine(cubeRoot.data(), y.data(), count);
    s.beta = rate.slope;
    if (!ers.empty()) {
        s.meanReducedModulus = Moments(ers).mean;
        s.meanRadius = Moments(radii).mean;
    }
    if (!std::isfinite(s.meanReducedModulus)) {
        AddReason(s.reason, "no curve gave Er and R: no activation volume");
        return s;
    }
    if (!(settings.temperature > 0)) {
        AddReason(s.reason, "no positive temperature: no activation volume");
        return s;
    }
    const double er = s.meanReducedModulus * 1e9;  // Pa
    const double radius = s.meanRadius * 1e-9;     // m
    const double pi3 = std::numbers::pi * std::numbers::pi * std::numbers::pi;
    const double stressPerCubeRoot =
        kShearFactor * std::cbrt(6 * er * er / (pi3 * radius * radius));
    s.activationVolume = s.beta * kBoltzmann * settings.temperature / stressPerCubeRoot * 1e30;
    return s;
}

}  // namespace marvek::popins
