#pragma once
// The help window: how to prepare curve files, browse and compare them, split multi-cycle
// files and calibrate the machine and the indenter.

#include <string>

#include "ui/dialog.h"

class CHelpDlg : public marvek::ui::Dialog {
public:
    explicit CHelpDlg(QWidget* parent = nullptr);

    static marvek::ui::DialogTemplate HelpTemplate();

    std::string m_strFileFormatHelp;
    std::string m_strSelectionHelp;
    std::string m_strMultiCycleHelp;
    std::string m_strComparisonHelp;
    std::string m_strCalibrationHelp;

protected:
    void DoDataExchange(marvek::ui::DataExchange& dx) override;
};
