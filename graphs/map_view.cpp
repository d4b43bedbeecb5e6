#include "graphs/map_view.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QSvgGenerator>
#include <QThreadPool>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "core/io/number_format.h"
#include "core/phases/map_picture.h"
#include "core/platform/output_file.h"
#include "ui/dialog.h"
#include "ui/plot_view.h"
#include "ui/services.h"

namespace marvek::graphs {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// How near the cursor must come to an indent (pixels) to name it or open its curve.
constexpr int kPickRadius = 9;

QColor ScaleColour(double t) {
    const phases::Rgb c = phases::MapColour(t);
    return {c.r, c.g, c.b};
}

ui::Rgb PhaseColour(int phase, int phases) {
    // The map pictures' scale, spread over the phases: their order stays readable in grey.
    const phases::Rgb c = phases::MapColour(phases > 1 ? (phase + 0.5) / phases : 0.3);
    return {c.r, c.g, c.b};
}

QString Text(const std::string& s) { return QString::fromStdString(s); }

std::string Number(double v) { return std::isfinite(v) ? FormatSignificant(v, 6) : "nan"; }
std::string Short(double v) { return std::isfinite(v) ? FormatSignificant(v, 4) : "nan"; }

// A quantity's title without its unit ("HIT [MPa]" -> "HIT") for short labels.
std::string ShortTitle(const SeriesQuantity& q) {
    std::string t = q.title;
    const auto at = t.find(" [");
    return at == std::string::npos ? t : t.substr(0, at);
}

}  // namespace

// The map's plot: equal scales on both axes (a micrometre as long across as up), kept so
// when the window is resized, after a zoom into a rectangle and at the home view.
class MapPlot : public ui::PlotView {
public:
    explicit MapPlot(QWidget* parent) : ui::PlotView(parent) {
        onViewChanged = [this] {
            atHome_ = false;
            EqualScales();
        };
    }
    // The whole map in view.
    void Home() {
        ResetView();
        EqualScales();
        atHome_ = true;
    }
    // The axis that shows less per pixel widened about its centre to match the other.
    void EqualScales() {
        updateLayout();
        const double w = std::max(1, axisRect()->width()), h = std::max(1, axisRect()->height());
        const QCPRange x = xAxis->range(), y = yAxis->range();
        const double perPixel = std::max(x.size() / w, y.size() / h);
        if (!(perPixel > 0)) return;
        const double wantX = perPixel * w, wantY = perPixel * h;
        if (std::abs(x.size() - wantX) > 1e-9 * wantX ||
            std::abs(y.size() - wantY) > 1e-9 * wantY) {
            xAxis->setRange(x.center() - wantX / 2, x.center() + wantX / 2);
            yAxis->setRange(y.center() - wantY / 2, y.center() + wantY / 2);
        }
        replot();
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        ui::PlotView::resizeEvent(event);
        if (atHome_)
            Home();
        else
            EqualScales();
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        ui::PlotView::mouseDoubleClickEvent(event);
        Home();
    }

private:
    bool atHome_ = true;
};

