#include "ui/drawing_surface.h"

#include <QPainter>
#include <QString>

namespace marvek::ui {

void DrawingSurface::MoveTo(int x, int y) {
    position_ = {x, y};
    OnMoveTo(x, y);
}

void DrawingSurface::LineTo(int x, int y) {
    DrawLine(position_, {x, y});
    position_ = {x, y};
}

namespace {
QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }
}  // namespace

PainterSurface::PainterSurface(QPainter& painter, Rect client)
    : painter_(painter), client_(client) {
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setBackgroundMode(Qt::OpaqueMode);
    painter_.setBackground(Qt::white);
}

void PainterSurface::Rectangle(int left, int top, int right, int bottom) {
    painter_.save();
    painter_.setPen(QPen(Qt::black, 0));
    painter_.setBrush(Qt::white);
    // The outline covers left..right-1 and top..bottom-1.
    painter_.drawRect(left, top, right - left - 1, bottom - top - 1);
    painter_.restore();
}

void PainterSurface::SelectPen(Rgb colour) { pen_ = colour; }

void PainterSurface::SelectDefaultPen() { pen_ = kBlack; }

void PainterSurface::SetPixel(int x, int y, Rgb colour) {
    painter_.save();
    painter_.setPen(QPen(ToQColor(colour), 0));
    painter_.drawPoint(x, y);
    painter_.restore();
}

void PainterSurface::TextOut(int x, int y, std::string_view text) {
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    painter_.save();
    painter_.setPen(ToQColor(text_));
    const QFontMetrics fm = painter_.fontMetrics();
    const QRect box(x, y, fm.horizontalAdvance(s) + 1, fm.height());
    painter_.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, s);
    painter_.restore();
}

int PainterSurface::TextWidth(std::string_view text) const {
    return painter_.fontMetrics().horizontalAdvance(
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

int PainterSurface::LineHeight() const { return painter_.fontMetrics().height(); }

void PainterSurface::SetTextColor(Rgb colour) { text_ = colour; }

void PainterSurface::SetTransparentBackground() { painter_.setBackgroundMode(Qt::TransparentMode); }

void PainterSurface::DrawLine(Point from, Point to) {
    painter_.save();
    painter_.setPen(QPen(ToQColor(pen_), 0));
    painter_.drawLine(from.x, from.y, to.x, to.y);
    painter_.restore();
}

}  // namespace marvek::ui
