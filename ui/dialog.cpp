#include "ui/dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/data_exchange.h"
#include "ui/drawing_surface.h"
#include "ui/scroll_bar.h"
#include "ui/services.h"

namespace marvek::ui {

// The area below the menu bar: holds the controls and is where OnPaint draws.
class ClientArea : public QWidget {
public:
    explicit ClientArea(Dialog* dialog) : QWidget(dialog), dialog_(dialog) {
        setAutoFillBackground(true);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setFont(font());
        PainterSurface surface(painter, dialog_->GetClientRect());
        dialog_->OnPaint(surface);
    }
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        dialog_->OnSize(width(), height());
    }

private:
    Dialog* dialog_;
};

Dialog::Dialog(DialogTemplate dialogTemplate, QWidget* parent)
    : QDialog(parent), template_(std::move(dialogTemplate)) {
    setWindowTitle(QString::fromStdString(template_.caption));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint |
                   (template_.resizable ? Qt::WindowMaximizeButtonHint : Qt::WindowType(0)));
    QFont f = QApplication::font();
    f.setPointSize(template_.fontPointSize);
    setFont(f);
    std::tie(baseX_, baseY_) = BaseUnits(f);
}

Dialog::~Dialog() = default;

std::pair<int, int> Dialog::BaseUnits(const QFont& font) {
    // The average width of the Latin letters, rounded, and the font's line height.
    const QFontMetrics fm(font);
    const int cx = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(cx / 26 + 1) / 2, fm.height()};
}

int Dialog::DluToPixelsX(int dlu) const { return (dlu * baseX_ + 2) / 4; }
int Dialog::DluToPixelsY(int dlu) const { return (dlu * baseY_ + 4) / 8; }

int Dialog::DoModal() {
    ended_ = false;
    ReleasePressedScrollBars();
    return GetServices().RunModal(*this);
}

void Dialog::Create() {
    if (created_) return;
    created_ = true;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    BuildMenu();
    if (menuBar_) layout->setMenuBar(menuBar_);
    client_ = new ClientArea(this);
    const int w = DluToPixelsX(template_.width);
    const int h = DluToPixelsY(template_.height);
    if (template_.resizable) {
        client_->setMinimumSize(w / 2, h / 2);
        resize(w, h + (menuBar_ ? menuBar_->sizeHint().height() : 0));
    } else {
        client_->setFixedSize(w, h);
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect room = screen ? screen->availableGeometry() : QRect();
        // Room for the window frame and title bar.
        const int frameW = 16, frameH = 48 + (menuBar_ ? menuBar_->sizeHint().height() : 0);
        if (template_.fitScreen && room.isValid() &&
            (w + frameW > room.width() || h + frameH > room.height())) {
            auto* scroll = new QScrollArea(this);
            scroll->setFrameShape(QFrame::NoFrame);
            scroll->setWidget(client_);
            const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
            resize(std::min(w + bar + 2, room.width() - frameW),
                   std::min(h + bar + 2, room.height() - frameH));
            layout->addWidget(scroll);
        } else {
            layout->setSizeConstraint(QLayout::SetFixedSize);
        }
    }
    if (!client_->parentWidget() || client_->parentWidget() == this) layout->addWidget(client_);
    BuildControls();
    OnInitDialog();
    OnSize(client_->width(), client_->height());
}

namespace {

// Gives each entry of a menu level an access letter: the first letter of its text that no
// earlier entry of that level took (a text that carries its own '&' keeps it).
class AccessLetters {
public:
    QString Mark(const std::string& text) {
        QString s = QString::fromStdString(text);
        if (s.contains('&')) return s;
        for (qsizetype i = 0; i < s.size(); ++i) {
            const QChar c = s[i].toLower();
            if (!c.isLetterOrNumber() || used_.contains(c)) continue;
            used_.insert(c);
            return s.left(i) + '&' + s.mid(i);
        }
        return s;
    }

private:
    QSet<QChar> used_;
};

}  // namespace

