#include "app/main_window.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <cmath>
#include <memory>

#include "app/curve_plot.h"
#include "app/resource_ids.h"
#include "core/analysis/iso_quantities.h"
#include "core/analysis/iso_text.h"
#include "core/analysis/no_result_reason.h"
#include "core/analysis/plausibility.h"
#include "core/analysis/results_text.h"
#include "core/analysis/uncertainty.h"
#include "core/config/parameter_file.h"
#include "core/config/settings_validation.h"
#include "core/io/number_format.h"
#include "graphs/calibration_views.h"
#include "settings/area_function_dialog.h"
#include "settings/compliance_dialog.h"
#include "settings/settings_objects.h"
#include "settings/strategy_dialog.h"
#include "ui/data_exchange.h"
#include "ui/services.h"

using namespace marvek;
using namespace marvek::ui;
using namespace resource;

namespace {

// The results box is narrow and does not wrap: a failure's file and reason, or a note above the
// results, are broken into lines there (at blanks, or after a folder separator in a long path)
// so nothing is cut. Every line ends with a line break.
std::string WrapToResults(const std::string& text) {
    constexpr std::size_t kWidth = 30;
    std::string out, line;
    auto flush = [&] {
        out += line + "\n";
        line.clear();
    };
    std::string word;
    auto place = [&](const std::string& w) {
        if (!line.empty() && line.size() + w.size() > kWidth) flush();
        // A path longer than a line is cut after its separators.
        std::string rest = w;
        while (rest.size() > kWidth) {
            std::size_t cut = rest.find_last_of("/\\", kWidth - 1);
            cut = cut == std::string::npos ? kWidth : cut + 1;
            line += rest.substr(0, cut);
            rest.erase(0, cut);
            flush();
        }
        line += rest;
    };
    for (char c : text) {
        if (c == ' ' || c == '\n') {
            word += c == ' ' ? " " : "";
            place(word);
            word.clear();
            if (c == '\n') flush();
        } else {
            word += c;
        }
    }
    place(word);
    if (!line.empty()) flush();
    return out;
}

std::string FailureResultsText(const std::string& error) {
    return "This curve could not be read:\n\n" + WrapToResults(error);
}

}  // namespace

