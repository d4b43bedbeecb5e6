#pragma once
// The main window: browses the selected curves, shows the results text and the curve plot,
// and carries the menu that reaches every other function. Its data members are public so the
// command handlers of every subsystem can reach them.

#include <QPointer>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/analysis/curve_analysis.h"
#include "core/analysis/curve_analyzer.h"
#include "core/config/settings.h"
#include "core/popins/popins.h"
#include "core/project/project.h"
#include "core/report/report_sections.h"
#include "ui/dialog.h"
#include "ui/plot_explorer.h"
#include "ui/plot_view.h"
#include "ui/scroll_bar.h"

// The results of the displayed curve and its three plot series come from CurveDisplay
// (m_dEIT ... m_dHM, m_pCurveDepth/m_pCurveLoad, m_pFitCurveDepth/m_pFitCurveLoad,
// m_pExtrapDepth/m_pExtrapLoad).
class QThreadPool;
namespace marvek::table {
class ResultsTableWindow;
}
namespace marvek::graphs {
class ProfileView;
class MapView;
}  // namespace marvek::graphs

class CIndentMainDlg : public marvek::ui::Dialog, public marvek::CurveDisplay {
public:
    // `parameterFile` is where the settings are read at start and written at exit.
    explicit CIndentMainDlg(QWidget* parent = nullptr, std::filesystem::path parameterFile = {});
    ~CIndentMainDlg() override;

    // The main window's template (dialog 102 with menu 129).
    static marvek::ui::DialogTemplate MainTemplate();

    marvek::CCurveAnalyzer m_analyzer;
    float m_fLastPoisson = -1.0f;  // Poisson ratio of the last re-analysis from the edit
    int m_nCurrentCurve = -1;      // displayed curve, -1 = none yet
    marvek::ui::ScrollBarControl m_ctlCurveScroll;
    std::string m_strResults;
    std::string m_strIsoResults;  // result set and uncertainty, shown under the results text
    float m_fPoisson = 0.3f;      // sample Poisson ratio
    std::string m_strFileName;
    std::filesystem::path m_parameterFile;
    // How the last analysis went; a failed one leaves no results of another curve on show.
    marvek::Status m_lastOutcome;
    // The curve plot (zooms and pans in place); made in OnInitDialog.
    marvek::ui::PlotView* m_plot = nullptr;
    // The pop-ins of the curve on show (default detector, Er from its unloading) while View >
    // Show Pop-ins is on; empty otherwise.
    marvek::popins::PopinResult m_popins;
    bool m_bShowPopins = true;

    // What the user said about each curve (exclusion, note, own flag), by address. Kept across
    // results tables, saved in projects, undone and redone.
    std::map<std::string, marvek::project::CurveNotes> m_curveNotes;
    // The project file the work was last saved to or opened from; empty: none yet.
    std::filesystem::path m_projectFile;
    // Notes or settings changed since the project was saved (or, without a project, at all).
    bool m_unsavedWork = false;

    // The notes of one curve; an edit records an undo step and marks the work unsaved.
    marvek::project::CurveNotes NotesOf(const std::string& address) const;
    void SetCurveNotes(const std::string& address, const marvek::project::CurveNotes& notes,
                       const std::string& what);
    // The work as a project: file list, notes, settings, displayed curve, plot range.
    marvek::project::Project CurrentProject() const;
    // Opens `project` (files, notes, settings, curve, range); says which files moved or
    // changed. False when it has no curves.
    bool RestoreProject(const marvek::project::Project& project, const std::filesystem::path& file);
    marvek::Status SaveProjectTo(const std::filesystem::path& file);
    // File menu: Save Project (As) / Open Project; Edit menu: Undo / Redo.
    void OnSaveProject();
    void OnSaveProjectAs();
    void OnOpenProject();
    // File menu: Export Report (HTML or PDF) of the selected curves under the window's settings.
    void OnExportReport();
    marvek::report::Input ReportInput() const;
    void OnUndo();
    void OnRedo();
    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    // Before a change of notes or settings: the state to go back to, named for the menu.
    void RecordUndo(const std::string& what);
    // Asked before the window closes with unsaved work: true to go on closing.
    bool ConfirmDiscard();

    int CurvePointCount() const { return static_cast<int>(m_pCurveDepth.size()); }
    // The global settings objects with this window's Poisson ratio.
    marvek::Settings CurrentSettings() const;

