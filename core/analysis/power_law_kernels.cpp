// Compiled once per vector instruction set; the widest one the machine supports is chosen at run
// time.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "core/analysis/power_law_kernels.cpp"
#include <hwy/foreach_target.h>  // must come before highway.h

#include <algorithm>
#include <array>
#include <limits>

#include <hwy/contrib/math/math-inl.h>
#include <hwy/highway.h>

#include "core/analysis/power_law_kernels.h"

HWY_BEFORE_NAMESPACE();
namespace marvek::detail::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

constexpr double kSkipErrorBelowSlope = 0.999;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The error pass checks its cutoff every this many points.
constexpr std::size_t kCutoffStride = 64;

using D = hn::ScalableTag<double>;
using V = hn::Vec<D>;

struct LineAccumulators {
    V sx, sxx, sxy;
};

// Adds the points [begin, end) to the line's sums one logarithm at a time; stores the logarithms
// in `logs` when given.
void SumDirectly(const PowerLawData& data, V h, std::size_t begin, std::size_t end, double* logs,
                 LineAccumulators& a) {
    const D d;
    const std::size_t lanes = hn::Lanes(d);
    const std::size_t full = std::min(end, data.n - data.n % lanes);
    std::size_t i = begin;
    // With every point in the regression the weights of whole vectors are 1, and 1 * l is l:
    // the same sums without the multiplication; past the last point, the lanes count nothing.
    if (data.unitWeights) {
        for (; i < full; i += lanes) {
            const auto l = hn::Log10(d, hn::Sub(hn::LoadU(d, data.x + i), h));
            if (logs) hn::StoreU(l, d, logs + i);
            a.sx = hn::Add(a.sx, l);
            a.sxx = hn::MulAdd(l, l, a.sxx);
            a.sxy = hn::MulAdd(l, hn::LoadU(d, data.logY + i), a.sxy);
        }
        for (; i < end; i += lanes) {
            const auto l = hn::Log10(d, hn::Sub(hn::LoadU(d, data.x + i), h));
            if (logs) hn::StoreU(l, d, logs + i);
            const auto wl = hn::IfThenElseZero(hn::FirstN(d, data.n > i ? data.n - i : 0), l);
            a.sx = hn::Add(a.sx, wl);
            a.sxx = hn::MulAdd(wl, l, a.sxx);
            a.sxy = hn::MulAdd(l, hn::LoadU(d, data.logY + i), a.sxy);
        }
        return;
    }
    for (; i < end; i += lanes) {
        const auto l = hn::Log10(d, hn::Sub(hn::LoadU(d, data.x + i), h));
        if (logs) hn::StoreU(l, d, logs + i);
        const auto wl = hn::Mul(hn::LoadU(d, data.weight + i), l);
        a.sx = hn::Add(a.sx, wl);
        a.sxx = hn::MulAdd(wl, l, a.sxx);
        a.sxy = hn::MulAdd(l, hn::LoadU(d, data.logY + i), a.sxy);
    }
}

// sum over k < kSeriesTerms of terms[k * stride] v^(k+1), by Horner's rule.
V Series(const D d, const double* terms, std::size_t stride, V v) {
    auto t = hn::LoadU(d, terms + (kSeriesTerms - 1) * stride);
    for (std::size_t k = kSeriesTerms - 1; k-- > 0;)
        t = hn::MulAdd(t, v, hn::LoadU(d, terms + k * stride));
    return hn::Mul(t, v);
}

