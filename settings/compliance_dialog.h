#pragma once
// The run's frame compliance of the testing machine and its calibration window.
// The global object lives from program start to exit, before any window exists, so it holds
// the data (and the calibration's own file list) only; its window is a separate object created
// when it is shown.

#include "core/analysis/curve_analyzer.h"
#include "core/config/settings.h"
#include "ui/dialog_template.h"

class CComplianceDlg : public marvek::ComplianceSettings {
public:
    // The calibration's own analyzer: its file list is kept between openings.
    marvek::CCurveAnalyzer m_analyzer;
    // The calibration's copies of the strategy, taken before each opening.
    float m_fOPMaxPercent = 0;
    float m_fOPMinPercent = 0;
    float m_fDNMaxPercent = 0;
    float m_fDNMinPercent = 0;
    float m_fEpsilon = 0;
    int m_nMethod = 0;                     // stored AnalysisMethod
    float m_fSavedCompliance = 0;          // the compliance the window opened with, nm/mN
    marvek::AreaCoefficients m_dApCoef{};  // copy of the projected-area function

    // Shows dialog 134. OK keeps what the compliance edit shows (a calculated value or the
    // user's own); Cancel and the close box restore the value the window opened with.
    int DoModal();

    static marvek::ui::DialogTemplate ComplianceTemplate();
};

extern CComplianceDlg g_dlgCompliance;
