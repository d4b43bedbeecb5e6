#include "app/curve_plot.h"

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "core/io/number_format.h"

using marvek::ui::DrawingSurface;
using marvek::ui::Rect;
using marvek::ui::Rgb;

namespace {

constexpr int kCharWidth = 8;    // assumed width of a character of the default font
constexpr int kCharHeight = 11;  // assumed height
constexpr double kHeadroom = 1.05;
constexpr double kWidthShare = 0.62;
constexpr double kHeightShare = 0.84;
constexpr Rgb kExtrapolationPen{0, 180, 0};
constexpr Rgb kFitPen{255, 0, 0};
// Coordinates beyond this cannot be drawn sensibly (a zero top divides by zero).
constexpr double kLargestPixel = 1.0e6;

struct Mapping {
    CurvePlotFrame frame;
    double depthMin = 9e99, depthMax = -9e99, loadMin = 9e99, loadMax = -9e99;
    double depthTop = 0, loadTop = 0;

    static std::optional<int> Truncate(double v) {
        if (!std::isfinite(v) || std::fabs(v) > kLargestPixel) return std::nullopt;
        return static_cast<int>(v);
    }
    std::optional<int> X(double d) const {
        return Truncate(frame.left + frame.size * (d - depthMin) / depthTop);
    }
    std::optional<int> Y(double f) const {
        return Truncate(frame.top + frame.size - frame.size * (f - loadMin) / loadTop);
    }
    bool Inside(int px, int py) const {
        return frame.left < px && px < frame.left + frame.size && frame.top < py &&
               py < frame.top + frame.size;
    }
};

// The points of a series inside the frame (strictly), joined in order: the first kept point
// starts the line when none is started yet (the drawing position's x still 0).
void DrawClippedPolyline(DrawingSurface& dc, const Mapping& map, const std::vector<double>& depth,
                         const std::vector<double>& load) {
    const std::size_t n = std::min(depth.size(), load.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto px = map.X(depth[i]);
        const auto py = map.Y(load[i]);
        if (!px || !py || !map.Inside(*px, *py)) continue;
        if (dc.GetCurrentPosition().x == 0) dc.MoveTo(*px, *py);
        dc.LineTo(*px, *py);
    }
}

}  // namespace

CurvePlotFrame CurvePlotFrameFor(const Rect& client) {
    CurvePlotFrame f;
    f.left = static_cast<int>(client.right - kWidthShare * (client.right - client.left));
    f.size = static_cast<int>(kHeightShare * (client.bottom - client.top));
    f.top = client.top;
    return f;
}

void DrawCurvePlot(DrawingSurface& dc, const marvek::CurveDisplay& display, int fileCount) {
    Mapping map;
    const std::size_t points = std::min(display.m_pCurveDepth.size(), display.m_pCurveLoad.size());
    for (std::size_t i = 0; i < points; ++i) {
        const double d = display.m_pCurveDepth[i];
        const double f = display.m_pCurveLoad[i];
        if (d < map.depthMin) map.depthMin = d;
        if (d > map.depthMax) map.depthMax = d;
        if (f < map.loadMin) map.loadMin = f;
        if (f > map.loadMax) map.loadMax = f;
    }
    map.depthTop = map.depthMin + kHeadroom * (map.depthMax - map.depthMin);
    map.loadTop = map.loadMin + kHeadroom * (map.loadMax - map.loadMin);
    map.frame = CurvePlotFrameFor(dc.GetClientRect());
    const CurvePlotFrame& fr = map.frame;

    dc.Rectangle(fr.left, fr.top, fr.left + fr.size, fr.top + fr.size);
    dc.SetTransparentBackground();
    const std::string loadUnit = " [mN]";
    const std::string depthUnit = " [nm] ";
    dc.TextOut(fr.left - dc.TextWidth(loadUnit), fr.top + fr.size / 2 - kCharWidth, loadUnit);
    dc.TextOut(fr.left + fr.size / 2 - dc.TextWidth(depthUnit) + 40,
               fr.top + fr.size - kCharWidth + 10, depthUnit);
    if (fileCount < 1) return;

    for (std::size_t i = 0; i < points; ++i) {
        const auto px = map.X(display.m_pCurveDepth[i]);
        const auto py = map.Y(display.m_pCurveLoad[i]);
        if (px && py) dc.TextOut(*px - 2, *py - 12, ".");
    }

    dc.SelectPen(kExtrapolationPen);
    DrawClippedPolyline(dc, map, display.m_pExtrapDepth, display.m_pExtrapLoad);
    dc.SelectPen(kFitPen);
    dc.MoveTo(0, 0);
    DrawClippedPolyline(dc, map, display.m_pFitCurveDepth, display.m_pFitCurveLoad);
    dc.SelectDefaultPen();

    // Without points the extremes are the search's start values, not numbers of the curve.
    if (points == 0) return;
    dc.SetTextColor(marvek::ui::kBlack);
    const std::string loadLabel = marvek::FormatFixed(map.loadMax, 2);
    if (const auto y = map.Y(map.loadMax))
        dc.TextOut(fr.left - dc.TextWidth(loadLabel), *y - kCharWidth, loadLabel);
    const std::string depthLabel = marvek::FormatFixed(map.depthMax, 2);
    if (const auto x = map.X(map.depthMax))
        dc.TextOut(*x - dc.TextWidth(depthLabel) / 2, fr.top + fr.size + kCharHeight / 2,
                   depthLabel);
}
