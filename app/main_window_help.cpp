// The "Help" commands of the main window.
#include "app/main_window.h"
#include "help/about_dialog.h"
#include "help/help_dialog.h"

void CIndentMainDlg::OnHelp() {
    CHelpDlg dlg;
    dlg.DoModal();
}

void CIndentMainDlg::OnAbout() {
    CAboutDlg dlg(this);
    dlg.DoModal();
}
