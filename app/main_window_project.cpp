// The work as a project (File > Save Project / Open Project), the user's notes on the curves,
// and undo/redo of notes and settings.
#include <QAction>
#include <QKeySequence>
#include <QMenu>

#include "app/main_window.h"
#include "app/resource_ids.h"
#include "core/config/settings_validation.h"
#include "core/io/parsed_curve.h"
#include "graphs/map_view.h"
#include "settings/area_function_dialog.h"
#include "settings/compliance_dialog.h"
#include "settings/settings_objects.h"
#include "settings/strategy_dialog.h"
#include "table/results_table_window.h"
#include "ui/services.h"

using namespace marvek;
using namespace marvek::ui;
using namespace resource;

namespace {

constexpr const char* kProjectFilter = "Marvek Projects (*.marvek)";
// Undo goes back this many changes; older ones are dropped.
constexpr std::size_t kUndoDepth = 200;

}  // namespace

project::CurveNotes CIndentMainDlg::NotesOf(const std::string& address) const {
    const auto it = m_curveNotes.find(address);
    return it == m_curveNotes.end() ? project::CurveNotes{} : it->second;
}

void CIndentMainDlg::SetCurveNotes(const std::string& address, const project::CurveNotes& notes,
                                   const std::string& what) {
    if (NotesOf(address) == notes) return;
    RecordUndo(what);
    if (notes.Empty())
        m_curveNotes.erase(address);
    else
        m_curveNotes[address] = notes;
    m_unsavedWork = true;
    SyncProfileView();
}

CIndentMainDlg::WorkState CIndentMainDlg::CurrentState(const std::string& what) const {
    return {what, m_curveNotes, CurrentSettings()};
}

void CIndentMainDlg::RecordUndo(const std::string& what) { PushUndo(CurrentState(what)); }

void CIndentMainDlg::PushUndo(WorkState before) {
    undo_.push_back(std::move(before));
    if (undo_.size() > kUndoDepth) undo_.erase(undo_.begin());
    redo_.clear();
    UpdateUndoMenu();
}

void CIndentMainDlg::ApplyState(const WorkState& state) {
    const bool settingsChanged = !project::SameSettings(state.settings, CurrentSettings());
    // A fit range of the shown curve that comes or goes is analysed again, as a setting is.
    const std::string shown =
        m_nCurrentCurve >= 0 && m_nCurrentCurve < m_analyzer.m_nFileCount
            ? m_analyzer.m_strFiles[static_cast<std::size_t>(m_nCurrentCurve)].string()
            : std::string();
    const auto after = state.notes.find(shown);
    const bool rangeChanged = NotesOf(shown).fitRange !=
                              (after == state.notes.end() ? std::nullopt : after->second.fitRange);
    m_curveNotes = state.notes;
    StoreSettings(state.settings);
    m_fPoisson = state.settings.m_fPoisson;
    m_fLastPoisson = m_fPoisson;
    UpdateData(false);
    m_unsavedWork = true;
    if (table_) {
        const Series& s = table_->CurrentSeries();
        for (std::size_t k = 0; k < s.curves.size(); ++k) {
            const project::CurveNotes n = NotesOf(s.curves[k].input.address);
            table_->SetCurveNotes(static_cast<int>(k), n.excluded, n.note, n.flag);
            table_->SetFitRange(static_cast<int>(k), n.fitRange);
        }
    }
    if (rangeChanged && !settingsChanged && m_nCurrentCurve != -1) DisplayCurve(m_nCurrentCurve);
    if (settingsChanged) {
        CopyStrategyToAreaFunction(g_dlgStrategy, g_dlgAreaFunction);
        CopyComplianceToAreaFunction(g_dlgCompliance, g_dlgAreaFunction);
        ConfigureAnalyzer(m_analyzer, g_dlgStrategy);
        if (m_nCurrentCurve != -1) DisplayCurve(m_nCurrentCurve);
    }
    SyncProfileView();
}

