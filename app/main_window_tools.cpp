// The curve file tools of the main window's "File" menu.
#include <algorithm>
#include <memory>

#include "app/main_window.h"
#include "core/analysis/curve_analysis.h"
#include "core/tools/multi_cycle_split.h"
#include "core/tools/save_curves.h"
#include "settings/strategy_dialog.h"
#include "ui/services.h"

using namespace marvek;
using namespace marvek::ui;

namespace {

// Splits every selected file, one message per file; Cancel stops. The files are read by an
// analyzer of the split's own with the main one's zero-point settings, so the displayed curve,
// its results and the main analyzer's points stay exactly as they were.
void SeparateSelectedFiles(CIndentMainDlg& window, SplitKind kind) {
    const CCurveAnalyzer& main = window.m_analyzer;
    if (main.m_nFileCount <= 0) return;
    auto reader = std::make_unique<CCurveAnalyzer>();
    ConfigureAnalyzer(*reader, g_dlgStrategy);
    reader->m_readOptions = main.m_readOptions;  // the columns and units given in the window
    const double band = HoldBand(g_dlgStrategy.m_fForceAccuracy, main.m_dHoldBandFactor);
    int written = 0;
    std::filesystem::path folder;
    for (int f = 0; f < main.m_nFileCount; ++f) {
        const SplitFileReport report = SplitCurveFile(*reader, main.m_strFiles[f], kind, band);
        written += report.CreatedCount();
        if (!report.written.empty()) folder = report.written.front().parent_path();
        window.SetStatusText(std::to_string(written) + " curve file" + (written == 1 ? "" : "s") +
                             " written" + (folder.empty() ? "" : " to " + folder.string()));
        if (report.read.code() == ErrorCode::UnknownLayout)
            ShowMessage(&window, kFileFormatMessage, kFileFormatCaption);
        if (ShowMessage(&window, SplitMessage(kind, report), kApplicationName,
                        MessageButtons::OkCancel) != IDOK)
            return;
    }
}

}  // namespace

void CIndentMainDlg::OnSeparateUnload() { SeparateSelectedFiles(*this, SplitKind::Unload); }

void CIndentMainDlg::OnSeparateReload() { SeparateSelectedFiles(*this, SplitKind::Reload); }

void CIndentMainDlg::OnSaveCurves() {
    if (m_analyzer.m_nFileCount < 1) return;
    if (!m_lastOutcome.ok()) {
        // The display was cleared; a file of the error text would pass for saved curves.
        ShowMessage(this, "There are no curves to save: " + m_lastOutcome.message(),
                    kApplicationName, MessageButtons::Ok, MessageIcon::Warning);
        return;
    }
    SaveFileRequest request;
    request.owner = this;
    request.filter = "Text Files (*.CSV)";
    request.defaultExtension = "csv";
    request.promptOverwrite = true;
    // A test of a workbook suggests a name after its file and test, the test's name made safe
    // first (a name from a file is never a path).
    const auto current = static_cast<std::size_t>(std::max(0, m_nCurrentCurve));
    if (current < m_analyzer.m_strFiles.size() &&
        !io::ParseAddress(m_analyzer.m_strFiles[current]).test.empty())
        request.initialName = io::CurveOutputStem(m_analyzer.m_strFiles[current]) + "_curves.csv";
    const std::optional<std::filesystem::path> file = GetServices().SaveFile(request);
    if (!file) return;
    const std::string error = WriteSaveCurvesFile(*file, BuildSaveCurvesText(m_strResults, *this));
    if (!error.empty())
        ShowMessage(this, error, kApplicationName, MessageButtons::Ok, MessageIcon::Warning);
    else
        SetStatusText("Curves saved to " + file->string());
}