void Dialog::BuildMenu() {
    if (template_.menu.empty()) return;
    AccessLetters barLetters;
    menuBar_ = new QMenuBar(this);
    menuBar_->setNativeMenuBar(false);
    QMenuBar* rightBar = nullptr;
    for (const MenuPopup& popup : template_.menu) {
        QMenuBar* bar = menuBar_;
        if (popup.rightAligned) {
            if (!rightBar) {
                rightBar = new QMenuBar(menuBar_);
                rightBar->setNativeMenuBar(false);
                menuBar_->setCornerWidget(rightBar, Qt::TopRightCorner);
            }
            bar = rightBar;
        }
        QMenu* menu = bar->addMenu(barLetters.Mark(popup.text));
        popups_.push_back(menu);
        AccessLetters itemLetters;
        for (const MenuItem& item : popup.items) {
            if (item.IsSeparator()) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(itemLetters.Mark(item.text));
            const int command = item.command;
            menuActions_[command] = action;
            connect(action, &QAction::triggered, this, [this, command] { SendCommand(command); });
        }
    }
}

void Dialog::BuildControls() {
    std::map<int, QButtonGroup*> groups;
    QButtonGroup* radioGroup = nullptr;
    for (const ControlTemplate& c : template_.controls) {
        QWidget* w = CreateControl(c);
        QRect box(DluToPixelsX(c.x), DluToPixelsY(c.y), DluToPixelsX(c.width),
                  DluToPixelsY(c.height));
        if (c.kind == ControlKind::GroupBox && (c.style & kTitleAbove)) {
            const int title = QFontMetrics(font()).height();
            box.adjust(0, -title, 0, 0);
            w->setStyleSheet(QStringLiteral("QGroupBox { margin-top: %1px; border: 1px solid "
                                            "palette(mid); } QGroupBox::title { "
                                            "subcontrol-origin: margin; left: 6px; }")
                                 .arg(title));
        }
        // A one-line label whose text is wider in this font than in its template keeps its
        // whole text rather than losing the end.
        if (auto* label = qobject_cast<QLabel*>(w);
            label && c.kind == ControlKind::Static && !(c.style & kSunken)) {
            const QFontMetrics fm(label->font());
            const int needed = fm.horizontalAdvance(label->text()) + 2;
            if (box.height() < 2 * fm.height() && needed > box.width()) {
                label->setWordWrap(false);
                const int extra = needed - box.width();
                if (c.style & kAlignRight)
                    box.adjust(-extra, 0, 0, 0);
                else if (c.style & kAlignCenter)
                    box.adjust(-extra / 2, 0, extra - extra / 2, 0);
                else
                    box.adjust(0, 0, extra, 0);
            }
        }
        w->setGeometry(box);
        if (c.kind == ControlKind::RadioButton) {
            if (!radioGroup || (c.style & kGroupStart)) radioGroup = new QButtonGroup(this);
            radioGroup->addButton(static_cast<QRadioButton*>(w));
        } else {
            radioGroup = nullptr;
        }
        if (c.id != kNoId) controls_[c.id] = w;
        w->show();
    }
}

