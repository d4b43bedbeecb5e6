#include "graphs/profile_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "core/analysis/curve_analyzer.h"
#include "core/io/csv_field.h"
#include "core/io/number_format.h"
#include "core/platform/output_file.h"
#include "ui/plot_export.h"
#include "ui/services.h"

namespace marvek::graphs {

namespace {

// Within this many pixels of an edge a press drags the edge instead of panning the plot.
constexpr int kEdgeReach = 6;

// Ten colours told apart on screen and in print (the categorical palette most plotting tools
// share); more indents than that take evenly spaced hues.
ui::Rgb IndentColour(std::size_t k, std::size_t count) {
    static const ui::Rgb palette[] = {
        {31, 119, 180}, {255, 127, 14},  {44, 160, 44},   {214, 39, 40},  {148, 103, 189},
        {140, 86, 75},  {227, 119, 194}, {127, 127, 127}, {188, 189, 34}, {23, 190, 207}};
    if (count <= std::size(palette)) return palette[k];
    const QColor c = QColor::fromHsv(static_cast<int>(k * 359 / count), 210, 200);
    return {static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
            static_cast<std::uint8_t>(c.blue())};
}

std::string Gpa(double v, double sd) {
    if (!std::isfinite(v)) return "-";
    std::string text = FormatSignificant(v, 4);
    if (std::isfinite(sd)) text += " ± " + FormatSignificant(sd, 2);
    return text + " GPa";
}

const std::vector<double>& Values(const profiles::DepthProfile& p, ProfileView::Quantity q) {
    return q == ProfileView::Quantity::Hardness ? p.hardness : p.modulus;
}

}  // namespace

WorkbookProfiles LoadWorkbookProfiles(const std::vector<std::filesystem::path>& addresses,
                                      int current, const io::ReadOptions& read,
                                      const profiles::ProfileSettings& settings) {
    WorkbookProfiles out;
    if (current < 0 || static_cast<std::size_t>(current) >= addresses.size()) {
        out.error = "No curve is shown, so there is no workbook to show the profiles of.";
        return out;
    }
    out.file = io::ParseAddress(addresses[static_cast<std::size_t>(current)]).file;
    const io::ParsedFile file = io::ReadFile(out.file, read);
    if (!file.status.ok()) {
        out.error = file.status.message();
        return out;
    }
    // The tests of this workbook that the list holds (a one-curve file is listed without a test).
    for (std::size_t c = 0; c < file.curves.size(); ++c) {
        const io::ParsedCurve& curve = file.curves[c];
        for (std::size_t k = 0; k < addresses.size(); ++k) {
            const io::Address a = io::ParseAddress(addresses[k]);
            if (a.file != out.file || !(a.test == curve.test || (a.test.empty() && c == 0)))
                continue;
            ProfileIndent indent;
            indent.curve = static_cast<int>(k);
            indent.address = addresses[k].string();
            indent.test = curve.test.empty() ? out.file.filename().string() : curve.test;
            out.profiles.push_back(profiles::ComputeProfile(curve, settings));
            for (const std::string& w : out.profiles.back().warnings)
                if (std::find(out.warnings.begin(), out.warnings.end(), w) == out.warnings.end())
                    out.warnings.push_back(w);
            out.indents.push_back(std::move(indent));
            break;
        }
    }
    const auto ok = std::find_if(out.profiles.begin(), out.profiles.end(),
                                 [](const profiles::DepthProfile& p) { return p.ok(); });
    if (ok == out.profiles.end())
        out.error = out.file.string() + ": no depth profile: " +
                    (out.indents.empty() ? std::string("none of its tests is selected")
                                         : out.profiles.front().status.reason()) +
                    ". Depth profiles need a continuous-stiffness workbook.";
    return out;
}

// ---- ProfilePlot ----

ProfilePlot::ProfilePlot(QWidget* parent) : ui::PlotView(parent) {}

void ProfilePlot::SetWindow(double from, double to) {
    from_ = from, to_ = to;
    ShowWindow();
}

void ProfilePlot::ShowWindow() {
    // SetData clears every item: the shading is made again when it is gone.
    QCPItemRect* shade = nullptr;
    QCPItemLine* edges[2] = {nullptr, nullptr};
    for (int i = 0; i < itemCount(); ++i) {
        QCPAbstractItem* it = item(i);
        const QString role = it->property("marvekWindow").toString();
        if (role == "shade") shade = qobject_cast<QCPItemRect*>(it);
        if (role == "from") edges[0] = qobject_cast<QCPItemLine*>(it);
        if (role == "to") edges[1] = qobject_cast<QCPItemLine*>(it);
    }
    if (!shade) {
        shade = new QCPItemRect(this);
        shade->setProperty("marvekWindow", "shade");
        // Under the grid and the curves, over the frame's white.
        shade->setLayer(QStringLiteral("background"));
        shade->setPen(Qt::NoPen);
        shade->setBrush(QColor(255, 200, 60, 70));
        for (QCPItemPosition* p : {shade->topLeft, shade->bottomRight}) {
            p->setTypeX(QCPItemPosition::ptPlotCoords);
            p->setTypeY(QCPItemPosition::ptAxisRectRatio);
        }
    }
    for (int e = 0; e < 2; ++e)
        if (!edges[e]) {
            edges[e] = new QCPItemLine(this);
            edges[e]->setProperty("marvekWindow", e == 0 ? "from" : "to");
            edges[e]->setPen(QPen(QColor(200, 120, 0), 1.5, Qt::DashLine));
            for (QCPItemPosition* p : {edges[e]->start, edges[e]->end}) {
                p->setTypeX(QCPItemPosition::ptPlotCoords);
                p->setTypeY(QCPItemPosition::ptAxisRectRatio);
            }
        }
    shade->topLeft->setCoords(from_, 0);
    shade->bottomRight->setCoords(to_, 1);
    for (int e = 0; e < 2; ++e) {
        const double x = e == 0 ? from_ : to_;
        edges[e]->start->setCoords(x, 0);
        edges[e]->end->setCoords(x, 1);
    }
    replot(QCustomPlot::rpQueuedReplot);
}

int ProfilePlot::EdgePixel(int edge) const {
    return static_cast<int>(std::lround(xAxis->coordToPixel(edge == 0 ? from_ : to_)));
}

int ProfilePlot::EdgeAt(int pixelX) const {
    const int d0 = std::abs(pixelX - EdgePixel(0)), d1 = std::abs(pixelX - EdgePixel(1));
    if (std::min(d0, d1) > kEdgeReach) return -1;
    // Both in reach (a narrow window): the nearer; on a tie the upper, so a window squeezed to
    // nothing can still be widened to the right.
    return d0 < d1 ? 0 : 1;
}

void ProfilePlot::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !(event->modifiers() & Qt::ControlModifier) &&
        axisRect()->rect().contains(event->pos())) {
        dragging_ = EdgeAt(event->pos().x());
        if (dragging_ >= 0) {
            event->accept();
            return;
        }
    }
    ui::PlotView::mousePressEvent(event);
}