// The line's sums of candidate h: from the series for each group far enough from h, one by one
// for the others; with the bounds of what the series added.
void SumBySeries(const PowerLawData& data, const PowerLawGroups& g, double hValue,
                 CandidateSums& r) {
    const D d;
    const std::size_t lanes = hn::Lanes(d);
    const auto h = hn::Set(d, hValue);
    const auto invLn10 = hn::Set(d, 1 / 2.302585092994045684);
    const auto invLn10Squared = hn::Mul(invLn10, invLn10);
    const auto one = hn::Set(d, 1.0);
    // v <= 1/8 with the roundings of c - h and the comparison's own.
    const auto shrink = hn::Set(d, 0.125 * (1 - 0x1.0p-50));
    LineAccumulators a{hn::Zero(d), hn::Zero(d), hn::Zero(d)};
    double s1 = 0, s2 = 0, s3 = 0;
    double points = 0, absLogY = 0, mag1 = 0, mag2 = 0, mag3 = 0, pointsAbsA = 0;
    constexpr std::size_t kMaxLanes = HWY_MAX_BYTES / sizeof(double);
    HWY_ALIGN double l1[kMaxLanes], l2[kMaxLanes], l3[kMaxLanes], la[kMaxLanes], lnear[kMaxLanes];
    for (std::size_t j = 0; j < g.count; j += lanes) {
        const auto radius = hn::LoadU(d, g.radius + j);
        const auto span = hn::Sub(hn::LoadU(d, g.center + j), h);
        const auto near = hn::Not(hn::Le(radius, hn::Mul(span, shrink)));
        const auto v = hn::Div(radius, span);
        const auto logSpan = hn::Log10(d, span);
        const auto t1 = hn::Mul(Series(d, g.logTerms + j, g.padded, v), invLn10);
        const auto t2 = hn::Mul(Series(d, g.squareTerms + j, g.padded, v), invLn10Squared);
        const auto t3 = hn::Mul(Series(d, g.logYTerms + j, g.padded, v), invLn10);
        const auto n = hn::LoadU(d, g.points + j);
        const auto nA = hn::Mul(n, logSpan);
        hn::Store(hn::Add(nA, t1), d, l1);
        hn::Store(hn::MulAdd(nA, logSpan, hn::MulAdd(hn::Add(logSpan, logSpan), t1, t2)), d, l2);
        hn::Store(hn::MulAdd(hn::LoadU(d, g.sumLogY + j), logSpan, t3), d, l3);
        hn::Store(hn::Abs(logSpan), d, la);
        hn::Store(hn::IfThenElseZero(near, one), d, lnear);
        for (std::size_t k = 0; k < lanes && j + k < g.count; ++k) {
            const std::size_t group = j + k;
            if (lnear[k] != 0) {
                const std::size_t begin = group * g.size;
                SumDirectly(data, h, begin, std::min(begin + g.size, data.padded), nullptr, a);
                continue;
            }
            const double count = g.points[group], logs = g.sumAbsLogY[group];
            const double size = la[k] + 1;
            s1 += l1[k], s2 += l2[k], s3 += l3[k];
            points += count, absLogY += logs;
            mag1 += count * size, mag2 += count * size * size, mag3 += logs * size;
            pointsAbsA += count * la[k];
        }
    }
    r.sumL = hn::GetLane(hn::SumOfLanes(d, a.sx)) + s1;
    r.sumLL = hn::GetLane(hn::SumOfLanes(d, a.sxx)) + s2;
    r.sumLLogY = hn::GetLane(hn::SumOfLanes(d, a.sxy)) + s3;
    // Each series term carries at most (points per group + 5 terms + groups + 40) roundings of
    // its size (coefficients, Horner's rule, v^k, assembly, the sum over groups, the logarithm
    // of the centre), doubled; the tails past kSeriesTerms terms are at most
    // (1/8)^17 / (17 * 7/8) per point for ln(1 + t) and (1/8)^17 / (7/8) for its square. The
    // last term covers coefficients that underflowed.
    constexpr double kUnit = 0x1.0p-53;
    constexpr double kTail = 3.1e-17, kSquareTail = 5.1e-16, kUnderflow = 1e-290;
    const double theta = 2 * kUnit * static_cast<double>(g.size + 5 * kSeriesTerms + g.count + 40);
    r.seriesL = theta * mag1 + kTail * points + kUnderflow * points;
    r.seriesLL = theta * mag2 + 2 * kTail * pointsAbsA + kSquareTail * points + kUnderflow * points;
    r.seriesLLogY = theta * mag3 + kTail * absLogY + kUnderflow * points;
}

