#include "table/results_table_window.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QStyle>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "core/base/quantity_labels.h"
#include "core/io/number_format.h"
#include "core/platform/output_file.h"
#include "ui/services.h"

namespace marvek::table {

namespace {

constexpr int kSortRole = Qt::UserRole + 1;

QString Text(const std::string& s) { return QString::fromStdString(s); }

// A zero is shown as 0, never -0 (an energy of a segment that is not there).
QString Number(double v) {
    return std::isfinite(v) ? Text(FormatSignificant(v == 0 ? 0.0 : v, 6)) : QString();
}

// Tab-separated cells never hold a tab or a line break.
QString Cell(QString s) {
    s.replace('\t', ' ');
    s.replace('\n', ' ');
    s.replace('\r', ' ');
    return s;
}

}  // namespace

// The rows of the table, straight from the series; not yet analysed curves show their address.
class SeriesTableModel : public QAbstractTableModel {
public:
    SeriesTableModel(Series& series, const std::vector<bool>& arrived,
                     std::function<void(int, bool)> toggle,
                     std::function<void(int, int, const std::string&)> edit, QObject* parent)
        : QAbstractTableModel(parent),
          series_(series),
          arrived_(arrived),
          toggle_(std::move(toggle)),
          edit_(std::move(edit)) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(series_.curves.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : ResultsTableWindow::PositionColumn() + 2;
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (o != Qt::Horizontal) return {};
        if (role == Qt::ToolTipRole) return HeaderToolTip(section);
        if (role != Qt::DisplayRole) return {};
        if (section == ResultsTableWindow::kIncludeColumn) return QStringLiteral("Include");
        if (section == ResultsTableWindow::kAddressColumn) return QStringLiteral("Curve");
        if (section == ResultsTableWindow::kFlagsColumn) return QStringLiteral("Flags");
        if (section == ResultsTableWindow::kNoteColumn) return QStringLiteral("Note");
        if (section == ResultsTableWindow::kUserFlagColumn) return QStringLiteral("Your flag");
        if (section >= ResultsTableWindow::PositionColumn())
            return QString::fromUtf8(section == ResultsTableWindow::PositionColumn()
                                         ? "x_um [\xC2\xB5m]"
                                         : "y_um [\xC2\xB5m]");
        return QString::fromUtf8(
            SeriesQuantities()[section - ResultsTableWindow::kFirstQuantityColumn].title);
    }
    // The whole title (a narrow column cuts it) and, for the energies, how they are summed.
    QVariant HeaderToolTip(int section) const {
        if (section == ResultsTableWindow::kNoteColumn)
            return QStringLiteral(
                "Your note on the curve (double-click to edit); saved in the "
                "project and exported");
        if (section == ResultsTableWindow::kUserFlagColumn)
            return QStringLiteral(
                "Your own flag (double-click to edit), beside the computed "
                "flags; saved in the project and exported");
        if (section < ResultsTableWindow::kFirstQuantityColumn)
            return headerData(section, Qt::Horizontal, Qt::DisplayRole);
        if (section >= ResultsTableWindow::PositionColumn())
            return QStringLiteral("Where the indent was, as its file records it");
        const SeriesQuantity& q = SeriesQuantities()[static_cast<std::size_t>(
            section - ResultsTableWindow::kFirstQuantityColumn)];
        QString tip = QString::fromUtf8(q.title);
        const std::string key = q.key;
        if (key.rfind("energy", 0) == 0) {
            tip += QStringLiteral("\n") + QString::fromUtf8(labels::kRectangleRule);
            if (key == "energyUnloading")
                tip += QStringLiteral("; ") + QString::fromUtf8(labels::kUnloadingSignNote);
        }
        return tip;
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (index.column() == ResultsTableWindow::kIncludeColumn && Curve(index).ok)
            f |= Qt::ItemIsUserCheckable;
        if (index.column() == ResultsTableWindow::kNoteColumn ||
            index.column() == ResultsTableWindow::kUserFlagColumn)
            f |= Qt::ItemIsEditable;
        return f;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        const SeriesCurve& c = Curve(index);
        const bool ready = arrived_[static_cast<std::size_t>(index.row())];
        const int column = index.column();
        if (column == ResultsTableWindow::kIncludeColumn) {
            if (role == Qt::CheckStateRole && ready && c.ok)
                return c.included ? Qt::Checked : Qt::Unchecked;
            if (role == Qt::ToolTipRole && !c.exclusionReason.empty() && ready)
                return Text(c.exclusionReason);
            if (role == kSortRole) return c.included ? 1 : 0;
            return {};
        }
        if (column == ResultsTableWindow::kAddressColumn) {
            // The name reads better than a long folder; the tooltip has the whole address.
            if (role == Qt::DisplayRole)
                return Text(std::filesystem::path(c.input.address).filename().string());
            if (role == kSortRole) return Text(c.input.address);
            if (role == Qt::ToolTipRole) return Text(c.input.address);
            return {};
        }
        if (column == ResultsTableWindow::kNoteColumn ||
            column == ResultsTableWindow::kUserFlagColumn) {
            const std::string& text =
                column == ResultsTableWindow::kNoteColumn ? c.note : c.userFlag;
            if (role == Qt::DisplayRole || role == Qt::EditRole || role == kSortRole ||
                (role == Qt::ToolTipRole && !text.empty()))
                return QString::fromStdString(text);
            return {};
        }
        if (column == ResultsTableWindow::kFlagsColumn) {
            if (!ready)
                return role == Qt::DisplayRole ? QStringLiteral("analysing...") : QVariant();
            if (role == Qt::DisplayRole || role == kSortRole)
                return c.ok ? Text(FlagCodesText(c, ", ")) : QStringLiteral("failed");
            if (role == Qt::ToolTipRole) return c.ok ? Text(FlagSentencesText(c)) : Text(c.error);
            if (role == Qt::DecorationRole) {
                QStyle* style = QApplication::style();
                if (!c.ok) return style->standardIcon(QStyle::SP_MessageBoxCritical);
                if (!c.flags.empty()) return style->standardIcon(QStyle::SP_MessageBoxWarning);
            }
            return {};
        }
        const double v = column >= ResultsTableWindow::PositionColumn()
                             ? (column == ResultsTableWindow::PositionColumn() ? c.x_um : c.y_um)
                         : c.values.empty()
                             ? std::nan("")
                             : c.values[static_cast<std::size_t>(
                                   column - ResultsTableWindow::kFirstQuantityColumn)];
        if (role == Qt::DisplayRole) return Number(v);
        // Not-a-number values sort after every number.
        if (role == kSortRole) return std::isfinite(v) ? v : std::numeric_limits<double>::max();
        if (role == Qt::TextAlignmentRole)
            return static_cast<int>(Qt::AlignRight | Qt::AlignVCenter);
        if (role == Qt::ForegroundRole && ready && !c.included) return QColor(Qt::gray);
        return {};
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (role == Qt::EditRole && (index.column() == ResultsTableWindow::kNoteColumn ||
                                     index.column() == ResultsTableWindow::kUserFlagColumn)) {
            edit_(index.row(), index.column(), value.toString().toStdString());
            return true;
        }
        if (role != Qt::CheckStateRole || index.column() != ResultsTableWindow::kIncludeColumn)
            return false;
        toggle_(index.row(), value.toInt() == Qt::Checked);
        return true;
    }
    void RowsChanged() {
        if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }

private:
    const SeriesCurve& Curve(const QModelIndex& index) const {
        return series_.curves[static_cast<std::size_t>(index.row())];
    }
    Series& series_;
    const std::vector<bool>& arrived_;
    std::function<void(int, bool)> toggle_;
    std::function<void(int, int, const std::string&)> edit_;
};

int ResultsTableWindow::PositionColumn() {
    return kFirstQuantityColumn + static_cast<int>(SeriesQuantities().size());
}

ResultsTableWindow::ResultsTableWindow(QWidget* parent, std::vector<SeriesInput> inputs,
                                       Settings settings)
    : QDialog(parent), inputs_(std::move(inputs)) {
    setWindowTitle("Marvek - Results Table");
    setWindowFlags(Qt::Window);
    series_.settings = std::move(settings);
    series_.curves.resize(inputs_.size());
    for (std::size_t i = 0; i < inputs_.size(); ++i) {
        series_.curves[i].input = inputs_[i];
        series_.curves[i].error = "not analysed";
    }
    arrived_.assign(inputs_.size(), false);

    model_ = new SeriesTableModel(
        series_, arrived_, [this](int row, bool on) { SetIncluded(row, on); },
        [this](int row, int column, const std::string& text) {
            if (column == kNoteColumn)
                SetNote(row, text);
            else
                SetUserFlag(row, text);
        },
        this);
    proxy_ = new QSortFilterProxyModel(this);
    proxy_->setSourceModel(model_);
    proxy_->setSortRole(kSortRole);
    table_ = new QTableView(this);
    table_->setModel(proxy_);
    table_->setSortingEnabled(true);
    table_->sortByColumn(-1, Qt::AscendingOrder);  // list order until the user sorts
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->horizontalHeader()->setStretchLastSection(false);
    table_->setColumnWidth(kAddressColumn, 220);
    table_->setColumnWidth(kFlagsColumn, 150);
    table_->setColumnWidth(kNoteColumn, 160);
    table_->setColumnWidth(kUserFlagColumn, 90);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
    // Each quantity column wide enough for its whole title; the tooltip has it too.
    for (int c = kFirstQuantityColumn; c < model_->columnCount(); ++c)
        table_->setColumnWidth(
            c, std::max(80, table_->fontMetrics().horizontalAdvance(
                                model_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString()) +
                                24));
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!current.isValid() || !onShowCurve) return;
                onShowCurve(proxy_->mapToSource(current).row());
            });

    const auto& quantities = SeriesQuantities();
    summary_ = new QTableWidget(static_cast<int>(StatisticRows().size()),
                                static_cast<int>(quantities.size()), this);
    QStringList heads, rows;
    for (const SeriesQuantity& q : quantities) heads << q.title;
    for (const StatisticRow& r : StatisticRows()) rows << r.name;
    summary_->setHorizontalHeaderLabels(heads);
    summary_->setVerticalHeaderLabels(rows);
    summary_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    summary_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    summary_->setMinimumHeight(
        summary_->verticalHeader()->defaultSectionSize() * (summary_->rowCount() + 2) + 8);

    status_ = new QLabel(this);
    status_->setWordWrap(true);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, static_cast<int>(std::max<std::size_t>(inputs_.size(), 1)));
    cancelButton_ = new QPushButton("Cancel", this);
    connect(cancelButton_, &QPushButton::clicked, this, [this] { Cancel(); });
    auto* copyButton = new QPushButton("Copy Summary", this);
    connect(copyButton, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(SummaryText()); });
    auto* csvButton = new QPushButton("Export CSV...", this);
    connect(csvButton, &QPushButton::clicked, this, [this] { OnExportCsv(); });
    auto* xlsxButton = new QPushButton("Export Excel (.xlsx)...", this);
    connect(xlsxButton, &QPushButton::clicked, this, [this] { OnExportWorkbook(); });
    auto* overlayButton = new QPushButton("Overlay...", this);
    overlayButton->setToolTip(
        "The selected curves in one plot with their mean and SD (fewer than two selected: every "
        "curve not excluded)");
    connect(overlayButton, &QPushButton::clicked, this, [this] {
        if (onOverlay) onOverlay(SelectedCurves());
    });
    auto* closeButton = new QPushButton("Close", this);
    connect(closeButton, &QPushButton::clicked, this, [this] { close(); });

    auto* bar = new QHBoxLayout;
    bar->addWidget(progress_, 1);
    bar->addWidget(cancelButton_);
    bar->addStretch();
    bar->addWidget(copyButton);
    bar->addWidget(csvButton);
    bar->addWidget(xlsxButton);
    bar->addWidget(overlayButton);
    bar->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_, 3);
    layout->addWidget(new QLabel("Summary of the included curves:", this));
    layout->addWidget(summary_, 1);
    layout->addWidget(status_);
    layout->addLayout(bar);
    resize(1100, 640);

    auto* copy = new QShortcut(QKeySequence::Copy, this);
    copy->setContext(Qt::WindowShortcut);
    connect(copy, &QShortcut::activated, this, [this] { CopySelection(); });

    // Arrivals are shown in batches: a thousand curves must not mean a thousand repaints.
    refreshTimer_ = new QTimer(this);
    refreshTimer_->setInterval(100);
    connect(refreshTimer_, &QTimer::timeout, this, [this] {
        if (dirty_) Refresh();
    });
    Refresh();
}

