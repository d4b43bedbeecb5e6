#include "core/series/curve_overlay.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <span>

#include "core/analysis/curve_analysis.h"
#include "core/analysis/curve_analyzer.h"
#include "core/io/number_format.h"

namespace marvek {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// The unloading ends within this fraction of the load drop above its smallest load.
constexpr double kUnloadEndFraction = 0.01;

// The load where the branch first reaches depth g, walking it in order; nullopt when no
// segment brackets g. A single-point branch counts only at its own depth.
std::optional<double> LoadAtDepth(std::span<const double> depth, std::span<const double> load,
                                  double g) {
    if (depth.size() == 1 && depth[0] == g) return load[0];
    for (std::size_t i = 0; i + 1 < depth.size(); ++i) {
        const double a = depth[i], b = depth[i + 1];
        if (!((a <= g && g <= b) || (b <= g && g <= a))) continue;
        if (a == b) return load[i];
        const double t = (g - a) / (b - a);
        return load[i] + t * (load[i + 1] - load[i]);
    }
    return std::nullopt;
}

struct Branches {
    std::span<const double> loadingDepth, loadingLoad, unloadingDepth, unloadingLoad;
};

Branches SplitBranches(const OverlayCurve& c) {
    const std::size_t n = std::min(c.depth.size(), c.load.size());
    std::size_t deepest = 0;
    for (std::size_t i = 1; i < n; ++i)
        if (c.depth[i] > c.depth[deepest]) deepest = i;
    double least = c.load[deepest], most = c.load[deepest];
    for (std::size_t i = 0; i < n; ++i) most = std::max(most, c.load[i]);
    for (std::size_t i = deepest + 1; i < n; ++i) least = std::min(least, c.load[i]);
    const double end = least + kUnloadEndFraction * (most - least);
    std::size_t bottom = deepest;
    for (std::size_t i = deepest + 1; i < n; ++i)
        if (c.load[i] <= end) {
            bottom = i;
            break;
        }
    Branches b;
    const std::span<const double> depth(c.depth.data(), n), load(c.load.data(), n);
    b.loadingDepth = depth.subspan(0, deepest + 1);
    b.loadingLoad = load.subspan(0, deepest + 1);
    if (bottom > deepest) {
        b.unloadingDepth = depth.subspan(deepest, bottom - deepest + 1);
        b.unloadingLoad = load.subspan(deepest, bottom - deepest + 1);
    }
    return b;
}

// Mean, sample SD and n at each grid depth.
OverlayBranch Summarise(const std::vector<std::vector<double>>& values, std::size_t grid) {
    OverlayBranch out;
    out.mean.assign(grid, kNaN);
    out.sd.assign(grid, kNaN);
    out.n.assign(grid, 0);
    for (std::size_t g = 0; g < grid; ++g) {
        double sum = 0;
        int n = 0;
        for (const auto& v : values)
            if (!std::isnan(v[g])) {
                sum += v[g];
                ++n;
            }
        out.n[g] = n;
        if (n == 0) continue;
        const double mean = sum / n;
        out.mean[g] = mean;
        if (n < 2) continue;
        double squares = 0;
        for (const auto& v : values)
            if (!std::isnan(v[g])) squares += (v[g] - mean) * (v[g] - mean);
        out.sd[g] = std::sqrt(squares / (n - 1));
    }
    return out;
}

}  // namespace