MapView::MapView(QWidget* parent) : QWidget(parent) {
    setWindowFlags(Qt::Window);
    setWindowTitle("Marvek - Property Map");
    quantity_ = new QComboBox(this);
    second_ = new QComboBox(this);
    second_->addItem("(none)", QString());
    for (const SeriesQuantity& q : SeriesQuantities()) {
        quantity_->addItem(QString::fromUtf8(q.title), QString::fromUtf8(q.key));
        second_->addItem(QString::fromUtf8(q.title), QString::fromUtf8(q.key));
    }
    quantity_->setCurrentIndex(std::max(0, quantity_->findData(QStringLiteral("HIT"))));
    second_->setCurrentIndex(std::max(0, second_->findData(QStringLiteral("EIT"))));
    quantity_->setToolTip("The quantity mapped and counted in the histogram");
    second_->setToolTip(
        "The second quantity: the scatter's y axis and, with the first, the columns the phases "
        "are fitted to");
    const auto changed = [this] { Recompute(); };
    connect(quantity_, qOverload<int>(&QComboBox::currentIndexChanged), this, changed);
    connect(second_, qOverload<int>(&QComboBox::currentIndexChanged), this, changed);

    auto* figure = new QPushButton("Map Figure (PNG, PDF, SVG)...", this);
    figure->setToolTip("The map alone, with the figure options of every plot");
    connect(figure, &QPushButton::clicked, this, [this] {
        if (onExportFigure) onExportFigure(*map_);
    });
    auto* png = new QPushButton("Export PNG...", this);
    png->setToolTip("The whole window as a picture");

    auto* svg = new QPushButton("Export SVG...", this);
    auto* csv = new QPushButton("Export CSV...", this);
    connect(png, &QPushButton::clicked, this, [this] { AskExport(0); });
    connect(svg, &QPushButton::clicked, this, [this] { AskExport(1); });
    connect(csv, &QPushButton::clicked, this, [this] { AskExport(2); });

    map_ = new MapPlot(this);
    map_->setMinimumSize(320, 280);
    histogram_ = new ui::PlotView(this);
    scatter_ = new ui::PlotView(this);
    histogram_->setMinimumSize(260, 180);
    scatter_->setMinimumSize(260, 180);

    // The colour bar beside the map, as tall as its frame.
    auto* bar = new QCPColorScale(map_);
    map_->plotLayout()->addElement(0, 1, bar);
    bar->setType(QCPAxis::atRight);
    bar->setBarWidth(14);
    auto* group = new QCPMarginGroup(map_);
    map_->axisRect()->setMarginGroup(QCP::msTop | QCP::msBottom, group);
    bar->setMarginGroup(QCP::msTop | QCP::msBottom, group);
    QCPColorGradient gradient;
    gradient.clearColorStops();
    for (int i = 0; i <= 16; ++i) gradient.setColorStopAt(i / 16.0, ScaleColour(i / 16.0));
    gradient.setLevelCount(256);
    gradient.setNanHandling(QCPColorGradient::nhTransparent);
    bar->setGradient(gradient);

    map_->setMouseTracking(true);
    connect(map_, &QCustomPlot::mouseMove, this,
            [this](QMouseEvent* e) { OnMapMouseMove(e->pos(), e->globalPosition().toPoint()); });
    // A click (press and release in one place) opens the indent's curve; a drag pans.
    auto* pressedAt = new QPoint(-1000, -1000);
    connect(map_, &QObject::destroyed, this, [pressedAt] { delete pressedAt; });
    connect(map_, &QCustomPlot::mousePress, this,
            [pressedAt](QMouseEvent* e) { *pressedAt = e->pos(); });
    connect(map_, &QCustomPlot::mouseRelease, this, [this, pressedAt](QMouseEvent* e) {
        if (e->button() == Qt::LeftButton && (e->pos() - *pressedAt).manhattanLength() <= 3)
            OnMapClick(e->pos());
    });

    summary_ = new QLabel(this);
    summary_->setWordWrap(true);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel("Map of:", this));
    controls->addWidget(quantity_);
    controls->addSpacing(12);
    controls->addWidget(new QLabel("Phases and scatter with:", this));
    controls->addWidget(second_);
    controls->addStretch();
    controls->addWidget(figure);
    controls->addWidget(png);
    controls->addWidget(svg);
    controls->addWidget(csv);

    auto* right = new QSplitter(Qt::Vertical, this);
    right->addWidget(histogram_);
    right->addWidget(scatter_);
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(map_);
    split->addWidget(right);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(split, 1);
    layout->addWidget(summary_);
    resize(1200, 720);

    pending_ = new QTimer(this);
    pending_->setSingleShot(true);
    pending_->setInterval(150);
    connect(pending_, &QTimer::timeout, this, [this] { Recompute(); });
    Recompute();
}

MapView::~MapView() = default;

ui::PlotView* MapView::MapPlotView() const { return map_; }

void MapView::SetSeries(const Series& series) {
    series_ = series;
    // Rows arrive in batches while a table fills: one refit for a burst of them.
    if (!pending_->isActive()) pending_->start();
}

