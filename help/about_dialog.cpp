#include "help/about_dialog.h"

using namespace marvek::ui;

CAboutDlg::CAboutDlg(QWidget* parent) : Dialog(AboutTemplate(), parent) {}

DialogTemplate CAboutDlg::AboutTemplate() {
    DialogTemplate t;
    t.id = 100;
    t.caption = "About Marvek";
    t.width = 235;
    t.height = 101;
    t.controls = {
        {ControlKind::Icon, kNoId, "", 11, 17, 21, 20},
        {ControlKind::Static, kNoId, "Release Version 1.1", 40, 10, 71, 8},
        {ControlKind::Static, kNoId, "THIS SOFTWARE WAS MADE FOR RESEARCH. ", 40, 23, 177, 8},
        {ControlKind::Static, kNoId, "Depth sensing indentation analysis:", 40, 36, 177, 8},
        {ControlKind::Static, kNoId, "modulus, hardness and work of indentation", 40, 47, 177, 8},
        {ControlKind::Static, kNoId, "Written in C++ with Qt. Marvek developers.", 40, 61, 177, 8},
        {ControlKind::PushButton, IDOK, "OK", 105, 79, 50, 14, kDefault},
    };
    return t;
}
