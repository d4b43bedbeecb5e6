#pragma once
// The load-displacement plot of the displayed curve in the main window: what it shows and
// where its frame lies. A PlotView draws it, so it zooms and pans in place.

#include <optional>
#include <string>
#include <string_view>

#include "core/analysis/curve_analysis.h"
#include "core/popins/popins.h"
#include "ui/plot_view.h"

// The square frame for a client rectangle: its left edge at 38 % of the width, its top at the
// client's top, its side 84 % of the height, made smaller where the tick numbers and axis
// title below it would reach `bottom` (the top of the path field) or the frame the right edge.
struct CurvePlotFrame {
    int left = 0;
    int top = 0;
    int size = 0;
};
// Room the axes take around the frame: tick numbers and titles left and below, half a tick
// number above, a little on the right.
inline constexpr int kPlotRoomLeft = 70, kPlotRoomBelow = 42, kPlotRoomAbove = 8,
                     kPlotRoomRight = 10;
CurvePlotFrame CurvePlotFrameFor(const marvek::ui::Rect& client, int bottom);

// The plot's content: the measured points in black (by segment code in colour when segment
// colours are on), the green extrapolation, the red fit, the largest load and depth at the
// frame's edges, and a home view from the curve's smallest values to 5 % above its largest.
// `segments` are the points' segment codes (used when there is one per point); nothing but
// the empty frame while `fileCount` is 0. With `popins`, a circle at each pop-in (at the last
// sample before its burst), the Hertz fit over the loading before the first, and its label in
// the upper left corner.
marvek::ui::PlotData CurvePlotData(const marvek::CurveDisplay& display, int fileCount,
                                   std::string_view segments, const std::string& caption,
                                   const marvek::popins::PopinResult* popins = nullptr);

// Where the pop-ins are seen (they come at a small part of the largest load): from the curve's
// smallest depth to half as far again beyond the end of the last burst, and loads from the
// smallest to a tenth above the largest of the points in that depth range. Nothing without
// pop-ins.
std::optional<marvek::ui::PlotRange> PopinsView(const marvek::CurveDisplay& display,
                                                const marvek::popins::PopinResult& popins);
