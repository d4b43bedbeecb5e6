#pragma once
// The run's analysis strategy (method, epsilon, force ranges,
// corrections, tool accuracies).
// The global object lives from program start to exit, before any window exists, so it holds
// the data only; its window is a separate object created when it is shown.

#include "core/settings.h"

class CStrategyDlg : public marvek::StrategySettings {
public:
};

extern CStrategyDlg g_dlgStrategy;