void CIndentMainDlg::SettingsEdited(WorkState before) {
    if (project::SameSettings(before.settings, CurrentSettings())) return;
    PushUndo(std::move(before));
    m_unsavedWork = true;
}

void CIndentMainDlg::OnUndo() {
    if (undo_.empty()) return;
    WorkState back = std::move(undo_.back());
    undo_.pop_back();
    redo_.push_back(CurrentState(back.what));
    ApplyState(back);
    SetStatusText("Undone: " + back.what);
    UpdateUndoMenu();
}

void CIndentMainDlg::OnRedo() {
    if (redo_.empty()) return;
    WorkState forward = std::move(redo_.back());
    redo_.pop_back();
    undo_.push_back(CurrentState(forward.what));
    ApplyState(forward);
    SetStatusText("Redone: " + forward.what);
    UpdateUndoMenu();
}

void CIndentMainDlg::UpdateUndoMenu() {
    if (QAction* undo = MenuAction(ID_UNDO)) {
        undo->setEnabled(!undo_.empty());
        undo->setText(QString::fromStdString(undo_.empty() ? std::string("&Undo")
                                                           : "&Undo " + undo_.back().what));
    }
    if (QAction* redo = MenuAction(ID_REDO)) {
        redo->setEnabled(!redo_.empty());
        redo->setText(QString::fromStdString(redo_.empty() ? std::string("&Redo")
                                                           : "&Redo " + redo_.back().what));
    }
}

void CIndentMainDlg::BuildProjectMenus() {
    if (QAction* a = MenuAction(ID_UNDO)) a->setShortcut(QKeySequence::Undo);
    if (QAction* a = MenuAction(ID_REDO))
        a->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence::Redo});
    if (QAction* a = MenuAction(ID_SAVE_PROJECT)) a->setShortcut(QKeySequence::Save);
    if (QAction* a = MenuAction(ID_OPEN_PROJECT))
        a->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    UpdateUndoMenu();
}

project::Project CIndentMainDlg::CurrentProject() const {
    project::Project p;
    for (int k = 0; k < m_analyzer.m_nFileCount; ++k) {
        const std::string address = m_analyzer.m_strFiles[static_cast<std::size_t>(k)].string();
        const io::Address a = io::ParseAddress(address);
        project::Curve c;
        c.file = std::filesystem::absolute(a.file).lexically_normal();
        c.test = a.test;
        c.notes = NotesOf(address);
        p.curves.push_back(std::move(c));
    }
    p.settings = CurrentSettings();
    p.currentCurve = std::max(0, m_nCurrentCurve);
    project::View curve{"curve", std::nullopt};
    if (m_plot && m_plot->IsZoomed()) {
        const PlotRange r = m_plot->View();
        curve.range = project::Range{r.xLower, r.xUpper, r.yLower, r.yUpper};
    }
    p.views.push_back(curve);
    if (table_) p.views.push_back({"table", std::nullopt});
    if (map_) p.views.push_back({"map", std::nullopt});
    return p;
}

Status CIndentMainDlg::SaveProjectTo(const std::filesystem::path& file) {
    UpdateData(true);
    const Status written = project::WriteProject(CurrentProject(), file);
    if (!written.ok()) return written;
    m_projectFile = file;
    m_unsavedWork = false;
    UpdateContext();
    SetStatusText("Project saved to " + file.string());
    return {};
}

void CIndentMainDlg::OnSaveProject() {
    if (m_projectFile.empty()) {
        OnSaveProjectAs();
        return;
    }
    if (const Status s = SaveProjectTo(m_projectFile); !s.ok())
        ShowMessage(this, "The project could not be saved.\n\n" + s.message(), kApplicationName,
                    MessageButtons::Ok, MessageIcon::Error);
}

void CIndentMainDlg::OnSaveProjectAs() {
    if (m_analyzer.m_nFileCount < 1) return;
    SaveFileRequest request;
    request.owner = this;
    request.filter = kProjectFilter;
    request.defaultExtension = "marvek";
    const auto file = GetServices().SaveFile(request);
    if (!file) return;
    if (const Status s = SaveProjectTo(*file); !s.ok())
        ShowMessage(this, "The project could not be saved.\n\n" + s.message(), kApplicationName,
                    MessageButtons::Ok, MessageIcon::Error);
}