// Whether the series prove that the plain search's sum of squared residuals for candidate h
// exceeds `squaresAbove`, kappa being the residual margin of ErrorPassCutoff. Over the groups far
// from h the series give S, the squared residuals of the vector line, and P, its squared
// predictions; each plain residual is at least |r| - kappa p there, so those points' plain
// squares are at least (sqrt(S) - kappa sqrt(P))^2. The groups near h add the error pass's own
// point-by-point lower bound. Needs every point in the regression (the groups hold them all).
bool SeriesProveLoss(const PowerLawData& data, const PowerLawGroups& g, double hValue,
                     const CandidateSums& r, double kappa, double squaresAbove) {
    constexpr std::size_t K = kSeriesTerms;
    constexpr double kUnit = 0x1.0p-53;
    const double m = r.m;
    // Past K the binomial coefficients of (1 + t)^(2m) must shrink: 2m < K + 1.
    if (!(m > 0 && m < 0.5 * K)) return false;
    const D d;
    const std::size_t lanes = hn::Lanes(d);
    // 1/(k+1), and (8/7)^k rounded up a little.
    struct Tables {
        std::array<double, K + 1> reciprocal, eightSevenths;
    };
    static const Tables tables = [] {
        Tables t{};
        for (std::size_t k = 0; k <= K; ++k) {
            t.reciprocal[k] = 1 / static_cast<double>(k + 1);
            t.eightSevenths[k] = std::pow(8.0 / 7.0, static_cast<double>(k)) * 1.001;
        }
        return t;
    }();
    const auto& reciprocal = tables.reciprocal;
    const auto& eightSevenths = tables.eightSevenths;
    double binomial[K + 1], binomial2[K + 1];  // of (1 + t)^m and (1 + t)^(2m)
    binomial[0] = binomial2[0] = 1;
    for (std::size_t k = 0; k < K; ++k) {
        const double kk = static_cast<double>(k);
        binomial[k + 1] = binomial[k] * (m - kk) * reciprocal[k];
        binomial2[k + 1] = binomial2[k] * (2 * m - kk) * reciprocal[k];
    }
    // Tails past K for t <= 1/8: |C(mu, K+1)| (1/8)^(K+1) / (7/8); sums of |C(mu, k)| t^k
    // below (1 - t)^-mu <= (8/7)^mu <= (8/7)^ceil(mu). Each with a margin for its roundings.
    const double kk = static_cast<double>(K);
    const double eighthPower = std::ldexp(1.0, -3 * static_cast<int>(K + 1)) / 0.875 * 1.01;
    const double tail = std::fabs(binomial[K] * (m - kk) * reciprocal[K]) * eighthPower;
    const double tail2 = std::fabs(binomial2[K] * (2 * m - kk) * reciprocal[K]) * eighthPower;
    const double majorant = eightSevenths[static_cast<std::size_t>(std::ceil(m))];
    const double majorant2 = eightSevenths[static_cast<std::size_t>(std::ceil(2 * m))];
    // Roundings per term: moments (points + K), coefficients (4K), v^k (2K), Horner's rule (2K),
    // assembly; doubled.
    const double theta = 2 * kUnit * static_cast<double>(g.size + 9 * K + 20);
    constexpr double kUnderflow = 1e-290;

    const double lnAlpha = r.c * 2.302585092994045684;
    const auto h = hn::Set(d, hValue);
    const auto shrink = hn::Set(d, 0.125 * (1 - 0x1.0p-50));
    const auto mm = hn::Set(d, m), lnA = hn::Set(d, lnAlpha), two = hn::Set(d, 2.0);
    const auto one = hn::Set(d, 1.0), three = hn::Set(d, 3.0);
    constexpr std::size_t kMaxLanes = HWY_MAX_BYTES / sizeof(double);
    HWY_ALIGN double lS[kMaxLanes], lP[kMaxLanes], lErrS[kMaxLanes], lErrP[kMaxLanes],
        lNear[kMaxLanes];
    double squares = 0, predictions = 0, errSquares = 0, errPredictions = 0, absSquares = 0;
    double nearLeast = 0;
    const std::size_t full = data.n - data.n % lanes;
    for (std::size_t j = 0; j < g.count; j += lanes) {
        const auto radius = hn::LoadU(d, g.radius + j);
        const auto span = hn::Sub(hn::LoadU(d, g.center + j), h);
        const auto v = hn::Div(radius, span);
        const auto lnSpan = hn::Log(d, span);
        const auto gain = hn::Exp(d, hn::MulAdd(mm, lnSpan, lnA));  // alpha (c - h)^m
        // Outside the normal range of the gain the relative bounds below do not hold.
        const auto near = hn::Not(
            hn::And(hn::Le(radius, hn::Mul(span, shrink)),
                    hn::And(hn::Gt(gain, hn::Set(d, 1e-250)), hn::Lt(gain, hn::Set(d, 1e250)))));
        const double* powers = g.powers + j;
        const double* loadPowers = g.loadPowers + j;
        auto b2 = hn::Mul(hn::Set(d, binomial2[K]), hn::LoadU(d, powers + K * g.padded));
        auto by = hn::Mul(hn::Set(d, binomial[K]), hn::LoadU(d, loadPowers + K * g.padded));
        for (std::size_t k = K; k-- > 0;) {
            b2 = hn::MulAdd(b2, v,
                            hn::Mul(hn::Set(d, binomial2[k]), hn::LoadU(d, powers + k * g.padded)));
            by = hn::MulAdd(
                by, v, hn::Mul(hn::Set(d, binomial[k]), hn::LoadU(d, loadPowers + k * g.padded)));
        }
        const auto n = hn::LoadU(d, g.points + j);
        const auto sumY = hn::LoadU(d, loadPowers);
        const auto y2 = hn::LoadU(d, g.loadSquares + j);
        const auto gain2 = hn::Mul(gain, gain);
        const auto p2 = hn::Mul(gain2, b2);                       // sum of p^2
        const auto py = hn::Mul(gain, by);                        // sum of p y
        const auto sq = hn::Add(hn::NegMulAdd(two, py, p2), y2);  // sum of (p - y)^2
        // Relative error of the gain: the exponent's roundings and the vector log and exp.
        const auto exponentSize =
            hn::Add(hn::Set(d, std::fabs(lnAlpha)), hn::Abs(hn::Mul(mm, lnSpan)));
        const auto logSize = hn::Add(hn::Abs(lnSpan), one);
        const auto dGain =
            hn::Mul(hn::Set(d, 2 * kUnit),
                    hn::MulAdd(three, exponentSize,
                               hn::MulAdd(hn::Set(d, 8 * m), logSize, hn::Set(d, 16.0))));
        const auto sizeP = hn::Mul(gain2, hn::Mul(n, hn::Set(d, majorant2)));
        const auto sizePY = hn::Mul(two, hn::Mul(gain, hn::Mul(sumY, hn::Set(d, majorant))));
        const auto truncP = hn::Mul(gain2, hn::Mul(n, hn::Set(d, tail2)));
        const auto truncS = hn::MulAdd(two, hn::Mul(gain, hn::Mul(sumY, hn::Set(d, tail))), truncP);
        const auto gainP = hn::Mul(hn::Mul(three, dGain), hn::Abs(p2));
        const auto gainS = hn::Mul(hn::Mul(three, dGain), hn::Add(hn::Abs(p2), hn::Abs(py)));
        const auto underflow =
            hn::Mul(hn::Set(d, kUnderflow), hn::Mul(n, hn::Add(one, hn::Add(sizeP, sizePY))));
        const auto theta2 = hn::Set(d, theta);
        const auto errS = hn::Add(hn::MulAdd(theta2, hn::Add(hn::Add(sizeP, sizePY), y2), truncS),
                                  hn::Add(gainS, underflow));
        const auto errP = hn::Add(hn::MulAdd(theta2, sizeP, truncP), hn::Add(gainP, underflow));
        hn::Store(sq, d, lS);
        hn::Store(p2, d, lP);
        hn::Store(errS, d, lErrS);
        hn::Store(errP, d, lErrP);
        hn::Store(hn::IfThenElseZero(near, one), d, lNear);
        for (std::size_t k = 0; k < lanes && j + k < g.count; ++k) {
            if (lNear[k] == 0) {
                squares += lS[k];
                absSquares += std::fabs(lS[k]);
                predictions += lP[k];
                errSquares += lErrS[k];
                errPredictions += lErrP[k];
                continue;
            }
            // The error pass's lower bound over the group's whole vectors.
            const std::size_t begin = (j + k) * g.size;
            const std::size_t end = std::min(begin + g.size, full);
            const auto mLn10 = hn::Set(d, m * 2.302585092994045684);
            const auto margin = hn::Set(d, kappa);
            auto least = hn::Zero(d);
            for (std::size_t i = begin; i < end; i += lanes) {
                const auto l = hn::Log10(d, hn::Sub(hn::LoadU(d, data.x + i), h));
                const auto pred = hn::Exp(d, hn::MulAdd(mLn10, l, lnA));
                const auto res = hn::Sub(pred, hn::LoadU(d, data.y + i));
                const auto t = hn::Max(hn::Zero(d), hn::NegMulAdd(margin, pred, hn::Abs(res)));
                least = hn::MulAdd(t, t, least);
            }
            nearLeast += hn::GetLane(hn::SumOfLanes(d, least));
        }
    }
    // The sums over the groups add their own roundings.
    const double groups = static_cast<double>(g.count);
    errSquares += 2 * groups * kUnit * absSquares;
    errPredictions += 2 * groups * kUnit * predictions;
    double far = 0;
    const double low = squares - errSquares;
    if (low > 0) {
        const double root = std::sqrt(low) - kappa * std::sqrt(predictions + errPredictions);
        if (root > 0) far = root * root * (1 - 1e-12);
    }
    return far + nearLeast > squaresAbove;
}