void ProfilePlot::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ < 0) {
        setCursor(EdgeAt(event->pos().x()) >= 0 && axisRect()->rect().contains(event->pos())
                      ? Qt::SizeHorCursor
                      : Qt::ArrowCursor);
        ui::PlotView::mouseMoveEvent(event);
        return;
    }
    const double x = xAxis->pixelToCoord(event->pos().x());
    if (!std::isfinite(x)) return;
    // An edge stops at the other: the window never turns inside out.
    if (dragging_ == 0)
        from_ = std::min(x, to_);
    else
        to_ = std::max(x, from_);
    ShowWindow();
    if (onWindowDragged) onWindowDragged(from_, to_);
    if (onCoordinates) onCoordinates(CoordinatesAt(event->pos()));
}

void ProfilePlot::mouseReleaseEvent(QMouseEvent* event) {
    if (dragging_ >= 0) {
        dragging_ = -1;
        event->accept();
        if (onWindowReleased) onWindowReleased();
        return;
    }
    ui::PlotView::mouseReleaseEvent(event);
}

// ---- ProfileView ----

ProfileView::ProfileView(QWidget* parent, WorkbookProfiles workbook)
    : QDialog(parent), workbook_(std::move(workbook)) {
    setWindowTitle(
        QString::fromStdString("Marvek - Depth Profiles - " + workbook_.file.filename().string()));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowMinimizeButtonHint);
    excluded_.assign(workbook_.indents.size(), false);
    // The window the workbook records (or the default), as the averages elsewhere use it.
    for (const profiles::DepthProfile& p : workbook_.profiles)
        if (p.ok() && std::isfinite(p.from) && std::isfinite(p.to)) {
            from_ = p.from, to_ = p.to;
            break;
        }

    auto* layout = new QVBoxLayout(this);
    auto* tools = new QHBoxLayout;
    quantityBox_ = new QComboBox(this);
    quantityBox_->addItems({QStringLiteral("Hardness H(h)"), QStringLiteral("Modulus E(h)")});
    logBox_ = new QCheckBox(QStringLiteral("&Log depth"), this);
    gridBox_ = new QCheckBox(QStringLiteral("&Grid"), this);
    fromBox_ = new QDoubleSpinBox(this);
    toBox_ = new QDoubleSpinBox(this);
    for (QDoubleSpinBox* b : {fromBox_, toBox_}) {
        b->setRange(0, 1e6);
        b->setDecimals(1);
        b->setSuffix(QStringLiteral(" nm"));
        b->setKeyboardTracking(false);
    }
    auto* reset = new QPushButton(QStringLiteral("&Reset View"), this);
    auto* figure = new QPushButton(QStringLiteral("Export &Figure..."), this);
    auto* csv = new QPushButton(QStringLiteral("Export &CSV..."), this);
    for (QPushButton* b : {reset, figure, csv}) b->setAutoDefault(false);
    tools->addWidget(quantityBox_);
    tools->addWidget(logBox_);
    tools->addWidget(gridBox_);
    tools->addSpacing(12);
    tools->addWidget(new QLabel(QStringLiteral("Window:"), this));
    tools->addWidget(fromBox_);
    tools->addWidget(new QLabel(QStringLiteral("to"), this));
    tools->addWidget(toBox_);
    tools->addStretch();
    tools->addWidget(reset);
    tools->addWidget(figure);
    tools->addWidget(csv);
    layout->addLayout(tools);

    auto* split = new QSplitter(Qt::Horizontal, this);
    plot_ = new ProfilePlot(split);
    plot_->setMinimumSize(400, 300);
    list_ = new QTableWidget(split);
    list_->setColumnCount(4);
    list_->setHorizontalHeaderLabels({QStringLiteral("Test"), QStringLiteral("H (GPa)"),
                                      QStringLiteral("E (GPa)"), QStringLiteral("n")});
    list_->verticalHeader()->setVisible(false);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    split->addWidget(plot_);
    split->addWidget(list_);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);
    // The list as wide as its columns; the plot takes the rest.
    split->setSizes({900, 260});
    layout->addWidget(split, 1);

    averagesLabel_ = new QLabel(this);
    averagesLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = averagesLabel_->font();
    bold.setBold(true);
    averagesLabel_->setFont(bold);
    layout->addWidget(averagesLabel_);
    if (!workbook_.warnings.empty()) {
        std::string text;
        for (const std::string& w : workbook_.warnings) text += (text.empty() ? "" : "\n") + w;
        auto* warnings = new QLabel(QString::fromStdString(text), this);
        warnings->setWordWrap(true);
        warnings->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(warnings);
    }
    coordinates_ = new QLabel(
        QStringLiteral("Drag the shaded window's edges to average elsewhere.   Wheel: zoom   "
                       "Drag: pan   Double-click: reset"),
        this);
    layout->addWidget(coordinates_);

    connect(quantityBox_, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this](int i) { SetQuantity(i == 1 ? Quantity::Modulus : Quantity::Hardness); });
    connect(logBox_, &QCheckBox::toggled, this, [this](bool on) { SetLogDepth(on); });
    connect(gridBox_, &QCheckBox::toggled, this, [this](bool on) { plot_->SetGrid(on); });
    connect(fromBox_, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
            [this](double v) { SetWindow(v, std::max(v, to_)); });
    connect(toBox_, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
            [this](double v) { SetWindow(std::min(from_, v), v); });
    connect(reset, &QPushButton::clicked, this, [this] { plot_->ResetView(); });
    connect(figure, &QPushButton::clicked, this, [this] { ChooseAndExportFigure(); });
    connect(csv, &QPushButton::clicked, this, [this] { ChooseAndExportCsv(); });
    connect(list_, &QTableWidget::itemSelectionChanged, this, [this] {
        const auto rows = list_->selectionModel()->selectedRows();
        if (rows.isEmpty() || !onShowCurve) return;
        const int row = rows.front().row();
        if (row >= 0 && row < static_cast<int>(workbook_.indents.size()))
            onShowCurve(workbook_.indents[static_cast<std::size_t>(row)].curve);
    });
    plot_->onCoordinates = [this](const std::string& text) {
        coordinates_->setText(QString::fromStdString(text));
    };
    plot_->onWindowDragged = [this](double from, double to) {
        from_ = from, to_ = to;
        UpdateAverages();
    };
    plot_->onWindowReleased = [this] {
        if (onWindowChosen) onWindowChosen();
    };

    list_->setRowCount(static_cast<int>(workbook_.indents.size()));
    for (std::size_t k = 0; k < workbook_.indents.size(); ++k) {
        auto* name = new QTableWidgetItem(QString::fromStdString(workbook_.indents[k].test));
        const ui::Rgb c = IndentColour(k, workbook_.indents.size());
        name->setData(Qt::DecorationRole, QColor(c.r, c.g, c.b));
        list_->setItem(static_cast<int>(k), 0, name);
        for (int col = 1; col < 4; ++col)
            list_->setItem(static_cast<int>(k), col, new QTableWidgetItem);
    }
    Rebuild();
    plot_->ResetView();
    resize(1100, 680);
}

