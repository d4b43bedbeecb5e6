#pragma once
// The About box.

#include "ui/dialog.h"

class CAboutDlg : public marvek::ui::Dialog {
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    static marvek::ui::DialogTemplate AboutTemplate();
};
