#pragma once
// The power-law search behind CCurveAnalyzer::FitPowerLaw, as a free function.

namespace marvek {

// What one search did; for benchmarks and tests.
struct PowerLawSearchStats {
    int sweeps = 0;
    int candidates = 0;        // candidates evaluated
    int exactEvaluations = 0;  // of them, evaluated again with the scalar library functions
    int abandoned = 0;         // of them, proved to lose by the series or a partial error pass
};

// Fits y = alpha*(x - hf)^m to x[0..n-1], y[0..n-1] by searching hf on a grid that halves around
// the best candidate each sweep; alpha and m of a candidate come from the least-squares line
// through (log10(x - hf), log10 y), and the candidate with the smallest RMS error and m >= 1
// wins. maxDepth (the largest depth of the whole curve) sets the first window. Returns r^2 of
// the winner's log-log line; with no acceptable candidate it returns 0, hf = min x and
// alpha = m = NaN.
//
// Candidates are evaluated with vector arithmetic, in parallel; every decision the search takes
// is the one the scalar library functions would give, so the results are those of a plain
// one-candidate-at-a-time search.
double FitPowerLawSearch(double& alpha, double& m, double& hf, const double* x, const double* y,
                         int n, double maxDepth, PowerLawSearchStats* stats = nullptr);

// The same search started from the window [lo, hi] instead of the one maxDepth sets, with
// `steps` candidates per sweep (the search above takes 200). Re-fits of slightly changed data
// (the uncertainty's Monte Carlo and sweeps) start near the known answer: a narrow window and a
// coarser grid reach the same minimum with fewer candidates.
// Searches spread their candidates over the cores of the task arena they run in, unless the
// arena or the process (tbb::global_control max_allowed_parallelism) allows one thread only. A
// process that analyses one curve and ends limits itself so: starting the thread pool costs it
// more than the search gains.
double FitPowerLawSearchIn(double& alpha, double& m, double& hf, const double* x, const double* y,
                           int n, double lo, double hi, int steps = 200,
                           PowerLawSearchStats* stats = nullptr);

}  // namespace marvek
