#pragma once
// A window to explore a plot: ticks with nice numbers, optional grid, wheel zoom about the
// cursor, drag to pan, Ctrl+drag to zoom into a rectangle, double-click or Home to reset, the
// cursor's coordinates at the foot, and export as PNG (at a chosen size) or SVG. Drawn by
// QCustomPlot; it knows only plain series, no analysis types.

#include <QDialog>
#include <filesystem>
#include <string>
#include <vector>

#include "ui/geometry.h"

class QCustomPlot;
class QCheckBox;
class QLabel;
class QSpinBox;
class QMouseEvent;

namespace marvek::ui {

struct PlotSeries {
    enum class Style { Dots, Line, Stars };
    std::string name;
    std::vector<double> x, y;
    Rgb colour;
    Style style = Style::Dots;
    // Shown only while the window's "Segments" box is ticked (true) or only while it is not
    // (false); always when unset.
    enum class Segments { Always, WithSegments, WithoutSegments } segments = Segments::Always;
};

struct PlotData {
    std::string caption;
    std::string xTitle, yTitle;  // with their units
    std::vector<PlotSeries> series;
};

class PlotExplorer : public QDialog {
public:
    explicit PlotExplorer(PlotData content, QWidget* parent = nullptr);

    QCustomPlot* Plot() const { return plot_; }
    // Back to the whole of every series.
    void ResetView();
    // Shows the extent of the series named `name` (with a margin); nothing if it has no points.
    void ZoomTo(const std::string& name);
    void SetGrid(bool on);
    void SetSegments(bool on);
    void SetExportSize(int width, int height);
    // The text the foot shows for the cursor at a pixel of the plot widget.
    std::string CoordinatesAt(QPoint pixel) const;
    std::string CoordinatesText() const;
    // PNG at the chosen export size, or SVG; false with `error` set.
    bool ExportPng(const std::filesystem::path& file, std::string& error) const;
    bool ExportSvg(const std::filesystem::path& file, std::string& error) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ChooseAndExport(bool svg);
    void ShowSeries();

    PlotData data_;
    QCustomPlot* plot_ = nullptr;
    QCheckBox* grid_ = nullptr;
    QCheckBox* segments_ = nullptr;
    QSpinBox* width_ = nullptr;
    QSpinBox* height_ = nullptr;
    QLabel* coordinates_ = nullptr;
};

}  // namespace marvek::ui
