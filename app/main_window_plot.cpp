// The main window's curve plot (a PlotView in the plot's place: zoom, pan, grid, segment
// colours, export) and File > Open Recent.
#include <QAction>
#include <QApplication>
#include <QMenu>

#include "app/curve_plot.h"
#include "app/main_window.h"
#include "app/resource_ids.h"
#include "core/platform/recent_selections.h"
#include "core/series/curve_popins.h"
#include "ui/plot_export.h"
#include "ui/services.h"

using namespace marvek;
using namespace marvek::ui;
using namespace resource;

namespace {

constexpr const char* kPlotHint =
    "Plot: wheel zooms, drag pans, Ctrl+drag zooms to a rectangle, double-click or Home resets";

// "steel_01.csv", "steel_01.csv and 3 more" - with the folder, so equal names stay apart.
std::string SelectionLabel(const CurveSelection& s) {
    std::string text = s.front().filename().string();
    if (s.size() > 1) text += " and " + std::to_string(s.size() - 1) + " more";
    const std::string folder = s.front().parent_path().string();
    if (!folder.empty()) text += "  (" + folder + ")";
    return text;
}

}  // namespace

void CIndentMainDlg::BuildPlot() {
    m_plot = new PlotView(Client());
    // Placed by LayOutPlot, not by the growth rules of the template's controls.
    m_plot->setProperty("marvekOwnLayout", true);
    m_plot->onCoordinates = [this](const std::string& text) { SetStatusText(text); };
    m_plot->onViewChanged = [this] { EnableMenuCommand(ID_PLOT_RESET, m_plot->IsZoomed()); };
    // The status line for the cursor's coordinates; the window grows by it so the client keeps
    // the template's size.
    SetStatusText(kPlotHint);
    resize(width(), height() + (StatusBarWidget() ? StatusBarWidget()->sizeHint().height() : 0));
    for (int id : {ID_PLOT_GRID, ID_PLOT_SEGMENTS, ID_PLOT_POPINS})
        if (QAction* a = MenuAction(id)) a->setCheckable(true);
    if (QAction* reset = MenuAction(ID_PLOT_RESET))
        reset->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    m_plot->SetData(CurvePlotData(*this, 0, {}, Template().caption));
    // Grid and segment colours as they were left.
    const PlotStyle style = LoadPlotStyle(PlotStyleFile());
    m_plot->SetGrid(style.grid);
    m_plot->SetSegments(style.segments);
    if (QAction* a = MenuAction(ID_PLOT_GRID)) a->setChecked(style.grid);
    if (QAction* a = MenuAction(ID_PLOT_SEGMENTS)) a->setChecked(style.segments);
    m_bShowPopins = style.popins;
    if (QAction* a = MenuAction(ID_PLOT_POPINS)) a->setChecked(m_bShowPopins);
    EnableMenuCommand(ID_PLOT_RESET, false);
    EnableMenuCommand(ID_PLOT_ZOOM_POPINS, false);
    InstallFitRangeDrag();
    m_plot->show();
    LayOutPlot();
}

void CIndentMainDlg::LayOutPlot() {
    if (!m_plot || !Client()) return;
    QWidget* path = GetDlgItem(IDC_FILE_NAME);
    QWidget* results = GetDlgItem(IDC_RESULTS);
    const Rect client = GetClientRect();
    const int bottom = path ? path->geometry().top() : client.bottom;
    const CurvePlotFrame f = CurvePlotFrameFor(client, bottom);
    // The frame takes all the room right of the results column and above the path: square at
    // the template's size, wider or taller as the window is.
    const int left =
        results ? std::max(results->geometry().right() + 12, 0) : f.left - kPlotRoomLeft;
    const QRect area(left, f.top - kPlotRoomAbove, std::max(0, client.right - left),
                     std::max(0, bottom - 4 - (f.top - kPlotRoomAbove)));
    m_plot->axisRect()->setAutoMargins(QCP::msNone);
    m_plot->axisRect()->setMargins(
        QMargins(kPlotRoomLeft, kPlotRoomAbove, kPlotRoomRight, kPlotRoomBelow));
    if (m_plot->geometry() != area) m_plot->setGeometry(area);
    m_plot->replot();
}