QWidget* Dialog::CreateControl(const ControlTemplate& c) {
    const QString text = QString::fromStdString(c.text);
    const int id = c.id;
    Qt::Alignment align = Qt::AlignLeft;
    if (c.style & kAlignRight) align = Qt::AlignRight;
    if (c.style & kAlignCenter) align = Qt::AlignHCenter;
    switch (c.kind) {
        case ControlKind::GroupBox: return new QGroupBox(text, client_);
        case ControlKind::Static: {
            auto* label = new QLabel(text, client_);
            label->setAlignment(align | Qt::AlignTop);
            label->setWordWrap(!(c.style & kNoWrap));
            label->setTextFormat(Qt::PlainText);
            if (c.style & kSunken) {
                label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            }
            return label;
        }
        case ControlKind::Edit: {
            if (c.style & kMultiLine) {
                auto* edit = new QPlainTextEdit(text, client_);
                edit->setReadOnly(c.style & kReadOnly);
                if (c.style & kNoBorder) edit->setFrameShape(QFrame::NoFrame);
                edit->setVerticalScrollBarPolicy((c.style & kVScroll) ? Qt::ScrollBarAsNeeded
                                                                      : Qt::ScrollBarAlwaysOff);
                if (c.style & kReadOnly) {
                    QPalette p = edit->palette();
                    p.setColor(QPalette::Base, p.color(QPalette::Window));
                    edit->setPalette(p);
                }
                edit->document()->setDocumentMargin(1);
                connect(edit, &QPlainTextEdit::textChanged, this,
                        [this, id] { Notify(id, Notification::Change); });
                edit->installEventFilter(this);
                return edit;
            }
            auto* edit = new QLineEdit(text, client_);
            edit->setReadOnly(c.style & kReadOnly);
            edit->setAlignment(align | Qt::AlignVCenter);
            edit->setFrame(!(c.style & kNoBorder));
            edit->setTextMargins(0, 0, 0, 0);
            if (c.style & kReadOnly) {
                QPalette p = edit->palette();
                p.setColor(QPalette::Base, p.color(QPalette::Window));
                edit->setPalette(p);
            }
            connect(edit, &QLineEdit::textChanged, this,
                    [this, id] { Notify(id, Notification::Change); });
            edit->installEventFilter(this);
            return edit;
        }
        case ControlKind::HScrollBar: {
            auto* bar = new QScrollBar(Qt::Horizontal, client_);
            bar->setRange(0, 0);
            bar->setPageStep(1);
            // Steps come from the window's keys and the mouse; the focus stays where it was.
            bar->setFocusPolicy(Qt::NoFocus);
            connect(bar, &QScrollBar::actionTriggered, this,
                    [this, id, bar](int action) { OnScrollAction(id, bar, action); });
            connect(bar, &QScrollBar::sliderReleased, this, [this, id, bar] {
                SendHScroll(id, SB_THUMBPOSITION, bar->sliderPosition());
                SendHScroll(id, SB_ENDSCROLL, 0);
            });
            return bar;
        }
        case ControlKind::PushButton: {
            auto* button = new QPushButton(text, client_);
            button->setDefault(c.style & kDefault);
            button->setAutoDefault(false);
            connect(button, &QPushButton::clicked, this, [this, id] { SendCommand(id); });
            return button;
        }
        case ControlKind::CheckBox: {
            auto* box = new QCheckBox(text, client_);
            connect(box, &QCheckBox::clicked, this,
                    [this, id] { Notify(id, Notification::Clicked); });
            return box;
        }
        case ControlKind::RadioButton: {
            auto* radio = new QRadioButton(text, client_);
            radio->setAutoExclusive(false);
            connect(radio, &QRadioButton::clicked, this,
                    [this, id] { Notify(id, Notification::Clicked); });
            return radio;
        }
        case ControlKind::Picture: {
            auto* label = new QLabel(client_);
            QPixmap pixmap(text);
            label->setPixmap(pixmap);
            label->setScaledContents(true);
            return label;
        }
        case ControlKind::Icon: {
            auto* label = new QLabel(client_);
            label->setPixmap(QApplication::windowIcon().pixmap(32, 32));
            return label;
        }
    }
    return new QWidget(client_);
}

bool Dialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void Dialog::OnOK() {
    if (!UpdateData(true)) return;
    EndDialog(IDOK);
}

void Dialog::OnCancel() { EndDialog(IDCANCEL); }

void Dialog::EndDialog(int result) {
    if (ended_) return;
    ended_ = true;
    endCode_ = result;
    OnDestroy();
    done(result);
}

bool Dialog::UpdateData(bool saveAndValidate) {
    if (!created_) return false;
    DataExchange dx(*this, saveAndValidate);
    DoDataExchange(dx);
    return !dx.Failed();
}