// The error pass, with the logarithms of the line pass (kStored) or computed afresh.
template <bool kStored>
void ErrorPass(const PowerLawData& data, const PowerLawGroups* groups, double hValue,
               CandidateSums& r, const double* logs, const ErrorPassCutoff* cutoff) {
    const D d;
    const std::size_t lanes = hn::Lanes(d);
    const std::size_t full = data.n - data.n % lanes;
    const auto h = hn::Set(d, hValue);
    auto logAt = [&](std::size_t i) {
        if constexpr (kStored)
            return hn::LoadU(d, logs + i);
        else
            return hn::Log10(d, hn::Sub(hn::LoadU(d, data.x + i), h));
    };
    // 10^(c + m L) = e^(ln10 c + ln10 m L): the logarithm of the first pass serves again.
    const auto c = hn::Set(d, r.c * 2.302585092994045684);
    const auto mLn10 = hn::Set(d, r.m * 2.302585092994045684);
    auto sq = hn::Zero(d), absRp = hn::Zero(d), rp = hn::Zero(d), rpl = hn::Zero(d);
    auto accumulate = [&](auto l, auto res, auto pred) {
        const auto resPred = hn::Mul(res, pred);
        sq = hn::MulAdd(res, res, sq);
        absRp = hn::Add(absRp, hn::Abs(resPred));
        rp = hn::Add(rp, resPred);
        rpl = hn::MulAdd(resPred, l, rpl);
    };
    std::size_t i = 0;
    const double kappa = cutoff ? cutoff->margin(cutoff->context, hValue, r) : kNaN;
    if (kappa >= 0 && groups && data.unitWeights &&
        SeriesProveLoss(data, *groups, hValue, r, kappa, cutoff->squaresAbove)) {
        r.abandoned = true;
        r.squares = r.absResidualPred = r.residualPred = r.residualPredL = kNaN;
        return;
    }
    if (kappa >= 0) {
        // The same pass, with a lower bound of the plain search's squares alongside.
        const auto margin = hn::Set(d, kappa);
        auto least = hn::Zero(d);
        std::size_t check = kCutoffStride;
        for (; i < full; i += lanes) {
            const auto l = logAt(i);
            const auto pred = hn::Exp(d, hn::MulAdd(mLn10, l, c));
            const auto res = hn::Sub(pred, hn::LoadU(d, data.y + i));
            accumulate(l, res, pred);
            const auto t = hn::Max(hn::Zero(d), hn::NegMulAdd(margin, pred, hn::Abs(res)));
            least = hn::MulAdd(t, t, least);
            if (i + lanes >= check) {
                check += kCutoffStride;
                if (hn::GetLane(hn::SumOfLanes(d, least)) > cutoff->squaresAbove) {
                    r.abandoned = true;
                    r.squares = r.absResidualPred = r.residualPred = r.residualPredL = kNaN;
                    return;
                }
            }
        }
    }
    for (; i < full; i += lanes) {
        const auto l = logAt(i);
        const auto pred = hn::Exp(d, hn::MulAdd(mLn10, l, c));
        accumulate(l, hn::Sub(pred, hn::LoadU(d, data.y + i)), pred);
    }
    if (i < data.n) {
        // The padding lanes of the last vector count nothing.
        const auto l = logAt(i);
        const auto pred = hn::Exp(d, hn::MulAdd(mLn10, l, c));
        const auto res =
            hn::IfThenElseZero(hn::FirstN(d, data.n - i), hn::Sub(pred, hn::LoadU(d, data.y + i)));
        accumulate(l, res, pred);
    }
    r.squares = hn::GetLane(hn::SumOfLanes(d, sq));
    r.absResidualPred = hn::GetLane(hn::SumOfLanes(d, absRp));
    r.residualPred = hn::GetLane(hn::SumOfLanes(d, rp));
    r.residualPredL = hn::GetLane(hn::SumOfLanes(d, rpl));
}

