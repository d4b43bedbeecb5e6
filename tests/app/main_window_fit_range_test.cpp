// One curve's own unloading fit range, as a researcher sets it: the ends of the fit dragged on
// the plot give the analysis of settings with that range, marked in the results and the table,
// kept in the project, undone and reset.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include "app/resource_ids.h"
#include "core/project/project.h"
#include "main_window_fixture.h"
#include "table/results_table_window.h"

namespace {

using marvek::UnloadFitRange;
using marvek::table::ResultsTableWindow;

// The flags column of `file`'s row in the results table.
std::string TableFlags(CIndentMainDlg& w, const std::filesystem::path& file) {
    auto* t = w.findChild<ResultsTableWindow*>();
    if (!t) return "no table";
    QSignalSpy spy(t, &ResultsTableWindow::analysisFinished);
    if (t->Running()) spy.wait(60000);
    QAbstractItemModel* m = t->Table()->model();
    for (int r = 0; r < m->rowCount(); ++r)
        if (m->data(m->index(r, ResultsTableWindow::kAddressColumn), Qt::ToolTipRole).toString() ==
            QString::fromStdString(file.string()))
            return m->data(m->index(r, ResultsTableWindow::kFlagsColumn)).toString().toStdString();
    return "no row";
}

// E(IT) of `file` analysed outside the window with `settings`.
double EitWith(const std::filesystem::path& file, const marvek::Settings& settings) {
    marvek::CCurveAnalyzer a;
    marvek::ConfigureAnalyzer(a, settings.strategy);
    a.SetAddresses({file});
    marvek::CurveDisplay d;
    EXPECT_TRUE(marvek::AnalyzeCurve(a, 0, settings, d).ok());
    return d.m_dEIT;
}

const marvek::ui::PlotSeries* Handles(const CIndentMainDlg& w) {
    for (const marvek::ui::PlotSeries& s : w.m_plot->Data().series)
        if (s.name == "fit range") return &s;
    return nullptr;
}

TEST_F(MainWindowTest, ADraggedFitRangeIsTheCurvesOwnMarkedSavedReopenedUndoneAndReset) {
    CIndentMainDlg& w = Open();
    const auto files = Curves({"agilent_fs_calibration_t001.csv", "agilent_nial_t001.csv"});
    ASSERT_TRUE(w.SelectFiles(files));
    const double eitBefore = w.m_dEIT;
    const auto ends = w.ShownFitRangeEnds();
    ASSERT_TRUE(ends.has_value());
    // The handles stand at the ends of the fitted section.
    const marvek::ui::PlotSeries* handles = Handles(w);
    ASSERT_NE(handles, nullptr);
    EXPECT_EQ(handles->y, (std::vector<double>{ends->upperLoad, ends->lowerLoad}));
    EXPECT_EQ(w.m_strResults.find("Custom range"), std::string::npos);

    // The lower end dragged to half the load drop: 50-82 % (the default upper end).
    const double half = ends->bottomLoad + 0.5 * (ends->peakLoad - ends->bottomLoad);
    ASSERT_TRUE(w.OnFitRangeDragged(false, half));
    const UnloadFitRange range{50, 82};
    EXPECT_EQ(w.NotesOf(files[0].string()).fitRange, range);
    EXPECT_EQ(w.m_dEIT, EitWith(files[0], marvek::WithFitRange(w.CurrentSettings(), range)));
    EXPECT_NE(w.m_dEIT, eitBefore);
    EXPECT_EQ(w.m_strResults.rfind("Custom range: unloading fitted over 50-82 %", 0), 0u)
        << w.m_strResults.substr(0, 120);
    EXPECT_GT(Handles(w)->y[1],
              w.ShownFitRangeEnds()->bottomLoad + 0.49 * (ends->peakLoad - ends->bottomLoad));
    // An end dragged past the other changes nothing.
    EXPECT_FALSE(w.OnFitRangeDragged(true, half));
    EXPECT_EQ(w.NotesOf(files[0].string()).fitRange, range);

    // The table marks the curve and only it.
    w.OnResultsTable();
    EXPECT_NE(TableFlags(w, files[0]).find("custom-range"), std::string::npos)
        << TableFlags(w, files[0]);
    EXPECT_EQ(TableFlags(w, files[1]).find("custom-range"), std::string::npos);
    // A note typed in the table leaves the range as it is.
    w.findChild<ResultsTableWindow*>()->SetNote(0, "indent near a scratch");
    EXPECT_EQ(w.NotesOf(files[0].string()).fitRange, range);
    w.OnUndo();  // the note

    // Undo takes the range away (and the analysis with it); redo puts it back.
    w.OnUndo();
    EXPECT_FALSE(w.NotesOf(files[0].string()).fitRange.has_value());
    EXPECT_EQ(w.m_dEIT, eitBefore);
    EXPECT_EQ(w.m_strResults.find("Custom range"), std::string::npos);
    EXPECT_EQ(TableFlags(w, files[0]).find("custom-range"), std::string::npos);
    w.OnRedo();
    EXPECT_EQ(w.NotesOf(files[0].string()).fitRange, range);
    const double eitCustom = w.m_dEIT;

    // Saved and opened again in a new window: the same range, mark and numbers.
    const auto file = dir / "work.marvek";
    ASSERT_TRUE(w.SaveProjectTo(file).ok());
    marvek::project::Project p;
    ASSERT_TRUE(marvek::project::ReadProject(file, p).ok());
    dlg.reset();
    CIndentMainDlg& again = Open();
    ASSERT_TRUE(again.RestoreProject(p, file));
    EXPECT_EQ(again.NotesOf(files[0].string()).fitRange, range);
    EXPECT_EQ(again.m_dEIT, eitCustom);
    EXPECT_EQ(again.m_strResults.rfind("Custom range", 0), 0u);

    // View > Reset Fit Range: the settings' range again, undoable.
    ASSERT_TRUE(again.SendCommand(resource::ID_RESET_FIT_RANGE));
    EXPECT_FALSE(again.NotesOf(files[0].string()).fitRange.has_value());
    EXPECT_EQ(again.m_dEIT, eitBefore);
    EXPECT_TRUE(again.CanUndo());
}

// The handle taken with the mouse and let go lower down the unloading sets the range as the
// handler does.
TEST_F(MainWindowTest, TheMouseDragsTheUpperEndOfTheFit) {
    CIndentMainDlg& w = Open();
    const auto files = Curves({"agilent_fs_calibration_t001.csv"});
    ASSERT_TRUE(w.SelectFiles(files));
    w.resize(1200, 800);
    w.show();
    QApplication::processEvents();
    w.m_plot->replot(QCustomPlot::rpImmediateRefresh);
    const auto ends = w.ShownFitRangeEnds();
    ASSERT_TRUE(ends.has_value());
    const QPoint from(static_cast<int>(w.m_plot->xAxis->coordToPixel(ends->upperDepth)),
                      static_cast<int>(w.m_plot->yAxis->coordToPixel(ends->upperLoad)));
    const double target = ends->bottomLoad + 0.7 * (ends->peakLoad - ends->bottomLoad);
    const QPoint to(from.x(), static_cast<int>(w.m_plot->yAxis->coordToPixel(target)));
    const marvek::ui::PlotRange view = w.m_plot->View();
    QTest::mousePress(w.m_plot, Qt::LeftButton, {}, from);
    QTest::mouseMove(w.m_plot, to);
    QTest::mouseRelease(w.m_plot, Qt::LeftButton, {}, to);
    const auto range = w.NotesOf(files[0].string()).fitRange;
    ASSERT_TRUE(range.has_value());
    EXPECT_NEAR(range->maxPercent, 70, 1.5);  // a pixel is a fraction of a per cent
    EXPECT_EQ(range->minPercent, 20);
    // The drag moved the range, not the view.
    EXPECT_EQ(w.m_plot->View().xLower, view.xLower);
    EXPECT_EQ(w.m_plot->View().yUpper, view.yUpper);
}

}  // namespace