void CIndentMainDlg::RefreshPlot() {
    if (!m_plot) return;
    const std::size_t n = static_cast<std::size_t>(std::max(0, m_analyzer.m_nPoints));
    const std::string_view segments(m_analyzer.m_pSegment.data(),
                                    std::min(n, m_analyzer.m_pSegment.size()));
    const std::string address =
        m_nCurrentCurve >= 0 && m_nCurrentCurve < m_analyzer.m_nFileCount
            ? m_analyzer.m_strFiles[static_cast<std::size_t>(m_nCurrentCurve)].string()
            : std::string();
    // The same curve analysed again (another Poisson ratio or strategy) keeps its view.
    const bool same = !address.empty() && address == plottedCurve_ && m_lastOutcome.ok();
    FindShownPopins();
    PlotData content =
        CurvePlotData(*this, m_analyzer.m_nFileCount, segments, Template().caption, &m_popins);
    AddFitRangeHandles(content);
    m_plot->SetData(std::move(content), same);
    plottedCurve_ = m_lastOutcome.ok() ? address : std::string();
    EnableMenuCommand(ID_PLOT_RESET, m_plot->IsZoomed());
}

PlotData CIndentMainDlg::ExplorerData() const {
    const std::size_t n = static_cast<std::size_t>(std::max(0, m_analyzer.m_nPoints));
    return CurvePlotData(
        *this, m_analyzer.m_nFileCount,
        std::string_view(m_analyzer.m_pSegment.data(), std::min(n, m_analyzer.m_pSegment.size())),
        "Marvek - Explore Plot - " +
            (m_strFileName.empty() ? std::string("no curve") : m_strFileName),
        &m_popins);
}

void CIndentMainDlg::FindShownPopins() {
    m_popins = {};
    if (m_bShowPopins && m_lastOutcome.ok() && m_analyzer.m_nFileCount > 0 &&
        m_analyzer.m_nPoints > 1)
        m_popins = AnalyzeCurvePopins(m_analyzer, *this, CurrentSettings());
    EnableMenuCommand(ID_PLOT_ZOOM_POPINS, !m_popins.popins.empty());
}

void CIndentMainDlg::OnPlotZoomPopins() {
    const std::optional<PlotRange> view = PopinsView(*this, m_popins);
    if (!view) return;
    m_plot->SetView(*view);
    EnableMenuCommand(ID_PLOT_RESET, m_plot->IsZoomed());
}

void CIndentMainDlg::OnPlotPopins() {
    m_bShowPopins = !m_bShowPopins;
    if (QAction* a = MenuAction(ID_PLOT_POPINS)) a->setChecked(m_bShowPopins);
    FindShownPopins();
    const std::size_t n = static_cast<std::size_t>(std::max(0, m_analyzer.m_nPoints));
    m_plot->SetData(CurvePlotData(*this, m_analyzer.m_nFileCount,
                                  std::string_view(m_analyzer.m_pSegment.data(),
                                                   std::min(n, m_analyzer.m_pSegment.size())),
                                  Template().caption, &m_popins),
                    true);
    RememberViewChoices();
}

void CIndentMainDlg::OnExplorePlot() {
    if (m_analyzer.m_nFileCount < 1) return;
    // Modeless: the main window stays usable beside it; it closes with the main window.
    auto* explorer = new PlotExplorer(ExplorerData(), this);
    explorer->setAttribute(Qt::WA_DeleteOnClose);
    explorer->show();
}

void CIndentMainDlg::OnPlotReset() {
    m_plot->ResetView();
    EnableMenuCommand(ID_PLOT_RESET, false);
}

std::filesystem::path CIndentMainDlg::PlotStyleFile() const {
    return m_parameterFile.parent_path() / "marvek-figure.ini";
}

void CIndentMainDlg::RememberViewChoices() {
    PlotStyle style = LoadPlotStyle(PlotStyleFile());
    style.grid = m_plot->Grid();
    style.segments = m_plot->Segments();
    style.popins = m_bShowPopins;
    SavePlotStyle(PlotStyleFile(), style);
}

void CIndentMainDlg::OnPlotGrid() {
    m_plot->SetGrid(!m_plot->Grid());
    if (QAction* a = MenuAction(ID_PLOT_GRID)) a->setChecked(m_plot->Grid());
    RememberViewChoices();
}

void CIndentMainDlg::OnPlotSegments() {
    m_plot->SetSegments(!m_plot->Segments());
    if (QAction* a = MenuAction(ID_PLOT_SEGMENTS)) a->setChecked(m_plot->Segments());
    RememberViewChoices();
}

