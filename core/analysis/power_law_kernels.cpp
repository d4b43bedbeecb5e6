// Compiled once per vector instruction set; the widest one the machine supports is chosen at run
// time.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "core/analysis/power_law_kernels.cpp"
#include <hwy/foreach_target.h>  // must come before highway.h

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

void EvaluateCandidatesImpl(const PowerLawData& data, const double* hs, std::size_t count,
                            CandidateSums* out, double* logs, const ErrorPassCutoff* cutoff) {
    const hn::ScalableTag<double> d;
    const std::size_t lanes = hn::Lanes(d);
    const std::size_t full = data.n - data.n % lanes;
    const auto ln10 = hn::Set(d, 2.302585092994045684);
    for (std::size_t j = 0; j < count; ++j) {
        CandidateSums& r = out[j];
        r.abandoned = false;
        const auto h = hn::Set(d, hs[j]);
        auto sx = hn::Zero(d), sxx = hn::Zero(d), sxy = hn::Zero(d);
        // With every point in the regression the weights of whole vectors are 1, and 1 * l is l:
        // the same sums without the multiplication.
        std::size_t i = 0;
        if (data.unitWeights) {
            for (; i < full; i += lanes) {
                const auto l = hn::Log10(d, hn::Sub(hn::LoadU(d, data.x + i), h));
                hn::StoreU(l, d, logs + i);
                sx = hn::Add(sx, l);
                sxx = hn::MulAdd(l, l, sxx);
                sxy = hn::MulAdd(l, hn::LoadU(d, data.logY + i), sxy);
            }
        }
        for (; i < data.padded; i += lanes) {
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
        i = 0;
        const double kappa = cutoff ? cutoff->margin(cutoff->context, hs[j], r) : kNaN;
        if (kappa >= 0) {
            // The same pass, with a lower bound of the plain search's squares alongside.
            const auto margin = hn::Set(d, kappa);
            auto least = hn::Zero(d);
            std::size_t check = kCutoffStride;
            for (; i < full; i += lanes) {
                const auto l = hn::LoadU(d, logs + i);
                const auto pred = hn::Exp(d, hn::MulAdd(mLn10, l, c));
                const auto res = hn::Sub(pred, hn::LoadU(d, data.y + i));
                accumulate(l, res, pred);
                const auto t = hn::Max(hn::Zero(d), hn::NegMulAdd(margin, pred, hn::Abs(res)));
                least = hn::MulAdd(t, t, least);
                if (i + lanes >= check) {
                    check += kCutoffStride;
                    if (hn::GetLane(hn::SumOfLanes(d, least)) > cutoff->squaresAbove) {
                        r.abandoned = true;
                        break;
                    }
                }
            }
            if (r.abandoned) {
                r.squares = r.absResidualPred = r.residualPred = r.residualPredL = kNaN;
                continue;
            }
        }
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

}  // namespace marvek::detail::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include <atomic>
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

struct Target {
    const char* name;
    Kernel kernel;
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
        t.push_back({"AVX3", &N_AVX3::EvaluateCandidatesImpl, &RunsAvx3});
#endif
#if HWY_TARGETS & HWY_AVX2
        t.push_back({"AVX2", &N_AVX2::EvaluateCandidatesImpl, &RunsAvx2});
#endif
#if HWY_TARGETS & HWY_SSE4
        t.push_back({"SSE4", &N_SSE4::EvaluateCandidatesImpl, &RunsSse4});
#endif
#if HWY_TARGETS & HWY_SSSE3
        t.push_back({"SSSE3", &N_SSSE3::EvaluateCandidatesImpl, &RunsSsse3});
#endif
        t.push_back({hwy::TargetName(HWY_STATIC_TARGET),
                     &HWY_STATIC_DISPATCH(EvaluateCandidatesImpl), &RunsAlways});
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
