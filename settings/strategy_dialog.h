#pragma once
// The run's analysis strategy (method, epsilon, force ranges, corrections, tool accuracies).
// The global object lives from program start to exit, before any window exists, so it holds
// the data only; its window is a separate object created when it is shown.

#include "core/config/settings.h"
#include "ui/dialog_template.h"

class CStrategyDlg : public marvek::StrategySettings {
public:
    // Shows dialog 139 with the current values. OK stores them once every field has passed its
    // check; Cancel (or the close box) changes nothing. Returns IDOK or IDCANCEL.
    int DoModal();

    static marvek::ui::DialogTemplate StrategyTemplate();
};

extern CStrategyDlg g_dlgStrategy;
