#pragma once
// The run's frame compliance of the testing machine.
// The global object lives from program start to exit, before any window exists, so it holds
// the data only; its window is a separate object created when it is shown.

#include "core/settings.h"

class CComplianceDlg : public marvek::ComplianceSettings {
public:
};

extern CComplianceDlg g_dlgCompliance;
