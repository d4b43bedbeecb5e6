#pragma once
// A modal dialog built from a DialogTemplate: controls placed in dialog units, an optional menu
// bar, command routing by id, data exchange and painting through a DrawingSurface.

#include <QDialog>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ui/dialog_template.h"
#include "ui/geometry.h"

class QMenuBar;
class QAction;
class QLabel;
class QMenu;
class QScrollBar;

namespace marvek::ui {

class DataExchange;
class DrawingSurface;
class ScrollBarControl;

enum class Notification { Change, KillFocus, Clicked };

class Dialog : public QDialog {
public:
    explicit Dialog(DialogTemplate dialogTemplate, QWidget* parent = nullptr);
    ~Dialog() override;

    // Runs the dialog through the services in force and returns its end code.
    int DoModal();
    // Builds the window and runs OnInitDialog, once. DoModal calls it; tests may call it to
    // drive a window without running it.
    void Create();
    bool IsCreated() const { return created_; }
    // Ends the dialog with `result` (OnDestroy runs first); the window then closes.
    void EndDialog(int result);
    bool IsEnded() const { return ended_; }
    int Result() const { return endCode_; }

    // Exchanges all bound values; false when a value was refused (the message was shown).
    bool UpdateData(bool saveAndValidate = true);

    // Routes a command as its menu item or button would; false when nothing handles it.
    bool SendCommand(int id);
    // Triggers the menu item of `command` (false if the menu has none or it is disabled).
    bool TriggerMenuCommand(int command);
    // The menu item of `command`, or null.
    QAction* MenuAction(int command) const;
    // Greys out (or enables) the menu item of `command`.
    void EnableMenuCommand(int command, bool enable);
    // A line of text in the status bar at the window's foot (created on first use).
    void SetStatusText(const std::string& text);
    std::string StatusText() const;
    QWidget* StatusBarWidget() const;
    // Repaints the client area soon.
    void Invalidate();
    // Paints the client area on `surface` now (what a paint request does).
    void Paint(DrawingSurface& surface) { OnPaint(surface); }

    const DialogTemplate& Template() const { return template_; }
    QMenuBar* MenuBar() const { return menuBar_; }
    // The menu's popups in bar order (right-aligned ones last).
    const std::vector<QMenu*>& MenuPopups() const { return popups_; }
    QWidget* Client() const { return client_; }
    Rect GetClientRect() const;

    QWidget* GetDlgItem(int id) const;
    void SetDlgItemText(int id, const std::string& text);
    std::string GetDlgItemText(int id) const;
    void GotoDlgCtrl(int id);
    // How messages name the field of control `id`: the name given with SetFieldName, else the
    // label left of it on its line in the template (without its colon); empty if none.
    std::string FieldName(int id) const;
    void SetFieldName(int id, std::string name) { fieldNames_[id] = std::move(name); }
    QScrollBar* ScrollBarWidget(int id) const;

    // Dialog units to pixels of this dialog's font.
    int DluToPixelsX(int dlu) const;
    int DluToPixelsY(int dlu) const;
    static std::pair<int, int> BaseUnits(const QFont& font);

protected:
    // Overridables, called by the framework.
    virtual bool OnInitDialog();
    virtual void DoDataExchange(DataExchange&) {}
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnDestroy() {}
    virtual void OnPaint(DrawingSurface&) {}
    // A scroll code from a scroll bar control (bar is null when it came from elsewhere).
    virtual void OnHScroll(int /*code*/, int /*pos*/, ScrollBarControl* /*bar*/) {}
    virtual void OnDropFiles(const std::vector<std::filesystem::path>&) {}
    // A key pressed in the window before a control or the window handles it; `control` is the
    // id of the control with the focus (kNoId when none of the template's). True consumes it.
    virtual bool OnKeyPreview(int /*control*/, int /*qtKey*/, bool /*ctrl*/) { return false; }
    // The client area took a new size (after Create and on every resize).
    virtual void OnSize(int /*width*/, int /*height*/) {}

    // Handler registration for menu commands and buttons, and for control notifications.
    void OnCommand(int id, std::function<void()> handler);
    void OnNotify(int id, Notification what, std::function<void()> handler);
    // Files dropped on the window go to OnDropFiles.
    void SetAcceptFiles(bool accept);

    bool PreviewKey(QObject* target, QKeyEvent* event);

public:
    // Scroll input as the scroll bar `id` delivers it (tests call this to simulate the user).
    void SendHScroll(int id, int code, int pos);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;
    void accept() override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class ClientArea;
    friend class DataExchange;
    void BuildControls();
    void BuildMenu();
    QWidget* CreateControl(const ControlTemplate& c);
    void Notify(int id, Notification what);
    void OnScrollAction(int id, QScrollBar* bar, int action);
    ScrollBarControl& ScrollControl(int id);

    DialogTemplate template_;
    QMenuBar* menuBar_ = nullptr;
    QWidget* client_ = nullptr;
    QLabel* status_ = nullptr;
    std::map<int, QWidget*> controls_;
    std::map<int, QAction*> menuActions_;
    std::vector<QMenu*> popups_;
    std::map<int, std::function<void()>> commands_;
    std::map<std::pair<int, int>, std::function<void()>> notifications_;
    std::map<int, ScrollBarControl*> boundScrollBars_;
    std::map<int, std::unique_ptr<ScrollBarControl>> ownScrollBars_;
    int baseX_ = 6, baseY_ = 13;
    std::map<int, std::string> fieldNames_;
    bool refusing_ = false;   // a refused value's message is on show
    bool scrolling_ = false;  // a scroll bar's action is being handled
    bool created_ = false;
    bool ended_ = false;
    int endCode_ = 0;
};

// Text of the application's own message boxes' captions.
inline constexpr const char* kApplicationName = "Marvek";

}  // namespace marvek::ui