void MapView::Flush() {
    if (!pending_->isActive()) return;
    pending_->stop();
    Recompute();
}

void MapView::SetQuantities(const std::string& key, const std::string& secondKey) {
    const QSignalBlocker a(quantity_), b(second_);
    quantity_->setCurrentIndex(std::max(0, quantity_->findData(Text(key))));
    second_->setCurrentIndex(std::max(0, second_->findData(Text(secondKey))));
    Recompute();
}

std::string MapView::QuantityKey() const {
    return quantity_->currentData().toString().toStdString();
}
std::string MapView::SecondKey() const { return second_->currentData().toString().toStdString(); }

int MapView::MappedIndents() const {
    return static_cast<int>(std::count_if(indents_.begin(), indents_.end(), [](const Indent& i) {
        return std::isfinite(i.x_um) && std::isfinite(i.y_um);
    }));
}

void MapView::Recompute() {
    const int q = FindSeriesQuantity(QuantityKey());
    const int q2 = SecondKey().empty() ? -1 : FindSeriesQuantity(SecondKey());
    indents_.clear();
    fit_ = {};
    fitting_ = false;
    grid_ = {};
    message_.clear();
    // The curves that take part: analysed, included in the series and with the quantities as
    // numbers. The mixture takes them all, the map those with a position.
    std::vector<std::vector<double>> samples;
    for (std::size_t c = 0; c < series_.curves.size() && q >= 0; ++c) {
        const SeriesCurve& curve = series_.curves[c];
        if (!curve.ok || !curve.included || curve.values.empty()) continue;
        Indent in;
        in.curve = static_cast<int>(c);
        in.value = curve.values[static_cast<std::size_t>(q)];
        in.second = q2 >= 0 ? curve.values[static_cast<std::size_t>(q2)] : kNaN;
        if (!std::isfinite(in.value) || (q2 >= 0 && !std::isfinite(in.second))) continue;
        in.x_um = curve.x_um;
        in.y_um = curve.y_um;
        indents_.push_back(in);
        samples.push_back(q2 >= 0 ? std::vector<double>{in.value, in.second}
                                  : std::vector<double>{in.value});
    }
    const unsigned generation = ++generation_;
    if (samples.size() > kPhasesOnWindowThread) {
        // Mixtures of k = 1 ... 5 from several starts over thousands of indents take seconds:
        // the window stays usable and shows the phases when they are there; a newer change of
        // the series or the quantities voids an older fit.
        QPointer<MapView> self(this);
        QThreadPool::globalInstance()->start([self, generation, samples = std::move(samples)] {
            phases::MixtureFit fit = phases::FitPhases(samples, phases::PhaseSettings{});
            QMetaObject::invokeMethod(
                qApp,
                [self, generation, fit = std::move(fit)]() mutable {
                    if (self && self->generation_ == generation) self->ApplyPhases(std::move(fit));
                },
                Qt::QueuedConnection);
        });
        fitting_ = true;
    } else if (!samples.empty()) {
        fit_ = phases::FitPhases(samples, phases::PhaseSettings{});
        LabelIndents();
    }
    std::vector<phases::MapPoint> points;
    for (const Indent& in : indents_)
        if (std::isfinite(in.x_um) && std::isfinite(in.y_um))
            points.push_back({in.x_um, in.y_um, in.value});
    grid_ = phases::InterpolateMap(points);
    if (series_.curves.empty())
        message_ = "No curves yet: the map follows the Results Table.";
    else if (points.empty())
        message_ =
            "No included curve has both a position and a value: positions come from the files "
            "(workbooks' test positions, TriboScan stage X/Y, FISCHERSCOPE x/y).";
    ShowMap();
    ShowHistogram();
    ShowScatter();
    ShowSummary();
}

void MapView::LabelIndents() {
    for (std::size_t i = 0; i < indents_.size() && i < fit_.label.size(); ++i) {
        indents_[i].phase = fit_.label[i];
        indents_[i].probability = fit_.probability[i];
    }
}

