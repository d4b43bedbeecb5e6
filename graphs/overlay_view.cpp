#include "graphs/overlay_view.h"

#include <QAction>

#include <cmath>

#include "core/platform/output_file.h"
#include "ui/plot_export.h"
#include "ui/services.h"

namespace marvek::graphs {

namespace {

// Light, distinguishable colours for the curves, so the black mean stands out over them.
constexpr ui::Rgb kCurveColours[] = {{120, 160, 220}, {230, 150, 100}, {120, 190, 120},
                                     {210, 120, 140}, {160, 130, 200}, {190, 170, 90},
                                     {100, 190, 190}, {200, 140, 200}, {150, 150, 150}};
constexpr ui::Rgb kMeanColour{0, 0, 0};
constexpr ui::Rgb kBandColour{40, 80, 170};

// Adds the mean line and ±SD bands of one branch, drawn where n >= `least`.
void AddBranch(ui::PlotData& plot, const std::vector<double>& grid, const OverlayBranch& b,
               int least, const std::string& name) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    ui::PlotSeries mean{name + " mean", {}, {}, kMeanColour, ui::PlotSeries::Style::Line};
    std::vector<ui::PlotSeries> bands;
    ui::PlotSeries upper, lower;
    auto closeBand = [&] {
        if (upper.x.size() >= 2) {
            ui::PlotSeries band{name + " ±SD " + std::to_string(bands.size() + 1), upper.x, upper.y,
                                kBandColour, ui::PlotSeries::Style::Band};
            band.x.insert(band.x.end(), lower.x.rbegin(), lower.x.rend());
            band.y.insert(band.y.end(), lower.y.rbegin(), lower.y.rend());
            bands.push_back(std::move(band));
        }
        upper = {};
        lower = {};
    };
    for (std::size_t g = 0; g < grid.size(); ++g) {
        const bool shown = b.n[g] >= least && !std::isnan(b.mean[g]);
        // A gap in the line where the mean is not drawn.
        mean.x.push_back(grid[g]);
        mean.y.push_back(shown ? b.mean[g] : nan);
        if (shown && !std::isnan(b.sd[g])) {
            upper.x.push_back(grid[g]);
            upper.y.push_back(b.mean[g] + b.sd[g]);
            lower.x.push_back(grid[g]);
            lower.y.push_back(b.mean[g] - b.sd[g]);
        } else {
            closeBand();
        }
    }
    closeBand();
    for (ui::PlotSeries& band : bands) plot.series.push_back(std::move(band));
    plot.series.push_back(std::move(mean));
}

}  // namespace

ui::PlotData OverlayPlotData(const OverlayResult& overlay, bool normalised,
                             const std::string& caption) {
    ui::PlotData plot;
    plot.caption = caption;
    plot.xTitle = normalised ? "Depth / hmax" : "Depth [nm]";
    plot.yTitle = normalised ? "Load / Fmax" : "Load [mN]";
    std::size_t k = 0;
    for (const OverlayCurve& c : overlay.curves)
        plot.series.push_back({c.label, c.depth, c.load,
                               kCurveColours[k++ % std::size(kCurveColours)],
                               ui::PlotSeries::Style::Line});
    const int curves = static_cast<int>(overlay.curves.size());
    // One curve is its own mean; of more, at least two and at least half must count.
    const int least = curves < 2 ? 1 : std::max(2, (curves + 1) / 2);
    if (!overlay.grid.empty()) {
        AddBranch(plot, overlay.grid, overlay.loading, least, "loading");
        AddBranch(plot, overlay.grid, overlay.unloading, least, "unloading");
    }
    if (!overlay.reason.empty()) {
        plot.note = "No mean curve: " + overlay.reason;
    } else {
        plot.note = std::to_string(curves) + (curves == 1 ? " curve" : " curves") +
                    (normalised ? ", each by its own hmax and Fmax" : "") +
                    "\nblack: mean; band: ±SD (sample); drawn where at least " +
                    std::to_string(least) + " curves reach the depth";
        if (!overlay.skipped.empty())
            plot.note += "\nleft out: " + std::to_string(overlay.skipped.size());
    }
    return plot;
}

QPixmap RenderOverlayPicture(const std::vector<OverlayCurve>& curves, bool normalised, int width,
                             int height, const std::string& caption) {
    OverlaySettings settings;
    settings.normalise = normalised;
    ui::PlotView view;
    view.resize(width, height);
    view.SetData(OverlayPlotData(ComputeOverlay(curves, settings), normalised, caption));
    return view.toPixmap(width, height);
}

}  // namespace marvek::graphs

using marvek::ui::MessageButtons;
using marvek::ui::MessageIcon;