ResultsTableWindow::~ResultsTableWindow() {
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
}

void ResultsTableWindow::Start(int threads) {
    if (running_ || worker_.joinable()) return;
    running_ = true;
    cancel_ = false;
    refreshTimer_->start();
    worker_ = std::thread([this, threads, settings = series_.settings, read = readOptions] {
        SeriesOptions options;
        options.threads = threads;
        options.read = read;
        options.cancel = &cancel_;
        options.curveDone = [this](std::size_t index, const SeriesCurve& curve) {
            QMetaObject::invokeMethod(
                this, [this, index, curve] { Arrive(index, curve); }, Qt::QueuedConnection);
        };
        Series scratch;
        const bool complete = RunSeries(inputs_, settings, {}, scratch, options);
        QMetaObject::invokeMethod(
            this, [this, complete] { Finish(complete); }, Qt::QueuedConnection);
    });
}

void ResultsTableWindow::Arrive(std::size_t index, SeriesCurve curve) {
    curve.userExcluded = series_.curves[index].userExcluded;
    curve.note = std::move(series_.curves[index].note);
    curve.userFlag = std::move(series_.curves[index].userFlag);
    series_.curves[index] = std::move(curve);
    if (!arrived_[index]) ++arrivedCount_;
    arrived_[index] = true;
    progress_->setValue(static_cast<int>(arrivedCount_));
    if (arrivedCount_ == 1) Refresh();  // the first row at once
    dirty_ = true;
}