void MapView::ApplyPhases(phases::MixtureFit fit) {
    fitting_ = false;
    fit_ = std::move(fit);
    LabelIndents();
    ShowMap();
    ShowHistogram();
    ShowScatter();
    ShowSummary();
}

void MapView::ShowMap() {
    const int q = FindSeriesQuantity(QuantityKey());
    const std::string title = q >= 0 ? SeriesQuantities()[static_cast<std::size_t>(q)].title : "";
    ui::PlotData content;
    content.caption = "Map of " + title;
    content.xTitle = "x [\xC2\xB5m]";
    content.yTitle = "y [\xC2\xB5m]";
    if (grid_.nx > 0)
        content.home = ui::PlotRange{grid_.x0_um, grid_.x0_um + grid_.nx * grid_.cell_um,
                                     grid_.y0_um, grid_.y0_um + grid_.ny * grid_.cell_um};
    if (!message_.empty()) content.note = message_;
    map_->SetData(content);
    auto* bar = static_cast<QCPColorScale*>(map_->plotLayout()->element(0, 1));
    bar->axis()->setLabel(QString::fromUtf8(title.c_str()));
    if (grid_.nx > 0) {
        auto* surface = new QCPColorMap(map_->xAxis, map_->yAxis);
        surface->setName("surface");
        surface->data()->setSize(grid_.nx, grid_.ny);
        surface->data()->setRange(QCPRange(grid_.x0_um + grid_.cell_um / 2,
                                           grid_.x0_um + (grid_.nx - 0.5) * grid_.cell_um),
                                  QCPRange(grid_.y0_um + grid_.cell_um / 2,
                                           grid_.y0_um + (grid_.ny - 0.5) * grid_.cell_um));
        for (int cy = 0; cy < grid_.ny; ++cy)
            for (int cx = 0; cx < grid_.nx; ++cx) {
                const double v = grid_.values[static_cast<std::size_t>(cy) * grid_.nx + cx];
                surface->data()->setCell(cx, cy, std::isfinite(v) ? v : grid_.minValue);
                if (!std::isfinite(v)) surface->data()->setAlpha(cx, cy, 0);
            }
        surface->setInterpolate(false);
        surface->setColorScale(bar);
        surface->setGradient(bar->gradient());
        const double lo = grid_.minValue, hi = grid_.maxValue > lo
                                                   ? grid_.maxValue
                                                   : lo + std::max(1e-12, std::abs(lo) * 1e-6);
        surface->setDataRange(QCPRange(lo, hi));
        bar->setDataRange(QCPRange(lo, hi));
        bar->setVisible(true);
    } else {
        bar->setVisible(false);
    }
    // The indents: open dots over the surface, sized to their spacing on screen.
    QVector<double> x, y;
    for (const Indent& in : indents_)
        if (std::isfinite(in.x_um) && std::isfinite(in.y_um)) {
            x.push_back(in.x_um);
            y.push_back(in.y_um);
        }
    auto* dots = map_->addGraph();
    dots->setName("indents");
    dots->setData(x, y, true);
    dots->setLineStyle(QCPGraph::lsNone);
    // Sorted by x, a graph would thin the dots that share a pixel; a map must show them all.
    dots->setAdaptiveSampling(false);
    const double size = x.size() > 2500 ? 3 : x.size() > 400 ? 5 : 7;
    dots->setScatterStyle(
        QCPScatterStyle(QCPScatterStyle::ssCircle, QPen(Qt::black, 1), QBrush(Qt::white), size));
    map_->Home();
}

