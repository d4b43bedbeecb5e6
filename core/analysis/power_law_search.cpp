#include "core/analysis/power_law_search.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#include <tbb/blocked_range.h>
#include <tbb/global_control.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include "core/analysis/fitting.h"
#include "core/analysis/power_law_kernels.h"
#include "core/platform/large_blocks.h"

namespace marvek {
namespace {

constexpr int kSteps = 200;
constexpr double kUnit = 0x1.0p-53;  // unit roundoff of double
constexpr double kLn10 = 2.302585092994045684;
constexpr double kInf = std::numeric_limits<double>::infinity();
// Below this many point evaluations per sweep, threads cost more than they save.
constexpr double kParallelWork = 40000;
constexpr std::size_t kWorkPerTask = 20000;

// The caller decides the parallelism: a run limited to one thread (a task arena of one, or the
// process's max_allowed_parallelism of one) keeps the search on its own thread and never hands
// tasks to a pool it would otherwise start.
bool MayUseWorkers() {
    return tbb::this_task_arena::max_concurrency() > 1 &&
           tbb::global_control::active_value(tbb::global_control::max_allowed_parallelism) > 1;
}

// An RMS error as the search knows it: either the value the scalar functions give (bound 0), or
// a vector-computed value within `bound` of it, with the candidate offset h to compute it exactly.
// The constants 9e9 and 9e99 the search starts from are exact.
struct Score {
    double err = 0;
    double bound = 0;
    double h = 0;
};

struct Candidate {
    double h = 0;
    double m = 0, mBound = kInf;      // slope of the log-log line and |m - exact m| bound
    double err = 0, errBound = kInf;  // RMS error and |err - exact err| bound
    bool exact = false;
    bool abandoned = false;  // its error pass stopped once it was sure to lose
};

// What a candidate's log-log line alone says: the bound of its slope and, where the error bound
// applies, the ingredients of that bound (see SetBounds).
struct LineBounds {
    double mBound = kInf;
    bool predictions = false;  // the fields below hold
    double eps = 0;            // relative difference of a predicted load from the plain search's
    double z = 0, shift = 0, tilt = 0, wobble = 0;
    double xMean = 0, lAbs = 0, eta = 0, dMean = 0, gn = 0;
};

struct ExactFit {
    double err, m, alpha, rSquared;
};

class Search {
public:
    // `series`: whether the line's sums may come from series over groups of points (see
    // power_law_kernels.h); building the groups pays off over a few hundred candidates.
    Search(const double* x, const double* y, int n, double maxDepth, PowerLawSearchStats* stats,
           bool series = true);
    double Run(double& alpha, double& m, double& hf);
    double Run(double& alpha, double& m, double& hf, double lo, double hi, int steps = kSteps);

private:
    void EvaluateSweep(std::vector<Candidate>& candidates, double previousBest);
    void Evaluate(std::vector<Candidate>& candidates, const std::vector<std::size_t>& which,
                  const detail::ErrorPassCutoff* cutoff);
    LineBounds BoundLine(const detail::CandidateSums& s, double h) const;
    static double CutoffMargin(const void* search, double h, const detail::CandidateSums& s);
    void SetBounds(const detail::CandidateSums& sums, Candidate& c) const;
    ExactFit EvaluateExactly(double h, bool withError = true);
    void Refine(Candidate& c);
    void Refine(Score& s);
    bool Less(Score& a, Score& b);
    bool Changed(Score& previous, Score& best);

    const double* m_x;
    const double* m_y;
    int m_n;
    double m_maxDepth;
    PowerLawSearchStats* m_stats;