std::vector<bool> ProfileView::Included() const {
    std::vector<bool> in(workbook_.indents.size());
    for (std::size_t k = 0; k < in.size(); ++k) in[k] = workbook_.profiles[k].ok() && !excluded_[k];
    return in;
}

void ProfileView::SetQuantity(Quantity q) {
    if (quantity_ == q) return;
    quantity_ = q;
    const QSignalBlocker block(quantityBox_);
    quantityBox_->setCurrentIndex(q == Quantity::Modulus ? 1 : 0);
    Rebuild();
    plot_->ResetView();
}

void ProfileView::SetLogDepth(bool on) {
    if (logDepth_ == on) return;
    logDepth_ = on;
    const QSignalBlocker block(logBox_);
    logBox_->setChecked(on);
    Rebuild();
    plot_->ResetView();
}

void ProfileView::SetWindow(double from, double to) {
    from_ = std::min(from, to), to_ = std::max(from, to);
    plot_->SetWindow(from_, to_);
    UpdateAverages();
    if (onWindowChosen) onWindowChosen();
}

void ProfileView::SetSelectedCurve(int curve) {
    if (selectedCurve_ == curve) return;
    selectedCurve_ = curve;
    Rebuild();
}

void ProfileView::SetExcluded(const std::vector<bool>& byCurve) {
    std::vector<bool> excluded(workbook_.indents.size(), false);
    for (std::size_t k = 0; k < excluded.size(); ++k) {
        const int c = workbook_.indents[k].curve;
        excluded[k] = c >= 0 && static_cast<std::size_t>(c) < byCurve.size() &&
                      byCurve[static_cast<std::size_t>(c)];
    }
    if (excluded == excluded_) return;
    excluded_ = std::move(excluded);
    Rebuild();
}

