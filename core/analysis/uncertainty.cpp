#include "uncertainty.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <random>

#include <tbb/parallel_for.h>

#include "core/analysis/curve_analyzer.h"
#include "core/analysis/peak_search.h"
#include "core/analysis/power_law_search.h"

namespace marvek {

bool PowerLawFitCovariance(std::span<const double> depth, std::span<const double> load,
                           double alpha, double m, double hf, Covariance3& cov) {
    const std::size_t n = std::min(depth.size(), load.size());
    if (n < 4) return false;
    std::array<std::array<double, 3>, 3> a{};
    double ss = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = depth[i] - hf;
        const double p = std::pow(t, m);
        const std::array<double, 3> j = {-alpha * m * p / t, alpha * p * std::log(t), p};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) a[r][c] += j[r] * j[c];
        const double res = load[i] - alpha * p;
        ss += res * res;
    }
    const double sigma2 = ss / static_cast<double>(n - 3);
    // Invert the scaled matrix (unit diagonal) by cofactors: the columns differ by many orders.
    std::array<double, 3> d;
    for (int k = 0; k < 3; ++k) {
        if (!(a[k][k] > 0)) return false;
        d[k] = std::sqrt(a[k][k]);
    }
    std::array<std::array<double, 3>, 3> b;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) b[r][c] = a[r][c] / (d[r] * d[c]);
    const double det = b[0][0] * (b[1][1] * b[2][2] - b[1][2] * b[2][1]) -
                       b[0][1] * (b[1][0] * b[2][2] - b[1][2] * b[2][0]) +
                       b[0][2] * (b[1][0] * b[2][1] - b[1][1] * b[2][0]);
    if (!(std::fabs(det) > 1e-15)) return false;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
            const double cof = b[r1][c1] * b[r2][c2] - b[r1][c2] * b[r2][c1];
            cov[r][c] = sigma2 * cof / det / (d[r] * d[c]);
        }
    return true;
}

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Fit {
    double alpha = kNaN, m = kNaN, hf = kNaN;
    bool ok() const { return std::isfinite(alpha) && std::isfinite(m) && std::isfinite(hf); }
};

struct Values {
    double eit = kNaN, hit = kNaN;
};

// What the modulus and hardness depend on besides the fit, as the driver reads them.
struct Model {
    double hMax = 0, fMax = 0, epsilon = 0;
    AreaCoefficients ap{};
    double vs = 0, vi = 0, ei = 0;

    // The driver's formulas, operation for operation, so the central value is the analysis'.
    Values Derive(const Fit& f) const { return Derive(f, hMax, ap, vs); }
    Values Derive(const Fit& f, double hmax, const AreaCoefficients& coef, double poisson) const {
        const double stiffness = f.alpha * f.m * std::pow(hmax - f.hf, f.m - 1);
        const double hc = hmax - epsilon * fMax / stiffness;
        const double area = EvaluateAreaFunction(coef, hc);
        const double pi = 3.141592654;
        const double er = (std::sqrt(pi) / 2) * stiffness / std::pow(area / 1e12, 0.5);
        return {(1 - poisson * poisson) / (1 / er - (1 - vi * vi) / ei), fMax / area * 1e9};
    }
};

struct Section {
    std::vector<double> x, y;
};

// The unload section of the force range [minPercent, maxPercent], chosen as the analyzer
// chooses it (peak by depth x load, first smallest load after it, bounds inclusive).
Section SelectSection(const std::vector<double>& depth, const double* load, float minPercent,
                      float maxPercent) {
    Section s;
    const UnloadPeak p = FindUnloadPeak(depth, {load, depth.size()});
    if (!p.found()) return s;
    const LoadWindow window = UnloadLoadWindow({load, depth.size()}, p, minPercent, maxPercent);
    for (auto j = static_cast<std::size_t>(p.peak); j < static_cast<std::size_t>(p.bottom); ++j)
        if (window.Holds(load[j])) s.x.push_back(depth[j]), s.y.push_back(load[j]);
    return s;
}