void ResultsTableWindow::Finish(bool complete) {
    if (worker_.joinable()) worker_.join();
    running_ = false;
    refreshTimer_->stop();
    cancelButton_->setEnabled(false);
    progress_->setVisible(false);
    Refresh();
    if (!complete)
        status_->setText(status_->text() + " Cancelled: the curves not analysed are left out.");
    emit analysisFinished(complete);
}

void ResultsTableWindow::Cancel() { cancel_ = true; }

void ResultsTableWindow::closeEvent(QCloseEvent* event) {
    cancel_ = true;
    QDialog::closeEvent(event);
}

void ResultsTableWindow::SetIncluded(int curve, bool included) {
    if (curve < 0 || static_cast<std::size_t>(curve) >= series_.curves.size()) return;
    series_.curves[static_cast<std::size_t>(curve)].userExcluded = !included;
    Refresh();
    if (onCurveEdited) onCurveEdited(curve);
}

void ResultsTableWindow::SetProfileAverages(
    const std::vector<std::pair<int, profiles::ProfileAverage>>& byCurve) {
    static const auto hardness = static_cast<std::size_t>(FindSeriesQuantity(kProfileHardness));
    static const auto modulus = static_cast<std::size_t>(FindSeriesQuantity(kProfileModulus));
    bool changed = false;
    for (const auto& [curve, average] : byCurve) {
        if (curve < 0 || static_cast<std::size_t>(curve) >= series_.curves.size()) continue;
        SeriesCurve& row = series_.curves[static_cast<std::size_t>(curve)];
        // Only a row that has its profile (analysed, a continuous-stiffness test) takes one.
        if (!row.ok || row.values.size() <= std::max(hardness, modulus) ||
            !std::isfinite(row.profileAverage.from))
            continue;
        row.profileAverage = average;
        row.values[hardness] = average.hardness;
        row.values[modulus] = average.modulus;
        changed = true;
    }
    if (changed) Refresh();
}

