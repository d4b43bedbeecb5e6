#pragma once
// The property map of a series of indents with positions: the heat map of a chosen quantity
// over the indents (equal axes in µm, a colour bar with units, the colour scale of the map
// pictures), the histogram of that quantity with the fitted phases over it (k by BIC), and a
// scatter of the quantity against a second one coloured by phase. It shows the rows it is given
// (SetSeries): curves left out of the series (failed, excluded by the user or a rule) are
// neither drawn nor fitted. Hover names an indent, a click asks for its curve.

#include <QWidget>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/base/status.h"
#include "core/phases/distribution.h"
#include "core/phases/map_data.h"
#include "core/phases/mixture.h"
#include "core/series/series.h"

class QComboBox;
class QLabel;
class QTimer;

namespace marvek::ui {
class PlotView;
}

namespace marvek::graphs {

class MapPlot;

class MapView : public QWidget {
    Q_OBJECT
public:
    explicit MapView(QWidget* parent = nullptr);
    ~MapView() override;

    // The rows to show; the view follows within a moment (at once with Flush).
    void SetSeries(const Series& series);
    // Applies a pending SetSeries now.
    void Flush();
    // The quantity mapped and binned, and the second one of the scatter and the mixture (its
    // SeriesQuantities key; "" for none: the mixture is then over the first alone).
    void SetQuantities(const std::string& key, const std::string& secondKey);
    std::string QuantityKey() const;
    std::string SecondKey() const;

    // Called with the curve's index in the series when the user clicks its indent.
    std::function<void(int curve)> onShowCurve;
    // The map alone as a figure with the program's figure options (the button shows when set).
    std::function<void(ui::PlotView& map)> onExportFigure;

    // An indent of the view: a curve that takes part, with the values shown.
    struct Indent {
        int curve = -1;
        double x_um = 0, y_um = 0;  // NaN when the curve has no position (not on the map)
        double value = 0, second = 0;
        int phase = -1;  // index into Mixture().phases; -1 without a fit
        double probability = 0;
    };
    // Every curve in the mixture (included, with the quantities as numbers); those with a
    // position are the points on the map.
    const std::vector<Indent>& Indents() const { return indents_; }
    int MappedIndents() const;
    const phases::MixtureFit& Mixture() const { return fit_; }
    // Whether the phases of a large series are still being fitted off the window thread.
    bool FittingPhases() const { return fitting_; }
    // Above this many indents the phases are fitted off the window thread.
    static constexpr std::size_t kPhasesOnWindowThread = 500;
    const phases::MapGrid& Grid() const { return grid_; }

    ui::PlotView* MapPlotView() const;
    ui::PlotView* HistogramView() const { return histogram_; }
    ui::PlotView* ScatterView() const { return scatter_; }
    // The pixel of the map plot where indent `i` (of Indents()) is drawn.
    QPoint IndentPixel(int i) const;
    // The indent drawn nearest `pixel` of the map plot within a few pixels, or -1.
    int IndentAt(QPoint pixel) const;
    // What hovering at `pixel` shows (empty away from every indent).
    QString ToolTipAt(QPoint pixel) const;
    // All three plots drawn again at once.
    void Replot();

    // The whole view as a picture or drawing, and the indents as a table (file, test,
    // position, the two quantities, phase and its probability).
    Status ExportPng(const std::filesystem::path& file);
    Status ExportSvg(const std::filesystem::path& file);
    Status ExportCsv(const std::filesystem::path& file) const;

private:
    void Recompute();
    void LabelIndents();
    void ApplyPhases(phases::MixtureFit fit);
    void ShowMap();
    void ShowHistogram();
    void ShowScatter();
    void ShowSummary();
    void OnMapMouseMove(QPoint pixel, QPoint global);
    void OnMapClick(QPoint pixel);
    void AskExport(int kind);

    Series series_;
    std::vector<Indent> indents_;
    phases::MixtureFit fit_;
    phases::MapGrid grid_;
    std::string message_;      // why nothing is drawn, if so
    unsigned generation_ = 0;  // the Recompute whose phases may be shown
    bool fitting_ = false;

    QComboBox* quantity_ = nullptr;
    QComboBox* second_ = nullptr;
    MapPlot* map_ = nullptr;
    ui::PlotView* histogram_ = nullptr;
    ui::PlotView* scatter_ = nullptr;
    QLabel* summary_ = nullptr;
    QTimer* pending_ = nullptr;
};

}  // namespace marvek::graphs
