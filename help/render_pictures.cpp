// Renders the pictures shipped in res/ from the bundled example curves: the two help pictures
// and the application icon. Run after changing how they should look:
//   marvek-render-pictures <examples folder> <res folder>
#include <QApplication>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <vector>

#include "core/analysis/curve_analyzer.h"
#include "core/io/number_format.h"

namespace {

struct Series {
    std::vector<double> depth, load;
};

Series ReadCurve(const std::filesystem::path& file) {
    marvek::CCurveAnalyzer a;
    Series s;
    if (!a.ReadCurveFile(file).ok()) return s;
    s.depth.assign(a.m_pDepth.begin(), a.m_pDepth.begin() + a.m_nPoints);
    s.load.assign(a.m_pLoad.begin(), a.m_pLoad.begin() + a.m_nPoints);
    return s;
}

// The cycles of a multi-cycle curve: each from the point after the previous unloading up to
// the end of its own unloading branch.
std::vector<Series> SplitCycles(const std::filesystem::path& file) {
    marvek::CCurveAnalyzer a;
    std::vector<Series> cycles;
    if (!a.ReadCurveFile(file).ok()) return cycles;
    Series current;
    for (int i = 0; i < a.m_nPoints; ++i) {
        current.depth.push_back(a.m_pDepth[i]);
        current.load.push_back(a.m_pLoad[i]);
        const bool unloading = a.m_pSegment[i] == 'U';
        const bool nextNot = i + 1 == a.m_nPoints || a.m_pSegment[i + 1] != 'U';
        if (unloading && nextNot) {
            cycles.push_back(current);
            current = {};
        }
    }
    return cycles;
}

// A scatter plot in the manner of the graph window: white frame, dots, axis titles, caption.
void DrawPlot(QPainter& p, const QRect& area, const Series& s, const QString& caption) {
    p.save();
    const QRect frame = area.adjusted(46, 22, -8, -30);
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(frame);
    double dMax = 1e-9, fMax = 1e-9;
    for (std::size_t i = 0; i < s.depth.size(); ++i) {
        dMax = std::max(dMax, s.depth[i]);
        fMax = std::max(fMax, s.load[i]);
    }
    p.setPen(QColor(0, 0, 160));
    for (std::size_t i = 0; i < s.depth.size(); ++i) {
        const double x = frame.left() + frame.width() * std::max(0.0, s.depth[i]) / (1.05 * dMax);
        const double y = frame.bottom() - frame.height() * std::max(0.0, s.load[i]) / (1.05 * fMax);
        p.drawPoint(QPointF(x, y));
    }
    QFont f = p.font();
    f.setPointSize(9);
    p.setFont(f);
    p.setPen(Qt::black);
    p.drawText(QRect(area.left(), area.top(), area.width(), 20), Qt::AlignCenter, caption);
    p.drawText(QRect(frame.left(), frame.bottom() + 4, frame.width(), 14), Qt::AlignCenter,
               "Depth [nm]");
    p.drawText(QRect(frame.right() - 80, frame.bottom() + 4, 80, 14), Qt::AlignRight,
               QString::fromStdString(marvek::FormatFixed(dMax, 0)));
    p.drawText(QRect(area.left(), frame.top() - 2, 44, 14), Qt::AlignRight,
               QString::fromStdString(marvek::FormatFixed(fMax, 1)));
    p.save();
    p.translate(area.left() + 12, frame.center().y());
    p.rotate(-90);
    p.drawText(QRect(-50, -8, 100, 16), Qt::AlignCenter, "Force [mN]");
    p.restore();
    p.restore();
}

bool RenderFileFormat(const std::filesystem::path& example, const std::filesystem::path& out) {
    QImage img(380, 271, QImage::Format_RGB32);
    img.fill(QColor(212, 208, 200));
    QPainter p(&img);
    // A text editor window showing the start of the file.
    p.fillRect(QRect(0, 0, 380, 20), QColor(0, 0, 128));
    QFont title = p.font();
    title.setPointSize(9);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(6, 0, 370, 20), Qt::AlignVCenter | Qt::AlignLeft,
               QString::fromStdString(example.filename().string()) + " - Text Editor");
    const QRect page(4, 24, 372, 243);
    p.fillRect(page, Qt::white);
    p.setPen(QColor(128, 128, 128));
    p.drawRect(page.adjusted(0, 0, -1, -1));
    QFont mono("DejaVu Sans Mono");
    mono.setStyleHint(QFont::Monospace);
    mono.setPointSize(9);
    p.setFont(mono);
    p.setPen(Qt::black);
    QFile file(QString::fromStdString(example.string()));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
    QTextStream in(&file);
    const int line = QFontMetrics(mono).height();
    for (int y = page.top() + 4; y + line < page.bottom() && !in.atEnd(); y += line)
        p.drawText(page.left() + 6, y + QFontMetrics(mono).ascent(), in.readLine());
    p.end();
    return img.save(QString::fromStdString(out.string()), "PNG");
}