void ResultsTableWindow::SetNote(int curve, const std::string& note) {
    if (curve < 0 || static_cast<std::size_t>(curve) >= series_.curves.size()) return;
    series_.curves[static_cast<std::size_t>(curve)].note = note;
    model_->RowsChanged();
    if (onCurveEdited) onCurveEdited(curve);
}

void ResultsTableWindow::SetUserFlag(int curve, const std::string& flag) {
    if (curve < 0 || static_cast<std::size_t>(curve) >= series_.curves.size()) return;
    series_.curves[static_cast<std::size_t>(curve)].userFlag = flag;
    model_->RowsChanged();
    if (onCurveEdited) onCurveEdited(curve);
}

void ResultsTableWindow::SetCurveNotes(int curve, bool excluded, const std::string& note,
                                       const std::string& flag) {
    if (curve < 0 || static_cast<std::size_t>(curve) >= series_.curves.size()) return;
    SeriesCurve& c = series_.curves[static_cast<std::size_t>(curve)];
    c.userExcluded = excluded;
    c.note = note;
    c.userFlag = flag;
    Refresh();
}

void ResultsTableWindow::SetFitRange(int curve, std::optional<UnloadFitRange> range) {
    if (running_ || curve < 0 || static_cast<std::size_t>(curve) >= series_.curves.size()) return;
    SeriesInput& input = inputs_[static_cast<std::size_t>(curve)];
    if (input.fitRange == range) return;
    input.fitRange = range;
    CCurveAnalyzer analyzer;
    analyzer.m_readOptions = readOptions;
    CurveDisplay display;
    display.withPlotSeries = false;
    Arrive(static_cast<std::size_t>(curve),
           AnalyzeSeriesCurve(analyzer, display, input, series_.settings));
    Refresh();
}

