#pragma once
// A horizontal scroll bar control of a dialog. Its position changes only when the window sets
// it (SetScrollPos); user actions arrive as scroll codes at the dialog's OnHScroll.

class QScrollBar;

namespace marvek::ui {

// Codes of OnHScroll.
enum ScrollCode : int {
    SB_LINELEFT = 0,
    SB_LINERIGHT = 1,
    SB_PAGELEFT = 2,
    SB_PAGERIGHT = 3,
    SB_THUMBPOSITION = 4,  // thumb released at a position
    SB_THUMBTRACK = 5,     // thumb being dragged
    SB_LEFT = 6,
    SB_RIGHT = 7,
    SB_ENDSCROLL = 8,
};

class ScrollBarControl {
public:
    ScrollBarControl() = default;
    void Attach(QScrollBar* bar, int id) {
        bar_ = bar;
        id_ = id;
    }
    bool IsAttached() const { return bar_ != nullptr; }
    int Id() const { return id_; }
    QScrollBar* Widget() const { return bar_; }

    void SetScrollRange(int min, int max);
    void GetScrollRange(int& min, int& max) const;
    void SetPage(int page);
    int GetPage() const;
    void SetScrollPos(int pos);  // clamped to the range
    int GetScrollPos() const;

private:
    QScrollBar* bar_ = nullptr;
    int id_ = -1;
};

}  // namespace marvek::ui