namespace {

void ExportPlot(CIndentMainDlg& w, bool svg) {
    SaveFileRequest request;
    request.owner = &w;
    request.filter = svg ? "SVG Drawings (*.SVG)" : "PNG Images (*.PNG)";
    request.defaultExtension = svg ? "svg" : "png";
    const auto file = GetServices().SaveFile(request);
    if (!file) return;
    std::string error;
    // A PNG at twice the plot's size on screen: sharp in a document; the explorer window
    // takes any size.
    const bool ok =
        svg ? w.m_plot->ExportSvg(*file, error)
            : w.m_plot->ExportPng(*file, 2 * w.m_plot->width(), 2 * w.m_plot->height(), error);
    if (ok)
        w.SetStatusText("Plot saved to " + file->string());
    else
        ShowMessage(&w, error, kApplicationName, MessageButtons::Ok, MessageIcon::Error);
}

}  // namespace

// The figure: size in mm, resolution, fonts and line widths chosen (and remembered), PNG, PDF
// or SVG.
void CIndentMainDlg::OnPlotExportPng() { ExportPlotWithOptions(*this, *m_plot, PlotStyleFile()); }
void CIndentMainDlg::OnPlotExportSvg() { ExportPlot(*this, true); }

std::filesystem::path CIndentMainDlg::RecentFile() const {
    return RecentSelectionsPath(m_parameterFile);
}

std::vector<CurveSelection> CIndentMainDlg::RecentSelections() const {
    return LoadRecentSelections(RecentFile());
}

void CIndentMainDlg::RememberSelection(const std::vector<std::filesystem::path>& files) {
    // The list on disk is the truth: another Marvek may have added to it meanwhile. Failing to
    // store it costs only the convenience, so it says nothing.
    (void)SaveRecentSelections(RecentFile(), AddRecentSelection(RecentSelections(), files));
    BuildRecentMenu();
}

void CIndentMainDlg::BuildRecentMenu() {
    if (MenuPopups().empty()) return;
    QMenu* file = MenuPopups()[0];
    auto* recent = file->findChild<QMenu*>(QStringLiteral("marvekRecent"));
    if (!recent) {
        recent = new QMenu(QStringLiteral("Open &Recent"), file);
        recent->setObjectName(QStringLiteral("marvekRecent"));
        QAction* select = MenuAction(ID_SELECT_CURVE_FILES);
        const QList<QAction*> actions = file->actions();
        const int at = static_cast<int>(actions.indexOf(select));
        QAction* before = at >= 0 && at + 1 < actions.size() ? actions[at + 1] : nullptr;
        file->insertMenu(before, recent);
    }
    recent->clear();
    const auto list = RecentSelections();
    for (std::size_t k = 0; k < list.size(); ++k) {
        const std::string text =
            (k < 9 ? "&" : "1&") + std::to_string((k + 1) % 10) + "  " + SelectionLabel(list[k]);
        QAction* a = recent->addAction(QString::fromStdString(text));
        a->setData(ID_OPEN_RECENT_FIRST + static_cast<int>(k));
        connect(a, &QAction::triggered, this, [this, k] { OnOpenRecent(k); });
    }
    recent->setEnabled(!list.empty());
}

void CIndentMainDlg::OnOpenRecent(std::size_t index) {
    auto list = RecentSelections();
    if (index >= list.size()) return;
    CurveSelection present, missing;
    for (const auto& f : list[index]) {
        std::error_code ec;
        (std::filesystem::is_regular_file(f, ec) ? present : missing).push_back(f);
    }
    if (present.empty()) {
        // Nothing of it is left: the entry goes, the curves on show stay.
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
        (void)SaveRecentSelections(RecentFile(), list);
        BuildRecentMenu();
        std::string text = "None of the files of this selection can be found any more:\n";
        for (std::size_t i = 0; i < missing.size() && i < 5; ++i)
            text += missing[i].string() + "\n";
        if (missing.size() > 5) text += "... and " + std::to_string(missing.size() - 5) + " more\n";
        text += "It was removed from File > Open Recent.";
        ShowMessage(this, text, kApplicationName, MessageButtons::Ok, MessageIcon::Warning);
        return;
    }
    // The files still there are opened (and become the entry); the others are named in the
    // status line, so this choice raises no box of its own on top of the first curve's.
    SelectFiles(present);
    if (!missing.empty())
        SetStatusText(std::to_string(missing.size()) + " file" + (missing.size() == 1 ? "" : "s") +
                      " of this selection could not be found: " + missing.front().string() +
                      (missing.size() > 1 ? " ..." : ""));
}