void ResultsTableWindow::Refresh() {
    dirty_ = false;
    RefreshSeries(series_);
    // The position columns once a curve has a position (the same values `analyze` gives).
    const bool positions = std::any_of(
        series_.curves.begin(), series_.curves.end(),
        [](const SeriesCurve& c) { return std::isfinite(c.x_um) || std::isfinite(c.y_um); });
    table_->setColumnHidden(PositionColumn(), !positions);
    table_->setColumnHidden(PositionColumn() + 1, !positions);
    // The depth-profile averages once a curve is a continuous-stiffness test.
    const bool profiles =
        std::any_of(series_.curves.begin(), series_.curves.end(),
                    [](const SeriesCurve& c) { return std::isfinite(c.profileAverage.from); });
    for (const char* key : {kProfileHardness, kProfileModulus}) {
        table_->setColumnHidden(kFirstQuantityColumn + FindSeriesQuantity(key), !profiles);
        summary_->setColumnHidden(FindSeriesQuantity(key), !profiles);
    }
    model_->RowsChanged();
    UpdateSummary();
    emit seriesChanged();
}

void ResultsTableWindow::UpdateSummary() {
    const SeriesSummary& s = series_.summary;
    for (int r = 0; r < summary_->rowCount(); ++r)
        for (int c = 0; c < summary_->columnCount(); ++c) {
            const double v = StatisticRows()[static_cast<std::size_t>(r)].value(
                s.quantities[static_cast<std::size_t>(c)]);
            auto* item = new QTableWidgetItem(Number(v));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            summary_->setItem(r, c, item);
        }
    std::size_t failed = 0, user = 0, rule = 0;
    for (std::size_t i = 0; i < series_.curves.size(); ++i) {
        const SeriesCurve& c = series_.curves[i];
        if (!arrived_[i]) continue;
        if (!c.ok)
            ++failed;
        else if (c.userExcluded)
            ++user;
        else if (!c.included)
            ++rule;
    }
    QString text = QString("%1 curves: %2 included, %3 excluded by you, %4 failed")
                       .arg(series_.curves.size())
                       .arg(s.included)
                       .arg(user)
                       .arg(failed);
    if (rule) text += QString(", %1 excluded by rule").arg(rule);
    if (running_)
        text +=
            QString("; analysing (%1 of %2 done)").arg(arrivedCount_).arg(series_.curves.size());
    text += ".";
    for (std::size_t i = 0; i < series_.curves.size(); ++i)
        if (arrived_[i] && !series_.curves[i].ok) text += " " + Text(series_.curves[i].error);
    status_->setText(text);
}