CIndentMainDlg::CIndentMainDlg(QWidget* parent, std::filesystem::path parameterFile)
    : Dialog(MainTemplate(), parent),
      m_parameterFile(parameterFile.empty() ? DefaultParameterFilePath()
                                            : std::move(parameterFile)) {
    SetCalibrationViews(marvek::graphs::MakeCalibrationViews());
    const std::pair<int, void (CIndentMainDlg::*)()> handlers[] = {
        {ID_SELECT_CURVE_FILES, &CIndentMainDlg::OnSelectCurveFiles},
        {ID_SEPARATE_UNLOAD, &CIndentMainDlg::OnSeparateUnload},
        {ID_SEPARATE_RELOAD, &CIndentMainDlg::OnSeparateReload},
        {ID_SAVE_CURVES, &CIndentMainDlg::OnSaveCurves},
        {ID_EXIT, &CIndentMainDlg::OnExit},
        {ID_MODULUS_LOAD, &CIndentMainDlg::OnModulusLoad},
        {ID_MODULUS_DEPTH, &CIndentMainDlg::OnModulusDepth},
        {ID_MODULUS_CURVE, &CIndentMainDlg::OnModulusCurve},
        {ID_HM_LOAD, &CIndentMainDlg::OnHMLoad},
        {ID_HM_DEPTH, &CIndentMainDlg::OnHMDepth},
        {ID_HM_CURVE, &CIndentMainDlg::OnHMCurve},
        {ID_HIT_LOAD, &CIndentMainDlg::OnHITLoad},
        {ID_HIT_DEPTH, &CIndentMainDlg::OnHITDepth},
        {ID_HOP_LOAD, &CIndentMainDlg::OnHOPLoad},
        {ID_HOP_DEPTH, &CIndentMainDlg::OnHOPDepth},
        {ID_HV_LOAD, &CIndentMainDlg::OnHVLoad},
        {ID_HV_DEPTH, &CIndentMainDlg::OnHVDepth},
        {ID_PERCENT_SERIES, &CIndentMainDlg::OnPercentSeries},
        {ID_UNLOAD_SECTIONS, &CIndentMainDlg::OnUnloadSections},
        {ID_LOAD_ALPHA, &CIndentMainDlg::OnLoadAlpha},
        {ID_LOAD_M, &CIndentMainDlg::OnLoadM},
        {ID_LOAD_R, &CIndentMainDlg::OnLoadR},
        {ID_PERCENT_M, &CIndentMainDlg::OnPercentM},
        {ID_SECTION_M, &CIndentMainDlg::OnSectionM},
        {ID_PERCENT_R, &CIndentMainDlg::OnPercentR},
        {ID_SECTION_R, &CIndentMainDlg::OnSectionR},
        {ID_GRAININESS_LOAD, &CIndentMainDlg::OnGraininessLoad},
        {ID_GRAININESS_UNLOAD, &CIndentMainDlg::OnGraininessUnload},
        {ID_GRAININESS2_LOAD, &CIndentMainDlg::OnGraininess2Load},
        {ID_GRAININESS2_UNLOAD, &CIndentMainDlg::OnGraininess2Unload},
        {ID_HARDNESS_PROFILE, &CIndentMainDlg::OnHardnessProfile},
        {ID_MODULUS_PROFILE, &CIndentMainDlg::OnModulusProfile},
        {ID_PROFILE_VIEW, &CIndentMainDlg::OnProfileView},
        {ID_FIRST_POPIN_LOADS, &CIndentMainDlg::OnFirstPopinLoads},
        {ID_FIRST_POPIN_HISTOGRAM, &CIndentMainDlg::OnFirstPopinHistogram},
        {ID_RESULTS_TABLE, &CIndentMainDlg::OnResultsTable},
        {ID_OVERLAY, &CIndentMainDlg::OnOverlay},
        {ID_RESET_FIT_RANGE, &CIndentMainDlg::OnResetFitRange},
        {ID_PROPERTY_MAP, &CIndentMainDlg::OnPropertyMap},
        {ID_STRATEGY, &CIndentMainDlg::OnStrategy},
        {ID_AREA_FUNCTION, &CIndentMainDlg::OnAreaFunction},
        {ID_COMPLIANCE, &CIndentMainDlg::OnCompliance},
        {ID_HELP_HELP, &CIndentMainDlg::OnHelp},
        {ID_HELP_ABOUT, &CIndentMainDlg::OnAbout},
        {ID_EXPLORE_PLOT, &CIndentMainDlg::OnExplorePlot},
        {ID_PLOT_RESET, &CIndentMainDlg::OnPlotReset},
        {ID_PLOT_GRID, &CIndentMainDlg::OnPlotGrid},
        {ID_PLOT_SEGMENTS, &CIndentMainDlg::OnPlotSegments},
        {ID_PLOT_POPINS, &CIndentMainDlg::OnPlotPopins},
        {ID_PLOT_ZOOM_POPINS, &CIndentMainDlg::OnPlotZoomPopins},
        {ID_PLOT_EXPORT_PNG, &CIndentMainDlg::OnPlotExportPng},
        {ID_PLOT_EXPORT_SVG, &CIndentMainDlg::OnPlotExportSvg},
        {ID_OPEN_PROJECT, &CIndentMainDlg::OnOpenProject},
        {ID_SAVE_PROJECT, &CIndentMainDlg::OnSaveProject},
        {ID_SAVE_PROJECT_AS, &CIndentMainDlg::OnSaveProjectAs},
        {ID_EXPORT_REPORT, &CIndentMainDlg::OnExportReport},
        {ID_UNDO, &CIndentMainDlg::OnUndo},
        {ID_REDO, &CIndentMainDlg::OnRedo},
        {ID_FILE_INFORMATION, &CIndentMainDlg::OnFileInformation},
        {ID_COLUMNS_UNITS, &CIndentMainDlg::OnColumnsAndUnits},
        {ID_USE_FILE_CALIBRATION, &CIndentMainDlg::OnUseFileCalibration},
    };
    for (const auto& [id, handler] : handlers) OnCommand(id, [this, h = handler] { (this->*h)(); });
    OnNotify(IDC_POISSON, Notification::KillFocus, [this] { OnKillfocusPoisson(); });
    SetAcceptFiles(true);
    UseWindowReadHints();
    resultPool_ = std::make_unique<QThreadPool>();
    resultPool_->setMaxThreadCount(1);
}

