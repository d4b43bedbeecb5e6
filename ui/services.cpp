#include "ui/services.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScrollBar>
#include <QString>

#include "ui/dialog.h"
#include "ui/dialog_template.h"

namespace marvek::ui {

namespace {
Services* g_services = nullptr;

// The folder of the last file chosen in any file dialog; the next dialog starts there.
QString& LastFolder() {
    static QString folder;
    return folder;
}

void StartInLastFolder(QFileDialog& dialog) {
    if (!LastFolder().isEmpty()) dialog.setDirectory(LastFolder());
}

void RememberFolder(const QString& file) {
    if (!file.isEmpty()) LastFolder() = QFileInfo(file).absolutePath();
}

QWidget* OwnerWidget(const Dialog* owner) { return const_cast<Dialog*>(owner); }

// "CSV Files (*.CSV)" also matches lower-case names: file names are case-sensitive here.
QString CaseInsensitiveFilter(const std::string& filter) {
    QString f = QString::fromStdString(filter);
    const qsizetype open = f.indexOf('(');
    const qsizetype close = f.lastIndexOf(')');
    if (open < 0 || close < open) return f;
    QStringList patterns = f.mid(open + 1, close - open - 1).split(' ', Qt::SkipEmptyParts);
    QStringList all = patterns;
    for (const QString& p : patterns) {
        if (!all.contains(p.toLower())) all << p.toLower();
        if (!all.contains(p.toUpper())) all << p.toUpper();
    }
    return f.left(open + 1) + all.join(' ') + f.mid(close);
}
}  // namespace

std::filesystem::path PathFromQString(const QString& s) {
    return std::filesystem::path(QFile::encodeName(s).toStdString());
}

QString QStringFromPath(const std::filesystem::path& p) {
    return QFile::decodeName(QByteArray::fromStdString(p.string()));
}

Services& GetServices() {
    static QtServices qt;
    return g_services ? *g_services : qt;
}

ScopedServices::ScopedServices(Services& services) : previous_(g_services) {
    g_services = &services;
}

ScopedServices::~ScopedServices() { g_services = previous_; }

void ReleasePressedScrollBars() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    // The box takes the button's release, so a held scroll arrow would go on repeating under
    // it (and raise a box per step): end every press as its release would.
    for (QWidget* w : QApplication::allWidgets()) {
        auto* bar = qobject_cast<QScrollBar*>(w);
        if (!bar || !bar->isVisible()) continue;
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(-1, -1), QPointF(-1, -1),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &release);
    }
}

int ShowMessage(const Dialog* owner, const std::string& text, const std::string& caption,
                MessageButtons buttons, MessageIcon icon) {
    ReleasePressedScrollBars();
    return GetServices().MessageBox({owner, text, caption, buttons, icon});
}

int QtServices::MessageBox(const MessageRequest& request) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (request.icon) {
        case MessageIcon::None: break;
        case MessageIcon::Information: icon = QMessageBox::Information; break;
        case MessageIcon::Warning: icon = QMessageBox::Warning; break;
        case MessageIcon::Error: icon = QMessageBox::Critical; break;
    }
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    if (request.buttons == MessageButtons::OkCancel)
        buttons = QMessageBox::Ok | QMessageBox::Cancel;
    if (request.buttons == MessageButtons::YesNoCancel)
        buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    QMessageBox box(icon, QString::fromStdString(request.caption),
                    QString::fromStdString(request.text), buttons, OwnerWidget(request.owner));
    box.setTextFormat(Qt::PlainText);
    switch (box.exec()) {
        case QMessageBox::Ok: return IDOK;
        case QMessageBox::Yes: return IDYES;
        case QMessageBox::No: return IDNO;
        default: return IDCANCEL;
    }
}

std::optional<std::vector<std::filesystem::path>> QtServices::OpenFiles(
    const OpenFilesRequest& request) {
    QFileDialog dialog(OwnerWidget(request.owner));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.multiSelect ? QFileDialog::ExistingFiles
                                           : QFileDialog::ExistingFile);
    dialog.setNameFilter(CaseInsensitiveFilter(request.filter));
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    dialog.setWindowTitle(QStringLiteral("Open"));
    StartInLastFolder(dialog);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    if (!dialog.selectedFiles().isEmpty()) RememberFolder(dialog.selectedFiles().front());
    std::vector<std::filesystem::path> files;
    for (const QString& f : dialog.selectedFiles()) files.push_back(PathFromQString(f));
    return files;
}

std::optional<std::filesystem::path> QtServices::SaveFile(const SaveFileRequest& request) {
    QFileDialog dialog(OwnerWidget(request.owner));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(CaseInsensitiveFilter(request.filter));
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    dialog.setWindowTitle(QStringLiteral("Save As"));
    if (!request.promptOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    StartInLastFolder(dialog);
    if (!request.initialName.empty())
        dialog.selectFile(QString::fromStdString(request.initialName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    RememberFolder(dialog.selectedFiles().front());
    return PathFromQString(dialog.selectedFiles().front());
}

int QtServices::RunModal(Dialog& dialog) {
    dialog.Create();
    if (!dialog.IsEnded()) dialog.exec();
    return dialog.Result();
}

}  // namespace marvek::ui
