#pragma once
// The one way a plot leaves the program as a figure: a style (fonts, line widths, size in mm,
// resolution) chosen at export and remembered, applied to any PlotView and written as PNG, SVG
// or PDF. Every window with a plot (the curve, the graphs, later views) exports through here.

#include <filesystem>
#include <string>

#include "ui/dialog.h"

namespace marvek::ui {

class PlotView;

struct PlotStyle {
    double fontPoints = 9;   // tick numbers; titles are one point larger
    double lineWidth = 1.5;  // fit and extrapolation lines, pt
    double widthMm = 160;    // figure size
    double heightMm = 110;
    int dpi = 300;      // PNG resolution
    bool grid = false;  // the view's grid and segment colours, remembered with the style
    bool segments = false;
    // The pop-ins of the shown curve: marked unless turned off (they appear only where found).
    bool popins = true;
};

// Read from and written to an ini file beside the parameter file (missing or unreadable: the
// defaults).
PlotStyle LoadPlotStyle(const std::filesystem::path& file);
void SavePlotStyle(const std::filesystem::path& file, const PlotStyle& style);

// Writes `view` with `style` to `file`: PNG (at the style's size and resolution, so a 9 pt
// font is 9 pt on paper), SVG or PDF by the file's extension. The view on screen is unchanged.
bool ExportStyledPlot(PlotView& view, const PlotStyle& style, const std::filesystem::path& file,
                      std::string& error);

// The export options window: edits `style` (checked ranges, each message naming its field);
// false when cancelled.
bool AskPlotStyle(Dialog* owner, PlotStyle& style);
DialogTemplate PlotStyleTemplate();

// The whole command: options, file name, export, the style remembered in `styleFile`. The
// status line of `owner` says where the figure went; a failure is shown in a box.
void ExportPlotWithOptions(Dialog& owner, PlotView& view, const std::filesystem::path& styleFile);

}  // namespace marvek::ui
