// What makes the main window easy to work in: keys, clipboard, the title naming the displayed
// curve, commands greyed out while they have nothing to work on, and a layout that grows.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
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
    if (QAction* calibration = MenuAction(ID_USE_FILE_CALIBRATION)) {
        calibration->setCheckable(true);
        calibration->setChecked(m_bUseFileCalibration);
    }
    if (auto* results = qobject_cast<QLabel*>(GetDlgItem(IDC_RESULTS))) {
        results->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // The label would take Ctrl+C for its own (possibly empty) selection.
        results->installEventFilter(this);
    }
    // Small enough for a 1366x768 screen with a panel (the results box gives up height first),
    // large enough that every control keeps its place.
    if (Client())
        Client()->setMinimumSize(DluToPixelsX(Template().width) * 4 / 5,
                                 DluToPixelsY(Template().height) * 7 / 10);
    setMinimumSize(minimumSizeHint());
    // Never larger than the screen: a window taller than the screen has its foot (status
    // line, path, slider) under the panel.
    if (const QScreen* screen = this->screen()) {
        const QRect room = screen->availableGeometry();
        const int frame = 40;  // title bar and borders
        if (room.isValid() && (width() > room.width() || height() + frame > room.height()))
            resize(std::min(width(), room.width()), std::min(height(), room.height() - frame));
    }
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
    // Escape never closes the program (Exit and the close box do, and ask about unsaved
    // notes); while zoomed it brings the plot home.
    if (key == Qt::Key_Escape) {
        if (m_plot && m_plot->IsZoomed()) OnPlotReset();
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
    // The project's name, and a star while notes or settings are not saved in it.
    if (!m_projectFile.empty() || m_unsavedWork) {
        std::string project = m_unsavedWork ? "*" : "";
        project += m_projectFile.empty() ? "unsaved work" : m_projectFile.filename().string();
        title = project + " - " + title;
    }
    setWindowTitle(QString::fromStdString(title));
    // Commands that work on the selected curves have nothing to do without them.
    const bool curves = n > 0;
    for (int id : {ID_SEPARATE_UNLOAD, ID_SEPARATE_RELOAD, ID_SAVE_CURVES, ID_EXPLORE_PLOT,
                   ID_SAVE_PROJECT, ID_SAVE_PROJECT_AS, ID_EXPORT_REPORT, ID_FILE_INFORMATION})
        EnableMenuCommand(id, curves);
    if (MenuPopups().size() > 2)
        for (QAction* a : MenuPopups()[2]->actions()) a->setEnabled(curves || a->isSeparator());
    SyncProfileView();
}

void CIndentMainDlg::OnSize(int width, int height) {
    // At the template's size the template's layout. Larger, the results column widens by a
    // fifth of the growth (up to 160 px), the results box grows downward, and the result-set
    // block, path, scroll bar and hint follow the foot (path and scroll bar as wide as the
    // rest). Smaller (a 1366x768 screen leaves less than the template's height), the results
    // box gives up the height first, so the foot and the result-set block stay on screen.
    // The plot fills what is right of the results column and above the path.
    if (!Client()) return;
    const int growX = width - DluToPixelsX(Template().width);
    const int column = std::clamp(growX / 5, 0, 160);
    const int dx = std::max(0, growX) - column;
    const int dy = height - DluToPixelsY(Template().height);
    const int foot = DluToPixelsY(285);
    for (QObject* child : Client()->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || w->property("marvekOwnLayout").isValid()) continue;
        if (!w->property("marvekHome").isValid()) w->setProperty("marvekHome", w->geometry());
        const QRect home = w->property("marvekHome").toRect();
        QRect box = home;
        const bool inColumn = home.left() < DluToPixelsX(130);
        if (inColumn && home.width() > DluToPixelsX(100)) box.setWidth(home.width() + column);
        if (!inColumn) box.translate(column, 0);
        if (home.top() >= foot) {
            box.translate(0, dy);
            if (w == GetDlgItem(IDC_CURVE_SCROLL) || w == GetDlgItem(IDC_FILE_NAME))
                box.setWidth(home.width() + std::max(0, dx));
            else if (!inColumn)  // the hint under the plot stays centred
                box.translate(std::max(0, dx) / 2, 0);
        } else if (home.height() > DluToPixelsY(200)) {
            box.setHeight(std::max(DluToPixelsY(60), home.height() + dy));
        }
        if (box != w->geometry()) w->setGeometry(box);
    }
    LayOutPlot();
}