COverlayDlg::COverlayDlg(std::vector<marvek::OverlayCurve> curves,
                         std::vector<std::string> failures, std::filesystem::path styleFile,
                         std::string caption)
    : Dialog(OverlayTemplate()),
      curves_(std::move(curves)),
      failures_(std::move(failures)),
      styleFile_(std::move(styleFile)),
      caption_(std::move(caption)) {
    OnCommand(ID_OVERLAY_SAVE_CSV, [this] { OnSaveCsv(); });
    OnCommand(ID_OVERLAY_EXPORT, [this] { OnExportFigure(); });
    OnCommand(ID_OVERLAY_EXIT, [this] { OnExit(); });
    OnCommand(ID_OVERLAY_NORMALISE, [this] { SetNormalised(!normalised_); });
    OnCommand(ID_OVERLAY_RESET, [this] {
        if (m_plot) m_plot->ResetView();
    });
    OnCommand(ID_OVERLAY_GRID, [this] {
        if (m_plot) m_plot->SetGrid(!m_plot->Grid());
    });
    Recompute();
}

marvek::ui::DialogTemplate COverlayDlg::OverlayTemplate() {
    marvek::ui::DialogTemplate t;
    t.id = IDD_OVERLAY;
    t.caption = "Marvek - Curve Overlay";
    t.width = 420;
    t.height = 280;
    t.resizable = true;
    t.menu = {{"File",
               {{"Save Mean Curve (.CSV)...", ID_OVERLAY_SAVE_CSV},
                {"Export Figure (PNG, PDF, SVG)...", ID_OVERLAY_EXPORT},
                marvek::ui::MenuItem::Separator(),
                {"Close", ID_OVERLAY_EXIT}}},
              {"View",
               {{"Normalised (depth/hmax, load/Fmax)", ID_OVERLAY_NORMALISE},
                {"Reset Zoom", ID_OVERLAY_RESET},
                {"Grid", ID_OVERLAY_GRID}}}};
    return t;
}

void COverlayDlg::Recompute() {
    marvek::OverlaySettings settings;
    settings.normalise = normalised_;
    overlay_ = marvek::ComputeOverlay(curves_, settings);
    if (m_plot) m_plot->SetData(marvek::graphs::OverlayPlotData(overlay_, normalised_, caption_));
}

void COverlayDlg::SetNormalised(bool on) {
    normalised_ = on;
    if (QAction* a = MenuAction(ID_OVERLAY_NORMALISE)) a->setChecked(on);
    Recompute();
}

bool COverlayDlg::OnInitDialog() {
    Dialog::OnInitDialog();
    if (!caption_.empty()) setWindowTitle(QString::fromStdString(caption_));
    if (QAction* a = MenuAction(ID_OVERLAY_NORMALISE)) {
        a->setCheckable(true);
        a->setChecked(normalised_);
    }
    if (QAction* a = MenuAction(ID_OVERLAY_GRID)) a->setCheckable(true);
    m_plot = new marvek::ui::PlotView(Client());
    m_plot->onCoordinates = [this](const std::string& text) { SetStatusText(text); };
    // What could not be drawn is said first; the cursor's coordinates take the line later.
    std::vector<std::string> left = failures_;
    left.insert(left.end(), overlay_.skipped.begin(), overlay_.skipped.end());
    std::string status;
    for (const std::string& f : left) status += (status.empty() ? "Left out: " : "; ") + f;
    SetStatusText(status.empty() ? "Wheel zooms, drag pans, double-click resets" : status);
    if (StatusBarWidget()) resize(width(), height() + StatusBarWidget()->sizeHint().height());
    m_plot->SetData(marvek::graphs::OverlayPlotData(overlay_, normalised_, caption_));
    m_plot->show();
    return true;
}

void COverlayDlg::OnSize(int width, int height) {
    if (m_plot) m_plot->setGeometry(0, 0, width, height);
}

marvek::Status COverlayDlg::SaveCsv(const std::filesystem::path& file) const {
    return marvek::WriteOutputFile(file, marvek::FormatOverlayCsv(overlay_, normalised_));
}

void COverlayDlg::OnSaveCsv() {
    marvek::ui::SaveFileRequest request;
    request.owner = this;
    request.filter = "Text Files (*.CSV)";
    request.defaultExtension = "csv";
    request.promptOverwrite = true;
    const auto file = marvek::ui::GetServices().SaveFile(request);
    if (!file) return;
    if (const marvek::Status s = SaveCsv(*file); !s.ok())
        marvek::ui::ShowMessage(this, s.message(), marvek::ui::kApplicationName, MessageButtons::Ok,
                                MessageIcon::Error);
    else
        SetStatusText("Mean curve saved to " + file->string());
}

void COverlayDlg::OnExportFigure() {
    if (m_plot) marvek::ui::ExportPlotWithOptions(*this, *m_plot, styleFile_);
}

void COverlayDlg::OnExit() { EndDialog(marvek::ui::IDOK); }