void CIndentMainDlg::OnOpenProject() {
    if (!ConfirmDiscard()) return;
    OpenFilesRequest request;
    request.owner = this;
    request.filter = kProjectFilter;
    request.defaultExtension = "marvek";
    request.multiSelect = false;
    const auto files = GetServices().OpenFiles(request);
    if (!files || files->empty()) return;
    project::Project p;
    if (const Status s = project::ReadProject(files->front(), p); !s.ok()) {
        ShowMessage(this, "The project could not be opened; nothing was changed.\n\n" + s.message(),
                    kApplicationName, MessageButtons::Ok, MessageIcon::Warning);
        return;
    }
    RestoreProject(p, files->front());
}

bool CIndentMainDlg::RestoreProject(const project::Project& p, const std::filesystem::path& file) {
    if (p.curves.empty()) {
        ShowMessage(this, file.string() + ": the project holds no curves.", kApplicationName,
                    MessageButtons::Ok, MessageIcon::Warning);
        return false;
    }
    // Which files moved or changed is said before the curves are shown, so the numbers that
    // follow are read knowing it.
    const std::string changes = project::DescribeFileChecks(p, project::CheckFiles(p));
    StoreSettings(p.settings);
    m_fPoisson = p.settings.m_fPoisson;
    m_fLastPoisson = m_fPoisson;
    UpdateData(false);
    ConfigureAnalyzer(m_analyzer, g_dlgStrategy);
    m_curveNotes.clear();
    std::vector<std::filesystem::path> addresses;
    for (const project::Curve& c : p.curves) {
        addresses.push_back(c.Address());
        if (!c.notes.Empty()) m_curveNotes[c.Address()] = c.notes;
    }
    undo_.clear();
    redo_.clear();
    UpdateUndoMenu();
    if (map_) {
        map_->close();  // deleted later: the project's own map is a new one
        map_ = nullptr;
    }
    if (table_) table_->close();
    m_analyzer.SetFiles(addresses);
    m_ctlCurveScroll.SetScrollRange(0, m_analyzer.m_nFileCount - 1);
    m_ctlCurveScroll.SetPage(1);
    m_projectFile = file;
    m_unsavedWork = false;
    if (!changes.empty())
        ShowMessage(this, changes + "\nThe results shown are those of the files as they are now.",
                    kApplicationName, MessageButtons::Ok, MessageIcon::Warning);
    DisplayCurve(std::min(p.currentCurve, m_analyzer.m_nFileCount - 1));
    for (const project::View& v : p.views) {
        if (v.name == "curve" && v.range && m_plot && m_lastOutcome.ok()) {
            m_plot->SetView({v.range->xMin, v.range->xMax, v.range->yMin, v.range->yMax});
            EnableMenuCommand(ID_PLOT_RESET, m_plot->IsZoomed());
        }
        if (v.name == "table") OnResultsTable();
        if (v.name == "map") OnPropertyMap();
    }
    SetStatusText("Project opened: " + file.string());
    return true;
}

bool CIndentMainDlg::ConfirmDiscard() {
    if (!m_unsavedWork || m_curveNotes.empty()) return true;
    const int answer =
        ShowMessage(this,
                    "Your exclusions and notes on " + std::to_string(m_curveNotes.size()) +
                        " curve" + (m_curveNotes.size() == 1 ? "" : "s") +
                        " are not saved.\n\nSave them in a project first?",
                    kApplicationName, MessageButtons::YesNoCancel, MessageIcon::Warning);
    if (answer == IDCANCEL) return false;
    if (answer == IDYES) {
        OnSaveProject();
        return !m_unsavedWork;  // a cancelled or failed save keeps the window
    }
    return true;
}

void CIndentMainDlg::OnCancel() {
    // Closing (Exit, the window's close box) asks before unsaved notes are lost.
    if (!ConfirmDiscard()) return;
    Dialog::OnCancel();
}
