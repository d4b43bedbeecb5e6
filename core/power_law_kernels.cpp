// Compiled once per vector instruction set; the widest one the machine supports is chosen at run
// time.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "core/power_law_kernels.cpp"
#include <hwy/foreach_target.h>  // must come before highway.h

#include <limits>

#include <hwy/contrib/math/math-inl.h>
#include <hwy/highway.h>

#include "core/power_law_kernels.h"

HWY_BEFORE_NAMESPACE();
namespace marvek::detail::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

constexpr double kSkipErrorBelowSlope = 0.999;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

void EvaluateCandidatesImpl(const PowerLawData& data, const double* hs, std::size_t count,
                            CandidateSums* out, double* logs) {
    const hn::ScalableTag<double> d;
    const std::size_t lanes = hn::Lanes(d);
    const std::size_t full = data.n - data.n % lanes;
    const auto ln10 = hn::Set(d, 2.302585092994045684);
    for (std::size_t j = 0; j < count; ++j) {
        CandidateSums& r = out[j];
        const auto h = hn::Set(d, hs[j]);
        auto sx = hn::Zero(d), sxx = hn::Zero(d), sxy = hn::Zero(d);
        for (std::size_t i = 0; i < data.padded; i += lanes) {
            const auto l = hn::Log10(d, hn::Sub(hn::LoadU(d, data.x + i), h));
            hn::StoreU(l, d, logs + i);
            const auto wl = hn::Mul(hn::LoadU(d, data.weight + i), l);
            sx = hn::Add(sx, wl);
            sxx = hn::MulAdd(wl, l, sxx);
            sxy = hn::MulAdd(l, hn::LoadU(d, data.logY + i), sxy);
        }
        r.sumL = hn::GetLane(hn::SumOfLanes(d, sx));
        r.sumLL = hn::GetLane(hn::SumOfLanes(d, sxx));
        r.sumLLogY = hn::GetLane(hn::SumOfLanes(d, sxy));
        const double k = data.regressionCount;
        const double xMean = r.sumL / k;
        r.m = (r.sumLLogY - r.sumL * data.sumLogY / k) / (r.sumLL - k * xMean * xMean);
        r.c = data.sumLogY / k - r.m * xMean;
        // A slope clearly below 1 rejects the candidate whatever its error.
        if (r.m < kSkipErrorBelowSlope) {
            r.squares = r.absResidualPred = r.residualPred = r.residualPredL = kNaN;
            continue;
        }

        // 10^(c + m L) = e^(ln10 c + ln10 m L): the logarithm of the first pass serves again.
        const auto c = hn::Set(d, r.c * 2.302585092994045684);
        const auto m = hn::Set(d, r.m);
        auto sq = hn::Zero(d), absRp = hn::Zero(d), rp = hn::Zero(d), rpl = hn::Zero(d);
        const auto mLn10 = hn::Mul(m, ln10);
        auto accumulate = [&](auto l, auto res, auto pred) {
            const auto resPred = hn::Mul(res, pred);
            sq = hn::MulAdd(res, res, sq);
            absRp = hn::Add(absRp, hn::Abs(resPred));
            rp = hn::Add(rp, resPred);
            rpl = hn::MulAdd(resPred, l, rpl);
        };
        std::size_t i = 0;
        for (; i < full; i += lanes) {
            const auto l = hn::LoadU(d, logs + i);
            const auto pred = hn::Exp(d, hn::MulAdd(mLn10, l, c));
            accumulate(l, hn::Sub(pred, hn::LoadU(d, data.y + i)), pred);
        }
        if (i < data.n) {
            // The padding lanes of the last vector count nothing.
            const auto l = hn::LoadU(d, logs + i);
            const auto pred = hn::Exp(d, hn::MulAdd(mLn10, l, c));
            const auto res = hn::IfThenElseZero(hn::FirstN(d, data.n - i),
                                                hn::Sub(pred, hn::LoadU(d, data.y + i)));
            accumulate(l, res, pred);
        }
        r.squares = hn::GetLane(hn::SumOfLanes(d, sq));
        r.absResidualPred = hn::GetLane(hn::SumOfLanes(d, absRp));
        r.residualPred = hn::GetLane(hn::SumOfLanes(d, rp));
        r.residualPredL = hn::GetLane(hn::SumOfLanes(d, rpl));
    }
}

const char* TargetNameImpl() { return hwy::TargetName(HWY_TARGET); }

}  // namespace marvek::detail::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace marvek::detail {

HWY_EXPORT(EvaluateCandidatesImpl);
HWY_EXPORT(TargetNameImpl);

void EvaluatePowerLawCandidates(const PowerLawData& data, const double* h, std::size_t count,
                                CandidateSums* out, double* scratch) {
    HWY_DYNAMIC_DISPATCH(EvaluateCandidatesImpl)(data, h, count, out, scratch);
}

const char* PowerLawVectorTarget() { return HWY_DYNAMIC_DISPATCH(TargetNameImpl)(); }

}  // namespace marvek::detail
#endif
