#pragma once
// The load-displacement plot of the displayed curve in the main window's client area.

#include "core/analysis/curve_analysis.h"
#include "ui/drawing_surface.h"

// Layout of the plot for a client rectangle: a square frame whose left edge lies at 38 % of
// the width and whose side is 84 % of the height.
struct CurvePlotFrame {
    int left = 0;
    int top = 0;
    int size = 0;
};
CurvePlotFrame CurvePlotFrameFor(const marvek::ui::Rect& client);

// Draws the frame, the unit labels and, once files are selected (`fileCount` > 0), the measured
// points, the green extrapolation, the red fit and the two value labels.
void DrawCurvePlot(marvek::ui::DrawingSurface& dc, const marvek::CurveDisplay& display,
                   int fileCount);