void MapView::ShowHistogram() {
    const int q = FindSeriesQuantity(QuantityKey());
    ui::PlotData content;
    if (q < 0) {
        histogram_->SetData(content);
        return;
    }
    const SeriesQuantity& quantity = SeriesQuantities()[static_cast<std::size_t>(q)];
    content.caption = std::string("Histogram of ") + quantity.title;
    content.xTitle = quantity.title;
    content.yTitle = "indents";
    std::vector<double> values;
    for (const Indent& in : indents_) values.push_back(in.value);
    const phases::Histogram h = phases::MakeHistogram(values);
    if (!h.counts.empty()) {
        // The bars' outline.
        ui::PlotSeries bars{
            "histogram", {}, {}, ui::Rgb{120, 120, 120}, ui::PlotSeries::Style::Line};
        bars.x.push_back(h.start), bars.y.push_back(0);
        for (std::size_t b = 0; b < h.counts.size(); ++b) {
            const double left = h.start + static_cast<double>(b) * h.width;
            bars.x.push_back(left), bars.y.push_back(h.counts[b]);
            bars.x.push_back(left + h.width), bars.y.push_back(h.counts[b]);
        }
        bars.x.push_back(h.start + static_cast<double>(h.counts.size()) * h.width);
        bars.y.push_back(0);
        content.series.push_back(std::move(bars));
        const double lo = h.start - 2 * h.width;
        const double hi = h.start + static_cast<double>(h.counts.size() + 2) * h.width;
        const phases::PhaseCurves curves =
            phases::MixtureCurves(fit_, 0, lo, hi, 300, h.samples * h.width);
        const int k = static_cast<int>(curves.phase.size());
        for (int p = 0; p < k; ++p)
            content.series.push_back({"phase " + std::to_string(p + 1), curves.x,
                                      curves.phase[static_cast<std::size_t>(p)], PhaseColour(p, k),
                                      ui::PlotSeries::Style::Line});
        if (k > 1)
            content.series.push_back(
                {"mixture", curves.x, curves.total, ui::kBlack, ui::PlotSeries::Style::Line});
        double top = 0;
        for (int c : h.counts) top = std::max(top, static_cast<double>(c));
        for (double v : curves.total) top = std::max(top, v);
        content.home = ui::PlotRange{lo, hi, 0, top * 1.25};
    }
    if (fit_.status.ok() && fit_.k > 0) {
        std::string note = "k = " + std::to_string(fit_.k) + " (lowest BIC)\nBIC:";
        for (std::size_t i = 0; i < fit_.bic.size(); ++i)
            note += (i % 3 == 0 && i ? "\n  " : "  ") + std::to_string(i + 1) + ": " +
                    (std::isfinite(fit_.bic[i]) ? FormatFixed(fit_.bic[i], 1) : "-");
        content.note = note;
    } else if (!fit_.status.ok()) {
        content.note = "no phases: " + fit_.status.reason();
    }
    histogram_->SetData(content);
}

void MapView::ShowScatter() {
    const int q = FindSeriesQuantity(QuantityKey());
    const int q2 = SecondKey().empty() ? -1 : FindSeriesQuantity(SecondKey());
    ui::PlotData content;
    if (q < 0 || q2 < 0) {
        content.note = "Choose a second quantity for the scatter.";
        scatter_->SetData(content);
        return;
    }
    content.caption = "Phases";
    content.xTitle = SeriesQuantities()[static_cast<std::size_t>(q)].title;
    content.yTitle = SeriesQuantities()[static_cast<std::size_t>(q2)].title;
    const int k = std::max(1, static_cast<int>(fit_.phases.size()));
    for (int p = 0; p < k; ++p) {
        ui::PlotSeries s{"phase " + std::to_string(p + 1),
                         {},
                         {},
                         PhaseColour(p, k),
                         ui::PlotSeries::Style::Dots};
        for (const Indent& in : indents_)
            if (in.phase == p || (fit_.phases.empty() && p == 0)) {
                s.x.push_back(in.value);
                s.y.push_back(in.second);
            }
        content.series.push_back(std::move(s));
    }
    scatter_->SetData(content);
    // Round marks with a dark edge read better than the curve plot's pixels at these counts.
    const double size = indents_.size() > 2500 ? 3 : 6;
    for (int i = 0; i < scatter_->graphCount(); ++i) {
        const QColor fill = scatter_->graph(i)->scatterStyle().brush().color();
        scatter_->graph(i)->setScatterStyle(
            QCPScatterStyle(QCPScatterStyle::ssCircle, QPen(fill.darker(160), 1), fill, size));
        scatter_->graph(i)->setAdaptiveSampling(false);
    }
    scatter_->legend->setVisible(k > 1);
    scatter_->replot();
}

