#include "core/phases/map_data.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace marvek::phases {

namespace {

// The median distance from an indent to its nearest neighbour (a sweep over x-sorted points):
// robust to a few stray indents far from the grid.
double MedianNeighbourDistance(std::vector<MapPoint> pts) {
    if (pts.size() < 2) return 0;
    std::sort(pts.begin(), pts.end(), [](const MapPoint& a, const MapPoint& b) { return a.x_um < b.x_um; });
    std::vector<double> nearest(pts.size(), std::numeric_limits<double>::infinity());
    const auto n = static_cast<std::ptrdiff_t>(pts.size());
    for (std::ptrdiff_t i = 0; i < n; ++i)
        for (const std::ptrdiff_t step : {-1, 1})
            for (std::ptrdiff_t j = i + step; j >= 0 && j < n; j += step) {
                const double dx = pts[j].x_um - pts[i].x_um, dy = pts[j].y_um - pts[i].y_um;
                if (dx * dx >= nearest[i]) break;  // sorted by x: no nearer one further on
                nearest[i] = std::min(nearest[i], dx * dx + dy * dy);
            }
    auto mid = nearest.begin() + static_cast<std::ptrdiff_t>(nearest.size() / 2);
    std::nth_element(nearest.begin(), mid, nearest.end());
    return std::sqrt(*mid);
}

}  // namespace

MapGrid InterpolateMap(const std::vector<MapPoint>& all, int maxCells, int neighbours) {
    MapGrid g;
    std::vector<MapPoint> pts;
    for (const auto& p : all)
        if (std::isfinite(p.x_um) && std::isfinite(p.y_um) && std::isfinite(p.value))
            pts.push_back(p);
    if (pts.empty() || maxCells < 1) return g;
    double xmin = pts[0].x_um, xmax = xmin, ymin = pts[0].y_um, ymax = ymin;
    g.minValue = g.maxValue = pts[0].value;
    for (const auto& p : pts) {
        xmin = std::min(xmin, p.x_um), xmax = std::max(xmax, p.x_um);
        ymin = std::min(ymin, p.y_um), ymax = std::max(ymax, p.y_um);
        g.minValue = std::min(g.minValue, p.value), g.maxValue = std::max(g.maxValue, p.value);
    }
    g.spacing_um = MedianNeighbourDistance(pts);
    // Repeated positions (or one indent) give no spacing: a thousandth of the map then.
    const double side = std::max(xmax - xmin, ymax - ymin);
    g.spacing_um = std::max(g.spacing_um, side / 1000);
    if (!(g.spacing_um > 0)) g.spacing_um = 1;
    const double pad = g.spacing_um / 2;
    xmin -= pad, xmax += pad, ymin -= pad, ymax += pad;
    g.cell_um = std::max(xmax - xmin, ymax - ymin) / maxCells;
    g.nx = std::max(1, static_cast<int>(std::ceil((xmax - xmin) / g.cell_um)));
    g.ny = std::max(1, static_cast<int>(std::ceil((ymax - ymin) / g.cell_um)));
    g.x0_um = xmin, g.y0_um = ymin;

    // Buckets of about one indent each, searched ring by ring around a cell.
    const double bucket = g.spacing_um;
    const int bx = std::max(1, static_cast<int>(std::ceil((xmax - xmin) / bucket)));
    const int by = std::max(1, static_cast<int>(std::ceil((ymax - ymin) / bucket)));
    std::vector<std::vector<int>> buckets(static_cast<std::size_t>(bx) * by);
    auto bucketOf = [&](double x, double y) {
        const int i = std::clamp(static_cast<int>((x - xmin) / bucket), 0, bx - 1);
        const int j = std::clamp(static_cast<int>((y - ymin) / bucket), 0, by - 1);
        return std::pair{i, j};
    };
    for (std::size_t k = 0; k < pts.size(); ++k) {
        const auto [i, j] = bucketOf(pts[k].x_um, pts[k].y_um);
        buckets[static_cast<std::size_t>(j) * bx + i].push_back(static_cast<int>(k));
    }
    const double reach = 1.5 * g.spacing_um;
    const int rings = static_cast<int>(std::ceil(reach / bucket)) + 1;
    const auto want = static_cast<std::size_t>(std::max(1, neighbours));
    g.values.assign(static_cast<std::size_t>(g.nx) * g.ny, std::numeric_limits<double>::quiet_NaN());
    std::vector<std::pair<double, int>> near;
    for (int cy = 0; cy < g.ny; ++cy) {
        for (int cx = 0; cx < g.nx; ++cx) {
            const double x = xmin + (cx + 0.5) * g.cell_um, y = ymin + (cy + 0.5) * g.cell_um;
            const auto [bi, bj] = bucketOf(x, y);
            near.clear();
            for (int j = std::max(0, bj - rings); j <= std::min(by - 1, bj + rings); ++j)
                for (int i = std::max(0, bi - rings); i <= std::min(bx - 1, bi + rings); ++i)
                    for (int k : buckets[static_cast<std::size_t>(j) * bx + i]) {
                        const double dx = pts[k].x_um - x, dy = pts[k].y_um - y;
                        near.emplace_back(dx * dx + dy * dy, k);
                    }
            if (near.empty()) continue;
            const std::size_t m = std::min(want, near.size());
            std::partial_sort(near.begin(), near.begin() + static_cast<std::ptrdiff_t>(m), near.end());
            if (near[0].first > reach * reach) continue;
            double sw = 0, sv = 0;
            bool exact = false;
            for (std::size_t q = 0; q < m && !exact; ++q) {
                if (near[q].first == 0) {
                    sv = pts[near[q].second].value, sw = 1, exact = true;
                    break;
                }
                const double wgt = 1.0 / near[q].first;
                sw += wgt, sv += wgt * pts[near[q].second].value;
            }
            g.values[static_cast<std::size_t>(cy) * g.nx + cx] = sv / sw;
        }
    }
    return g;
}

}  // namespace marvek::phases
