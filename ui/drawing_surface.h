#pragma once
// The drawing primitives the plots use during one paint. Windows draw through this interface
// so a test can record what a paint would put on the screen.

#include <string_view>

#include "ui/geometry.h"

class QPainter;
class QWidget;

namespace marvek::ui {

class DrawingSurface {
public:
    virtual ~DrawingSurface() = default;

    virtual Rect GetClientRect() const = 0;
    // Black one-pixel outline and white fill, whatever pen is selected; right and bottom are
    // exclusive.
    virtual void Rectangle(int left, int top, int right, int bottom) = 0;
    // A solid pen, one pixel wide, used by LineTo until another pen is selected.
    virtual void SelectPen(Rgb colour) = 0;
    virtual void SelectDefaultPen() = 0;
    virtual void SetPixel(int x, int y, Rgb colour) = 0;
    // Text with its top-left corner at (x, y), in the current text colour.
    virtual void TextOut(int x, int y, std::string_view text) = 0;
    virtual void SetTextColor(Rgb colour) = 0;
    // Text no longer paints its background (it starts opaque white).
    virtual void SetTransparentBackground() = 0;
    // Extent of `text` in the surface's font, so labels can be placed where they fit. The base
    // assumes 8 pixels per character and an 11-pixel line.
    virtual int TextWidth(std::string_view text) const { return 8 * static_cast<int>(text.size()); }
    virtual int LineHeight() const { return 11; }

    // The drawing position starts at (0, 0) for every paint.
    void MoveTo(int x, int y);
    // Line from the drawing position to (x, y) with the current pen; (x, y) becomes the position.
    void LineTo(int x, int y);
    Point GetCurrentPosition() const { return position_; }

protected:
    virtual void OnMoveTo(int x, int y) = 0;
    virtual void DrawLine(Point from, Point to) = 0;

private:
    Point position_;
};

// Draws with a QPainter on a widget (the Qt implementation).
class PainterSurface : public DrawingSurface {
public:
    PainterSurface(QPainter& painter, Rect client);

    Rect GetClientRect() const override { return client_; }
    void Rectangle(int left, int top, int right, int bottom) override;
    void SelectPen(Rgb colour) override;
    void SelectDefaultPen() override;
    void SetPixel(int x, int y, Rgb colour) override;
    void TextOut(int x, int y, std::string_view text) override;
    void SetTextColor(Rgb colour) override;
    void SetTransparentBackground() override;
    int TextWidth(std::string_view text) const override;
    int LineHeight() const override;

protected:
    void OnMoveTo(int, int) override {}
    void DrawLine(Point from, Point to) override;

private:
    QPainter& painter_;
    Rect client_;
    Rgb pen_ = kBlack;
    Rgb text_ = kBlack;
};

}  // namespace marvek::ui