    double m_xMin = 9e99;  // as the plain search finds it
    double m_xMax = -kInf;
    std::vector<double> m_logYCompact;         // log10 y of the regression points, when not all are
    const double* m_logYRegression = nullptr;  // log10 y of the regression points, in order
    // The padded arrays of the kernels and the exact evaluation's scratch, in one zeroed block:
    // large sections then take huge pages instead of a page fault per 4 KiB.
    io::ZeroedVector<double> m_block;
    double* m_px = nullptr;
    double* m_py = nullptr;
    double* m_pLogY = nullptr;
    double* m_pWeight = nullptr;  // only when some load is at or below zero
    double* m_logXCompact = nullptr;
    detail::PowerLawData m_data;
    detail::PowerLawGroups m_groups, m_coarseGroups;
    double m_sumAbsLogY = 0;
    double m_sumY2 = 0;
};

Search::Search(const double* x, const double* y, int n, double maxDepth, PowerLawSearchStats* stats,
               bool series)
    : m_x(x), m_y(y), m_n(std::max(n, 0)), m_maxDepth(maxDepth), m_stats(stats) {
    const auto count = static_cast<std::size_t>(m_n);
    std::size_t positive = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (x[i] < m_xMin) m_xMin = x[i];
        m_xMax = std::max(m_xMax, x[i]);
        if (!(y[i] <= 0)) ++positive;
        m_sumY2 += y[i] * y[i];
    }

    // Only what the search reads is allocated: a 40000-point curve's section touches each page
    // of these arrays once, and a first touch costs as much as the arithmetic on it.
    const std::size_t padded =
        (count + detail::kPowerLawPadding) / detail::kPowerLawPadding * detail::kPowerLawPadding;
    const bool unitWeights = positive == count;
    m_block.resize((unitWeights ? 3 : 4) * padded + positive + 1);
    m_px = m_block.data();
    m_py = m_px + padded;
    m_pLogY = m_py + padded;
    m_pWeight = unitWeights ? nullptr : m_pLogY + padded;
    m_logXCompact = m_pLogY + (unitWeights ? 1 : 2) * padded;
    std::copy(x, x + count, m_px);
    std::fill(m_px + count, m_px + padded, count > 0 ? m_xMax : 1.0);
    std::copy(y, y + count, m_py);
    double sumLogY = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (y[i] <= 0) continue;
        m_pLogY[i] = std::log10(y[i]);
        sumLogY += m_pLogY[i];  // the order and operations of FitLine's sum
        m_sumAbsLogY += std::fabs(m_pLogY[i]);
    }
    if (!unitWeights) {
        m_logYCompact.reserve(positive);
        for (std::size_t i = 0; i < count; ++i) {
            if (y[i] <= 0) continue;
            m_pWeight[i] = 1.0;
            m_logYCompact.push_back(m_pLogY[i]);
        }
    }
    // With every point in the regression the padded logarithms are the compact ones.
    m_logYRegression = unitWeights ? m_pLogY : m_logYCompact.data();
    m_data.x = m_px;
    m_data.y = m_py;
    m_data.logY = m_pLogY;
    m_data.weight = m_pWeight;
    m_data.n = count;
    m_data.padded = padded;
    m_data.regressionCount = static_cast<double>(positive);
    m_data.unitWeights = unitWeights;
    m_data.sumLogY = sumLogY;
    if (!series) return;
    detail::BuildPowerLawGroups(m_data, m_groups);
    detail::BuildPowerLawGroups(m_data, m_coarseGroups, detail::kCoarseGroupPoints);
    if (m_groups.count > 0) m_data.groups = &m_groups;
    if (m_coarseGroups.count > 0) m_data.coarseGroups = &m_coarseGroups;
}

// The candidate as a plain search evaluates it, operation for operation, so that its numbers
// are the plain search's to the last bit. Without the error, err is NaN.
ExactFit Search::EvaluateExactly(double h, bool withError) {
    if (m_stats) ++m_stats->exactEvaluations;
    int k = 0;
    for (int i = 0; i < m_n; i++) {
        if (m_y[i] <= 0) continue;
        m_logXCompact[static_cast<std::size_t>(k)] = std::log10(m_x[i] - h);
        k++;
    }
    const LineFit f = FitLine(m_logXCompact, m_logYRegression, k);
    const double mm = f.slope;
    const double aa = std::pow(10.0, f.intercept);
    if (!withError) return {std::numeric_limits<double>::quiet_NaN(), mm, aa, f.rSquared};
    double sum = 0;
    for (int i = 0; i < m_n; i++) {
        const double e = aa * std::pow(m_x[i] - h, mm) - m_y[i];
        sum += e * e;
    }
    const double err = std::pow(sum / m_n, 0.5);
    return {err, mm, aa, f.rSquared};
}

