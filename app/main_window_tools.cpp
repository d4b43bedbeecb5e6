// The curve file tools of the main window's "File" menu.
#include "app/main_window.h"

void CIndentMainDlg::OnSeparateUnload() {}
void CIndentMainDlg::OnSeparateReload() {}
void CIndentMainDlg::OnSaveCurves() {}