std::vector<int> ResultsTableWindow::SelectedCurves() const {
    std::vector<int> curves;
    for (const QModelIndex& view : table_->selectionModel()->selectedRows())
        curves.push_back(proxy_->mapToSource(view).row());
    std::sort(curves.begin(), curves.end());
    return curves;
}

QString ResultsTableWindow::SelectedRowsText() const {
    QString out;
    const int columns = model_->columnCount();
    for (int c = 0; c < columns; ++c) {
        if (c) out += '\t';
        out += c == kIncludeColumn
                   ? QStringLiteral("Included")
                   : model_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    }
    out += '\n';
    QModelIndexList rows = table_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& view : rows) {
        const int row = proxy_->mapToSource(view).row();
        const SeriesCurve& curve = series_.curves[static_cast<std::size_t>(row)];
        out += curve.included ? "yes" : "no";
        for (int c = 1; c < columns; ++c) {
            out += '\t';
            // Full precision on the clipboard: the spreadsheet gets the numbers, not the view.
            if (c >= PositionColumn()) {
                const double v = c == PositionColumn() ? curve.x_um : curve.y_um;
                if (std::isfinite(v)) out += Text(FormatShortest(v));
            } else if (c >= kFirstQuantityColumn) {
                const double v =
                    curve.values.empty()
                        ? std::nan("")
                        : curve.values[static_cast<std::size_t>(c - kFirstQuantityColumn)];
                if (std::isfinite(v)) out += Text(FormatShortest(v));
            } else if (c == kAddressColumn) {
                out += Cell(Text(curve.input.address));
            } else {
                out += Cell(model_->data(model_->index(row, c), Qt::DisplayRole).toString());
            }
        }
        out += '\n';
    }
    return out;
}

QString ResultsTableWindow::SummaryText() const { return Text(FormatSummaryTsv(series_)); }

void ResultsTableWindow::CopySelection() {
    const bool summary = summary_->hasFocus();
    QApplication::clipboard()->setText(summary ? SummaryText() : SelectedRowsText());
}

Status ResultsTableWindow::ExportCsv(const std::filesystem::path& file) const {
    return WriteOutputFile(file, FormatSeriesCsv(series_));
}

Status ResultsTableWindow::ExportWorkbook(const std::filesystem::path& file) const {
    return WriteSeriesWorkbook(series_, file);
}

void ResultsTableWindow::OnExportCsv() {
    ui::SaveFileRequest request;
    request.filter = "CSV Files (*.csv)";
    request.defaultExtension = "csv";
    const auto file = ui::GetServices().SaveFile(request);
    if (!file) return;
    if (const Status written = ExportCsv(*file); !written.ok())
        ui::ShowMessage(nullptr, written.message(), "Marvek");
}

void ResultsTableWindow::OnExportWorkbook() {
    ui::SaveFileRequest request;
    request.filter = "Excel Workbooks (*.xlsx)";
    request.defaultExtension = "xlsx";
    const auto file = ui::GetServices().SaveFile(request);
    if (!file) return;
    if (const Status written = ExportWorkbook(*file); !written.ok())
        ui::ShowMessage(nullptr, written.message(), "Marvek");
}

}  // namespace marvek::table
