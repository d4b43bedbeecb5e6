#include "ui/plot_view.h"

#include <QSvgGenerator>

#include <cmath>

#include "ui/services.h"

namespace marvek::ui {

namespace {

QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

QString Number(double v) { return QString::number(v, 'g', 6); }

// Lines longer than `width` characters broken at the last space before it.
std::string WrapLines(const std::string& text, std::size_t width) {
    std::string out;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == '\n') {
            lineStart = out.size();
        } else if (out.size() - lineStart > width) {
            const std::size_t space = out.rfind(' ');
            if (space != std::string::npos && space > lineStart) {
                out[space] = '\n';
                lineStart = space + 1;
            }
        }
    }
    return out;
}

// A range with spread: an axis whose values are all equal (or not numbers) gets one unit
// either side, so the view never collapses.
QCPRange Usable(double lower, double upper) {
    if (!std::isfinite(lower) || !std::isfinite(upper)) return {-1.0, 1.0};
    if (!(upper > lower)) return {lower - 1.0, lower + 1.0};
    return {lower, upper};
}

}  // namespace

PlotView::PlotView(QWidget* parent) : QCustomPlot(parent) {
    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    setNoAntialiasingOnDrag(true);
    setPlottingHint(QCP::phFastPolylines, true);
    setFocusPolicy(Qt::StrongFocus);
    // The window's own background around a white frame, as a plot drawn on the window.
    setBackground(palette().window());
    axisRect()->setBackground(QBrush(Qt::white));
    setMouseTracking(true);
    xAxis->grid()->setVisible(false);
    yAxis->grid()->setVisible(false);
    // A frame on all four sides, as the plots have always had.
    xAxis2->setVisible(true);
    yAxis2->setVisible(true);
    xAxis2->setTicks(false);
    yAxis2->setTicks(false);
    xAxis2->setTickLabels(false);
    yAxis2->setTickLabels(false);
    connect(xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), xAxis2,
            qOverload<const QCPRange&>(&QCPAxis::setRange));
    connect(yAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), yAxis2,
            qOverload<const QCPRange&>(&QCPAxis::setRange));
    // A load-depth curve leaves the upper left empty (the load grows faster than the depth):
    // the legend of the segment colours stands there, not over the peak.
    axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
    connect(xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            [this] { PlaceMarks(); });
    connect(yAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            [this] { PlaceMarks(); });
}

void PlotView::PlaceMarks() {
    // A mark whose value is outside the view is hidden rather than cut at the frame; near the
    // far end of its axis it is aligned inwards so its text stays whole.
    for (int i = 0; i < itemCount() && i < static_cast<int>(data_.marks.size()); ++i) {
        auto* text = qobject_cast<QCPItemText*>(item(i));
        if (!text) continue;
        const PlotMark& m = data_.marks[static_cast<std::size_t>(i)];
        const QCPRange r = m.axis == PlotMark::Axis::Y ? yAxis->range() : xAxis->range();
        text->setVisible(m.value >= r.lower && m.value <= r.upper);
        const double at = r.size() > 0 ? (m.value - r.lower) / r.size() : 0.5;
        if (m.axis == PlotMark::Axis::Y)
            text->setPositionAlignment(Qt::AlignLeft | (at > 0.95   ? Qt::AlignTop
                                                        : at < 0.05 ? Qt::AlignBottom
                                                                    : Qt::AlignVCenter));
        else
            text->setPositionAlignment((at > 0.9   ? Qt::AlignRight
                                        : at < 0.1 ? Qt::AlignLeft
                                                   : Qt::AlignHCenter) |
                                       Qt::AlignBottom);
    }
}

void PlotView::SetData(PlotData content, bool keepView) {
    const PlotRange view = View();
    const bool hadData = !data_.series.empty();
    data_ = std::move(content);
    xAxis->setLabel(QString::fromStdString(data_.xTitle));
    yAxis->setLabel(QString::fromStdString(data_.yTitle));
    ShowSeries();
    ShowMarks();
    if (keepView && hadData)
        SetView(view);
    else
        ResetView();
}

