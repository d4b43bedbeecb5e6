// "Results Table": the selected curves as one series in a window of its own. Selecting a row
// shows that curve here.
#include "app/main_window.h"
#include "table/results_table_window.h"

void CIndentMainDlg::OnResultsTable() {
    if (m_analyzer.m_nFileCount < 1 || !UpdateData(true)) return;
    std::vector<marvek::SeriesInput> inputs;
    for (int k = 0; k < m_analyzer.m_nFileCount; ++k) {
        const std::string path = m_analyzer.m_strFiles[static_cast<std::size_t>(k)].string();
        inputs.push_back({path, path, ""});
    }
    auto* window =
        new marvek::table::ResultsTableWindow(this, std::move(inputs), CurrentSettings());
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->onShowCurve = [this](int curve) {
        if (curve < 0 || curve >= m_analyzer.m_nFileCount) return;
        m_ctlCurveScroll.SetScrollPos(curve);
        DisplayCurve(curve);
        m_nCurrentCurve = curve;
    };
    window->show();
    window->Start();
}
