#pragma once
// The overlay window: several curves drawn together in one plot, as measured or normalised
// (depth/hmax, load/Fmax per curve), with the mean curve of the loading and unloading branches
// and its ±SD band (core/series/curve_overlay.h computes them). Zoom, pan and grid as every
// plot; the figure leaves through the shared export (PNG, PDF, SVG), the mean curve as CSV.
// The drawing is a plain function of the curves, so a report renders it without a window.

#include <QPixmap>

#include <filesystem>
#include <string>
#include <vector>

#include "core/base/status.h"
#include "core/series/curve_overlay.h"
#include "ui/dialog.h"
#include "ui/plot_view.h"

// Resource ids of the overlay window.
inline constexpr int IDD_OVERLAY = 160;
inline constexpr int ID_OVERLAY_SAVE_CSV = 33020;
inline constexpr int ID_OVERLAY_EXPORT = 33021;
inline constexpr int ID_OVERLAY_EXIT = 33022;
inline constexpr int ID_OVERLAY_NORMALISE = 33023;
inline constexpr int ID_OVERLAY_RESET = 33024;
inline constexpr int ID_OVERLAY_GRID = 33025;

namespace marvek::graphs {

// What the plot shows of `overlay`: each curve as a thin line, the mean of each branch as a
// black line and its ±SD as a band. Mean and band are drawn where at least half of the curves,
// and at least two, reach the depth (one curve: its mean is itself, without a band); the CSV
// has every grid depth with its n.
ui::PlotData OverlayPlotData(const OverlayResult& overlay, bool normalised,
                             const std::string& caption);

// The overlay of `curves` drawn off screen at `width` x `height` pixels (for reports).
QPixmap RenderOverlayPicture(const std::vector<OverlayCurve>& curves, bool normalised, int width,
                             int height, const std::string& caption = {});

}  // namespace marvek::graphs

class COverlayDlg : public marvek::ui::Dialog {
public:
    // `failures` names the curves that could not be read ("FILE: reason"); `styleFile` is where
    // the figure style is remembered (the main window's).
    COverlayDlg(std::vector<marvek::OverlayCurve> curves, std::vector<std::string> failures,
                std::filesystem::path styleFile, std::string caption);

    static marvek::ui::DialogTemplate OverlayTemplate();

    void SetNormalised(bool on);
    bool Normalised() const { return normalised_; }
    const marvek::OverlayResult& Overlay() const { return overlay_; }
    // The mean curve with n and SD per grid depth; a failure names the file and the reason.
    marvek::Status SaveCsv(const std::filesystem::path& file) const;

    void OnSaveCsv();
    void OnExportFigure();
    void OnExit();

    marvek::ui::PlotView* m_plot = nullptr;  // made in OnInitDialog

protected:
    bool OnInitDialog() override;
    void OnSize(int width, int height) override;

private:
    void Recompute();

    std::vector<marvek::OverlayCurve> curves_;
    std::vector<std::string> failures_;
    std::filesystem::path styleFile_;
    std::string caption_;
    bool normalised_ = false;
    marvek::OverlayResult overlay_;
};