void ProfileView::Rebuild() {
    const std::vector<bool> included = Included();
    mean_ = profiles::ComputeMeanProfile(workbook_.profiles, included, 300, logDepth_);

    const bool hardness = quantity_ == Quantity::Hardness;
    ui::PlotData content;
    content.caption = windowTitle().toStdString();
    content.xTitle = "Depth (nm)";
    content.yTitle = hardness ? "Hardness H (GPa)" : "Modulus E (GPa)";
    const std::vector<double>& mean = hardness ? mean_.hardness : mean_.modulus;
    const std::vector<double>& sd = hardness ? mean_.hardnessSd : mean_.modulusSd;
    // The band: mean + SD forward, mean - SD back, where two or more indents are at the depth.
    ui::PlotSeries band{"mean ± SD", {}, {}, {120, 120, 120}, ui::PlotSeries::Style::Band};
    for (std::size_t g = 0; g < mean_.depth.size(); ++g)
        if (std::isfinite(sd[g]))
            band.x.push_back(mean_.depth[g]), band.y.push_back(mean[g] + sd[g]);
    for (std::size_t g = mean_.depth.size(); g-- > 0;)
        if (std::isfinite(sd[g]))
            band.x.push_back(mean_.depth[g]), band.y.push_back(mean[g] - sd[g]);
    if (!band.x.empty()) content.series.push_back(std::move(band));
    std::vector<double> shownValues;
    int selectedSeries = -1;
    ui::PlotSeries selected;
    for (std::size_t k = 0; k < workbook_.indents.size(); ++k) {
        if (!included[k]) continue;
        const profiles::DepthProfile& p = workbook_.profiles[k];
        const std::vector<double>& v = Values(p, quantity_);
        ui::PlotSeries s{workbook_.indents[k].test,
                         {},
                         {},
                         IndentColour(k, workbook_.indents.size()),
                         ui::PlotSeries::Style::Line};
        s.x.assign(p.depth.begin(),
                   p.depth.begin() + static_cast<std::ptrdiff_t>(p.loadingSamples));
        s.y.assign(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(p.loadingSamples));
        shownValues.insert(shownValues.end(), s.y.begin(), s.y.end());
        if (workbook_.indents[k].curve == selectedCurve_)
            selected = std::move(s), selectedSeries = 1;
        else
            content.series.push_back(std::move(s));
    }
    const int meanSeries = static_cast<int>(content.series.size());
    content.series.push_back({"mean", mean_.depth, mean, {0, 0, 0}, ui::PlotSeries::Style::Line});
    // The shown curve last: drawn over the others.
    if (selectedSeries >= 0) {
        selectedSeries = static_cast<int>(content.series.size());
        content.series.push_back(std::move(selected));
    }
    // Home: the loading depths, and the values without the first samples' spikes.
    if (!mean_.depth.empty()) {
        double lo = mean_.depth.front(), hi = mean_.depth.back();
        if (logDepth_) {
            lo = lo > 0 ? lo / 1.15 : 1, hi *= 1.15;
        } else {
            const double pad = 0.03 * (hi - lo);
            lo = std::max(0.0, lo - pad), hi += pad;
        }
        double top = profiles::ProfileViewTop(shownValues);
        if (!std::isfinite(top)) {
            const auto most = std::max_element(shownValues.begin(), shownValues.end());
            top = most == shownValues.end() ? 1 : 1.05 * *most;
        }
        content.home = ui::PlotRange{lo, hi, 0, top};
    }

    // The scale before the data: the home view is set in the new scale.
    const bool log = logDepth_;
    for (QCPAxis* axis : {plot_->xAxis, plot_->xAxis2}) {
        if ((axis->scaleType() == QCPAxis::stLogarithmic) == log) continue;
        axis->setScaleType(log ? QCPAxis::stLogarithmic : QCPAxis::stLinear);
        if (axis == plot_->xAxis)
            axis->setTicker(log ? QSharedPointer<QCPAxisTicker>(new QCPAxisTickerLog)
                                : QSharedPointer<QCPAxisTicker>(new QCPAxisTicker));
    }
    plot_->SetData(std::move(content), true);
    // Line widths: the indents thin, the mean bold, the shown curve boldest.
    for (int i = 0; i < plot_->plottableCount(); ++i) {
        QCPAbstractPlottable* p = plot_->plottable(i);
        QPen pen = p->pen();
        if (pen.style() == Qt::NoPen) continue;
        pen.setWidthF(i == selectedSeries ? 3.5 : i == meanSeries ? 2.5 : 1.0);
        p->setPen(pen);
    }
    plot_->SetWindow(from_, to_);
    UpdateAverages();
    if (onWindowChosen) onWindowChosen();
}

