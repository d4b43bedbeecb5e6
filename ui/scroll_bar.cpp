#include "ui/scroll_bar.h"

#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>

namespace marvek::ui {

void ScrollBarControl::SetScrollRange(int min, int max) {
    if (!bar_) return;
    const QSignalBlocker block(bar_);
    bar_->setRange(min, std::max(min, max));
}

void ScrollBarControl::GetScrollRange(int& min, int& max) const {
    min = bar_ ? bar_->minimum() : 0;
    max = bar_ ? bar_->maximum() : 0;
}

void ScrollBarControl::SetPage(int page) {
    if (!bar_) return;
    bar_->setPageStep(std::max(1, page));
}

int ScrollBarControl::GetPage() const { return bar_ ? bar_->pageStep() : 0; }

void ScrollBarControl::SetScrollPos(int pos) {
    if (!bar_) return;
    const QSignalBlocker block(bar_);
    bar_->setValue(pos);
    bar_->setSliderPosition(bar_->value());
}

int ScrollBarControl::GetScrollPos() const { return bar_ ? bar_->value() : 0; }

}  // namespace marvek::ui