// The moments of the group of points [begin, end), every one in the regression: for k up to
// kSeriesTerms the sums of s^k, logY s^k and y s^k, s = (x - center) / radius (0 with radius
// 0), and the sums of logY, |logY| and y^2, into moments[0..3 * (kSeriesTerms + 1) + 2].
void GroupMomentsImpl(const PowerLawData& data, std::size_t begin, std::size_t end, double center,
                      double radius, double* moments) {
    constexpr std::size_t K = kSeriesTerms;
    const D d;
    const std::size_t lanes = hn::Lanes(d);
    const std::size_t count = end - begin;
    HWY_ALIGN double powers[kCoarseGroupPoints + HWY_MAX_BYTES / sizeof(double)];
    HWY_ALIGN double steps[kCoarseGroupPoints + HWY_MAX_BYTES / sizeof(double)];
    HWY_ALIGN double logYs[kCoarseGroupPoints + HWY_MAX_BYTES / sizeof(double)];
    HWY_ALIGN double ys[kCoarseGroupPoints + HWY_MAX_BYTES / sizeof(double)];
    if (count > kCoarseGroupPoints) {  // BuildPowerLawGroups makes none
        std::fill(moments, moments + 3 * (K + 1) + 3, kNaN);
        return;
    }
    const auto c = hn::Set(d, center), r = hn::Set(d, radius);
    auto sumLogY = hn::Zero(d), sumAbsLogY = hn::Zero(d), squares = hn::Zero(d);
    std::size_t used = 0;
    for (std::size_t i = 0; i < count; i += lanes, used += lanes) {
        // Lanes past the group count nothing.
        const auto inGroup = hn::FirstN(d, count - i);
        const auto step =
            radius > 0 ? hn::Div(hn::Sub(hn::LoadU(d, data.x + begin + i), c), r) : hn::Zero(d);
        hn::Store(hn::IfThenElseZero(inGroup, step), d, steps + i);
        hn::Store(hn::IfThenElseZero(inGroup, hn::Set(d, 1.0)), d, powers + i);
        const auto logY = hn::IfThenElseZero(inGroup, hn::LoadU(d, data.logY + begin + i));
        const auto y = hn::IfThenElseZero(inGroup, hn::LoadU(d, data.y + begin + i));
        hn::Store(logY, d, logYs + i);
        hn::Store(y, d, ys + i);
        sumLogY = hn::Add(sumLogY, logY);
        sumAbsLogY = hn::Add(sumAbsLogY, hn::Abs(logY));
        squares = hn::MulAdd(y, y, squares);
    }
    for (std::size_t k = 0; k <= K; ++k) {
        auto p = hn::Zero(d), q = hn::Zero(d), w = hn::Zero(d);
        for (std::size_t i = 0; i < used; i += lanes) {
            const auto power = hn::Load(d, powers + i);
            p = hn::Add(p, power);
            q = hn::MulAdd(hn::Load(d, logYs + i), power, q);
            w = hn::MulAdd(hn::Load(d, ys + i), power, w);
            hn::Store(hn::Mul(power, hn::Load(d, steps + i)), d, powers + i);
        }
        moments[k] = hn::GetLane(hn::SumOfLanes(d, p));
        moments[K + 1 + k] = hn::GetLane(hn::SumOfLanes(d, q));
        moments[2 * (K + 1) + k] = hn::GetLane(hn::SumOfLanes(d, w));
    }
    moments[3 * (K + 1)] = hn::GetLane(hn::SumOfLanes(d, sumLogY));
    moments[3 * (K + 1) + 1] = hn::GetLane(hn::SumOfLanes(d, sumAbsLogY));
    moments[3 * (K + 1) + 2] = hn::GetLane(hn::SumOfLanes(d, squares));
}