OverlayResult ComputeOverlay(const std::vector<OverlayCurve>& curves,
                             const OverlaySettings& settings) {
    OverlayResult r;
    for (const OverlayCurve& c : curves) {
        const std::size_t n = std::min(c.depth.size(), c.load.size());
        OverlayCurve used{c.label, {}, {}};
        for (std::size_t i = 0; i < n; ++i) {
            if (!std::isfinite(c.depth[i]) || !std::isfinite(c.load[i])) continue;
            used.depth.push_back(c.depth[i]);
            used.load.push_back(c.load[i]);
        }
        if (used.depth.empty()) {
            r.skipped.push_back(c.label + ": no points");
            continue;
        }
        if (settings.normalise) {
            const double hMax = *std::max_element(used.depth.begin(), used.depth.end());
            const double fMax = *std::max_element(used.load.begin(), used.load.end());
            if (!(hMax > 0) || !(fMax > 0)) {
                r.skipped.push_back(c.label +
                                    ": cannot be normalised (largest depth or load not above 0)");
                continue;
            }
            for (double& h : used.depth) h /= hMax;
            for (double& f : used.load) f /= fMax;
        }
        r.curves.push_back(std::move(used));
    }
    if (r.curves.empty()) {
        r.reason = curves.empty() ? "no curves chosen" : "no curve has usable points";
        return r;
    }
    double top = 0;
    for (const OverlayCurve& c : r.curves)
        top = std::max(top, *std::max_element(c.depth.begin(), c.depth.end()));
    if (settings.normalise) top = 1;
    const int points = std::max(settings.gridPoints, 2);
    r.grid.resize(static_cast<std::size_t>(points));
    for (int g = 0; g < points; ++g) r.grid[static_cast<std::size_t>(g)] = top * g / (points - 1);

    std::vector<std::vector<double>> loading, unloading;
    for (const OverlayCurve& c : r.curves) {
        const Branches b = SplitBranches(c);
        std::vector<double> up(r.grid.size(), kNaN), down(r.grid.size(), kNaN);
        for (std::size_t g = 0; g < r.grid.size(); ++g) {
            if (const auto f = LoadAtDepth(b.loadingDepth, b.loadingLoad, r.grid[g])) up[g] = *f;
            if (const auto f = LoadAtDepth(b.unloadingDepth, b.unloadingLoad, r.grid[g]))
                down[g] = *f;
        }
        loading.push_back(std::move(up));
        unloading.push_back(std::move(down));
    }
    r.loading = Summarise(loading, r.grid.size());
    r.unloading = Summarise(unloading, r.grid.size());
    return r;
}

std::string FormatOverlayCsv(const OverlayResult& overlay, bool normalised) {
    auto number = [](double v) { return std::isnan(v) ? std::string() : FormatSignificant(v, 10); };
    std::string out = normalised ? "depth/hmax" : "depth [nm]";
    const std::string unit = normalised ? " [load/Fmax]" : " [mN]";
    out += ",loading n,loading mean" + unit + ",loading SD" + unit;
    out += ",unloading n,unloading mean" + unit + ",unloading SD" + unit + "\n";
    for (std::size_t g = 0; g < overlay.grid.size(); ++g) {
        out += number(overlay.grid[g]);
        for (const OverlayBranch* b : {&overlay.loading, &overlay.unloading})
            out +=
                "," + std::to_string(b->n[g]) + "," + number(b->mean[g]) + "," + number(b->sd[g]);
        out += "\n";
    }
    return out;
}

std::vector<OverlayCurve> ReadOverlayCurves(const std::vector<std::string>& addresses,
                                            const Settings& settings,
                                            std::vector<std::string>& failures,
                                            const io::ReadOptions& read) {
    std::vector<OverlayCurve> curves;
    CCurveAnalyzer analyzer;
    ConfigureAnalyzer(analyzer, settings.strategy);
    analyzer.m_readOptions = read;
    for (const std::string& address : addresses) {
        analyzer.SetAddresses({address});
        CurveDisplay display;
        const Status outcome = AnalyzeCurve(analyzer, 0, settings, display);
        if (!outcome.ok()) {
            failures.push_back(outcome.message());
            continue;
        }
        if (display.m_pCurveDepth.empty()) {
            failures.push_back(address + ": no data points");
            continue;
        }
        curves.push_back(
            {address, std::move(display.m_pCurveDepth), std::move(display.m_pCurveLoad)});
    }
    return curves;
}

}  // namespace marvek