bool RenderMultiCycle(const std::filesystem::path& multi, const std::filesystem::path& out) {
    const Series whole = ReadCurve(multi);
    const std::vector<Series> cycles = SplitCycles(multi);
    if (whole.depth.empty() || cycles.size() < 2) return false;
    QImage img(828, 284, QImage::Format_RGB32);
    img.fill(QColor(212, 208, 200));
    QPainter p(&img);
    DrawPlot(p, QRect(4, 4, 300, 276), whole, "Multiple");
    // The arrow from the multi-cycle curve to its parts.
    p.setPen(QPen(Qt::black, 3));
    p.drawLine(312, 142, 352, 142);
    QPainterPath head;
    head.moveTo(362, 142);
    head.lineTo(350, 134);
    head.lineTo(350, 150);
    head.closeSubpath();
    p.fillPath(head, Qt::black);
    DrawPlot(p, QRect(368, 4, 228, 276), cycles[0], "Unload 01");
    DrawPlot(p, QRect(598, 4, 228, 276), cycles[1], "Unload 02");
    p.end();
    return img.save(QString::fromStdString(out.string()), "PNG");
}

bool RenderIcon(const std::filesystem::path& curve, const std::filesystem::path& out) {
    const std::vector<Series> cycles = SplitCycles(curve);
    const Series s = cycles.empty() ? ReadCurve(curve) : cycles.front();
    if (s.depth.empty()) return false;
    QImage img(256, 256, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 6));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 36, 36);
    const QRectF plot(44, 40, 176, 172);
    p.setPen(QPen(Qt::black, 6));
    p.drawLine(plot.bottomLeft(), plot.topLeft());
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    double dMax = 1e-9, fMax = 1e-9;
    for (std::size_t i = 0; i < s.depth.size(); ++i) {
        dMax = std::max(dMax, s.depth[i]);
        fMax = std::max(fMax, s.load[i]);
    }
    QPainterPath path;
    for (std::size_t i = 0; i < s.depth.size(); ++i) {
        const QPointF pt(plot.left() + plot.width() * std::max(0.0, s.depth[i]) / (1.08 * dMax),
                         plot.bottom() - plot.height() * std::max(0.0, s.load[i]) / (1.08 * fMax));
        if (i == 0)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0, 150, 0), 12, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.end();
    return img.save(QString::fromStdString(out.string()), "PNG");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: marvek-render-pictures <examples folder> <res folder>\n";
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::filesystem::path examples = argv[1];
    const std::filesystem::path res = argv[2];
    bool ok = RenderFileFormat(examples / "agilent_nial_t001.csv", res / "help_file_format.png");
    ok = RenderMultiCycle(examples / "agilent_fq_5cycle_t001.csv", res / "help_multi_cycle.png") &&
         ok;
    ok = RenderIcon(examples / "agilent_nial_t001.csv", res / "marvek.png") && ok;
    if (!ok) std::cerr << "marvek-render-pictures: a picture could not be rendered\n";
    return ok ? 0 : 1;
}