void EvaluateCandidatesImpl(const PowerLawData& data, const double* hs, std::size_t count,
                            CandidateSums* out, double* logs, const ErrorPassCutoff* cutoff) {
    const D d;
    for (std::size_t j = 0; j < count; ++j) {
        CandidateSums& r = out[j];
        r = CandidateSums{};
        // Far from the data the coarse groups serve, with a quarter of the work.
        const PowerLawGroups* groups =
            data.coarseGroups && hs[j] < data.coarseGroups->reach ? data.coarseGroups : data.groups;
        if (groups) {
            SumBySeries(data, *groups, hs[j], r);
        } else {
            LineAccumulators a{hn::Zero(d), hn::Zero(d), hn::Zero(d)};
            SumDirectly(data, hn::Set(d, hs[j]), 0, data.padded, logs, a);
            r.sumL = hn::GetLane(hn::SumOfLanes(d, a.sx));
            r.sumLL = hn::GetLane(hn::SumOfLanes(d, a.sxx));
            r.sumLLogY = hn::GetLane(hn::SumOfLanes(d, a.sxy));
        }
        const double k = data.regressionCount;
        const double xMean = r.sumL / k;
        r.m = (r.sumLLogY - r.sumL * data.sumLogY / k) / (r.sumLL - k * xMean * xMean);
        r.c = data.sumLogY / k - r.m * xMean;
        // A slope clearly below 1 rejects the candidate whatever its error.
        if (r.m < kSkipErrorBelowSlope) {
            r.squares = r.absResidualPred = r.residualPred = r.residualPredL = kNaN;
            continue;
        }
        if (groups)
            ErrorPass<false>(data, groups, hs[j], r, nullptr, cutoff);
        else
            ErrorPass<true>(data, nullptr, hs[j], r, logs, cutoff);
    }
}

}  // namespace marvek::detail::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include <atomic>
#include <cmath>
#if HWY_ARCH_X86
#include <cpuid.h>
#endif

