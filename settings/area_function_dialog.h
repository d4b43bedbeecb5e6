#pragma once
// The run's indenter area functions and moduli, and the area-function calibration window.
// The global object lives from program start to exit, before any window exists, so it holds
// the data (and the calibration's own file list) only; its window is a separate object created
// when it is shown.

#include "core/analysis/curve_analyzer.h"
#include "core/config/settings.h"
#include "ui/dialog_template.h"

class CAreaFunctionDlg : public marvek::AreaFunctionSettings {
public:
    // The calibration's own analyzer: its file list is kept between openings.
    marvek::CCurveAnalyzer m_analyzer;

    // Shows dialog 135. OK stores every field once all have passed their checks; Cancel drops
    // what was typed since, but keeps what Calculate already stored.
    int DoModal();

    static marvek::ui::DialogTemplate AreaFunctionTemplate();
};

extern CAreaFunctionDlg g_dlgAreaFunction;