void Search::Refine(Candidate& c) {
    if (c.exact) return;
    const ExactFit exact = EvaluateExactly(c.h);
    c.err = exact.err;
    c.m = exact.m;
    c.errBound = c.mBound = 0;
    c.exact = true;
}

void Search::Refine(Score& s) {
    if (s.bound == 0) return;
    s.err = EvaluateExactly(s.h).err;
    s.bound = 0;
}

// How far the vector-computed slope and error can lie from those of the scalar functions. The
// scalar search sums in order, so its sums carry up to (k+1)u relative rounding error; the vector
// logarithm differs from the scalar one by a few units in the last place. Slope: perturbation of
// N/D. Error: the exponent of the fitted law shifts by at most `shift` for all points, tilts by at
// most `tilt` per unit of (L - mean L) and wobbles by at most `wobble` per point; the first-order
// change of the squared-residual sum is then bounded with the signed sums of r*pred, which noise
// keeps far below their absolute value. Everything is doubled for safety.
LineBounds Search::BoundLine(const detail::CandidateSums& s, double h) const {
    LineBounds b;
    const double n = m_n;
    const double k = m_data.regressionCount;
    if (!(k >= 2) || !std::isfinite(s.m) || !std::isfinite(s.c)) return b;

    const double lLo = std::log10(m_xMin - h);
    const double lHi = std::log10(m_xMax - h);
    const double lAbs = std::max(std::fabs(lLo), std::fabs(lHi));
    const double eta = 8 * kUnit * (lAbs + 1);  // |vector log10 - scalar log10|
    const double gk = 1.01 * (k + 2) * kUnit;
    const double gn = 1.01 * (n + 2) * kUnit;
    const double xMean = s.sumL / k;
    const double yMean = m_data.sumLogY / k;
    const double absM = std::fabs(s.m);

    // The sums of the series add their own bounds.
    const double dSx = k * eta + 2 * gk * k * lAbs + s.seriesL;
    const double dSxx = k * (2 * lAbs * eta + eta * eta) + 2 * gk * k * lAbs * lAbs + s.seriesLL;
    const double dSxy = (eta + 2 * gk * lAbs) * m_sumAbsLogY + s.seriesLLogY;
    const double den = s.sumLL - k * xMean * xMean;
    const double dNum = dSxy + dSx * std::fabs(yMean) +
                        4 * kUnit * (std::fabs(s.sumLLogY) + std::fabs(s.sumL * yMean));
    const double dDen =
        dSxx + dSx * (2 * std::fabs(xMean) + dSx / k) + 4 * kUnit * (s.sumLL + k * xMean * xMean);
    if (!(dDen < 0.5 * std::fabs(den))) return b;
    const double dM = (dNum + absM * dDen) / (std::fabs(den) - dDen) + 4 * kUnit * absM;
    if (!std::isfinite(dM)) return b;
    b.mBound = 2 * dM;

    const double dMean = dSx / k;
    const double spread = std::max(std::fabs(lHi - xMean), std::fabs(lLo - xMean)) + eta + dMean;
    const double shift = absM * dMean + 4 * kUnit * (std::fabs(yMean) + absM * std::fabs(xMean));
    const double tilt = dM;
    const double wobble = 2 * absM * eta + 6 * kUnit * (std::fabs(s.c) + absM * lAbs);
    const double tMax = shift + tilt * spread + wobble;
    // The bounds hold while alpha = 10^c, (x - h)^m and the law itself stay normal numbers in
    // the scalar evaluation and the vector exponential works inside its range; a fit far
    // outside (a steep law through few points, say) is settled exactly.
    constexpr double kLargestExponent = 300;
    const double tExtreme = std::max({std::fabs(s.c), std::fabs(s.m * lLo), std::fabs(s.m * lHi),
                                      std::fabs(s.c + s.m * lLo), std::fabs(s.c + s.m * lHi)});
    if (!(tExtreme < kLargestExponent)) return b;
    const double z = kLn10 * tMax;
    if (!(z < 1e-3)) return b;
    b.predictions = true;
    b.eps = std::expm1(z) + 10 * kUnit;
    b.z = z, b.shift = shift, b.tilt = tilt, b.wobble = wobble;
    b.xMean = xMean, b.lAbs = lAbs, b.eta = eta, b.dMean = dMean, b.gn = gn;
    return b;
}

