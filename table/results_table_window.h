#pragma once
// The "Results Table" window: every selected curve with its quantities, quality flags and an
// include box, the summary of the included curves under it, copy and export. The analysis runs
// on a worker thread; rows appear as their curves finish and the window stays responsive.

#include <QDialog>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "core/series/series.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class QTableWidget;
class QTimer;

namespace marvek::table {

class SeriesTableModel;

class ResultsTableWindow : public QDialog {
    Q_OBJECT
public:
    // Table column of the include box, the address and the flags; quantities follow, then the
    // position x_um and y_um (shown once a curve has one).
    static constexpr int kIncludeColumn = 0, kAddressColumn = 1, kFlagsColumn = 2, kNoteColumn = 3,
                         kUserFlagColumn = 4, kFirstQuantityColumn = 5;
    static int PositionColumn();  // x_um; y_um is the next

    ResultsTableWindow(QWidget* parent, std::vector<SeriesInput> inputs, Settings settings);
    ~ResultsTableWindow() override;

    // Called with the curve's index in the inputs when the user selects its row.
    std::function<void(int curve)> onShowCurve;
    // Called after the user changed a curve's include box, note or own flag (read them from
    // CurrentSeries()); not called for SetCurveNotes.
    std::function<void(int curve)> onCurveEdited;

    // How the curve files are read (columns and units given in the window); set before Start.
    io::ReadOptions readOptions;
    // Starts the analysis (threads: 0 all cores).
    void Start(int threads = 0);
    bool Running() const { return running_; }
    const Series& CurrentSeries() const { return series_; }

    // What the buttons and keys do, for the window and its tests.
    void SetIncluded(int curve, bool included);
    void SetNote(int curve, const std::string& note);
    void SetUserFlag(int curve, const std::string& flag);
    // Puts the user's exclusion, note and flag of a curve (from a project or an undo) without
    // calling onCurveEdited.
    void SetCurveNotes(int curve, bool excluded, const std::string& note, const std::string& flag);
    // A curve's own unloading fit range changed (none: the settings'): its row is analysed
    // again once the table's analysis has finished (while it runs, the row keeps what it had).
    void SetFitRange(int curve, std::optional<UnloadFitRange> range);
    // The depth-profile averages of some curves over the window the user chose in the profile
    // view (curve index and its average): the rows and statistics follow at once, nothing is
    // analysed again; a row analysed again later has its workbook's window back.
    void SetProfileAverages(const std::vector<std::pair<int, profiles::ProfileAverage>>& byCurve);
    QString SelectedRowsText() const;  // tab-separated, a header line first
    // The curves of the selected rows (indices into the inputs), in list order.
    std::vector<int> SelectedCurves() const;
    // Called by the Overlay button with SelectedCurves() (empty: none selected).
    std::function<void(std::vector<int> curves)> onOverlay;
    QString SummaryText() const;
    void CopySelection();  // Ctrl+C: the selected rows, or the summary when it has the focus
    Status ExportCsv(const std::filesystem::path& file) const;
    Status ExportWorkbook(const std::filesystem::path& file) const;

    QTableView* Table() const { return table_; }
    QTableWidget* Summary() const { return summary_; }

signals:
    void analysisFinished(bool complete);
    // The rows, exclusions or statistics changed (arrivals, include boxes).
    void seriesChanged();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Arrive(std::size_t index, SeriesCurve curve);
    void Finish(bool complete);
    void Refresh();
    void UpdateSummary();
    void Cancel();
    void OnExportCsv();
    void OnExportWorkbook();

    std::vector<SeriesInput> inputs_;
    Series series_;
    std::vector<bool> arrived_;
    std::size_t arrivedCount_ = 0;
    bool running_ = false;
    bool dirty_ = false;
    std::atomic<bool> cancel_{false};
    std::thread worker_;

    SeriesTableModel* model_ = nullptr;
    QSortFilterProxyModel* proxy_ = nullptr;
    QTableView* table_ = nullptr;
    QTableWidget* summary_ = nullptr;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QTimer* refreshTimer_ = nullptr;
};

}  // namespace marvek::table