namespace marvek::detail {
namespace {

// Highway's own dispatcher lives in its shared library, whose load-time timer calibration costs
// every process about 5 ms, more than a whole analysis of a 10000-point curve. The kernels are
// header-only code, so the choice is made here from the processor's feature flags, each target
// asking for what the library compiles it with.
using Kernel = void (*)(const PowerLawData&, const double*, std::size_t, CandidateSums*, double*,
                        const ErrorPassCutoff*);

using Moments = void (*)(const PowerLawData&, std::size_t, std::size_t, double, double, double*);

struct Target {
    const char* name;
    Kernel kernel;
    Moments moments;
    bool (*runs)();
};

#if HWY_ARCH_X86
// Not every compiler's __builtin_cpu_supports knows these two.
bool HasF16c() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    return __get_cpuid(1, &a, &b, &c, &d) != 0 && ((c >> 29) & 1) != 0;
}
bool HasLzcnt() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    return __get_cpuid(0x80000001u, &a, &b, &c, &d) != 0 && ((c >> 5) & 1) != 0;
}

bool RunsSsse3() { return __builtin_cpu_supports("sse3") && __builtin_cpu_supports("ssse3"); }
bool RunsSse4() {
    return RunsSsse3() && __builtin_cpu_supports("sse4.1") && __builtin_cpu_supports("sse4.2") &&
           __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("aes");
}
bool RunsAvx2() {
    return RunsSse4() && __builtin_cpu_supports("avx") && __builtin_cpu_supports("avx2") &&
           __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
           __builtin_cpu_supports("fma") && HasF16c() && HasLzcnt();
}
bool RunsAvx3() {
    return RunsAvx2() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
           __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw");
}
#endif
bool RunsAlways() { return true; }

// Widest first; the last is the build's baseline.
const std::vector<Target>& CompiledTargets() {
    static const std::vector<Target> targets = [] {
        std::vector<Target> t;
#if HWY_TARGETS & HWY_AVX3
        t.push_back(
            {"AVX3", &N_AVX3::EvaluateCandidatesImpl, &N_AVX3::GroupMomentsImpl, &RunsAvx3});
#endif
#if HWY_TARGETS & HWY_AVX2
        t.push_back(
            {"AVX2", &N_AVX2::EvaluateCandidatesImpl, &N_AVX2::GroupMomentsImpl, &RunsAvx2});
#endif
#if HWY_TARGETS & HWY_SSE4
        t.push_back(
            {"SSE4", &N_SSE4::EvaluateCandidatesImpl, &N_SSE4::GroupMomentsImpl, &RunsSse4});
#endif
#if HWY_TARGETS & HWY_SSSE3
        t.push_back(
            {"SSSE3", &N_SSSE3::EvaluateCandidatesImpl, &N_SSSE3::GroupMomentsImpl, &RunsSsse3});
#endif
        t.push_back({hwy::TargetName(HWY_STATIC_TARGET),
                     &HWY_STATIC_DISPATCH(EvaluateCandidatesImpl),
                     &HWY_STATIC_DISPATCH(GroupMomentsImpl), &RunsAlways});
        return t;
    }();
    return targets;
}

const Target* Widest() {
    __builtin_cpu_init();
    for (const Target& t : CompiledTargets())
        if (t.runs()) return &t;
    return &CompiledTargets().back();
}

std::atomic<const Target*>& Chosen() {
    static std::atomic<const Target*> chosen{Widest()};
    return chosen;
}

}  // namespace

// Below this many groups the per-candidate work of the groups costs more than it saves.
constexpr std::size_t kGroupsFrom = 4;

