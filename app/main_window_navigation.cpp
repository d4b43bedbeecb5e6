// Choosing curve files and stepping through them.
#include <algorithm>
#include <cctype>
#include <optional>

#include "app/main_window.h"
#include "app/resource_ids.h"
#include "settings/curve_files.h"
#include "ui/scroll_bar.h"
#include "ui/services.h"

using namespace marvek;
using namespace marvek::ui;

void CIndentMainDlg::OnSelectCurveFiles() {
    OpenFilesRequest request;
    request.filter = kCurveFileFilter;
    request.defaultExtension = "csv";
    request.multiSelect = true;
    // A cancelled choice still shows the first curve of the list there was.
    if (const auto files = GetServices().OpenFiles(request); files && !files->empty()) {
        m_analyzer.SetFiles(*files);
        RememberSelection(*files);
    }
    if (m_analyzer.m_nFileCount < 1) return;
    ShowFirstCurve();
}

bool CIndentMainDlg::SelectFiles(const std::vector<std::filesystem::path>& files) {
    if (files.empty()) return false;
    m_analyzer.SetFiles(files);
    // Remembered before the first curve is shown, so a message about it cannot stop that.
    RememberSelection(files);
    ShowFirstCurve();
    return true;
}

void CIndentMainDlg::ShowFirstCurve() {
    m_ctlCurveScroll.SetScrollRange(0, m_analyzer.m_nFileCount - 1);
    m_ctlCurveScroll.SetPage(1);
    m_ctlCurveScroll.SetScrollPos(0);
    m_nCurrentCurve = 0;
    DisplayCurve(0);
}

void CIndentMainDlg::OnDropFiles(const std::vector<std::filesystem::path>& files) {
    std::vector<std::filesystem::path> curves;
    std::copy_if(
        files.begin(), files.end(), std::back_inserter(curves), [](const std::filesystem::path& f) {
            std::string ext = f.extension().string();
            std::transform(ext.begin(), ext.end(), ext.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            return ext == ".csv" || ext == ".txt" || ext == ".hld" || ext == ".xls" ||
                   ext == ".xlsx" || ext == ".zip";
        });
    SelectFiles(curves);
}

void CIndentMainDlg::OnHScroll(int code, int pos, ScrollBarControl* bar) {
    if (m_analyzer.m_nFileCount < 1) return;
    if (bar == nullptr) return;
    // A refused Poisson ratio keeps the curve where it is: its one message is the answer.
    if (!UpdateData(true)) return;
    int min = 0, max = 0;
    bar->GetScrollRange(min, max);
    const int current = bar->GetScrollPos();
    std::optional<int> next;
    switch (code) {
        case SB_LINELEFT:
        case SB_PAGELEFT: next = std::max(min, current - 1); break;
        case SB_LINERIGHT:
        case SB_PAGERIGHT: next = std::min(max, current + 1); break;  // a page is one curve
        case SB_THUMBTRACK: next = pos; break;
        default: break;
    }
    if (next) {
        bar->SetScrollPos(*next);
        m_nCurrentCurve = bar->GetScrollPos();
        DisplayCurve(m_nCurrentCurve);
    }
    m_nCurrentCurve = bar->GetScrollPos();
}

void CIndentMainDlg::OnKillfocusPoisson() {
    WorkState before = CurrentState("sample Poisson ratio");
    before.settings.m_fPoisson = m_fLastPoisson;
    if (!UpdateData(true)) return;
    if (m_fPoisson == m_fLastPoisson) return;
    SettingsEdited(std::move(before));
    m_fLastPoisson = m_fPoisson;
    if (m_nCurrentCurve != -1) DisplayCurve(m_nCurrentCurve);
}
