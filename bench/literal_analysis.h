#pragma once
// The reference the benchmarks measure against: the per-curve analysis done the plain way, with
// the one-candidate-at-a-time power-law search, one thread, re-reading the file every time.

#include "core/analysis/curve_analysis.h"

namespace marvek::bench {

// AnalyzeCurve with the plain power-law search for Oliver-Pharr.
Status LiteralAnalyzeCurve(CCurveAnalyzer& analyzer, int curve, const Settings& settings,
                           CurveDisplay& display);

// Loads a curve held in memory into the analyzer, as a read would.
void LoadCurve(CCurveAnalyzer& analyzer, const std::vector<double>& depth,
               const std::vector<double>& load, const std::vector<double>& time,
               const std::vector<char>& segment);

// The relative difference |a - b| / max(|a|, |b|), 0 for equal values (NaN equal to NaN).
double RelativeDifference(double a, double b);

// The largest relative difference between two analyses' results and derived quantities.
double LargestDifference(const CCurveAnalyzer& a, const CurveDisplay& da, const CCurveAnalyzer& b,
                         const CurveDisplay& db);

}  // namespace marvek::bench