void ProfileView::UpdateAverages() {
    averages_ = profiles::AverageProfiles(workbook_.profiles, Included(), from_, to_);
    {
        const QSignalBlocker a(fromBox_), b(toBox_);
        fromBox_->setValue(from_);
        toBox_->setValue(to_);
    }
    const QSignalBlocker block(list_);
    for (std::size_t k = 0; k < workbook_.indents.size(); ++k) {
        const profiles::ProfileAverage& a = averages_.indents[k];
        const int row = static_cast<int>(k);
        const bool value = a.n > 0;
        list_->item(row, 1)->setText(
            QString::fromStdString(value ? FormatSignificant(a.hardness, 4) : a.reason));
        list_->item(row, 2)->setText(
            QString::fromStdString(value ? FormatSignificant(a.modulus, 4) : std::string()));
        list_->item(row, 3)->setText(value ? QString::number(a.n) : QString());
        const QColor ink = value ? palette().color(QPalette::Text)
                                 : palette().color(QPalette::Disabled, QPalette::Text);
        for (int col = 0; col < 4; ++col) list_->item(row, col)->setForeground(ink);
        if (workbook_.indents[k].curve == selectedCurve_ && !list_->item(row, 0)->isSelected())
            list_->selectRow(row);
    }
    averagesLabel_->setText(QString::fromStdString(AveragesText()));
}

