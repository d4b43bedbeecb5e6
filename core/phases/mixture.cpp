#include "core/phases/mixture.h"

#include <Eigen/Cholesky>
#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>

namespace marvek::phases {
namespace {

using Eigen::MatrixXd;
using Eigen::VectorXd;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kLog2Pi = std::log(2.0 * 3.14159265358979323846);

// mt19937_64's output is fixed by the C++ standard; the standard distributions are not, so the
// uniform variate is made here to keep a seed's fit the same with every library.
double Uniform(std::mt19937_64& rng) { return static_cast<double>(rng() >> 11) * 0x1.0p-53; }

struct Component {
    double weight;
    VectorXd mean;
    MatrixXd cov;
};

struct Run {
    std::vector<Component> parts;
    double logLikelihood = -std::numeric_limits<double>::infinity();
    MatrixXd resp;  // n x k posterior probabilities
};

// log(w_c) + log N(x_i | mean_c, cov_c) for every sample and phase.
MatrixXd LogDensities(const MatrixXd& x, const std::vector<Component>& parts) {
    const auto n = x.rows(), d = x.cols();
    MatrixXd out(n, static_cast<Eigen::Index>(parts.size()));
    for (std::size_t c = 0; c < parts.size(); ++c) {
        const auto& p = parts[c];
        Eigen::LLT<MatrixXd> llt(p.cov);
        const MatrixXd l = llt.matrixL();
        const MatrixXd y =
            l.triangularView<Eigen::Lower>().solve((x.rowwise() - p.mean.transpose()).transpose());
        const double logDet = 2.0 * l.diagonal().array().log().sum();
        const double constant =
            std::log(p.weight) - 0.5 * (static_cast<double>(d) * kLog2Pi + logDet);
        out.col(static_cast<Eigen::Index>(c)) =
            (constant - 0.5 * y.colwise().squaredNorm().array()).matrix().transpose();
    }
    return out;
}

// Turns log densities into posterior probabilities in place; returns the log-likelihood.
double Normalise(MatrixXd& logp) {
    double total = 0;
    for (Eigen::Index i = 0; i < logp.rows(); ++i) {
        const double top = logp.row(i).maxCoeff();
        const double sum = (logp.row(i).array() - top).exp().sum();
        const double lse = top + std::log(sum);
        logp.row(i) = (logp.row(i).array() - lse).exp();
        total += lse;
    }
    return total;
}

std::vector<Component> Maximise(const MatrixXd& x, const MatrixXd& resp, double ridge) {
    const auto n = x.rows(), d = x.cols();
    std::vector<Component> parts;
    for (Eigen::Index c = 0; c < resp.cols(); ++c) {
        // A phase that lost all its samples keeps a tiny share of the whole data's shape
        // rather than a division by zero.
        const double nk = std::max(resp.col(c).sum(), 1e-12);
        VectorXd mean = (x.transpose() * resp.col(c)) / nk;
        const MatrixXd centred = x.rowwise() - mean.transpose();
        MatrixXd cov =
            (centred.transpose() * centred.cwiseProduct(resp.col(c).replicate(1, d))) / nk;
        cov += ridge * MatrixXd::Identity(d, d);
        parts.push_back({nk / static_cast<double>(n), std::move(mean), std::move(cov)});
    }
    return parts;
}

// k-means++ seeding (Arthur & Vassilvitskii 2007) and a few Lloyd steps give the first hard
// assignment; EM starts from the phases it implies.
MatrixXd SeedResponsibilities(const MatrixXd& x, int k, std::mt19937_64& rng) {
    const auto n = x.rows();
    std::vector<Eigen::Index> centres;
    centres.push_back(std::min<Eigen::Index>(
        static_cast<Eigen::Index>(Uniform(rng) * static_cast<double>(n)), n - 1));
    VectorXd nearest = (x.rowwise() - x.row(centres[0])).rowwise().squaredNorm();
    while (static_cast<int>(centres.size()) < k) {
        const double total = nearest.sum();
        Eigen::Index pick = n - 1;
        if (total > 0) {
            double target = Uniform(rng) * total;
            for (Eigen::Index i = 0; i < n; ++i) {
                target -= nearest(i);
                if (target < 0) {
                    pick = i;
                    break;
                }
            }
        } else {
            pick = std::min<Eigen::Index>(
                static_cast<Eigen::Index>(Uniform(rng) * static_cast<double>(n)), n - 1);
        }
        centres.push_back(pick);
        nearest = nearest.cwiseMin((x.rowwise() - x.row(pick)).rowwise().squaredNorm());
    }
    MatrixXd means(k, x.cols());
    for (int c = 0; c < k; ++c) means.row(c) = x.row(centres[static_cast<std::size_t>(c)]);
    std::vector<int> assign(static_cast<std::size_t>(n), 0);
    for (int step = 0; step < 20; ++step) {
        bool changed = false;
        for (Eigen::Index i = 0; i < n; ++i) {
            Eigen::Index best = 0;
            (means.rowwise() - x.row(i)).rowwise().squaredNorm().minCoeff(&best);
            if (assign[static_cast<std::size_t>(i)] != best) changed = true;
            assign[static_cast<std::size_t>(i)] = static_cast<int>(best);
        }
        MatrixXd sums = MatrixXd::Zero(k, x.cols());
        VectorXd counts = VectorXd::Zero(k);
        for (Eigen::Index i = 0; i < n; ++i) {
            sums.row(assign[static_cast<std::size_t>(i)]) += x.row(i);
            counts(assign[static_cast<std::size_t>(i)]) += 1;
        }
        for (int c = 0; c < k; ++c)
            if (counts(c) > 0) means.row(c) = sums.row(c) / counts(c);
        if (!changed && step > 0) break;
    }
    MatrixXd resp = MatrixXd::Zero(n, k);
    for (Eigen::Index i = 0; i < n; ++i) resp(i, assign[static_cast<std::size_t>(i)]) = 1;
    return resp;
}

Run FitOnce(const MatrixXd& x, int k, const PhaseSettings& s, std::mt19937_64& rng) {
    Run run;
    run.parts = Maximise(x, SeedResponsibilities(x, k, rng), s.ridge);
    const double n = static_cast<double>(x.rows());
    double previous = -std::numeric_limits<double>::infinity();
    for (int it = 0; it < s.maxIterations; ++it) {
        MatrixXd resp = LogDensities(x, run.parts);
        const double logL = Normalise(resp);
        run.logLikelihood = logL;
        run.resp = std::move(resp);
        if (std::abs(logL - previous) / n < s.tolerance) break;
        previous = logL;
        run.parts = Maximise(x, run.resp, s.ridge);
    }
    return run;
}

}  // namespace

int MixtureParameterCount(int k, int d) { return (k - 1) + k * d + k * d * (d + 1) / 2; }

namespace {

// Standardised samples (each column to mean 0, SD 1), so that seeding distances weigh the
// columns alike whatever their units; the fit is mapped back afterwards.
struct Standardised {
    MatrixXd x;
    VectorXd centre, scale;
};

Standardised Standardise(const std::vector<std::vector<double>>& samples) {
    const auto n = static_cast<Eigen::Index>(samples.size());
    const auto d = static_cast<Eigen::Index>(samples.front().size());
    Standardised z;
    z.x.resize(n, d);
    for (Eigen::Index i = 0; i < n; ++i)
        for (Eigen::Index j = 0; j < d; ++j)
            z.x(i, j) = samples[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
    z.centre = z.x.colwise().mean().transpose();
    z.scale.resize(d);
    for (Eigen::Index j = 0; j < d; ++j) {
        const double sd =
            std::sqrt((z.x.col(j).array() - z.centre(j)).square().sum() / static_cast<double>(n));
        z.scale(j) = sd > 0 ? sd : 1.0;
    }
    z.x = (z.x.rowwise() - z.centre.transpose()).array().rowwise() / z.scale.transpose().array();
    return z;
}

Run BestRun(const Standardised& z, int k, const PhaseSettings& s) {
    // Each k has its own stream, so a fit of one k does not depend on which others were fitted.
    std::mt19937_64 rng(s.seed + 0x9E3779B97F4A7C15ull * static_cast<std::uint64_t>(k));
    Run best;
    for (int start = 0; start < std::max(1, s.starts); ++start) {
        Run run = FitOnce(z.x, k, s, rng);
        if (run.logLikelihood > best.logLikelihood) best = std::move(run);
    }
    return best;
}

// ln L in the columns' own units: the standardisation's Jacobian.
double OriginalLogLikelihood(const Standardised& z, const Run& run) {
    return run.logLikelihood - static_cast<double>(z.x.rows()) * z.scale.array().log().sum();
}

double Bic(double logL, int k, int d, int n) {
    return -2.0 * logL + MixtureParameterCount(k, d) * std::log(static_cast<double>(n));
}

void Describe(const Standardised& z, const Run& run, MixtureFit& fit) {
    const auto d = z.x.cols();
    std::vector<Phase> phases;
    for (const auto& p : run.parts) {
        Phase ph;
        ph.weight = p.weight;
        const MatrixXd cov = z.scale.asDiagonal() * p.cov * z.scale.asDiagonal();
        for (Eigen::Index j = 0; j < d; ++j) {
            ph.mean.push_back(z.centre(j) + z.scale(j) * p.mean(j));
            ph.sd.push_back(std::sqrt(cov(j, j)));
        }
        for (Eigen::Index a = 0; a < d; ++a)
            for (Eigen::Index b = 0; b < d; ++b) ph.covariance.push_back(cov(a, b));
        ph.correlation = d >= 2 ? cov(0, 1) / std::sqrt(cov(0, 0) * cov(1, 1)) : 0.0;
        phases.push_back(std::move(ph));
    }
    std::vector<int> order(phases.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return phases[a].mean[0] < phases[b].mean[0]; });
    std::vector<int> rank(phases.size());
    for (std::size_t r = 0; r < order.size(); ++r) {
        rank[static_cast<std::size_t>(order[r])] = static_cast<int>(r);
        fit.phases.push_back(phases[static_cast<std::size_t>(order[r])]);
    }
    fit.label.resize(static_cast<std::size_t>(z.x.rows()));
    fit.probability.resize(static_cast<std::size_t>(z.x.rows()));
    for (Eigen::Index i = 0; i < z.x.rows(); ++i) {
        Eigen::Index c = 0;
        fit.probability[static_cast<std::size_t>(i)] = run.resp.row(i).maxCoeff(&c);
        fit.label[static_cast<std::size_t>(i)] = rank[static_cast<std::size_t>(c)];
    }
}

Status CheckSamples(const std::vector<std::vector<double>>& samples) {
    if (samples.empty()) return Status::Error("no samples to fit", ErrorCode::NoResult);
    const std::size_t d = samples.front().size();
    if (d == 0) return Status::Error("no columns to fit", ErrorCode::BadValue);
    for (const auto& row : samples)
        if (row.size() != d)
            return Status::Error("samples of different lengths", ErrorCode::BadValue);
    return {};
}

}  // namespace

MixtureFit FitMixture(const std::vector<std::vector<double>>& samples, int k,
                      const PhaseSettings& s) {
    MixtureFit fit;
    fit.status = CheckSamples(samples);
    if (!fit.status.ok()) return fit;
    const int n = static_cast<int>(samples.size());
    const int d = static_cast<int>(samples.front().size());
    fit.dimensions = d;
    fit.samples = n;
    if (k < 1 || k > n) {
        fit.status = Status::Error(
            "cannot fit " + std::to_string(k) + " phases to " + std::to_string(n) + " samples",
            ErrorCode::BadValue);
        return fit;
    }
    const Standardised z = Standardise(samples);
    const Run run = BestRun(z, k, s);
    const double logL = OriginalLogLikelihood(z, run);
    fit.k = k;
    fit.logLikelihood = {logL};
    fit.bic = {Bic(logL, k, d, n)};
    Describe(z, run, fit);
    return fit;
}

MixtureFit FitPhases(const std::vector<std::vector<double>>& samples, const PhaseSettings& s) {
    MixtureFit fit;
    fit.status = CheckSamples(samples);
    if (!fit.status.ok()) return fit;
    const int n = static_cast<int>(samples.size());
    const int d = static_cast<int>(samples.front().size());
    fit.dimensions = d;
    fit.samples = n;
    const Standardised z = Standardise(samples);
    Run chosen;
    double bestBic = std::numeric_limits<double>::infinity();
    for (int k = 1; k <= s.maxK; ++k) {
        // More parameters than samples: the criterion means nothing there.
        if (MixtureParameterCount(k, d) >= n) {
            fit.bic.push_back(kNaN);
            fit.logLikelihood.push_back(kNaN);
            continue;
        }
        Run run = BestRun(z, k, s);
        const double logL = OriginalLogLikelihood(z, run);
        const double bic = Bic(logL, k, d, n);
        fit.bic.push_back(bic);
        fit.logLikelihood.push_back(logL);
        if (bic < bestBic) {
            bestBic = bic;
            fit.k = k;
            chosen = std::move(run);
        }
    }
    if (fit.k == 0) {
        fit.status = Status::Error("too few samples (" + std::to_string(n) + ") for a mixture of " +
                                       std::to_string(d) + " columns",
                                   ErrorCode::NoResult);
        return fit;
    }
    Describe(z, chosen, fit);
    return fit;
}

}  // namespace marvek::phases
