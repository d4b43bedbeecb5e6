// "Results Table": the selected curves as one series in a window of its own. Selecting a row
// shows that curve here; the include boxes, notes and flags typed there are the main window's
// (they outlive the table, go into projects and can be undone).
#include <QPointer>

#include "app/main_window.h"
#include "core/io/parsed_curve.h"
#include "table/results_table_window.h"

void CIndentMainDlg::OnResultsTable() {
    if (m_analyzer.m_nFileCount < 1 || !UpdateData(true)) return;
    if (table_) table_->close();
    std::vector<marvek::SeriesInput> inputs;
    for (int k = 0; k < m_analyzer.m_nFileCount; ++k) {
        const std::string address = m_analyzer.m_strFiles[static_cast<std::size_t>(k)].string();
        // A workbook's test has its own column; the file column holds the file alone.
        const marvek::io::Address a = marvek::io::ParseAddress(address);
        inputs.push_back({address, a.file.string(), a.test, NotesOf(address).fitRange});
    }
    auto* window =
        new marvek::table::ResultsTableWindow(this, std::move(inputs), CurrentSettings());
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->readOptions = m_analyzer.m_readOptions;
    for (int k = 0; k < m_analyzer.m_nFileCount; ++k) {
        const auto notes = NotesOf(m_analyzer.m_strFiles[static_cast<std::size_t>(k)].string());
        if (!notes.Empty()) window->SetCurveNotes(k, notes.excluded, notes.note, notes.flag);
    }
    window->onShowCurve = [this](int curve) {
        if (curve < 0 || curve >= m_analyzer.m_nFileCount) return;
        DisplayCurve(curve);
    };
    window->onCurveEdited = [this, window](int curve) {
        const marvek::SeriesCurve& c =
            window->CurrentSeries().curves[static_cast<std::size_t>(curve)];
        const marvek::project::CurveNotes old = NotesOf(c.input.address);
        // The table edits these three; the curve's fit range stays as it is.
        marvek::project::CurveNotes notes = old;
        notes.excluded = c.userExcluded;
        notes.note = c.note;
        notes.flag = c.userFlag;
        const std::string what = old.excluded != notes.excluded ? "exclusion"
                                 : old.note != notes.note       ? "note"
                                                                : "flag";
        SetCurveNotes(c.input.address, notes, what);
        UpdateContext();
    };
    window->onOverlay = [this](std::vector<int> curves) { ShowOverlay(std::move(curves)); };
    table_ = window;
    FollowTable();  // an open property map follows the new table
    window->show();
    window->Start();
}
