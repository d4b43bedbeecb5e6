// The "Graphic Comparison of Multiple Indentation Tests" commands of the main window.
#include "app/main_window.h"

void CIndentMainDlg::OnModulusLoad() {}
void CIndentMainDlg::OnModulusDepth() {}
void CIndentMainDlg::OnModulusCurve() {}
void CIndentMainDlg::OnHMLoad() {}
void CIndentMainDlg::OnHMDepth() {}
void CIndentMainDlg::OnHMCurve() {}
void CIndentMainDlg::OnHITLoad() {}
void CIndentMainDlg::OnHITDepth() {}
void CIndentMainDlg::OnHOPLoad() {}
void CIndentMainDlg::OnHOPDepth() {}
void CIndentMainDlg::OnHVLoad() {}
void CIndentMainDlg::OnHVDepth() {}
void CIndentMainDlg::OnPercentSeries() {}
void CIndentMainDlg::OnUnloadSections() {}
void CIndentMainDlg::OnLoadAlpha() {}
void CIndentMainDlg::OnLoadM() {}
void CIndentMainDlg::OnLoadR() {}
void CIndentMainDlg::OnPercentM() {}
void CIndentMainDlg::OnSectionM() {}
void CIndentMainDlg::OnPercentR() {}
void CIndentMainDlg::OnSectionR() {}
void CIndentMainDlg::OnGraininessLoad() {}
void CIndentMainDlg::OnGraininessUnload() {}
void CIndentMainDlg::OnGraininess2Load() {}
void CIndentMainDlg::OnGraininess2Unload() {}