    // Takes the controls' values into the members, analyses curve `curve` and repaints. A file
    // that cannot be read is reported (when `showFailure`) and clears the displayed results.
    marvek::Status AnalyzeCurve(int curve, bool showFailure = true);
    // The message of the last analysis' failure (file, reason, and the layouts read when the
    // layout was not recognised); empty when it succeeded.
    std::string FailureMessage() const;
    // Shows FailureMessage in a box when the last analysis failed.
    void ShowFailure();
    // Rebuilds the results text from the last analysis and shows the members in the controls.
    // The result-set block (about 0.1 s at 40000 points) is computed off the window thread and
    // shown when ready; a newer analysis makes an older block's answer void.
    void UpdateResultsText();
    // Waits until the result-set block of the last analysis is on show.
    void WaitForResultSet();
    // Analysis, path and results text of curve `curve`.
    void DisplayCurve(int curve);
    // Replaces the file list (keeping the first 2000) and shows curve 0; false if `files` is
    // empty.
    bool SelectFiles(const std::vector<std::filesystem::path>& files);

    // The shown curve's file (app/main_window_file.cpp). File > File Information: its reader,
    // columns, units, warnings and recorded calibration, as `marvek-cli list` gives them, and
    // the window's own choices; FileInformationText is that text for curve `curve`.
    void OnFileInformation();
    std::string FileInformationText(int curve) const;
    // File > Columns and Units: the columns and units of text files, the window's --columns and
    // --units, kept in the analyzer's read options for every file read after.
    void OnColumnsAndUnits();
    // The columns and units given there ("depth column 1, load column 2; load in uN"); empty
    // when none are.
    std::string ReadChoicesText() const;
    // Analysis Setup > Use the Instrument's Calibration: the shown curve is analysed with the
    // Poisson's ratio, frame compliance and area function its file records (those it records).
    void OnUseFileCalibration();
    bool m_bUseFileCalibration = false;
    // The settings the last analysis used (the curve's own range and the file's calibration
    // in), what it took from the file ("poisson", "compliance", "area function") and what the
    // file left out of those.
    marvek::Settings m_analysisSettings;
    std::vector<std::string> m_fromFile, m_fromFileWarnings;
    // The settings curve `curve` is analysed with: CurveSettings, then the calibration its file
    // records when that is used (the file is read for it). Fills m_fromFile.
    marvek::Settings AnalysisSettings(int curve);
    // The results text's lines on the calibration taken from the file; empty when not used.
    std::string FileCalibrationText() const;

    // Menu handlers.
    void OnSelectCurveFiles();
    void OnSeparateUnload();
    void OnSeparateReload();
    void OnSaveCurves();
    void OnExit();
    void OnModulusLoad();
    void OnModulusDepth();
    void OnModulusCurve();
    void OnHMLoad();
    void OnHMDepth();
    void OnHMCurve();
    void OnHITLoad();
    void OnHITDepth();
    void OnHOPLoad();
    void OnHOPDepth();
    void OnHVLoad();
    void OnHVDepth();
    void OnPercentSeries();
    void OnUnloadSections();
    void OnLoadAlpha();
    void OnLoadM();
    void OnLoadR();
    void OnPercentM();
    void OnSectionM();
    void OnPercentR();
    void OnSectionR();
    void OnGraininessLoad();
    void OnGraininessUnload();
    void OnGraininess2Load();
    void OnGraininess2Unload();
    // The shown curve's continuous-stiffness profiles, and the distribution of the first
    // pop-in loads of the curve list.
    void OnHardnessProfile();
    void OnModulusProfile();
    // The depth profiles of every test of the shown curve's workbook in a window of their own
    // that follows the shown curve and the exclusions.
    void OnProfileView();
    void SyncProfileView();
    // The depth profiles' settings of the window's analysis (ProfileSettingsFor), telling the
    // user where in the window a full area function is set.
    marvek::profiles::ProfileSettings WindowProfileSettings() const;
    void OnFirstPopinLoads();
    void OnFirstPopinHistogram();
    void OnResultsTable();
    // The curves selected in the results table (all not excluded when none is) drawn together
    // with their mean and ±SD; `curves` (indices into the file list) overrides the choice.
    void OnOverlay();
    void ShowOverlay(std::vector<int> curves);
    // The map, histogram and phases of the results table's curves (opens the table if needed).
    void OnPropertyMap();
    void OnStrategy();
    void OnAreaFunction();
    void OnCompliance();
    void OnHelp();
    void OnAbout();
    // The displayed curve in a window to zoom, pan and export (View > Explore Plot).
    void OnExplorePlot();
    // What that window shows: points, fit, extrapolation and the points by segment.
    marvek::ui::PlotData ExplorerData() const;
    // View menu: the plot back to its home view, grid and segment colours on or off, the plot
    // as a picture.
    void OnPlotReset();
    void OnPlotGrid();
    void OnPlotSegments();
    // The pop-ins of the shown curve marked on the plot, with the Hertz fit before the first.
    void OnPlotPopins();
    // The plot zoomed to where the pop-ins are (enabled while some are shown).
    void OnPlotZoomPopins();
    void OnPlotExportPng();
    void OnPlotExportSvg();
    // Where the figure style and the grid and segment-colour choices are remembered.
    std::filesystem::path PlotStyleFile() const;
    void RememberViewChoices();
    // Shows the last analysis in the plot; the view stays where it is when the same curve was
    // analysed again, a new curve starts at its home view.
    void RefreshPlot();
    // File > Open Recent: the selections, newest first, and choosing entry `index`.
    std::vector<std::vector<std::filesystem::path>> RecentSelections() const;
    void OnOpenRecent(std::size_t index);
    std::filesystem::path RecentFile() const;
    // Control notifications.
    void OnKillfocusPoisson();