void BuildPowerLawGroups(const PowerLawData& data, PowerLawGroups& out, std::size_t size) {
    out = PowerLawGroups{};
    if (size == 0 || size % kPowerLawPadding != 0 || size > kCoarseGroupPoints ||
        data.n < kGroupsFrom * size)
        return;
    const std::size_t count = (data.n + size - 1) / size;
    const std::size_t padded = (count + kPowerLawPadding - 1) / kPowerLawPadding * kPowerLawPadding;
    constexpr double kInf = std::numeric_limits<double>::infinity();
    out.size = size;
    out.count = count;
    out.padded = padded;
    out.reach = kInf;
    out.block.resize((5 + 3 * kSeriesTerms + 2 * (kSeriesTerms + 1) + 1) * padded);
    double* next = out.block.data();
    auto take = [&](std::size_t rows) {
        double* start = next;
        next += rows * padded;
        return start;
    };
    out.center = take(1), out.radius = take(1), out.points = take(1);
    out.sumLogY = take(1), out.sumAbsLogY = take(1);
    out.logTerms = take(kSeriesTerms), out.squareTerms = take(kSeriesTerms);
    out.logYTerms = take(kSeriesTerms);
    out.powers = take(kSeriesTerms + 1), out.loadPowers = take(kSeriesTerms + 1);
    out.loadSquares = take(1);
    std::fill(out.center, out.center + padded, 1.0);
    std::fill(out.radius, out.radius + padded, kInf);
    // ln(1 + t) = sum of (-1)^(k+1) t^k / k; ln(1 + t)^2 = sum over k >= 2 of
    // (-1)^k 2 H(k-1) t^k / k, H the harmonic numbers.
    double logCoefficient[kSeriesTerms], squareCoefficient[kSeriesTerms];
    double harmonic = 0;
    for (std::size_t k = 1; k <= kSeriesTerms; ++k) {
        const double sign = k % 2 == 1 ? 1.0 : -1.0;
        logCoefficient[k - 1] = sign / static_cast<double>(k);
        squareCoefficient[k - 1] = -sign * 2 * harmonic / static_cast<double>(k);
        harmonic += 1 / static_cast<double>(k);
    }
    for (std::size_t g = 0; g < count; ++g) {
        const std::size_t begin = g * size, end = std::min(begin + size, data.n);
        double lo = kInf, hi = -kInf, points = 0;
        for (std::size_t i = begin; i < end; ++i) {
            if (!data.unitWeights && data.weight[i] == 0) continue;
            lo = std::min(lo, data.x[i]);
            hi = std::max(hi, data.x[i]);
            points += 1;
        }
        // x - c is exact (Sterbenz) when every x lies within a factor 2 of c.
        const double center = 0.5 * lo + 0.5 * hi;
        if (points == 0 || !(lo > 1e-300) || !(hi < 1e300) || !(2 * lo >= center) ||
            !(hi <= 2 * center))
            continue;
        const double radius = std::max(center - lo, hi - center);
        double sumLogY = 0, sumAbsLogY = 0, loadSquares = 0;
        double p[kSeriesTerms + 1] = {}, q[kSeriesTerms + 1] = {}, w[kSeriesTerms + 1] = {};
        if (data.unitWeights) {
            double moments[3 * (kSeriesTerms + 1) + 3];
            Chosen()
                .load(std::memory_order_relaxed)
                ->moments(data, begin, end, center, radius, moments);
            std::copy(moments, moments + kSeriesTerms + 1, p);
            std::copy(moments + kSeriesTerms + 1, moments + 2 * (kSeriesTerms + 1), q);
            std::copy(moments + 2 * (kSeriesTerms + 1), moments + 3 * (kSeriesTerms + 1), w);
            sumLogY = moments[3 * (kSeriesTerms + 1)];
            sumAbsLogY = moments[3 * (kSeriesTerms + 1) + 1];
            loadSquares = moments[3 * (kSeriesTerms + 1) + 2];
        }
        for (std::size_t i = begin; i < end && !data.unitWeights; ++i) {
            if (data.weight[i] == 0) continue;
            const double logY = data.logY[i], y = data.y[i];
            sumLogY += logY;
            sumAbsLogY += std::fabs(logY);
            loadSquares += y * y;
            const double s = radius > 0 ? (data.x[i] - center) / radius : 0.0;
            double power = 1;
            for (std::size_t k = 0; k <= kSeriesTerms; ++k) {
                p[k] += power;
                q[k] += logY * power;
                w[k] += y * power;
                power *= s;
            }
        }
        out.loadSquares[g] = loadSquares;
        for (std::size_t k = 0; k <= kSeriesTerms; ++k) {
            out.powers[k * padded + g] = p[k];
            out.loadPowers[k * padded + g] = w[k];
        }
        out.center[g] = center;
        out.radius[g] = radius;
        out.reach = std::min(out.reach, center - 8.5 * radius);
        out.points[g] = points;
        out.sumLogY[g] = sumLogY;
        out.sumAbsLogY[g] = sumAbsLogY;
        for (std::size_t k = 0; k < kSeriesTerms; ++k) {
            out.logTerms[k * padded + g] = logCoefficient[k] * p[k + 1];
            out.squareTerms[k * padded + g] = squareCoefficient[k] * p[k + 1];
            out.logYTerms[k * padded + g] = logCoefficient[k] * q[k + 1];
        }
    }
}

void EvaluatePowerLawCandidates(const PowerLawData& data, const double* h, std::size_t count,
                                CandidateSums* out, double* scratch,
                                const ErrorPassCutoff* cutoff) {
    Chosen().load(std::memory_order_relaxed)->kernel(data, h, count, out, scratch, cutoff);
}

const char* PowerLawVectorTarget() { return Chosen().load()->name; }

std::vector<std::string> PowerLawVectorTargets() {
    std::vector<std::string> names;
    for (const Target& t : CompiledTargets())
        if (t.runs()) names.emplace_back(t.name);
    return names;
}

bool UsePowerLawVectorTarget(const std::string& name) {
    for (const Target& t : CompiledTargets()) {
        if (name == t.name && t.runs()) {
            Chosen().store(&t);
            return true;
        }
    }
    return false;
}

}  // namespace marvek::detail
#endif
