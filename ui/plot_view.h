#pragma once
// A plot to explore in place: ticks with nice numbers, optional grid, wheel zoom about the
// cursor, drag to pan, Ctrl+drag to zoom into a rectangle, double-click (or Home while zoomed)
// back to the home view, the cursor's coordinates through a callback, and export as PNG or SVG.
// Drawn by QCustomPlot; it knows only plain series, no analysis types.

#include <qcustomplot.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/geometry.h"

namespace marvek::ui {

struct PlotSeries {
    // Markers: open circles, for a few points singled out on a curve (pop-ins). Band: the
    // points are a closed outline (upper edge forward, lower edge back), filled translucent.
    enum class Style { Dots, Line, Stars, Markers, Band };
    std::string name;
    std::vector<double> x, y;
    Rgb colour;
    Style style = Style::Dots;
    // Shown only while segment colours are on (WithSegments) or only while they are off
    // (WithoutSegments); always when Always.
    enum class Segments { Always, WithSegments, WithoutSegments } segments = Segments::Always;
};

// A value written at the frame's edge: a y value inside the left edge at its height, an x
// value inside the bottom edge centred on it. It follows zoom and pan.
struct PlotMark {
    enum class Axis { X, Y };
    Axis axis = Axis::Y;
    double value = 0;
    std::string text;
};

struct PlotRange {
    double xLower = 0, xUpper = 1, yLower = 0, yUpper = 1;
};

struct PlotData {
    std::string caption;
    std::string xTitle, yTitle;  // with their units
    std::vector<PlotSeries> series;
    std::vector<PlotMark> marks;
    // The view the reset returns to; unset: every series with a small margin.
    std::optional<PlotRange> home;
    // Text written in the frame's upper left corner (a fit's parameters); lines split at '\n'.
    std::string note;
};

class PlotView : public QCustomPlot {
public:
    explicit PlotView(QWidget* parent = nullptr);

    // Shows `data`; the view goes home unless `keepView` (and the view was already set).
    void SetData(PlotData content, bool keepView = false);
    const PlotData& Data() const { return data_; }

    // Back to the home view.
    void ResetView();
    // True while the view differs from the home view.
    bool IsZoomed() const;
    PlotRange View() const;
    void SetView(const PlotRange& range);
    // Shows the extent of the series named `name` (with a margin); nothing if it has no points.
    void ZoomTo(const std::string& name);
    void SetGrid(bool on);
    bool Grid() const { return grid_; }
    void SetSegments(bool on);
    bool Segments() const { return segments_; }
    // The text for the cursor at a pixel of the widget.
    std::string CoordinatesAt(QPoint pixel) const;
    // Called with CoordinatesAt of the cursor as it moves over the plot.
    std::function<void(const std::string&)> onCoordinates;
    // Called after every change of view made with the mouse or keys.
    std::function<void()> onViewChanged;

    bool ExportPng(const std::filesystem::path& file, int width, int height, std::string& error);
    bool ExportSvg(const std::filesystem::path& file, std::string& error);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void ShowSeries();
    void ShowMarks();
    void PlaceMarks();
    PlotRange HomeRange() const;

    PlotData data_;
    bool grid_ = false;
    bool segments_ = false;
};

}  // namespace marvek::ui
