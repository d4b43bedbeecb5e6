// What makes the main window easy to work in: keys, clipboard, the title naming the displayed
// curve, commands greyed out while they have nothing to work on, and a layout that grows.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>

#include "app/main_window.h"
#include "app/resource_ids.h"
#include "ui/scroll_bar.h"

using namespace marvek::ui;
using namespace resource;

void CIndentMainDlg::InstallShortcuts() {
    if (QAction* open = MenuAction(ID_SELECT_CURVE_FILES)) open->setShortcut(QKeySequence::Open);
    if (QAction* help = MenuAction(ID_HELP_HELP)) help->setShortcut(QKeySequence::HelpContents);
    if (QAction* explore = MenuAction(ID_EXPLORE_PLOT))
        explore->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    if (auto* results = qobject_cast<QLabel*>(GetDlgItem(IDC_RESULTS))) {
        results->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // The label would take Ctrl+C for its own (possibly empty) selection.
        results->installEventFilter(this);
    }
    if (Client())
        Client()->setMinimumSize(DluToPixelsX(Template().width), DluToPixelsY(Template().height));
}

bool CIndentMainDlg::OnKeyPreview(int control, int key, bool ctrl) {
    if (ctrl) {
        if (key != Qt::Key_C) return false;
        // A field's own selection is copied by the field.
        if (auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(control));
            edit && edit->hasSelectedText())
            return false;
        CopyResults();
        return true;
    }
    // Arrows and Home/End edit the text while the Poisson field is being typed in.
    if (control == IDC_POISSON) return false;
    const int last = m_analyzer.m_nFileCount - 1;
    switch (key) {
        case Qt::Key_Left:
        case Qt::Key_PageUp: SendHScroll(IDC_CURVE_SCROLL, SB_LINELEFT, 0); return true;
        case Qt::Key_Right:
        case Qt::Key_PageDown: SendHScroll(IDC_CURVE_SCROLL, SB_LINERIGHT, 0); return true;
        case Qt::Key_Home: SendHScroll(IDC_CURVE_SCROLL, SB_THUMBTRACK, 0); return true;
        case Qt::Key_End:
            SendHScroll(IDC_CURVE_SCROLL, SB_THUMBTRACK, std::max(last, 0));
            return true;
        default: return false;
    }
}

void CIndentMainDlg::CopyResults() {
    const auto* results = qobject_cast<QLabel*>(GetDlgItem(IDC_RESULTS));
    const QString selected = results ? results->selectedText() : QString();
    QApplication::clipboard()->setText(selected.isEmpty() ? QString::fromStdString(m_strResults)
                                                          : selected);
}

void CIndentMainDlg::UpdateContext() {
    const int n = m_analyzer.m_nFileCount;
    std::string title = Template().caption;
    if (n > 0 && m_nCurrentCurve >= 0 && m_nCurrentCurve < n)
        title =
            m_analyzer.m_strFiles[static_cast<std::size_t>(m_nCurrentCurve)].filename().string() +
            " (" + std::to_string(m_nCurrentCurve + 1) + " of " + std::to_string(n) + ") - " +
            title;
    setWindowTitle(QString::fromStdString(title));
    // Commands that work on the selected curves have nothing to do without them.
    const bool curves = n > 0;
    for (int id : {ID_SEPARATE_UNLOAD, ID_SEPARATE_RELOAD, ID_SAVE_CURVES, ID_EXPLORE_PLOT})
        EnableMenuCommand(id, curves);
    if (MenuPopups().size() > 1)
        for (QAction* a : MenuPopups()[1]->actions()) a->setEnabled(curves || a->isSeparator());
}

void CIndentMainDlg::OnSize(int width, int height) {
    // At the template's size the template's layout; larger, the results box grows downward,
    // and the result-set block, path, scroll bar and hint follow the foot (path and scroll bar
    // as wide as the growth).
    // The plot takes its frame from the client size and the path field's new place.
    if (!Client()) return;
    const int dx = std::max(0, width - DluToPixelsX(Template().width));
    const int dy = std::max(0, height - DluToPixelsY(Template().height));
    const int foot = DluToPixelsY(285);
    for (QObject* child : Client()->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || w->property("marvekOwnLayout").isValid()) continue;
        if (!w->property("marvekHome").isValid()) w->setProperty("marvekHome", w->geometry());
        const QRect home = w->property("marvekHome").toRect();
        QRect box = home;
        if (home.top() >= foot) {
            box.translate(0, dy);
            if (w == GetDlgItem(IDC_CURVE_SCROLL) || w == GetDlgItem(IDC_FILE_NAME))
                box.setWidth(home.width() + dx);
            else if (home.left() > DluToPixelsX(130))  // the hint under the plot stays centred
                box.translate(dx / 2, 0);
        } else if (home.height() > DluToPixelsY(200)) {
            box.setHeight(home.height() + dy);
        }
        if (box != w->geometry()) w->setGeometry(box);
    }
    LayOutPlot();
}