void MapView::ShowSummary() {
    const int q = FindSeriesQuantity(QuantityKey());
    const int q2 = SecondKey().empty() ? -1 : FindSeriesQuantity(SecondKey());
    std::size_t left = 0;
    for (const SeriesCurve& c : series_.curves)
        if (c.ok && !c.included) ++left;
    std::string text = std::to_string(MappedIndents()) + " indents on the map, " +
                       std::to_string(indents_.size()) + " in the phases (" + std::to_string(left) +
                       " left out in the table).";
    if (!message_.empty()) text += " " + message_;
    if (fitting_) text += " Fitting the phases\u2026";
    if (fit_.status.ok() && fit_.k > 0 && q >= 0) {
        text += " Phases: k = " + std::to_string(fit_.k) + " by BIC.";
        for (std::size_t p = 0; p < fit_.phases.size(); ++p) {
            const phases::Phase& ph = fit_.phases[p];
            text += "  " + std::to_string(p + 1) + ": " + FormatFixed(100 * ph.weight, 1) + " %, " +
                    ShortTitle(SeriesQuantities()[static_cast<std::size_t>(q)]) + " " +
                    Short(ph.mean[0]) + " \xC2\xB1 " + Short(ph.sd[0]);
            if (q2 >= 0 && ph.mean.size() > 1)
                text += ", " + ShortTitle(SeriesQuantities()[static_cast<std::size_t>(q2)]) + " " +
                        Short(ph.mean[1]) + " \xC2\xB1 " + Short(ph.sd[1]);
            text += ";";
        }
    }
    text += " Hover an indent for its curve, click to show it in the main window.";
    summary_->setText(QString::fromUtf8(text.c_str()));
}

QPoint MapView::IndentPixel(int i) const {
    const Indent& in = indents_[static_cast<std::size_t>(i)];
    return QPoint(static_cast<int>(std::lround(map_->xAxis->coordToPixel(in.x_um))),
                  static_cast<int>(std::lround(map_->yAxis->coordToPixel(in.y_um))));
}

int MapView::IndentAt(QPoint pixel) const {
    int best = -1;
    double bestDistance = kPickRadius * kPickRadius + 0.5;
    for (std::size_t i = 0; i < indents_.size(); ++i) {
        const Indent& in = indents_[i];
        if (!std::isfinite(in.x_um) || !std::isfinite(in.y_um)) continue;
        const double dx = map_->xAxis->coordToPixel(in.x_um) - pixel.x();
        const double dy = map_->yAxis->coordToPixel(in.y_um) - pixel.y();
        if (dx * dx + dy * dy < bestDistance) {
            bestDistance = dx * dx + dy * dy;
            best = static_cast<int>(i);
        }
    }
    return best;
}

QString MapView::ToolTipAt(QPoint pixel) const {
    const int i = IndentAt(pixel);
    if (i < 0) return {};
    const Indent& in = indents_[static_cast<std::size_t>(i)];
    const SeriesCurve& c = series_.curves[static_cast<std::size_t>(in.curve)];
    const int q = FindSeriesQuantity(QuantityKey());
    std::string text = std::filesystem::path(c.input.file).filename().string();
    if (!c.input.test.empty()) text += "\ntest " + c.input.test;
    text += "\n" + std::string(SeriesQuantities()[static_cast<std::size_t>(q)].title) + ": " +
            Number(in.value);
    if (in.phase >= 0)
        text += "\nphase " + std::to_string(in.phase + 1) +
                " (p = " + FormatFixed(in.probability, 2) + ")";
    text += "\nx = " + Number(in.x_um) + " \xC2\xB5m, y = " + Number(in.y_um) + " \xC2\xB5m";
    return QString::fromUtf8(text.c_str());
}