// Candidates per sweep of a re-fit: the window already holds the answer, so a coarser grid than
// the analysis' 200 reaches it after a few halvings (the Monte Carlo's window is narrower still).
constexpr int kRefitSteps = 40;
constexpr int kMonteCarloSteps = 12;

Fit FitSection(const Section& s, double lo, double hi, int steps = kRefitSteps) {
    Fit f;
    if (s.x.size() < 3) return f;
    FitPowerLawSearchIn(f.alpha, f.m, f.hf, s.x.data(), s.y.data(), static_cast<int>(s.x.size()),
                        lo, hi, steps);
    return f;
}

double HalfDifference(double plus, double minus) { return std::fabs(plus - minus) / 2; }

double SampleSd(const std::vector<double>& v) {
    if (v.size() < 2) return kNaN;
    double mean = 0;
    for (double x : v) mean += x;
    mean /= static_cast<double>(v.size());
    double ss = 0;
    for (double x : v) ss += (x - mean) * (x - mean);
    return std::sqrt(ss / static_cast<double>(v.size() - 1));
}

bool FitCovariance(const Section& s, const Fit& f, Covariance3& cov) {
    return PowerLawFitCovariance(s.x, s.y, f.alpha, f.m, f.hf, cov);
}

// What the budget terms share: the curve, the accepted fit and its section, the model and the
// options, and the window the re-fits of moved data search.
struct BudgetContext {
    const std::vector<double>& depth;
    const double* load;
    std::size_t n;
    const StrategySettings& st;
    const UncertaintyOptions& options;
    const Model& model;
    const Fit& accepted;
    const Section& section;
    // Re-fits of moved data start from a window around the accepted hf that reaches the
    // section's smallest depth, where the search stops anyway.
    double reach, wideLo, wideHi;
};

// Fit, linearised: gradient of (E, H) in (hf, m, alpha) by central differences. sdHf receives
// the standard deviation of hf (NaN when the covariance is singular).
BudgetEntry FitLinearisedTerm(const BudgetContext& ctx, double& sdHf) {
    const Fit& accepted = ctx.accepted;
    Covariance3 cov{};
    BudgetEntry fit{"fit"};
    sdHf = kNaN;
    if (FitCovariance(ctx.section, accepted, cov)) {
        std::array<double, 3> gE{}, gH{};
        for (int k = 0; k < 3; ++k) {
            const double sd = std::sqrt(cov[k][k]);
            const double step = sd > 0 ? 1e-3 * sd : 1e-8;
            Fit plus = accepted, minus = accepted;
            double* pp = k == 0 ? &plus.hf : k == 1 ? &plus.m : &plus.alpha;
            double* pm = k == 0 ? &minus.hf : k == 1 ? &minus.m : &minus.alpha;
            *pp += step;
            *pm -= step;
            const Values vp = ctx.model.Derive(plus), vm = ctx.model.Derive(minus);
            gE[k] = (vp.eit - vm.eit) / (2 * step);
            gH[k] = (vp.hit - vm.hit) / (2 * step);
        }
        double vE = 0, vH = 0;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                vE += gE[r] * cov[r][c] * gE[c], vH += gH[r] * cov[r][c] * gH[c];
        fit.eit = std::sqrt(std::max(vE, 0.0));
        fit.hit = std::sqrt(std::max(vH, 0.0));
        sdHf = std::sqrt(cov[0][0]);
    }
    return fit;
}

