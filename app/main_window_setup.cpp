// The "Analysis Setup" commands of the main window.
#include "app/main_window.h"

void CIndentMainDlg::OnStrategy() {}
void CIndentMainDlg::OnAreaFunction() {}
void CIndentMainDlg::OnCompliance() {}
