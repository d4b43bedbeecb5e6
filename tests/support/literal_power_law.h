#pragma once
// The power-law search written the plainest way, as the reference a faster search must match.

namespace marvek::testing {

// y = alpha*(x - hf)^m; maxDepth is the largest depth of the whole curve. Returns r^2.
double LiteralFitPowerLaw(double& alpha, double& m, double& hf, const double* x, const double* y,
                          int n, double maxDepth);

}  // namespace marvek::testing
