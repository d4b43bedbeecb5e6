// Curve Overlay: the chosen curves drawn together with their mean and ±SD band.
#include "app/main_window.h"
#include "graphs/overlay_view.h"
#include "table/results_table_window.h"
#include "ui/services.h"

void CIndentMainDlg::OnOverlay() {
    ShowOverlay(table_ ? table_->SelectedCurves() : std::vector<int>{});
}

void CIndentMainDlg::ShowOverlay(std::vector<int> curves) {
    if (m_analyzer.m_nFileCount < 1 || !UpdateData(true)) return;
    // Rows chosen in the table are shown as chosen (an excluded one too: the user asked for
    // it); otherwise every curve the user has not excluded, as the statistics count them. One
    // selected row is only the curve on show, not a choice.
    if (curves.size() < 2) curves.clear();
    const bool chosen = !curves.empty();
    if (!chosen)
        for (int k = 0; k < m_analyzer.m_nFileCount; ++k)
            if (!NotesOf(m_analyzer.m_strFiles[static_cast<std::size_t>(k)].string()).excluded)
                curves.push_back(k);
    std::vector<std::string> addresses;
    for (int k : curves)
        if (k >= 0 && k < m_analyzer.m_nFileCount)
            addresses.push_back(m_analyzer.m_strFiles[static_cast<std::size_t>(k)].string());
    std::vector<std::string> failures;
    auto read =
        marvek::ReadOverlayCurves(addresses, CurrentSettings(), failures, m_analyzer.m_readOptions);
    const std::size_t left = static_cast<std::size_t>(m_analyzer.m_nFileCount) - addresses.size();
    std::string caption = "Marvek - Curve Overlay: " + std::to_string(addresses.size()) + " of " +
                          std::to_string(m_analyzer.m_nFileCount) + " curves";
    if (chosen)
        caption += " (selected in the table)";
    else if (left > 0)
        caption += " (" + std::to_string(left) + " excluded)";
    COverlayDlg dlg(std::move(read), std::move(failures), PlotStyleFile(), caption);
    marvek::ui::GetServices().RunModal(dlg);
}