CIndentMainDlg::~CIndentMainDlg() {
    resultPool_->clear();
    resultPool_->waitForDone();
}

void CIndentMainDlg::WaitForResultSet() {
    resultPool_->waitForDone();
    QCoreApplication::processEvents();
}

Settings CIndentMainDlg::CurrentSettings() const { return CollectSettings(m_fPoisson); }

bool CIndentMainDlg::OnInitDialog() {
    Dialog::OnInitDialog();
    m_nCurrentCurve = -1;
    ClearDisplay();
    Settings settings = CurrentSettings();
    if (LoadParameters(m_parameterFile, settings).ok()) {
        StoreSettings(settings);
        m_fPoisson = settings.m_fPoisson;
        UpdateData(false);
    }
    // The value on show is the one every analysis uses; only a change should re-analyse.
    m_fLastPoisson = m_fPoisson;
    CopyStrategyToAreaFunction(g_dlgStrategy, g_dlgAreaFunction);
    CopyComplianceToAreaFunction(g_dlgCompliance, g_dlgAreaFunction);
    ConfigureAnalyzer(m_analyzer, g_dlgStrategy);
    BuildPlot();
    InstallShortcuts();
    BuildRecentMenu();
    BuildProjectMenus();
    UpdateContext();
    // The keys step through the curves from the start; the Poisson field takes them only once
    // the user goes there to type.
    m_plot->setFocus();
    return true;
}

void CIndentMainDlg::DoDataExchange(DataExchange& dx) {
    dx.Control(IDC_CURVE_SCROLL, m_ctlCurveScroll);
    dx.Text(IDC_RESULTS, m_strResults);
    dx.Text(IDC_ISO_RESULTS, m_strIsoResults);
    // The ratio is taken only when the checks of the cli and the parameter file accept it, so
    // the window never analyses with, nor stores, a value a run would refuse.
    float poisson = m_fPoisson;
    dx.Text(IDC_POISSON, poisson);
    CheckSetting(dx, CollectSettings(poisson), "sample Poisson ratio");
    if (!dx.Failed()) m_fPoisson = poisson;
    dx.Text(IDC_FILE_NAME, m_strFileName);
}

void CIndentMainDlg::OnOK() {
    if (m_nCurrentCurve != -1) DisplayCurve(m_nCurrentCurve);
}

void CIndentMainDlg::OnExit() { OnCancel(); }

void CIndentMainDlg::OnDestroy() {
    // A ratio typed but not yet confirmed is kept too, as long as it is a number; closing asks
    // nothing.
    const std::string typed = GetDlgItemText(IDC_POISSON);
    std::size_t used = 0;
    const float value = ParseFloat(typed, &used);
    if (used > 0 && used == typed.size() && Validate(CollectSettings(value)).empty())
        m_fPoisson = value;
    const Status saved = SaveParameters(m_parameterFile, CurrentSettings());
    if (!saved.ok())
        ShowMessage(this,
                    "The settings could not be saved to " + m_parameterFile.string() + ":\n" +
                        saved.reason(),
                    kApplicationName, MessageButtons::Ok, MessageIcon::Warning);
}

void CIndentMainDlg::OnPaint(DrawingSurface&) {
    // The plot is a child window that draws itself (app/main_window_plot.cpp).
}

void CIndentMainDlg::ClearDisplay() { static_cast<CurveDisplay&>(*this) = CurveDisplay{}; }

Status CIndentMainDlg::AnalyzeCurve(int curve, bool showFailure) {
    UpdateData(true);
    m_analysisSettings = AnalysisSettings(curve);
    m_lastOutcome = marvek::AnalyzeCurve(m_analyzer, curve, m_analysisSettings, *this);
    if (!m_lastOutcome.ok()) ClearDisplay();  // no results of another curve under this one
    RefreshPlot();
    if (showFailure) ShowFailure();
    return m_lastOutcome;
}

