#include "settings/strategy_dialog.h"

CStrategyDlg g_dlgStrategy;
