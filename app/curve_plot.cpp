#include "app/curve_plot.h"

#include <algorithm>
#include <cmath>

#include "core/io/number_format.h"

using marvek::ui::PlotData;
using marvek::ui::PlotMark;
using marvek::ui::PlotRange;
using marvek::ui::PlotSeries;
using marvek::ui::Rect;
using marvek::ui::Rgb;

namespace {

constexpr double kHeadroom = 1.05;
constexpr double kWidthShare = 0.62;
constexpr double kHeightShare = 0.84;
constexpr Rgb kExtrapolationPen{0, 180, 0};
constexpr Rgb kFitPen{255, 0, 0};

// Colours of the segment codes when segment colours are on.
struct SegmentLook {
    char code;
    const char* name;
    Rgb colour;
};
constexpr SegmentLook kSegments[] = {
    {'L', "loading", {0, 90, 200}},    {'T', "top hold", {230, 140, 0}},
    {'U', "unloading", {140, 0, 160}}, {'B', "bottom hold", {120, 120, 120}},
    {'R', "reloading", {0, 160, 160}}, {'X', "unlabelled", {0, 0, 0}},
};

}  // namespace

CurvePlotFrame CurvePlotFrameFor(const Rect& client, int bottom) {
    CurvePlotFrame f;
    f.left = static_cast<int>(client.right - kWidthShare * (client.right - client.left));
    f.top = client.top + kPlotRoomAbove;
    const int byHeight = static_cast<int>(kHeightShare * (client.bottom - client.top));
    const int byFoot = bottom - kPlotRoomBelow - f.top;
    const int byWidth = client.right - kPlotRoomRight - f.left;
    f.size = std::max(0, std::min({byHeight, byFoot, byWidth}));
    return f;
}

PlotData CurvePlotData(const marvek::CurveDisplay& display, int fileCount,
                       std::string_view segments, const std::string& caption) {
    PlotData plot;
    plot.caption = caption;
    plot.xTitle = "Depth [nm]";
    plot.yTitle = "Load [mN]";
    const std::size_t n = std::min(display.m_pCurveDepth.size(), display.m_pCurveLoad.size());
    if (fileCount < 1) return plot;

    using Segments = PlotSeries::Segments;
    plot.series.push_back({"measured", display.m_pCurveDepth, display.m_pCurveLoad,
                           marvek::ui::kBlack, PlotSeries::Style::Dots, Segments::WithoutSegments});
    if (segments.size() == n) {
        for (const SegmentLook& look : kSegments) {
            PlotSeries s{
                look.name, {}, {}, look.colour, PlotSeries::Style::Dots, Segments::WithSegments};
            for (std::size_t i = 0; i < n; ++i)
                if (segments[i] == look.code) {
                    s.x.push_back(display.m_pCurveDepth[i]);
                    s.y.push_back(display.m_pCurveLoad[i]);
                }
            if (!s.x.empty()) plot.series.push_back(std::move(s));
        }
    }
    plot.series.push_back({"extrapolation", display.m_pExtrapDepth, display.m_pExtrapLoad,
                           kExtrapolationPen, PlotSeries::Style::Line});
    plot.series.push_back({"fit", display.m_pFitCurveDepth, display.m_pFitCurveLoad, kFitPen,
                           PlotSeries::Style::Line});

    // Extremes of the finite points only: no start value of a search is ever shown.
    bool any = false;
    double d0 = 0, d1 = 0, f0 = 0, f1 = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double d = display.m_pCurveDepth[i], f = display.m_pCurveLoad[i];
        if (!std::isfinite(d) || !std::isfinite(f)) continue;
        if (!any) {
            d0 = d1 = d;
            f0 = f1 = f;
            any = true;
        }
        d0 = std::min(d0, d);
        d1 = std::max(d1, d);
        f0 = std::min(f0, f);
        f1 = std::max(f1, f);
    }
    if (!any) return plot;
    plot.home = PlotRange{d0, d0 + kHeadroom * (d1 - d0), f0, f0 + kHeadroom * (f1 - f0)};
    plot.marks.push_back({PlotMark::Axis::Y, f1, marvek::FormatFixed(f1, 2)});
    plot.marks.push_back({PlotMark::Axis::X, d1, marvek::FormatFixed(d1, 2)});
    return plot;
}