void Search::SetBounds(const detail::CandidateSums& s, Candidate& c) const {
    const double n = m_n;
    c.m = s.m;
    c.err = std::pow(s.squares / n, 0.5);
    c.mBound = c.errBound = kInf;
    c.abandoned = s.abandoned;
    if (c.abandoned) return;
    const LineBounds b = BoundLine(s, c.h);
    c.mBound = b.mBound;
    if (!b.predictions || !std::isfinite(c.err)) return;
    const double z = b.z, eps = b.eps, shift = b.shift, tilt = b.tilt, wobble = b.wobble;
    const double xMean = b.xMean, lAbs = b.lAbs, eta = b.eta, dMean = b.dMean, gn = b.gn;

    const double p0 = s.absResidualPred;
    const double g1 = std::fabs(s.residualPred) + gn * p0;
    const double g2 = std::fabs(s.residualPredL - xMean * s.residualPred) +
                      2 * gn * (lAbs + std::fabs(xMean)) * p0;
    const double firstOrder = kLn10 * (shift * g1 + tilt * (g2 + (eta + dMean) * p0) + wobble * p0);
    const double remainder = (z * z + 20 * kUnit + eps * z) * p0 * (1 + eps);
    const double squaresOfChange =
        eps * eps * (1 + eps) * (1 + eps) * (2 * s.squares + 2 * m_sumY2);
    const double rounding = (2 * gn + 6 * kUnit) * s.squares * 1.01;
    const double dS = 2 * (firstOrder + remainder) + squaresOfChange + rounding;
    double dErr = std::sqrt(dS / n);
    if (c.err > 0) dErr = std::min(dErr, dS / (n * c.err));
    dErr += 6 * kUnit * c.err;
    c.errBound = 2 * dErr;
    if (!std::isfinite(c.errBound)) c.errBound = kInf;
}

// The residual margin the kernel's early stop uses (see ErrorPassCutoff): a plain residual is
// at least |vector residual| - eps * vector prediction, less roundings; eps is doubled as the
// other bounds are.
double Search::CutoffMargin(const void* search, double h, const detail::CandidateSums& s) {
    const LineBounds b = static_cast<const Search*>(search)->BoundLine(s, h);
    return b.predictions ? 2 * b.eps + 4 * kUnit : std::numeric_limits<double>::quiet_NaN();
}

