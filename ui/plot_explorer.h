#pragma once
// A window to explore a plot: ticks with nice numbers, optional grid, wheel zoom about the
// cursor, drag to pan, Ctrl+drag to zoom into a rectangle, double-click or Home to reset, the
// cursor's coordinates at the foot, and export as PNG (at a chosen size) or SVG: a PlotView
// with its tools around it.

#include <QDialog>
#include <filesystem>
#include <string>
#include <vector>

#include "ui/plot_view.h"

class QCheckBox;
class QLabel;
class QSpinBox;
class QMouseEvent;

namespace marvek::ui {

class PlotExplorer : public QDialog {
public:
    explicit PlotExplorer(PlotData content, QWidget* parent = nullptr);

    PlotView* Plot() const { return plot_; }
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

    PlotView* plot_ = nullptr;
    QCheckBox* grid_ = nullptr;
    QCheckBox* segments_ = nullptr;
    QSpinBox* width_ = nullptr;
    QSpinBox* height_ = nullptr;
    QLabel* coordinates_ = nullptr;
};

}  // namespace marvek::ui
