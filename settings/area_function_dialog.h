#pragma once
// The run's indenter area functions and moduli.
// The global object lives from program start to exit, before any window exists, so it holds
// the data only; its window is a separate object created when it is shown.

#include "core/settings.h"

class CAreaFunctionDlg : public marvek::AreaFunctionSettings {
public:
};

extern CAreaFunctionDlg g_dlgAreaFunction;