    // Framework overridables (public so tests drive them as the window system would).
    bool OnInitDialog() override;
    void DoDataExchange(marvek::ui::DataExchange& dx) override;
    void OnOK() override;
    void OnCancel() override;
    void OnDestroy() override;
    void OnPaint(marvek::ui::DrawingSurface& dc) override;
    void OnHScroll(int code, int pos, marvek::ui::ScrollBarControl* bar) override;
    void OnDropFiles(const std::vector<std::filesystem::path>& files) override;
    bool OnKeyPreview(int control, int qtKey, bool ctrl) override;
    void OnSize(int width, int height) override;

    // The results text (or its selected part) to the clipboard.
    void CopyResults();

    // One curve's own unloading fit range (app/main_window_fit_range.cpp): the ends of the fit
    // are dragged on the plot; View > Reset Fit Range goes back to the settings'.
    // The settings curve `curve` is analysed with: the current ones with its own range.
    marvek::Settings CurveSettings(int curve) const;
    // A drag of the upper (`upper`) or lower end of the shown curve's fit range released at
    // `load` (mN): that end moves there, in % of the load drop, as this curve's own range
    // (undoable); the curve is analysed again. False, with a status line, when nothing changed.
    bool OnFitRangeDragged(bool upper, double load);
    // Sets (none: removes) curve `curve`'s own range, records the undo step, shows the result.
    void SetCurveFitRange(int curve, std::optional<marvek::UnloadFitRange> range);
    void OnResetFitRange();
    // The ends of the shown curve's fit on its unloading branch and the load drop (the unloading
    // peak's load and the smallest after it) the range is measured in; none without unloading.
    struct FitRangeEnds {
        double upperDepth = 0, upperLoad = 0, lowerDepth = 0, lowerLoad = 0;
        double peakLoad = 0, bottomLoad = 0;
    };
    std::optional<FitRangeEnds> ShownFitRangeEnds() const;
    // The two handles ("fit range" markers) added to the plot's content.
    void AddFitRangeHandles(marvek::ui::PlotData& content) const;
    void InstallFitRangeDrag();

private:
    // The reader's messages name the window's commands where they say what to do.
    void UseWindowReadHints();
    void InstallShortcuts();
    // Title naming the displayed curve and "k of n"; commands greyed out without curves.
    void UpdateContext();
    void ClearDisplay();
    void ShowFirstCurve();
    void BuildPlot();
    void LayOutPlot();
    // Fills m_popins for the curve on show when View > Show Pop-ins is on.
    void FindShownPopins();
    // Adds the selection now in the analyzer to the recent list and rebuilds the submenu.
    void RememberSelection(const std::vector<std::filesystem::path>& files);
    void BuildRecentMenu();
    struct WorkState {
        std::string what;  // the change this state was taken before ("exclusion", "settings")
        std::map<std::string, marvek::project::CurveNotes> notes;
        marvek::Settings settings;
    };
    WorkState CurrentState(const std::string& what) const;
    void PushUndo(WorkState before);
    // After a settings window or the Poisson field: the state before goes on the undo list
    // when the settings changed.
    void SettingsEdited(WorkState before);
    void ApplyState(const WorkState& state);
    void UpdateUndoMenu();
    void BuildProjectMenus();

    std::vector<WorkState> undo_, redo_;
    // The open results table, if any; cleared by Qt when the window goes (a connection to its
    // destroyed signal would run while this window's own destructor deletes it).
    QPointer<marvek::table::ResultsTableWindow> table_;
    QPointer<marvek::graphs::ProfileView> profileView_;
    // The open property map, if any; it follows the open results table (FollowTable).
    QPointer<marvek::graphs::MapView> map_;
    void FollowTable();
    std::string plottedCurve_;  // address of the curve the plot shows
    int resultGeneration_ = 0;  // the analysis whose result-set block may be shown
    // Last member: destroyed first, it waits for a running block before anything it uses goes.
    std::unique_ptr<QThreadPool> resultPool_;
};