void MapView::OnMapMouseMove(QPoint pixel, QPoint global) {
    const QString tip = ToolTipAt(pixel);
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(global, tip, map_);
}

void MapView::OnMapClick(QPoint pixel) {
    const int i = IndentAt(pixel);
    if (i >= 0 && onShowCurve) onShowCurve(indents_[static_cast<std::size_t>(i)].curve);
}

void MapView::Replot() {
    map_->replot(QCustomPlot::rpImmediateRefresh);
    histogram_->replot(QCustomPlot::rpImmediateRefresh);
    scatter_->replot(QCustomPlot::rpImmediateRefresh);
}

Status MapView::ExportPng(const std::filesystem::path& file) {
    if (!grab().save(ui::QStringFromPath(file), "PNG"))
        return Status::FileError(file, "the picture could not be saved there");
    return {};
}

Status MapView::ExportSvg(const std::filesystem::path& file) {
    // Each plot drawn as vectors where it stands in the window.
    QSvgGenerator svg;
    svg.setFileName(ui::QStringFromPath(file));
    svg.setSize(size());
    svg.setViewBox(QRect(QPoint(0, 0), size()));
    svg.setTitle(windowTitle());
    QCPPainter painter;
    if (!painter.begin(&svg))
        return Status::FileError(file, "the drawing could not be saved there");
    for (QCustomPlot* plot :
         {static_cast<QCustomPlot*>(map_), static_cast<QCustomPlot*>(histogram_),
          static_cast<QCustomPlot*>(scatter_)}) {
        painter.save();
        painter.translate(plot->mapTo(this, QPoint(0, 0)));
        plot->toPainter(&painter, plot->width(), plot->height());
        painter.restore();
    }
    painter.end();
    return {};
}

Status MapView::ExportCsv(const std::filesystem::path& file) const {
    const int q = FindSeriesQuantity(QuantityKey());
    const int q2 = SecondKey().empty() ? -1 : FindSeriesQuantity(SecondKey());
    auto quoted = [](const std::string& s) {
        if (s.find_first_of(",\"\n\r") == std::string::npos) return s;
        std::string out = "\"";
        for (char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
        return out + "\"";
    };
    auto number = [](double v) { return std::isfinite(v) ? FormatShortest(v) : std::string(); };
    std::string text = "file,test,x_um [\xC2\xB5m],y_um [\xC2\xB5m]";
    if (q >= 0) text += "," + quoted(SeriesQuantities()[static_cast<std::size_t>(q)].title);
    if (q2 >= 0) text += "," + quoted(SeriesQuantities()[static_cast<std::size_t>(q2)].title);
    text += ",phase,probability\n";
    for (const Indent& in : indents_) {
        const SeriesCurve& c = series_.curves[static_cast<std::size_t>(in.curve)];
        text += quoted(c.input.file) + "," + quoted(c.input.test) + "," + number(in.x_um) + "," +
                number(in.y_um) + "," + number(in.value);
        if (q2 >= 0) text += "," + number(in.second);
        text += "," + (in.phase >= 0 ? std::to_string(in.phase + 1) : std::string()) + "," +
                (in.phase >= 0 ? number(in.probability) : std::string()) + "\n";
    }
    return WriteOutputFile(file, text);
}

void MapView::AskExport(int kind) {
    static const char* filters[] = {"PNG Images (*.png)", "SVG Drawings (*.svg)",
                                    "CSV Files (*.csv)"};
    static const char* extensions[] = {"png", "svg", "csv"};
    ui::SaveFileRequest request;
    request.filter = filters[kind];
    request.defaultExtension = extensions[kind];
    request.promptOverwrite = true;
    const auto file = ui::GetServices().SaveFile(request);
    if (!file) return;
    const Status written = kind == 0   ? ExportPng(*file)
                           : kind == 1 ? ExportSvg(*file)
                                       : ExportCsv(*file);
    if (!written.ok())
        ui::ShowMessage(nullptr, written.message(), ui::kApplicationName, ui::MessageButtons::Ok,
                        ui::MessageIcon::Error);
}

}  // namespace marvek::graphs