// Fit, Monte Carlo check: the residuals resampled onto the fitted curve and fitted again.
BudgetEntry FitMonteCarloTerm(const BudgetContext& ctx, double sdHf) {
    const Fit& accepted = ctx.accepted;
    const Section& section = ctx.section;
    const double reach = ctx.reach;
    BudgetEntry mc{"fitMonteCarlo", kNaN, kNaN, false};
    const int runs = ctx.options.monteCarloRuns;
    if (runs >= 2) {
        const std::size_t m = section.x.size();
        std::vector<double> fitted(m), residual(m);
        for (std::size_t i = 0; i < m; ++i) {
            fitted[i] = accepted.alpha * std::pow(section.x[i] - accepted.hf, accepted.m);
            residual[i] = (section.y[i] - fitted[i]) *
                          std::sqrt(static_cast<double>(m) / static_cast<double>(m - 3));
        }
        const double w =
            std::isfinite(sdHf) ? std::min(reach, std::max(8 * sdHf, 1e-6 * reach)) : reach;
        std::vector<Values> values(static_cast<std::size_t>(runs));
        tbb::parallel_for(0, runs, [&](int k) {
            std::mt19937_64 rng(ctx.options.seed * 0x9E3779B97F4A7C15ull +
                                static_cast<std::uint64_t>(k));
            std::uniform_int_distribution<std::size_t> pick(0, m - 1);
            Section s;
            s.x = section.x;
            s.y.resize(m);
            for (std::size_t i = 0; i < m; ++i) s.y[i] = fitted[i] + residual[pick(rng)];
            const Fit f = FitSection(s, accepted.hf - w, accepted.hf + w, kMonteCarloSteps);
            if (f.ok()) values[static_cast<std::size_t>(k)] = ctx.model.Derive(f);
        });
        std::vector<double> e, h;
        for (const Values& v : values)
            if (std::isfinite(v.eit) && std::isfinite(v.hit))
                e.push_back(v.eit), h.push_back(v.hit);
        if (2 * e.size() >= values.size()) mc.eit = SampleSd(e), mc.hit = SampleSd(h);
    }
    return mc;
}

// Fit window: the lower bound of the force range moved by up to +-windowHalfWidth in every
// other step of "Percent Series" (1 %), within 0 % and 1 % below the upper bound.
BudgetEntry FitWindowTerm(const BudgetContext& ctx) {
    const StrategySettings& st = ctx.st;
    std::vector<double> e, h;
    const int steps = static_cast<int>(ctx.options.windowHalfWidth / 1.0f);
    std::vector<Values> values(static_cast<std::size_t>(2 * steps + 1));
    tbb::parallel_for(-steps, steps + 1, [&](int k) {
        const float lower = st.m_fOPMinPercent + 1.0f * static_cast<float>(k);
        if (lower < 0 || !(st.m_fOPMaxPercent - 1 > lower)) return;
        const Section s = SelectSection(ctx.depth, ctx.load, lower, st.m_fOPMaxPercent);
        const Fit f = k == 0 ? ctx.accepted : FitSection(s, ctx.wideLo, ctx.wideHi);
        if (f.ok()) values[static_cast<std::size_t>(k + steps)] = ctx.model.Derive(f);
    });
    for (const Values& v : values)
        if (std::isfinite(v.eit) && std::isfinite(v.hit)) e.push_back(v.eit), h.push_back(v.hit);
    return {"fitWindow", SampleSd(e), SampleSd(h)};
}

// Zero point: every depth moved by the scatter of the zero-point window; hf, hmax and hc
// move with it, the stiffness does not.
BudgetEntry ZeroPointTerm(const BudgetContext& ctx) {
    const Model& model = ctx.model;
    const double dz = ZeroPointScatter(ctx.depth, ctx.load, model.hMax, ctx.st.m_fZeroFitMinPercent,
                                       ctx.st.m_fZeroFitMaxPercent);
    BudgetEntry zero{"zeroPoint"};
    if (std::isfinite(dz)) {
        Fit up = ctx.accepted, down = ctx.accepted;
        up.hf += dz;
        down.hf -= dz;
        const Values vp = model.Derive(up, model.hMax + dz, model.ap, model.vs);
        const Values vm = model.Derive(down, model.hMax - dz, model.ap, model.vs);
        zero.eit = HalfDifference(vp.eit, vm.eit);
        zero.hit = HalfDifference(vp.hit, vm.hit);
    }
    return zero;
}