void PlotView::ShowSeries() {
    clearPlottables();
    for (const PlotSeries& s : data_.series) {
        if (s.segments == PlotSeries::Segments::WithSegments && !segments_) continue;
        if (s.segments == PlotSeries::Segments::WithoutSegments && segments_) continue;
        const QColor colour = ToQColor(s.colour);
        QVector<double> x(s.x.begin(), s.x.end()), y(s.y.begin(), s.y.end());
        y.resize(x.size());
        if (s.style == PlotSeries::Style::Band) {
            auto* band = new QCPCurve(xAxis, yAxis);
            band->setName(QString::fromStdString(s.name));
            band->setData(x, y);
            band->setPen(Qt::NoPen);
            QColor fill = colour;
            fill.setAlpha(70);
            band->setBrush(fill);
            continue;
        }
        if (s.style == PlotSeries::Style::Line) {
            // A curve, not a function of x: joined in its own order.
            auto* curve = new QCPCurve(xAxis, yAxis);
            curve->setName(QString::fromStdString(s.name));
            curve->setData(x, y);
            curve->setPen(QPen(colour, 1.5));
            continue;
        }
        // Unjoined points may be sorted by x; a graph then thins points that share a pixel,
        // which keeps 40000 of them quick to redraw. Squares without antialiasing are the
        // cheapest mark that still reads as a dot.
        auto* graph = addGraph();
        graph->setName(QString::fromStdString(s.name));
        graph->setData(x, y);
        graph->setLineStyle(QCPGraph::lsNone);
        graph->setAdaptiveSampling(true);
        graph->setAntialiasedScatters(false);
        if (s.style == PlotSeries::Style::Markers) {
            graph->setAdaptiveSampling(false);
            graph->setAntialiasedScatters(true);
            graph->setScatterStyle(
                QCPScatterStyle(QCPScatterStyle::ssCircle, QPen(colour, 2), Qt::NoBrush, 11));
            continue;
        }
        graph->setScatterStyle(s.style == PlotSeries::Style::Dots
                                   ? QCPScatterStyle(QCPScatterStyle::ssSquare, colour, colour, 2)
                                   : QCPScatterStyle(QCPScatterStyle::ssStar, colour, 7));
    }
    legend->setVisible(plottableCount() > 1 && segments_);
    // The note holds the upper left corner; the legend then goes to the lower right.
    axisRect()->insetLayout()->setInsetAlignment(
        0, data_.note.empty() ? Qt::AlignTop | Qt::AlignLeft : Qt::AlignBottom | Qt::AlignRight);
}

