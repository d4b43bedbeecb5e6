// "Depth Profiles of the Workbook": the continuous-stiffness profiles of every test of the shown
// curve's workbook in a window that stays open beside this one, drawing the shown curve thick
// and leaving out the curves excluded here or in the results table.
#include "app/main_window.h"
#include "core/series/graph_series.h"
#include "graphs/profile_view.h"
#include "table/results_table_window.h"
#include "ui/services.h"

void CIndentMainDlg::OnProfileView() {
    if (m_analyzer.m_nFileCount < 1 || !UpdateData(true)) return;
    const std::vector<std::filesystem::path> addresses(
        m_analyzer.m_strFiles.begin(), m_analyzer.m_strFiles.begin() + m_analyzer.m_nFileCount);
    marvek::graphs::WorkbookProfiles workbook = marvek::graphs::LoadWorkbookProfiles(
        addresses, std::max(0, m_nCurrentCurve), m_analyzer.m_readOptions, WindowProfileSettings());
    if (!workbook.error.empty()) {
        marvek::ui::ShowMessage(this, workbook.error, marvek::ui::kApplicationName,
                                marvek::ui::MessageButtons::Ok, marvek::ui::MessageIcon::Warning);
        return;
    }
    if (profileView_) profileView_->close();
    auto* view = new marvek::graphs::ProfileView(this, std::move(workbook));
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->onShowCurve = [this](int curve) {
        if (curve >= 0 && curve < m_analyzer.m_nFileCount && curve != m_nCurrentCurve)
            DisplayCurve(curve);
    };
    // The table's averages follow the window the user sets here, excluded indents included
    // (the table shows their values and leaves them out of its statistics itself).
    view->onWindowChosen = [this, view] {
        if (!table_) return;
        std::vector<std::pair<int, marvek::profiles::ProfileAverage>> averages;
        for (std::size_t k = 0; k < view->Indents().size(); ++k)
            if (view->Profiles()[k].ok())
                averages.emplace_back(view->Indents()[k].curve,
                                      marvek::profiles::AverageProfile(view->Profiles()[k],
                                                                       view->From(), view->To()));
        table_->SetProfileAverages(averages);
    };
    profileView_ = view;
    SyncProfileView();
    view->show();
}

marvek::profiles::ProfileSettings CIndentMainDlg::WindowProfileSettings() const {
    marvek::profiles::ProfileSettings s = marvek::ProfileSettingsFor(CurrentSettings());
    s.completeAreaFunctionHint =
        "set the full one in Analysis Setup > Indenter Area Function and Modulus...";
    return s;
}

void CIndentMainDlg::SyncProfileView() {
    if (!profileView_) return;
    std::vector<bool> excluded;
    for (int k = 0; k < m_analyzer.m_nFileCount; ++k)
        excluded.push_back(
            NotesOf(m_analyzer.m_strFiles[static_cast<std::size_t>(k)].string()).excluded);
    profileView_->SetExcluded(excluded);
    profileView_->SetSelectedCurve(m_nCurrentCurve);
}
