#include "settings/area_function_dialog.h"

CAreaFunctionDlg g_dlgAreaFunction;
