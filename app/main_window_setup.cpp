// The "Analysis Setup" commands of the main window.
#include "app/main_window.h"
#include "core/calibration/calibration_curves.h"
#include "settings/area_function_dialog.h"
#include "settings/compliance_dialog.h"
#include "settings/strategy_dialog.h"
#include "ui/dialog_template.h"

using namespace marvek;

void CIndentMainDlg::OnStrategy() {
    WorkState before = CurrentState("strategy");
    if (g_dlgStrategy.DoModal() != ui::IDOK) return;
    SettingsEdited(std::move(before));
    CopyStrategyToAreaFunction(g_dlgStrategy, g_dlgAreaFunction);
    ConfigureAnalyzer(m_analyzer, g_dlgStrategy);
    if (m_nCurrentCurve != -1) DisplayCurve(m_nCurrentCurve);
}

void CIndentMainDlg::OnAreaFunction() {
    WorkState before = CurrentState("area function");
    CAreaFunctionDlg& dlg = g_dlgAreaFunction;
    PrepareAreaFunctionAnalyzer(dlg.m_analyzer, g_dlgStrategy);
    dlg.m_fCompliance = g_dlgCompliance.m_fCompliance;
    dlg.m_fFrameCompliance = g_dlgCompliance.m_fCompliance;
    dlg.m_fEpsilon = g_dlgStrategy.m_fEpsilon;
    if (dlg.DoModal() != ui::IDOK) return;
    SettingsEdited(std::move(before));
    if (m_nCurrentCurve == -1) return;
    // The compliance goes back before the re-analysis, so the results shown use it.
    g_dlgCompliance.m_fCompliance = dlg.m_fCompliance;
    DisplayCurve(m_nCurrentCurve);
}

void CIndentMainDlg::OnCompliance() {
    WorkState before = CurrentState("frame compliance");
    CComplianceDlg& dlg = g_dlgCompliance;
    dlg.m_fOPMaxPercent = g_dlgStrategy.m_fOPMaxPercent;
    dlg.m_fOPMinPercent = g_dlgStrategy.m_fOPMinPercent;
    dlg.m_fDNMaxPercent = g_dlgStrategy.m_fDNMaxPercent;
    dlg.m_fDNMinPercent = g_dlgStrategy.m_fDNMinPercent;
    dlg.m_fEpsilon = g_dlgStrategy.m_fEpsilon;
    dlg.m_nMethod = g_dlgStrategy.m_nMethod;
    dlg.m_dApCoef = g_dlgAreaFunction.m_dApCoef;
    PrepareComplianceAnalyzer(dlg.m_analyzer, g_dlgStrategy);
    if (dlg.DoModal() != ui::IDOK) {
        dlg.m_fCompliance = dlg.m_fSavedCompliance;
        return;
    }
    SettingsEdited(std::move(before));
    CopyComplianceToAreaFunction(g_dlgCompliance, g_dlgAreaFunction);
    // The results on show use the compliance now stored.
    if (m_nCurrentCurve != -1) DisplayCurve(m_nCurrentCurve);
}
