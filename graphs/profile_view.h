#pragma once
// The window of a continuous-stiffness workbook's depth profiles: hardness or modulus against
// depth of every indent overlaid (one colour each, the main window's curve drawn thick, the
// excluded ones hidden), the mean profile with its +-SD band, and the averaging window shaded
// with its two edges to drag; the averages over the window follow the edges. Everything shown
// is computed by core/profiles; this window only draws it.

#include <QDialog>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/base/status.h"
#include "core/io/parsed_curve.h"
#include "core/profiles/depth_profile.h"
#include "ui/plot_view.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QTableWidget;

namespace marvek::graphs {

// One test of the workbook, as the main window lists it.
struct ProfileIndent {
    int curve = -1;       // its index in the main window's list
    std::string address;  // FILE#TEST
    std::string test;
};

struct WorkbookProfiles {
    std::filesystem::path file;
    std::vector<ProfileIndent> indents;
    std::vector<profiles::DepthProfile> profiles;  // one per indent
    std::string error;                             // why there is nothing to show
    std::vector<std::string> warnings;             // the profiles' own, each said once
};

// Reads the workbook of entry `current` of `addresses` and computes the profile of each of its
// tests that the list holds, in the workbook's order.
WorkbookProfiles LoadWorkbookProfiles(const std::vector<std::filesystem::path>& addresses,
                                      int current, const io::ReadOptions& read,
                                      const profiles::ProfileSettings& settings);

// The plot of the view: a PlotView whose shaded window's edges can be dragged (the cursor turns
// into a double arrow over them); everywhere else it zooms and pans as every plot does.
class ProfilePlot : public ui::PlotView {
public:
    explicit ProfilePlot(QWidget* parent = nullptr);
    // Shows the window [from, to] (again after every SetData, which clears it).
    void SetWindow(double from, double to);
    // The pixel column of the lower (0) or upper (1) edge.
    int EdgePixel(int edge) const;
    // Called while an edge is dragged, with the window as it now is, and once when it is let go.
    std::function<void(double from, double to)> onWindowDragged;
    std::function<void()> onWindowReleased;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int EdgeAt(int pixelX) const;  // -1 when none is within reach
    void ShowWindow();

    double from_ = 0, to_ = 0;
    int dragging_ = -1;
};

class ProfileView : public QDialog {
public:
    enum class Quantity { Hardness, Modulus };

    ProfileView(QWidget* parent, WorkbookProfiles workbook);

    // Called with the main window's curve index when the user picks an indent in the list.
    std::function<void(int curve)> onShowCurve;
    // Called when the window has been set (an edge let go, a spin box, SetWindow), not while an
    // edge moves: Averages() then holds every indent's average over it.
    std::function<void()> onWindowChosen;

    void SetQuantity(Quantity q);
    Quantity GetQuantity() const { return quantity_; }
    void SetLogDepth(bool on);
    bool LogDepth() const { return logDepth_; }
    // The averaging window in nm (ordered; the spin boxes, shading and averages follow).
    void SetWindow(double from, double to);
    double From() const { return from_; }
    double To() const { return to_; }
    // The main window's shown curve (drawn thick) and its exclusions, by its curve index.
    void SetSelectedCurve(int curve);
    void SetExcluded(const std::vector<bool>& byCurve);

    const std::vector<ProfileIndent>& Indents() const { return workbook_.indents; }
    const std::vector<profiles::DepthProfile>& Profiles() const { return workbook_.profiles; }
    // Which indents are drawn and averaged (ok profiles not excluded).
    std::vector<bool> Included() const;
    const profiles::WindowAverages& Averages() const { return averages_; }
    std::string AveragesText() const;
    ProfilePlot* Plot() const { return plot_; }
    QTableWidget* IndentList() const { return list_; }

    // The shown indents' loading and the mean profile as one long table; PNG, SVG or PDF by the
    // file's extension in the figure style of the other plots.
    Status ExportCsv(const std::filesystem::path& file) const;
    bool ExportFigure(const std::filesystem::path& file, std::string& error);

private:
    void Rebuild();         // plot and list from scratch (quantity, scale, inclusion)
    void UpdateAverages();  // list, label and spin boxes for the window
    void ChooseAndExportFigure();
    void ChooseAndExportCsv();

    WorkbookProfiles workbook_;
    std::vector<bool> excluded_;  // by indent
    int selectedCurve_ = -1;
    Quantity quantity_ = Quantity::Hardness;
    bool logDepth_ = false;
    double from_ = 100, to_ = 200;
    profiles::MeanProfile mean_;
    profiles::WindowAverages averages_;

    ProfilePlot* plot_ = nullptr;
    QComboBox* quantityBox_ = nullptr;
    QCheckBox* logBox_ = nullptr;
    QCheckBox* gridBox_ = nullptr;
    QDoubleSpinBox* fromBox_ = nullptr;
    QDoubleSpinBox* toBox_ = nullptr;
    QLabel* averagesLabel_ = nullptr;
    QLabel* coordinates_ = nullptr;
    QTableWidget* list_ = nullptr;
};

}  // namespace marvek::graphs