// Sample Poisson ratio.
BudgetEntry SamplePoissonTerm(const BudgetContext& ctx) {
    const Model& model = ctx.model;
    const double u = ctx.options.poissonU;
    const Values vp = model.Derive(ctx.accepted, model.hMax, model.ap, model.vs + u);
    const Values vm = model.Derive(ctx.accepted, model.hMax, model.ap, model.vs - u);
    return {"samplePoisson", HalfDifference(vp.eit, vm.eit), 0.0};
}

// Frame compliance: depths corrected by a further -+u(C)*F, the section fitted again.
BudgetEntry FrameComplianceTerm(const BudgetContext& ctx) {
    const StrategySettings& st = ctx.st;
    const double complianceU = ctx.options.complianceU;
    Values v[2];
    for (int side = 0; side < 2; ++side) {
        const double dc = side == 0 ? complianceU : -complianceU;
        std::vector<double> moved(ctx.depth);
        double hmax = -std::numeric_limits<double>::infinity();
        for (std::size_t i = 0; i < ctx.n; ++i) {
            moved[i] -= dc * ctx.load[i];
            if (moved[i] > hmax) hmax = moved[i];
        }
        const Section s = SelectSection(moved, ctx.load, st.m_fOPMinPercent, st.m_fOPMaxPercent);
        const Fit f = complianceU == 0 ? ctx.accepted : FitSection(s, ctx.wideLo, ctx.wideHi);
        if (f.ok()) v[side] = ctx.model.Derive(f, hmax, ctx.model.ap, ctx.model.vs);
    }
    return {"frameCompliance", HalfDifference(v[0].eit, v[1].eit),
            HalfDifference(v[0].hit, v[1].hit)};
}

// Area function: each coefficient moved by its relative uncertainty, independently.
BudgetEntry AreaFunctionTerm(const BudgetContext& ctx) {
    const Model& model = ctx.model;
    const double relativeU = ctx.options.areaRelativeU;
    double vE = 0, vH = 0;
    for (std::size_t k = 0; k < model.ap.size(); ++k) {
        if (model.ap[k] == 0) continue;
        AreaCoefficients plus = model.ap, minus = model.ap;
        plus[k] *= 1 + relativeU;
        minus[k] *= 1 - relativeU;
        const Values vp = model.Derive(ctx.accepted, model.hMax, plus, model.vs);
        const Values vm = model.Derive(ctx.accepted, model.hMax, minus, model.vs);
        vE += std::pow(HalfDifference(vp.eit, vm.eit), 2);
        vH += std::pow(HalfDifference(vp.hit, vm.hit), 2);
    }
    return {"areaFunction", std::sqrt(vE), std::sqrt(vH)};
}

// The combined uncertainty: the root sum of squares of the combined terms; NaN, with the
// reason, when one of them could not be estimated.
void CombineBudget(ModulusUncertainty& u) {
    double vE = 0, vH = 0;
    for (const BudgetEntry& e : u.budget) {
        if (!e.combined) continue;
        if (!std::isfinite(e.eit) || !std::isfinite(e.hit)) {
            u.reason = "the " + e.name + " term could not be estimated";
            u.uEit = u.uHit = kNaN;
            return;
        }
        vE += e.eit * e.eit;
        vH += e.hit * e.hit;
    }
    u.uEit = std::sqrt(vE);
    u.uHit = std::sqrt(vH);
}

Model ModelOf(const CCurveAnalyzer& a, const Settings& settings) {
    Model model;
    model.hMax = a.m_dHmax;
    model.fMax = a.m_dFmax;
    model.epsilon = settings.strategy.m_fEpsilon;
    model.ap = settings.areaFunction.m_dApCoef;
    model.vs = settings.m_fPoisson;
    model.vi = settings.areaFunction.m_fIndenterPoisson;
    model.ei = settings.areaFunction.m_fIndenterModulus;
    return model;
}

}  // namespace