// Only the sweep's winner matters, and it has the smallest error. So the candidate nearest the
// previous sweep's winner, likely this sweep's best too, is evaluated in full first (in the
// first sweep, every 32nd); the best evaluated candidate that surely has m >= 1 bounds the
// winner's error from above, and the error pass of every other candidate stops as soon as the
// squares it has summed prove that the plain search would give it a larger error. Such a
// candidate cannot be the winner, whichever comes first; the decisions on the others are
// unchanged. Every 8th candidate comes next, to tighten the bound before the rest.
void Search::EvaluateSweep(std::vector<Candidate>& candidates, double previousBest) {
    constexpr std::size_t kSample = 8;
    const std::size_t count = candidates.size();
    std::vector<std::size_t> nearest, sample, rest;
    if (count < 4 * kSample) {
        for (std::size_t j = 0; j < count; ++j) sample.push_back(j);
        Evaluate(candidates, sample, nullptr);
        return;
    }
    std::size_t closest = count;
    if (std::isfinite(previousBest)) {
        double distance = kInf;
        for (std::size_t j = 0; j < count; ++j) {
            const double d = std::fabs(candidates[j].h - previousBest);
            if (d < distance) distance = d, closest = j;
        }
    }
    for (std::size_t j = 0; j < count; ++j) {
        const bool seed = closest < count ? j == closest : j % (4 * kSample) == kSample / 2;
        (seed ? nearest : j % kSample == kSample / 2 ? sample : rest).push_back(j);
    }

    double bound = kInf;  // >= the plain search's error of some candidate it would accept
    auto tighten = [&](const std::vector<std::size_t>& evaluated) {
        for (std::size_t j : evaluated) {
            const Candidate& c = candidates[j];
            const bool surelyAccepted = !c.abandoned && c.m - 1.0 > c.mBound;
            if (surelyAccepted && std::isfinite(c.err + c.errBound))
                bound = std::min(bound, c.err + c.errBound);
        }
    };
    // err = pow(sum / n, 0.5) of a plain sequential sum of plain squared residuals: its roundings
    // and those of the kernel's own sum, with a wide margin, separate "certainly larger" from
    // "about equal". Far from 1 (zero included) the squares could leave the normal range, where
    // those roundings no longer hold: no early stop then.
    detail::ErrorPassCutoff cutoff;
    cutoff.margin = &Search::CutoffMargin;
    cutoff.context = this;
    auto cutoffFor = [&]() -> const detail::ErrorPassCutoff* {
        if (!(bound > 1e-150 && bound < 1e150)) return nullptr;
        const double n = m_n;
        const double gn = 1.01 * (n + 2) * kUnit;
        const double roundings = 1 - 2.2 * gn - 16 * kUnit;
        cutoff.squaresAbove = n * bound * bound * (1 + 1e-6) / roundings;
        return &cutoff;
    };
    Evaluate(candidates, nearest, nullptr);
    tighten(nearest);
    Evaluate(candidates, sample, cutoffFor());
    tighten(sample);
    Evaluate(candidates, rest, cutoffFor());
}

void Search::Evaluate(std::vector<Candidate>& candidates, const std::vector<std::size_t>& which,
                      const detail::ErrorPassCutoff* cutoff) {
    const std::size_t count = which.size();
    if (count == 0) return;
    if (m_stats) m_stats->candidates += static_cast<int>(count);
    auto block = [&](std::size_t begin, std::size_t end) {
        thread_local std::vector<double> scratch;
        thread_local std::vector<double> hs;
        thread_local std::vector<detail::CandidateSums> sums;
        // The series path keeps no logarithms.
        if (!m_data.groups && scratch.size() < m_data.padded) scratch.resize(m_data.padded);
        hs.resize(end - begin);
        sums.resize(end - begin);
        for (std::size_t j = begin; j < end; ++j) hs[j - begin] = candidates[which[j]].h;
        detail::EvaluatePowerLawCandidates(m_data, hs.data(), end - begin, sums.data(),
                                           scratch.data(), cutoff);
        for (std::size_t j = begin; j < end; ++j) SetBounds(sums[j - begin], candidates[which[j]]);
    };
    if (static_cast<double>(count) * m_n < kParallelWork || !MayUseWorkers()) {
        block(0, count);
    } else {
        const std::size_t grain =
            std::max<std::size_t>(1, kWorkPerTask / static_cast<std::size_t>(std::max(m_n, 1)));
        tbb::parallel_for(
            tbb::blocked_range<std::size_t>(0, count, grain),
            [&](const tbb::blocked_range<std::size_t>& r) { block(r.begin(), r.end()); },
            tbb::simple_partitioner());
    }
    if (m_stats)
        for (std::size_t j : which) m_stats->abandoned += candidates[j].abandoned ? 1 : 0;
}