void Dialog::OnCommand(int id, std::function<void()> handler) {
    commands_[id] = std::move(handler);
}

void Dialog::OnNotify(int id, Notification what, std::function<void()> handler) {
    notifications_[{id, static_cast<int>(what)}] = std::move(handler);
}

bool Dialog::SendCommand(int id) {
    if (auto it = commands_.find(id); it != commands_.end()) {
        it->second();
        return true;
    }
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

bool Dialog::TriggerMenuCommand(int command) {
    auto it = menuActions_.find(command);
    if (it == menuActions_.end() || !it->second->isEnabled()) return false;
    it->second->trigger();
    return true;
}

QAction* Dialog::MenuAction(int command) const {
    auto it = menuActions_.find(command);
    return it == menuActions_.end() ? nullptr : it->second;
}

void Dialog::EnableMenuCommand(int command, bool enable) {
    if (QAction* a = MenuAction(command)) a->setEnabled(enable);
}

void Dialog::SetStatusText(const std::string& text) {
    if (!status_) {
        status_ = new QLabel(this);
        status_->setTextFormat(Qt::PlainText);
        status_->setContentsMargins(4, 1, 4, 1);
        status_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        // One line whatever the window's height; a long path never widens the window.
        status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        if (auto* box = qobject_cast<QBoxLayout*>(layout())) box->addWidget(status_);
        status_->show();
    }
    status_->setText(QString::fromStdString(text));
}

QWidget* Dialog::StatusBarWidget() const { return status_; }

std::string Dialog::StatusText() const {
    return status_ ? status_->text().toStdString() : std::string();
}

void Dialog::Notify(int id, Notification what) {
    if (auto it = notifications_.find({id, static_cast<int>(what)}); it != notifications_.end())
        it->second();
}

void Dialog::Invalidate() {
    if (client_) client_->update();
}

Rect Dialog::GetClientRect() const {
    if (!client_) return {};
    return {0, 0, client_->width(), client_->height()};
}

QWidget* Dialog::GetDlgItem(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

void Dialog::SetDlgItemText(int id, const std::string& text) {
    QWidget* w = GetDlgItem(id);
    const QString s = QString::fromStdString(text);
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        if (e->text() != s) e->setText(s);
    } else if (auto* p = qobject_cast<QPlainTextEdit*>(w)) {
        if (p->toPlainText() != s) p->setPlainText(s);
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
        l->setText(s);
    } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        b->setText(s);
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
        g->setTitle(s);
    }
}

std::string Dialog::GetDlgItemText(int id) const {
    QWidget* w = GetDlgItem(id);
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text().toStdString();
    if (auto* p = qobject_cast<QPlainTextEdit*>(w)) return p->toPlainText().toStdString();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text().toStdString();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text().toStdString();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title().toStdString();
    return {};
}

void Dialog::GotoDlgCtrl(int id) {
    QWidget* w = GetDlgItem(id);
    if (!w) return;
    w->setFocus(Qt::OtherFocusReason);
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->selectAll();
}

std::string Dialog::FieldName(int id) const {
    if (auto it = fieldNames_.find(id); it != fieldNames_.end()) return it->second;
    const ControlTemplate* control = nullptr;
    for (const ControlTemplate& c : template_.controls)
        if (c.id == id) control = &c;
    if (!control) return {};
    // The nearest label ending left of the control whose line overlaps the control's.
    const ControlTemplate* best = nullptr;
    for (const ControlTemplate& c : template_.controls) {
        if (c.kind != ControlKind::Static || c.text.empty() || c.x + c.width > control->x + 2)
            continue;
        if (c.y + c.height <= control->y || c.y >= control->y + control->height) continue;
        if (!best || c.x + c.width > best->x + best->width) best = &c;
    }
    if (!best) return {};
    std::string name = best->text;
    while (!name.empty() && (name.back() == ' ' || name.back() == ':' || name.back() == '='))
        name.pop_back();
    return name;
}