std::string CIndentMainDlg::FailureMessage() const {
    if (m_lastOutcome.ok()) return {};
    // The file and the reason (with what to do in this window); where the layout was not
    // recognised, where the layouts read are described. The generic layout example is Help's.
    std::string text = m_lastOutcome.message();
    if (m_lastOutcome.code() == ErrorCode::UnknownLayout)
        text +=
            ".\n\nMarvek reads its own CSV layout and the instrument formats listed under "
            "Help > Help.";
    return text;
}

void CIndentMainDlg::ShowFailure() {
    if (m_lastOutcome.ok()) return;
    // Shown once everything on the window names the failed curve: title, path, slider and
    // results are the new curve's before the box appears.
    ShowMessage(
        this, FailureMessage(),
        m_lastOutcome.code() == ErrorCode::UnknownLayout ? kFileFormatCaption : kApplicationName,
        MessageButtons::Ok, MessageIcon::Warning);
}

void CIndentMainDlg::UpdateResultsText() {
    m_strIsoResults.clear();
    const int generation = ++resultGeneration_;
    resultPool_->clear();  // blocks of older analyses not yet started are not wanted
    if (m_lastOutcome.ok()) {
        const Settings& settings = m_analysisSettings;
        const std::string reason = NoResultReason(m_analyzer, *this, settings);
        if (reason.empty()) {
            m_strResults = BuildResultsText(m_analyzer, *this, g_dlgStrategy.method());
            if (!(FitRangeOf(settings) == FitRangeOf(CurrentSettings())))
                m_strResults = "Custom range: unloading fitted over " +
                               FormatShortest(FitRangeOf(settings).minPercent) + "-" +
                               FormatShortest(FitRangeOf(settings).maxPercent) +
                               " % of the load drop for this curve\n" + m_strResults;
            m_strIsoResults = "ISO 14577 :\n computing ...";
            // The worker has its own copy: the window may analyse the next curve meanwhile.
            auto analyzer = std::make_shared<const CCurveAnalyzer>(m_analyzer);
            resultPool_->start([this, analyzer, settings, generation] {
                std::string text = BuildIsoResultsText(ComputeIsoQuantities(*analyzer, settings),
                                                       EstimateUncertainty(*analyzer, settings));
                QMetaObject::invokeMethod(
                    this,
                    [this, generation, text = std::move(text)] {
                        if (generation != resultGeneration_) return;
                        m_strIsoResults = text;
                        SetDlgItemText(IDC_ISO_RESULTS, text);
                    },
                    Qt::QueuedConnection);
            });
        } else {
            m_strResults = NoResultText(m_analyzer, g_dlgStrategy.method(), reason);
        }
        // Which values came from the file, above everything they changed.
        if (const std::string fromFile = FileCalibrationText(); !fromFile.empty())
            m_strResults = WrapToResults(fromFile) + m_strResults;
        // A guessed layout is never silent, nor a value beyond nanoindentation: above all the
        // rest (guesses in short, their whole text is in File Information).
        std::string warnings;
        bool guessed = false;
        for (const CurveWarning& w :
             CurveWarnings(m_analyzer.m_dFmax, m_analyzer.m_dHmax, m_analyzer.m_readWarnings,
                           io::HintsOf(m_analyzer.m_readOptions))) {
            if (w.code == "guessed-layout")
                guessed = true;
            else
                warnings += "Warning: " + w.text + ".\n";
        }
        if (guessed)
            warnings += "Warning: the layout or units were guessed (File > File Information).\n";
        if (!warnings.empty()) m_strResults = WrapToResults(warnings) + "\n" + m_strResults;
    } else {
        m_strResults = FailureResultsText(m_lastOutcome.message());
    }
    UpdateData(false);
}

void CIndentMainDlg::DisplayCurve(int curve) {
    // The displayed curve is the one asked for from the start: title, plot and slider all read
    // it, whoever asked (slider, keys, the results table).
    const bool known = curve >= 0 && curve < m_analyzer.m_nFileCount;
    if (known) {
        m_nCurrentCurve = curve;
        if (m_ctlCurveScroll.GetScrollPos() != curve) m_ctlCurveScroll.SetScrollPos(curve);
    }
    static_cast<void>(AnalyzeCurve(curve, false));  // kept in m_lastOutcome, shown below
    m_strFileName =
        known ? m_analyzer.m_strFiles[static_cast<std::size_t>(curve)].string() : std::string();
    UpdateResultsText();
    UpdateContext();
    ShowFailure();
}