// a.err < b.err as the scalar functions would decide it.
bool Search::Less(Score& a, Score& b) {
    if (a.err + a.bound < b.err - b.bound) return true;
    if (a.err - a.bound >= b.err + b.bound) return false;
    Refine(a);
    Refine(b);
    return a.err < b.err;
}

// |previous - best| > 1e-7, the stop rule, as the scalar functions would decide it.
bool Search::Changed(Score& previous, Score& best) {
    constexpr double kTolerance = 1e-7;
    const double difference = std::fabs(previous.err - best.err);
    const double slack = previous.bound + best.bound;
    if (slack > 0) {
        const double rounding = 2 * kUnit * (std::fabs(previous.err) + std::fabs(best.err));
        if (difference - slack - rounding > kTolerance) return true;
        if (difference + slack + rounding < kTolerance) return false;
        Refine(previous);
        Refine(best);
    }
    return std::fabs(previous.err - best.err) > kTolerance;
}

double Search::Run(double& alpha, double& m, double& hf) {
    const double top = m_xMin + (m_maxDepth - m_xMin) / 2;
    return Run(alpha, m, hf, -top, top);
}

double Search::Run(double& alpha, double& m, double& hf, double lo, double hi, int steps) {
    double bestHf = m_xMin;
    bool accepted = false;
    Score previous{9e99};
    Score best{9e9};
    std::vector<Candidate> candidates;
    int sweeps = 0;
    while (Changed(previous, best) && sweeps < 100) {
        previous = best;
        best = Score{9e9};

        // The candidates of this sweep, stepped exactly as a plain search steps them. One at or
        // beyond the smallest x would be rejected for a point with x - h <= 0, and every later
        // one with it, so the sweep's list ends there.
        candidates.clear();
        const double step = (hi - lo) / steps;
        for (double h = lo; h < hi; h += step) {
            if (h + step == h) break;
            if (h >= m_xMin) break;
            candidates.push_back(Candidate{h});
        }
        EvaluateSweep(candidates,
                      sweeps > 0 && accepted ? bestHf : std::numeric_limits<double>::quiet_NaN());

        bool found = false;
        for (Candidate& c : candidates) {
            if (c.abandoned) continue;
            if (!(std::fabs(c.m - 1.0) > c.mBound)) Refine(c);
            if (!(c.m >= 1.0)) continue;
            Score s{c.err, c.exact ? 0 : c.errBound, c.h};
            if (Less(s, best)) {
                best = s;
                found = true;
            }
        }
        if (found) {
            bestHf = best.h;
            accepted = true;
        }

        const double half = (hi - lo) / 2;
        if (bestHf + half / 2 < hi) hi = bestHf + half / 2;
        if (bestHf - half / 2 > lo) lo = bestHf - half / 2;
        sweeps++;
    }
    if (m_stats) m_stats->sweeps = sweeps;

    hf = bestHf;
    if (!accepted) {
        alpha = m = std::numeric_limits<double>::quiet_NaN();
        return 0;
    }
    const ExactFit winner = EvaluateExactly(bestHf, false);
    alpha = winner.alpha;
    m = winner.m;
    return winner.rSquared;
}

}  // namespace

double FitPowerLawSearch(double& alpha, double& m, double& hf, const double* x, const double* y,
                         int n, double maxDepth, PowerLawSearchStats* stats) {
    if (stats) *stats = PowerLawSearchStats{};
    Search search(x, y, n, maxDepth, stats);
    return search.Run(alpha, m, hf);
}

double FitPowerLawSearchIn(double& alpha, double& m, double& hf, const double* x, const double* y,
                           int n, double lo, double hi, int steps, PowerLawSearchStats* stats) {
    if (stats) *stats = PowerLawSearchStats{};
    // A coarse grid evaluates too few candidates to pay for the groups.
    constexpr int kSeriesFromSteps = 100;
    Search search(x, y, n, hi, stats, steps >= kSeriesFromSteps);
    return search.Run(alpha, m, hf, lo, hi, std::max(steps, 2));
}

}  // namespace marvek