// Residual scatter, in depth, of the power law through the zero-point window of the loading
// envelope (points above every load before them: the unloading and reloading of earlier cycles
// of a multi-cycle curve would count their hysteresis as scatter).
double ZeroPointScatter(std::span<const double> depth, const double* load, double maxDepth,
                        float minPercent, float maxPercent) {
    double pMax = -std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < depth.size(); ++i) pMax = std::max(pMax, load[i]);
    Section w;
    double envelope = -std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < depth.size() && load[i] < pMax; ++i) {
        if (!(load[i] > envelope)) continue;
        envelope = load[i];
        if (pMax * minPercent / 100 < load[i] && load[i] < pMax * maxPercent / 100)
            w.x.push_back(depth[i]), w.y.push_back(load[i]);
    }
    if (w.x.size() < 4) return kNaN;
    Fit f;
    // The analysis' first window, searched on the re-fits' coarser grid: only the scatter is
    // wanted, not the offset to the last bit.
    const double top = *std::min_element(w.x.begin(), w.x.end()) / 2 + maxDepth / 2;
    FitPowerLawSearchIn(f.alpha, f.m, f.hf, w.x.data(), w.y.data(), static_cast<int>(w.x.size()),
                        -top, top, kRefitSteps);
    if (!f.ok()) return kNaN;
    double ss = 0;
    for (std::size_t i = 0; i < w.x.size(); ++i) {
        const double predicted = f.hf + std::pow(std::max(w.y[i], 0.0) / f.alpha, 1 / f.m);
        ss += (w.x[i] - predicted) * (w.x[i] - predicted);
    }
    return std::sqrt(ss / static_cast<double>(w.x.size() - 3));
}

const BudgetEntry* ModulusUncertainty::Find(const std::string& name) const {
    for (const BudgetEntry& e : budget)
        if (e.name == name) return &e;
    return nullptr;
}

ModulusUncertainty EstimateUncertainty(const CCurveAnalyzer& a, const Settings& settings,
                                       const UncertaintyOptions& options) {
    ModulusUncertainty u;
    const StrategySettings& st = settings.strategy;
    if (st.method() != AnalysisMethod::OliverPharr) {
        u.reason = "the uncertainty is estimated for the Oliver-Pharr method only";
        return u;
    }
    const std::size_t n = static_cast<std::size_t>(std::max(a.m_nPoints, 0));
    const std::vector<double> depth(a.m_pDepth.begin(),
                                    a.m_pDepth.begin() + static_cast<std::ptrdiff_t>(n));
    const double* load = a.m_pLoad.data();
    const Model model = ModelOf(a, settings);

    const Fit accepted{a.m_dAlpha, a.m_dM, a.m_dHf};
    const Section section = SelectSection(depth, load, st.m_fOPMinPercent, st.m_fOPMaxPercent);
    if (!accepted.ok() || section.x.size() < 4) {
        u.reason = "the unload fit has no result or fewer than 4 points";
        return u;
    }
    const Values central = model.Derive(accepted);
    u.eit = central.eit;
    u.hit = central.hit;
    if (!std::isfinite(central.eit) || !std::isfinite(central.hit)) {
        u.reason = "E(IT) or H(IT) is not finite";
        return u;
    }
    const double xMin = *std::min_element(section.x.begin(), section.x.end());
    const double reach = xMin - accepted.hf;
    const double wideLo = accepted.hf - reach, wideHi = accepted.hf + reach;
    const BudgetContext ctx{depth,    load,    n,     st,     options, model,
                            accepted, section, reach, wideLo, wideHi};

    double sdHf = kNaN;
    u.budget.push_back(FitLinearisedTerm(ctx, sdHf));
    u.budget.push_back(FitMonteCarloTerm(ctx, sdHf));
    u.budget.push_back(FitWindowTerm(ctx));
    u.budget.push_back(ZeroPointTerm(ctx));
    u.budget.push_back(SamplePoissonTerm(ctx));
    u.budget.push_back(FrameComplianceTerm(ctx));
    u.budget.push_back(AreaFunctionTerm(ctx));
    CombineBudget(u);
    return u;
}

}  // namespace marvek