QScrollBar* Dialog::ScrollBarWidget(int id) const {
    return qobject_cast<QScrollBar*>(GetDlgItem(id));
}

ScrollBarControl& Dialog::ScrollControl(int id) {
    if (auto it = boundScrollBars_.find(id); it != boundScrollBars_.end()) return *it->second;
    auto& own = ownScrollBars_[id];
    if (!own) {
        own = std::make_unique<ScrollBarControl>();
        own->Attach(ScrollBarWidget(id), id);
    }
    return *own;
}

void Dialog::SendHScroll(int id, int code, int pos) {
    OnHScroll(code, pos, ScrollBarWidget(id) ? &ScrollControl(id) : nullptr);
}

void Dialog::OnScrollAction(int id, QScrollBar* bar, int action) {
    // Qt has already moved the proposed position; the window decides where the thumb goes, so
    // put it back and pass the proposal on with the matching code.
    const int proposed = bar->sliderPosition();
    int code = -1;
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub: code = SB_LINELEFT; break;
        case QAbstractSlider::SliderSingleStepAdd: code = SB_LINERIGHT; break;
        case QAbstractSlider::SliderPageStepSub: code = SB_PAGELEFT; break;
        case QAbstractSlider::SliderPageStepAdd: code = SB_PAGERIGHT; break;
        case QAbstractSlider::SliderMove: code = SB_THUMBTRACK; break;
        case QAbstractSlider::SliderToMinimum: code = SB_LEFT; break;
        case QAbstractSlider::SliderToMaximum: code = SB_RIGHT; break;
        default: return;
    }
    if (code != SB_THUMBTRACK) bar->setSliderPosition(bar->value());
    // A step whose handling opened a box ends that press; nothing repeats underneath it.
    if (scrolling_) return;
    scrolling_ = true;
    SendHScroll(id, code, proposed);
    scrolling_ = false;
}

void Dialog::SetAcceptFiles(bool accept) { setAcceptDrops(accept); }

bool Dialog::PreviewKey(QObject* target, QKeyEvent* event) {
    int control = kNoId;
    for (const auto& [id, w] : controls_)
        if (w == target) control = id;
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods & ~(Qt::ControlModifier | Qt::ShiftModifier)) return false;
    return OnKeyPreview(control, event->key(), mods & Qt::ControlModifier);
}

void Dialog::keyPressEvent(QKeyEvent* event) {
    if (PreviewKey(focusWidget(), event)) return;
    if (event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) {
        QDialog::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
                button->click();
                return;
            }
            for (const auto& [id, w] : controls_) {
                auto* button = qobject_cast<QPushButton*>(w);
                if (button && button->isDefault() && button->isEnabled()) {
                    button->click();
                    return;
                }
            }
            SendCommand(IDOK);
            return;
        }
        case Qt::Key_Escape: SendCommand(IDCANCEL); return;
        default: QDialog::keyPressEvent(event);
    }
}

void Dialog::reject() { SendCommand(IDCANCEL); }

void Dialog::accept() { SendCommand(IDOK); }

void Dialog::dragEnterEvent(QDragEnterEvent* event) {
    if (!event->mimeData()->hasUrls()) return;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            return;
        }
}

void Dialog::dropEvent(QDropEvent* event) {
    std::vector<std::filesystem::path> files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) files.push_back(PathFromQString(url.toLocalFile()));
    if (files.empty()) return;
    event->acceptProposedAction();
    OnDropFiles(files);
}

bool Dialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && PreviewKey(watched, static_cast<QKeyEvent*>(event)))
        return true;
    // A menu opening takes no focus from a control; a refusal message must not re-trigger the
    // check that raised it.
    if (event->type() == QEvent::FocusOut && !refusing_ &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        for (const auto& [id, w] : controls_)
            if (w == watched) {
                Notify(id, Notification::KillFocus);
                break;
            }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace marvek::ui
