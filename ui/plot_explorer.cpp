#include "ui/plot_explorer.h"

#include <qcustomplot.h>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QSvgGenerator>
#include <QVBoxLayout>

#include <cmath>

#include "ui/dialog.h"
#include "ui/services.h"

namespace marvek::ui {

namespace {

QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

QString Number(double v) { return QString::number(v, 'g', 6); }

}  // namespace

PlotExplorer::PlotExplorer(PlotData content, QWidget* parent)
    : QDialog(parent), data_(std::move(content)) {
    setWindowTitle(QString::fromStdString(data_.caption));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
    auto* layout = new QVBoxLayout(this);
    auto* tools = new QHBoxLayout;
    grid_ = new QCheckBox(QStringLiteral("&Grid"), this);
    segments_ = new QCheckBox(QStringLiteral("&Segments"), this);
    auto* reset = new QPushButton(QStringLiteral("&Reset View"), this);
    width_ = new QSpinBox(this);
    height_ = new QSpinBox(this);
    for (QSpinBox* s : {width_, height_}) s->setRange(100, 10000);
    width_->setValue(1600);
    height_->setValue(1200);
    auto* png = new QPushButton(QStringLiteral("Export &PNG..."), this);
    auto* svg = new QPushButton(QStringLiteral("Export S&VG..."), this);
    for (QPushButton* b : {reset, png, svg}) b->setAutoDefault(false);
    tools->addWidget(grid_);
    tools->addWidget(segments_);
    tools->addWidget(reset);
    tools->addStretch();
    tools->addWidget(new QLabel(QStringLiteral("PNG size:"), this));
    tools->addWidget(width_);
    tools->addWidget(new QLabel(QStringLiteral("x"), this));
    tools->addWidget(height_);
    tools->addWidget(png);
    tools->addWidget(svg);
    layout->addLayout(tools);

    plot_ = new QCustomPlot(this);
    plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot_->setMinimumSize(400, 300);
    plot_->xAxis->setLabel(QString::fromStdString(data_.xTitle));
    plot_->yAxis->setLabel(QString::fromStdString(data_.yTitle));
    plot_->setNoAntialiasingOnDrag(true);
    plot_->setPlottingHint(QCP::phFastPolylines, true);
    layout->addWidget(plot_, 1);
    coordinates_ = new QLabel(this);
    coordinates_->setText(
        QStringLiteral("Wheel: zoom   Drag: pan   Ctrl+drag: zoom to "
                       "rectangle   Double-click or Home: reset"));
    layout->addWidget(coordinates_);

    connect(grid_, &QCheckBox::toggled, this, [this](bool on) { SetGrid(on); });
    connect(segments_, &QCheckBox::toggled, this, [this](bool on) { SetSegments(on); });
    connect(reset, &QPushButton::clicked, this, [this] { ResetView(); });
    connect(png, &QPushButton::clicked, this, [this] { ChooseAndExport(false); });
    connect(svg, &QPushButton::clicked, this, [this] { ChooseAndExport(true); });
    connect(plot_, &QCustomPlot::mousePress, this, [this](QMouseEvent* e) {
        plot_->setSelectionRectMode((e->modifiers() & Qt::ControlModifier) ? QCP::srmZoom
                                                                           : QCP::srmNone);
    });
    connect(plot_, &QCustomPlot::mouseDoubleClick, this, [this](QMouseEvent*) { ResetView(); });
    connect(plot_, &QCustomPlot::mouseMove, this, [this](QMouseEvent* e) {
        coordinates_->setText(QString::fromStdString(CoordinatesAt(e->pos())));
    });

    ShowSeries();
    SetGrid(false);
    ResetView();
    resize(900, 650);
}

void PlotExplorer::ShowSeries() {
    plot_->clearPlottables();
    const bool segments = segments_->isChecked();
    for (const PlotSeries& s : data_.series) {
        if (s.segments == PlotSeries::Segments::WithSegments && !segments) continue;
        if (s.segments == PlotSeries::Segments::WithoutSegments && segments) continue;
        const QColor colour = ToQColor(s.colour);
        QVector<double> x(s.x.begin(), s.x.end()), y(s.y.begin(), s.y.end());
        y.resize(x.size());
        if (s.style == PlotSeries::Style::Line) {
            // A curve, not a function of x: joined in its own order.
            auto* curve = new QCPCurve(plot_->xAxis, plot_->yAxis);
            curve->setName(QString::fromStdString(s.name));
            curve->setData(x, y);
            curve->setPen(QPen(colour, 1.5));
            continue;
        }
        // Unjoined points may be sorted by x; a graph then thins points that share a pixel,
        // which keeps 40000 of them quick to redraw.
        auto* graph = plot_->addGraph();
        graph->setName(QString::fromStdString(s.name));
        graph->setData(x, y);
        graph->setLineStyle(QCPGraph::lsNone);
        graph->setAdaptiveSampling(true);
        graph->setAntialiasedScatters(false);
        graph->setScatterStyle(s.style == PlotSeries::Style::Dots
                                   ? QCPScatterStyle(QCPScatterStyle::ssDisc, colour, colour, 3)
                                   : QCPScatterStyle(QCPScatterStyle::ssStar, colour, 7));
    }
    plot_->legend->setVisible(data_.series.size() > 1);
    plot_->replot();
}

void PlotExplorer::ResetView() {
    plot_->rescaleAxes();
    // A margin so points on the extremes stay inside the frame; an axis without spread gets
    // one unit either side.
    for (QCPAxis* axis : {plot_->xAxis, plot_->yAxis}) {
        const QCPRange r = axis->range();
        const double pad = r.size() > 0 ? 0.03 * r.size() : 1.0;
        axis->setRange(r.lower - pad, r.upper + pad);
    }
    plot_->replot();
}

void PlotExplorer::ZoomTo(const std::string& name) {
    for (int i = 0; i < plot_->plottableCount(); ++i) {
        QCPAbstractPlottable* p = plot_->plottable(i);
        if (p->name().toStdString() != name) continue;
        bool foundX = false, foundY = false;
        QCPRange x = p->getKeyRange(foundX), y = p->getValueRange(foundY);
        if (!foundX || !foundY) return;
        // A quarter of the extent either side keeps the curve's surroundings in view.
        const double padX = x.size() > 0 ? 0.25 * x.size() : 1.0;
        const double padY = y.size() > 0 ? 0.25 * y.size() : 1.0;
        plot_->xAxis->setRange(x.lower - padX, x.upper + padX);
        plot_->yAxis->setRange(y.lower - padY, y.upper + padY);
        plot_->replot();
        return;
    }
}

void PlotExplorer::SetGrid(bool on) {
    if (grid_->isChecked() != on) grid_->setChecked(on);
    plot_->xAxis->grid()->setVisible(on);
    plot_->yAxis->grid()->setVisible(on);
    plot_->replot();
}

void PlotExplorer::SetSegments(bool on) {
    if (segments_->isChecked() != on) segments_->setChecked(on);
    const QCPRange x = plot_->xAxis->range(), y = plot_->yAxis->range();
    ShowSeries();
    plot_->xAxis->setRange(x);
    plot_->yAxis->setRange(y);
    plot_->replot();
}

void PlotExplorer::SetExportSize(int width, int height) {
    width_->setValue(width);
    height_->setValue(height);
}

std::string PlotExplorer::CoordinatesAt(QPoint pixel) const {
    const double x = plot_->xAxis->pixelToCoord(pixel.x());
    const double y = plot_->yAxis->pixelToCoord(pixel.y());
    return (QString::fromStdString(data_.xTitle) + " = " + Number(x) + "   " +
            QString::fromStdString(data_.yTitle) + " = " + Number(y))
        .toStdString();
}

std::string PlotExplorer::CoordinatesText() const { return coordinates_->text().toStdString(); }

bool PlotExplorer::ExportPng(const std::filesystem::path& file, std::string& error) const {
    if (plot_->savePng(QStringFromPath(file), width_->value(), height_->value())) return true;
    error = "Could not write " + file.string() + ": the picture could not be saved there.";
    return false;
}

bool PlotExplorer::ExportSvg(const std::filesystem::path& file, std::string& error) const {
    QSvgGenerator svg;
    svg.setFileName(QStringFromPath(file));
    svg.setSize(plot_->size());
    svg.setViewBox(QRect(QPoint(0, 0), plot_->size()));
    svg.setTitle(QString::fromStdString(data_.caption));
    QCPPainter painter;
    if (!painter.begin(&svg)) {
        error = "Could not write " + file.string() + ": the drawing could not be saved there.";
        return false;
    }
    plot_->toPainter(&painter, plot_->width(), plot_->height());
    painter.end();
    return true;
}

void PlotExplorer::ChooseAndExport(bool asSvg) {
    SaveFileRequest request;
    request.filter = asSvg ? "SVG Drawings (*.SVG)" : "PNG Images (*.PNG)";
    request.defaultExtension = asSvg ? "svg" : "png";
    const auto file = GetServices().SaveFile(request);
    if (!file) return;
    std::string error;
    if (!(asSvg ? ExportSvg(*file, error) : ExportPng(*file, error)))
        ShowMessage(nullptr, error, kApplicationName, MessageButtons::Ok, MessageIcon::Error);
}

void PlotExplorer::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Home) {
        ResetView();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace marvek::ui