std::string ProfileView::AveragesText() const {
    const profiles::WindowAverages& w = averages_;
    std::string text =
        "Window " + FormatSignificant(w.from, 4) + "-" + FormatSignificant(w.to, 4) + " nm: ";
    if (w.n == 0) return text + w.reason;
    return text + "H = " + Gpa(w.hardness, w.hardnessSd) + ", E = " + Gpa(w.modulus, w.modulusSd) +
           "  (mean ± SD of " + std::to_string(w.n) + (w.n == 1 ? " indent" : " indents") + ")";
}

Status ProfileView::ExportCsv(const std::filesystem::path& file) const {
    std::ostringstream out;
    out << "indent,depth_nm,hardness_GPa,modulus_GPa,hardness_sd_GPa,modulus_sd_GPa,indents\n";
    const auto number = [](double v) { return std::isfinite(v) ? FormatSignificant(v, 7) : ""; };
    const std::vector<bool> included = Included();
    for (std::size_t k = 0; k < workbook_.indents.size(); ++k) {
        if (!included[k]) continue;
        const profiles::DepthProfile& p = workbook_.profiles[k];
        const std::string name = CsvField(workbook_.indents[k].test);
        for (std::size_t i = 0; i < p.loadingSamples; ++i)
            out << name << ',' << number(p.depth[i]) << ',' << number(p.hardness[i]) << ','
                << number(p.modulus[i]) << ",,,\n";
    }
    for (std::size_t g = 0; g < mean_.depth.size(); ++g)
        out << "mean," << number(mean_.depth[g]) << ',' << number(mean_.hardness[g]) << ','
            << number(mean_.modulus[g]) << ',' << number(mean_.hardnessSd[g]) << ','
            << number(mean_.modulusSd[g]) << ',' << mean_.n[g] << '\n';
    return WriteOutputFile(file, out.str());
}

bool ProfileView::ExportFigure(const std::filesystem::path& file, std::string& error) {
    return ui::ExportStyledPlot(*plot_, ui::PlotStyle{}, file, error);
}

void ProfileView::ChooseAndExportFigure() {
    ui::SaveFileRequest request;
    request.filter = "PNG Images (*.PNG);;SVG Drawings (*.SVG);;PDF Documents (*.PDF)";
    request.defaultExtension = "png";
    const auto file = ui::GetServices().SaveFile(request);
    if (!file) return;
    std::string error;
    if (!ExportFigure(*file, error))
        ui::ShowMessage(nullptr, error, ui::kApplicationName, ui::MessageButtons::Ok,
                        ui::MessageIcon::Error);
}

void ProfileView::ChooseAndExportCsv() {
    ui::SaveFileRequest request;
    request.filter = "Text Files (*.CSV)";
    request.defaultExtension = "csv";
    const auto file = ui::GetServices().SaveFile(request);
    if (!file) return;
    const Status written = ExportCsv(*file);
    if (!written.ok())
        ui::ShowMessage(nullptr, written.message(), ui::kApplicationName, ui::MessageButtons::Ok,
                        ui::MessageIcon::Error);
}

}  // namespace marvek::graphs
