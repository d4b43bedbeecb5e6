#include "app/curve_plot.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/io/number_format.h"
#include "core/series/curve_popins.h"

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
constexpr Rgb kPopinPen{230, 120, 0};
constexpr Rgb kHertzPen{0, 110, 230};

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

std::optional<PlotRange> PopinsView(const marvek::CurveDisplay& display,
                                    const marvek::popins::PopinResult& popins) {
    if (popins.popins.empty()) return std::nullopt;
    const std::size_t n = std::min(display.m_pCurveDepth.size(), display.m_pCurveLoad.size());
    double d0 = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < n; ++i) d0 = std::min(d0, display.m_pCurveDepth[i]);
    double end = -std::numeric_limits<double>::infinity();
    for (const marvek::popins::Popin& p : popins.popins) end = std::max(end, p.depth + p.width);
    if (!std::isfinite(d0) || !std::isfinite(end) || !(end > d0)) return std::nullopt;
    const double d1 = d0 + 1.5 * (end - d0);
    double f0 = std::numeric_limits<double>::infinity(), f1 = -f0;
    for (std::size_t i = 0; i < n; ++i) {
        const double d = display.m_pCurveDepth[i], f = display.m_pCurveLoad[i];
        if (!(d <= d1) || !std::isfinite(f)) continue;
        f0 = std::min(f0, f);
        f1 = std::max(f1, f);
    }
    if (!(f1 > f0)) return std::nullopt;
    return PlotRange{d0, d1, f0, f0 + 1.1 * (f1 - f0)};
}

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
                       std::string_view segments, const std::string& caption,
                       const marvek::popins::PopinResult* popins) {
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
    if (popins && !popins->popins.empty()) {
        PlotSeries marks{"pop-ins", {}, {}, kPopinPen, PlotSeries::Style::Markers};
        for (const marvek::popins::Popin& p : popins->popins) {
            marks.x.push_back(p.depth);
            marks.y.push_back(p.load);
        }
        if (!popins->hertz.curveDepth.empty())
            plot.series.push_back({"Hertz fit", popins->hertz.curveDepth, popins->hertz.curveLoad,
                                   kHertzPen, PlotSeries::Style::Line});
        plot.series.push_back(std::move(marks));
        const std::size_t count = popins->popins.size();
        const marvek::popins::Popin& first = popins->popins.front();
        plot.note = marvek::FormatInt(static_cast<long long>(count)) +
                    (count == 1 ? " pop-in" : " pop-ins") + ", the first at " +
                    marvek::FormatSignificant(first.load, 4) + " mN, " +
                    marvek::FormatSignificant(first.depth, 4) + " nm, " +
                    marvek::FormatSignificant(first.width, 3) + " nm wide";
        const std::string hertz = marvek::DescribeHertzFit(*popins);
        if (!hertz.empty()) plot.note += "\n" + hertz;
    }

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
