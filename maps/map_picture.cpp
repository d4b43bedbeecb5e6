// The map picture: the interpolated surface in the colour scale, the indents as dots, equal axes
// in µm with ticks, the colour bar with its label, drawn once for PNG and once for SVG.

#include "core/phases/map_picture.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cmath>
#include <vector>

#include "core/io/number_format.h"

namespace marvek::phases {
namespace {

QColor Colour(double t) {
    const Rgb c = MapColour(t);
    return {c.r, c.g, c.b};
}

// Painting text needs a Gui application; marvek-cli has none, and no display either.
void EnsureGuiApplication() {
    if (QGuiApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "marvek-cli";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}

// Round tick values (1, 2, 5 x 10^n) covering [lo, hi].
std::vector<double> Ticks(double lo, double hi, int wanted) {
    std::vector<double> out;
    if (!(hi > lo)) return {lo};
    const double raw = (hi - lo) / wanted;
    const double p = std::pow(10.0, std::floor(std::log10(raw)));
    const double step = raw / p < 1.5 ? p : raw / p < 3.5 ? 2 * p : raw / p < 7.5 ? 5 * p : 10 * p;
    for (double v = std::ceil(lo / step) * step; v <= hi + step * 1e-9; v += step)
        out.push_back(std::abs(v) < step * 1e-9 ? 0.0 : v);
    return out;
}

QString Text(double v) { return QString::fromStdString(FormatSignificant(v, 6)); }

void Draw(QPainter& p, const MapPicture& m) {
    const int w = m.width, h = m.height;
    p.fillRect(0, 0, w, h, Qt::white);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font = p.font();
    font.setPixelSize(std::max(11, h / 50));
    p.setFont(font);
    const MapGrid& g = m.grid;
    const double lo = m.categories > 0 ? 1 : g.minValue;
    const double hi = m.categories > 0 ? std::max(2, m.categories) : g.maxValue;
    auto scale = [&](double v) { return hi > lo ? (v - lo) / (hi - lo) : 0.5; };

    // Plot area with equal axes: the larger of the two extents fills its side.
    const int left = w / 9, right = w / 5, top = h / 12, bottom = h / 10;
    const double areaW = w - left - right, areaH = h - top - bottom;
    const double extentX = g.nx * g.cell_um, extentY = g.ny * g.cell_um;
    const double pxPerUm = std::min(areaW / extentX, areaH / extentY);
    const QRectF plot(left, top + (areaH - extentY * pxPerUm) / 2, extentX * pxPerUm,
                      extentY * pxPerUm);
    auto toPx = [&](double x, double y) {
        return QPointF(plot.left() + (x - g.x0_um) * pxPerUm,
                       plot.bottom() - (y - g.y0_um) * pxPerUm);
    };

    if (m.categories == 0) {
        QImage surface(g.nx, g.ny, QImage::Format_ARGB32);
        surface.fill(Qt::transparent);
        for (int cy = 0; cy < g.ny; ++cy)
            for (int cx = 0; cx < g.nx; ++cx) {
                const double v = g.values[static_cast<std::size_t>(cy) * g.nx + cx];
                if (std::isfinite(v)) surface.setPixelColor(cx, g.ny - 1 - cy, Colour(scale(v)));
            }
        p.drawImage(plot, surface);
    }
    const double dot = std::clamp(g.spacing_um * pxPerUm * (m.categories > 0 ? 0.8 : 0.25), 2.0, 14.0);
    p.setPen(QPen(Qt::black, 0.8));
    for (const auto& pt : m.points) {
        if (!std::isfinite(pt.value)) continue;
        p.setBrush(m.categories > 0 ? QBrush(Colour(scale(pt.value))) : QBrush(Qt::white));
        p.drawEllipse(toPx(pt.x_um, pt.y_um), dot / 2, dot / 2);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(plot);

    // Axes in µm.
    const QFontMetrics fm(p.font());
    for (double t : Ticks(g.x0_um, g.x0_um + extentX, 6)) {
        const QPointF at = toPx(t, g.y0_um);
        p.drawLine(at, at + QPointF(0, 5));
        p.drawText(QRectF(at.x() - 50, at.y() + 6, 100, fm.height()), Qt::AlignHCenter, Text(t));
    }
    for (double t : Ticks(g.y0_um, g.y0_um + extentY, 6)) {
        const QPointF at = toPx(g.x0_um, t);
        p.drawLine(at, at - QPointF(5, 0));
        p.drawText(QRectF(at.x() - 106, at.y() - fm.height() / 2.0, 100, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, Text(t));
    }
    p.drawText(QRectF(plot.left(), plot.bottom() + 8 + fm.height(), plot.width(), fm.height() + 4),
               Qt::AlignHCenter, QString::fromUtf8("x [µm]"));
    p.save();
    p.translate(fm.height() + 4, plot.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-100, -fm.height(), 200, fm.height()), Qt::AlignCenter,
               QString::fromUtf8("y [µm]"));
    p.restore();
    p.drawText(QRectF(0, 4, w, top - 8), Qt::AlignCenter, QString::fromStdString(m.title));

    // Colour bar with ticks and the quantity's label and unit.
    const QRectF bar(w - right + right / 5.0, top, right / 6.0, areaH);
    const int steps = 256;
    for (int i = 0; i < steps; ++i) {
        const double t = (i + 0.5) / steps;
        p.fillRect(QRectF(bar.left(), bar.bottom() - (i + 1) * bar.height() / steps, bar.width(),
                          bar.height() / steps + 0.5),
                   Colour(t));
    }
    p.drawRect(bar);
    const std::vector<double> ticks =
        m.categories > 0 ? [&] {
            std::vector<double> v;
            for (int c = 1; c <= m.categories; ++c) v.push_back(c);
            return v;
        }()
                         : Ticks(lo, hi, 6);
    for (double t : ticks) {
        const double y = bar.bottom() - scale(t) * bar.height();
        p.drawLine(QPointF(bar.right(), y), QPointF(bar.right() + 5, y));
        p.drawText(QRectF(bar.right() + 8, y - fm.height() / 2.0, right, fm.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, Text(t));
    }
    p.drawText(QRectF(bar.left() - right / 2.0, bar.bottom() + 6, right, fm.height() * 2),
               Qt::AlignHCenter | Qt::TextWordWrap, QString::fromStdString(m.valueLabel));
}

Status Write(const MapPicture& m, const std::string& png, const std::string& svg) {
    EnsureGuiApplication();
    if (m.grid.nx == 0 || m.grid.values.empty())
        return Status::FileError(png.empty() ? svg : png, "no indent with a position and a value");
    if (!png.empty()) {
        QImage image(m.width, m.height, QImage::Format_RGB32);
        {
            QPainter p(&image);
            Draw(p, m);
        }
        if (!image.save(QString::fromStdString(png), "PNG"))
            return Status::FileError(png, "cannot be written");
    }
    if (!svg.empty()) {
        QSvgGenerator gen;
        gen.setFileName(QString::fromStdString(svg));
        gen.setSize(QSize(m.width, m.height));
        gen.setViewBox(QRect(0, 0, m.width, m.height));
        gen.setTitle(QString::fromStdString(m.title));
        QPainter p;
        if (!p.begin(&gen)) return Status::FileError(svg, "cannot be written");
        Draw(p, m);
        if (!p.end()) return Status::FileError(svg, "cannot be written");
    }
    return {};
}

}  // namespace
}  // namespace marvek::phases

extern "C" __attribute__((visibility("default"))) const void* marvek_map_picture() {
    static const marvek::phases::MapPictureModule module{sizeof(marvek::phases::MapPicture),
                                                         &marvek::phases::Write};
    return &module;
}
