#pragma once
// Least-squares building blocks shared by the analyses.

namespace marvek {

// y = intercept + slope*x; rSquared is the square of Pearson's r.
struct LineFit {
    double intercept;
    double slope;
    double rSquared;
};

// Ordinary least squares over x[0..n-1], y[0..n-1]. No guard against n < 2 or zero spread:
// callers that can meet such input check first.
LineFit FitLine(const double* x, const double* y, int n);

}  // namespace marvek