void PlotView::ShowMarks() {
    clearItems();
    for (const PlotMark& m : data_.marks) {
        auto* text = new QCPItemText(this);
        text->setText(QString::fromStdString(m.text));
        text->setPadding(QMargins(3, 1, 3, 1));
        text->setBrush(QBrush(Qt::white));
        text->setPen(QPen(Qt::black));
        if (m.axis == PlotMark::Axis::Y) {
            text->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
            text->position->setTypeY(QCPItemPosition::ptPlotCoords);
            text->position->setCoords(0.0, m.value);
            text->setPositionAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        } else {
            text->position->setTypeX(QCPItemPosition::ptPlotCoords);
            text->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
            text->position->setCoords(m.value, 1.0);
            text->setPositionAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        }
    }
    // After the marks, so that item i is still mark i for PlaceMarks.
    if (!data_.note.empty()) {
        auto* note = new QCPItemText(this);
        note->setText(QString::fromStdString(WrapLines(data_.note, 72)));
        note->setTextAlignment(Qt::AlignLeft);
        note->setPadding(QMargins(4, 2, 4, 2));
        note->setBrush(QBrush(QColor(255, 255, 255, 230)));
        note->setPen(QPen(QColor(160, 160, 160)));
        note->position->setType(QCPItemPosition::ptAxisRectRatio);
        // Right of the largest load written at the left edge.
        note->position->setCoords(0.1, 0.02);
        note->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    PlaceMarks();
}

PlotRange PlotView::HomeRange() const {
    if (data_.home) {
        const QCPRange x = Usable(data_.home->xLower, data_.home->xUpper);
        const QCPRange y = Usable(data_.home->yLower, data_.home->yUpper);
        return {x.lower, x.upper, y.lower, y.upper};
    }
    bool any = false;
    double x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    for (const PlotSeries& s : data_.series)
        for (std::size_t i = 0; i < std::min(s.x.size(), s.y.size()); ++i) {
            if (!std::isfinite(s.x[i]) || !std::isfinite(s.y[i])) continue;
            if (!any) {
                x0 = x1 = s.x[i];
                y0 = y1 = s.y[i];
                any = true;
            }
            x0 = std::min(x0, s.x[i]);
            x1 = std::max(x1, s.x[i]);
            y0 = std::min(y0, s.y[i]);
            y1 = std::max(y1, s.y[i]);
        }
    if (!any) return {0, 1, 0, 1};
    // A margin so points on the extremes stay inside the frame.
    const QCPRange x = Usable(x0, x1), y = Usable(y0, y1);
    const double px = 0.03 * x.size(), py = 0.03 * y.size();
    return {x.lower - px, x.upper + px, y.lower - py, y.upper + py};
}

void PlotView::ResetView() { SetView(HomeRange()); }

bool PlotView::IsZoomed() const {
    const PlotRange h = HomeRange(), v = View();
    return h.xLower != v.xLower || h.xUpper != v.xUpper || h.yLower != v.yLower ||
           h.yUpper != v.yUpper;
}

PlotRange PlotView::View() const {
    return {xAxis->range().lower, xAxis->range().upper, yAxis->range().lower, yAxis->range().upper};
}

void PlotView::SetView(const PlotRange& r) {
    xAxis->setRange(r.xLower, r.xUpper);
    yAxis->setRange(r.yLower, r.yUpper);
    replot();
}

void PlotView::ZoomTo(const std::string& name) {
    for (int i = 0; i < plottableCount(); ++i) {
        QCPAbstractPlottable* p = plottable(i);
        if (p->name().toStdString() != name) continue;
        bool foundX = false, foundY = false;
        QCPRange x = p->getKeyRange(foundX), y = p->getValueRange(foundY);
        if (!foundX || !foundY) return;
        // A quarter of the extent either side keeps the curve's surroundings in view.
        const double padX = x.size() > 0 ? 0.25 * x.size() : 1.0;
        const double padY = y.size() > 0 ? 0.25 * y.size() : 1.0;
        SetView({x.lower - padX, x.upper + padX, y.lower - padY, y.upper + padY});
        return;
    }
}

void PlotView::SetGrid(bool on) {
    grid_ = on;
    xAxis->grid()->setVisible(on);
    yAxis->grid()->setVisible(on);
    replot();
}

void PlotView::SetSegments(bool on) {
    segments_ = on;
    const PlotRange view = View();
    ShowSeries();
    SetView(view);
}

std::string PlotView::CoordinatesAt(QPoint pixel) const {
    const double x = xAxis->pixelToCoord(pixel.x());
    const double y = yAxis->pixelToCoord(pixel.y());
    return (QString::fromStdString(data_.xTitle) + " = " + Number(x) + "   " +
            QString::fromStdString(data_.yTitle) + " = " + Number(y))
        .toStdString();
}

bool PlotView::ExportPng(const std::filesystem::path& file, int width, int height,
                         std::string& error) {
    if (savePng(QStringFromPath(file), width, height)) return true;
    error = "Could not write " + file.string() + ": the picture could not be saved there.";
    return false;
}

bool PlotView::ExportSvg(const std::filesystem::path& file, std::string& error) {
    QSvgGenerator svg;
    svg.setFileName(QStringFromPath(file));
    svg.setSize(size());
    svg.setViewBox(QRect(QPoint(0, 0), size()));
    svg.setTitle(QString::fromStdString(data_.caption));
    QCPPainter painter;
    if (!painter.begin(&svg)) {
        error = "Could not write " + file.string() + ": the drawing could not be saved there.";
        return false;
    }
    toPainter(&painter, width(), height());
    painter.end();
    return true;
}

void PlotView::keyPressEvent(QKeyEvent* event) {
    // Home belongs to the view only while it is zoomed; otherwise it goes on to the window.
    if (event->key() == Qt::Key_Home && event->modifiers() == Qt::NoModifier && IsZoomed()) {
        ResetView();
        if (onViewChanged) onViewChanged();
        return;
    }
    QCustomPlot::keyPressEvent(event);
}

void PlotView::mousePressEvent(QMouseEvent* event) {
    setSelectionRectMode((event->modifiers() & Qt::ControlModifier) ? QCP::srmZoom : QCP::srmNone);
    QCustomPlot::mousePressEvent(event);
}

void PlotView::mouseDoubleClickEvent(QMouseEvent* event) {
    QCustomPlot::mouseDoubleClickEvent(event);
    ResetView();
    if (onViewChanged) onViewChanged();
    // The same pixel now stands for other values: the coordinates shown follow the view.
    if (onCoordinates) onCoordinates(CoordinatesAt(event->pos()));
}

void PlotView::mouseMoveEvent(QMouseEvent* event) {
    QCustomPlot::mouseMoveEvent(event);
    if (onCoordinates) onCoordinates(CoordinatesAt(event->pos()));
}

void PlotView::mouseReleaseEvent(QMouseEvent* event) {
    QCustomPlot::mouseReleaseEvent(event);
    if (onViewChanged) onViewChanged();
    if (onCoordinates) onCoordinates(CoordinatesAt(event->pos()));
}

void PlotView::wheelEvent(QWheelEvent* event) {
    QCustomPlot::wheelEvent(event);
    if (onViewChanged) onViewChanged();
    if (onCoordinates) onCoordinates(CoordinatesAt(event->position().toPoint()));
}

}  // namespace marvek::ui
