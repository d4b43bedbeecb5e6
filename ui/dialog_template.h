#pragma once
// What a dialog is built from: caption, size and controls in dialog units, and its menu.

#include <string>
#include <vector>

namespace marvek::ui {

// Standard command ids of the buttons that end a dialog.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;
// Id of controls nobody addresses (labels, group boxes, pictures).
inline constexpr int kNoId = -1;

enum class ControlKind {
    GroupBox,
    Static,  // a label or a text block
    Edit,
    HScrollBar,
    PushButton,
    CheckBox,
    RadioButton,  // consecutive radio buttons form a group; `groupStart` begins a new one
    Picture,      // an image from `text` (a Qt resource path such as ":/res/x.png")
    Icon,         // the application icon
};

enum ControlStyle : unsigned {
    kStyleNone = 0,
    kAlignRight = 1u << 0,
    kAlignCenter = 1u << 1,
    kSunken = 1u << 2,       // sunken edge and border
    kNoWrap = 1u << 3,       // statics: no word wrap
    kReadOnly = 1u << 4,     // edits
    kMultiLine = 1u << 5,    // edits
    kNoBorder = 1u << 6,     // edits
    kDefault = 1u << 7,      // the default push button
    kGroupStart = 1u << 8,   // radio buttons: first of a group
    kVScroll = 1u << 9,      // multi-line edits: vertical scroll bar
    kTitleAbove = 1u << 10,  // group boxes: title above the frame, for controls that fill it
};

struct ControlTemplate {
    ControlKind kind = ControlKind::Static;
    int id = kNoId;
    std::string text;
    int x = 0, y = 0, width = 0, height = 0;  // dialog units
    unsigned style = kStyleNone;
};

struct MenuItem {
    std::string text;  // empty for a separator
    int command = 0;
    static MenuItem Separator() { return {}; }
    bool IsSeparator() const { return text.empty(); }
};

struct MenuPopup {
    std::string text;
    std::vector<MenuItem> items;
    bool rightAligned = false;  // placed at the right end of the menu bar
};

struct DialogTemplate {
    int id = 0;
    std::string caption;
    int width = 0, height = 0;  // client area, dialog units
    int fontPointSize = 8;
    bool resizable = false;
    // A fixed-size window larger than the screen scrolls its client area instead of running
    // off the screen.
    bool fitScreen = false;
    std::vector<ControlTemplate> controls;
    std::vector<MenuPopup> menu;  // empty: no menu bar
};

}  // namespace marvek::ui
