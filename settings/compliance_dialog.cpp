#include "settings/compliance_dialog.h"

CComplianceDlg g_dlgCompliance;
