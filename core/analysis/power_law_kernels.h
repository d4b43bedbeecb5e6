#pragma once
// Vector kernels of the power-law search: for each candidate offset h, the log-log line through
// (log10(x - h), log10 y) and the squared error of the fitted law, computed with vector
// logarithms and exponentials on the widest vector unit the machine has. The results are close
// to, not equal to, those of the scalar library functions; the search bounds the difference.

#include <cstddef>
#include <string>
#include <vector>

#include "core/platform/large_blocks.h"

namespace marvek::detail {

// Arrays are padded to a multiple of kPowerLawPadding entries; padding entries carry x = the
// largest x, y = logY = weight = 0.
inline constexpr std::size_t kPowerLawPadding = 16;

// The line's sums over a run of neighbouring points need no logarithm per point: with c the run's
// centre and t = (x - c) / (c - h),
//   log10(x - h) = log10(c - h) + ln(1 + t) / ln 10,
// and the sums over the run of ln(1 + t), ln(1 + t)^2 and logY ln(1 + t) are power series in
// v = r / (c - h), r the run's radius, whose coefficients depend on the points alone. A
// candidate far enough from a run (v <= 1/8) takes its sums from kSeriesTerms terms of them.
// Runs of kGroupPoints serve candidates near the data; candidates far from it take runs of
// kCoarseGroupPoints, a quarter as many. (A third level, of 1024, gained nothing measurable.)
inline constexpr std::size_t kGroupPoints = 64;
inline constexpr std::size_t kCoarseGroupPoints = 256;
inline constexpr std::size_t kSeriesTerms = 16;

struct PowerLawGroups {
    std::size_t size = 0;   // points per group
    std::size_t count = 0;  // groups of `size` points, the last one shorter
    // Candidates h below this are far from every group (v <= 1/8 with a margin).
    double reach = 0;
    std::size_t padded = 0;  // entries of every array: count rounded up to kPowerLawPadding
    // Padding groups, and runs whose differences x - c are not all exact, have radius = inf:
    // their points are always summed one by one.
    double* center = nullptr;
    double* radius = nullptr;
    double* points = nullptr;  // over the run's regression points
    double* sumLogY = nullptr;
    double* sumAbsLogY = nullptr;
    // Coefficient of v^(k+1) at [k * padded + group], k < kSeriesTerms, of the three sums.
    double* logTerms = nullptr;
    double* squareTerms = nullptr;
    double* logYTerms = nullptr;
    // The error of a law alpha (x - h)^m, through (x - h)^m = (c - h)^m (1 + t)^m: the sums of
    // s^k and y s^k, s = (x - c) / r, at [k * padded + group] for k <= kSeriesTerms, and of y^2.
    double* powers = nullptr;
    double* loadPowers = nullptr;
    double* loadSquares = nullptr;
    io::ZeroedVector<double> block;  // all of the above
};

struct PowerLawData {
    const double* x = nullptr;
    const double* y = nullptr;
    const double* logY = nullptr;            // log10 y where y > 0, else 0
    const double* weight = nullptr;          // 1 where y > 0, else 0; may be null with unitWeights
    std::size_t n = 0;                       // real points
    std::size_t padded = 0;                  // entries of every array
    bool unitWeights = false;                // every real point has y > 0 (weight 1)
    double regressionCount = 0;              // points with y > 0
    double sumLogY = 0;                      // sum of logY
    const PowerLawGroups* groups = nullptr;  // when set, the line's sums come from the series
    const PowerLawGroups* coarseGroups = nullptr;  // taken instead where h < their reach
};

// The groups of `size` points of `data` (whose own groups are not read); none (count 0) for
// sections too short to gain.
void BuildPowerLawGroups(const PowerLawData& data, PowerLawGroups& out,
                         std::size_t size = kGroupPoints);

// One candidate. Sums over the regression points unless said otherwise.
struct CandidateSums {
    bool abandoned = false;  // proved to lose (series or a partial error pass): cannot win
    double sumL = 0, sumLL = 0, sumLLogY = 0;  // L = log10(x - h)
    double m = 0, c = 0;                       // slope and intercept of the log-log line
    double squares = 0;                        // sum over all points of (10^(c + m L) - y)^2
    double absResidualPred = 0;                // sum over all points of |r| * pred
    double residualPred = 0;                   // sum over all points of r * pred
    double residualPredL = 0;                  // sum over all points of r * pred * L
    // Bounds on |sumL - exact sum| and so on from the series (truncation, roundings and the
    // logarithm of each centre); 0 when every point was summed one by one.
    double seriesL = 0, seriesLL = 0, seriesLLogY = 0;
};

// Lets the error pass stop once a candidate is certain to lose. After the line of candidate h
// is known, `margin` gives kappa >= 0 such that each residual the plain search computes is at
// least |vector residual| - kappa * vector prediction (or NaN: no early stop for it); the pass
// stops, and marks the candidate abandoned, once the sum over the points so far of
// max(0, that difference)^2 exceeds `squaresAbove`. With groups and every point in the
// regression, the series may prove that before the pass starts.
struct ErrorPassCutoff {
    double squaresAbove = 0;
    double (*margin)(const void* context, double h, const CandidateSums& sums) = nullptr;
    const void* context = nullptr;
};

// Evaluates the candidates h[0..count-1], all left of the smallest x. `scratch` holds
// data.padded doubles. The error sums of a candidate whose slope is below 0.999 are not computed
// (NaN): such a slope rejects it anyway; nor are those of a candidate abandoned by `cutoff`
// (which may be null).
void EvaluatePowerLawCandidates(const PowerLawData& data, const double* h, std::size_t count,
                                CandidateSums* out, double* scratch,
                                const ErrorPassCutoff* cutoff = nullptr);

// The instruction set the kernels run on ("AVX3", "AVX2", ...): the widest this processor has,
// unless UsePowerLawVectorTarget chose another.
const char* PowerLawVectorTarget();

// Every compiled instruction set this processor runs, widest first.
std::vector<std::string> PowerLawVectorTargets();

// Runs the kernels on the named instruction set from now on (for tests and measurements); false,
// changing nothing, when it is not compiled or this processor lacks it.
bool UsePowerLawVectorTarget(const std::string& name);

}  // namespace marvek::detail
