// The Results Table window offscreen: progressive filling, include boxes, sorting, copy, export
// and the main window's menu command.
#include "table/results_table_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include <cmath>

#include "app/resource_ids.h"
#include "core/config/parameter_file.h"
#include "main_window_fixture.h"
#include "support/curve_generator.h"
#include "ui/test_doubles.h"

namespace {

using marvek::table::ResultsTableWindow;

struct Curves {
    marvek::testing::TempDir dir;
    std::vector<marvek::SeriesInput> inputs;
    Curves() {
        for (int k = 0; k < 7; ++k) {
            marvek::testing::CurveShape shape;
            shape.seed = static_cast<unsigned>(k + 1);
            shape.unloadToFraction = 0.05;
            shape.noiseLoad = 0.001;
            shape.hMax = k == 2 ? 170 : 100 + k;
            shape.hf = k == 2 ? 95 : 40;
            const auto file = dir.Write("indent " + std::to_string(k) + ".csv",
                                        CurveText(GenerateCurve(shape), {}));
            inputs.push_back({file.string(), file.string(), ""});
        }
        const auto gone = (dir.path() / "gone.csv").string();
        inputs.push_back({gone, gone, ""});
    }
};

bool WaitFinished(ResultsTableWindow& w) {
    QSignalSpy spy(&w, &ResultsTableWindow::analysisFinished);
    return !w.Running() || spy.wait(60000);
}

TEST(ResultsTable, FillsInTheBackgroundAndFollowsIncludeBoxesWithoutNewAnalysis) {
    marvek::ui::EnsureTestApplication();
    Curves curves;
    ResultsTableWindow w(nullptr, curves.inputs, marvek::Settings{});
    std::vector<int> shown;
    w.onShowCurve = [&](int curve) { shown.push_back(curve); };
    w.show();
    w.Start(2);
    ASSERT_TRUE(WaitFinished(w));
    const marvek::Series& s = w.CurrentSeries();
    const int eit = marvek::FindSeriesQuantity("EIT");
    EXPECT_EQ(s.summary.quantities[eit].n, 7u);
    EXPECT_EQ(s.summary.failed, 1u);
    EXPECT_TRUE(s.curves[2].HasFlag("outlier-hmax"));

    // The summary table shows the statistics; the deep indent's include box takes it out.
    QTableWidget* summary = w.Summary();
    EXPECT_EQ(summary->item(0, eit)->text(), "7");
    const double before = s.curves[2].values[eit];
    QAbstractItemModel* model = w.Table()->model();
    int deepRow = -1;
    for (int r = 0; r < model->rowCount(); ++r)
        if (model->data(model->index(r, ResultsTableWindow::kAddressColumn))
                .toString()
                .contains("indent 2"))
            deepRow = r;
    ASSERT_GE(deepRow, 0);
    EXPECT_TRUE(
        model->data(model->index(deepRow, ResultsTableWindow::kFlagsColumn), Qt::ToolTipRole)
            .toString()
            .contains("maximum depth"));
    ASSERT_TRUE(model->setData(model->index(deepRow, ResultsTableWindow::kIncludeColumn),
                               Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_EQ(summary->item(0, eit)->text(), "6");
    EXPECT_EQ(s.curves[2].values[eit], before);
    EXPECT_EQ(s.summary.excluded.front().reason, "excluded by the user");

    // Sorting by EIT puts the not-a-number row (the failed file) last.
    w.Table()->sortByColumn(ResultsTableWindow::kFirstQuantityColumn + eit, Qt::AscendingOrder);
    const int last = model->rowCount() - 1;
    EXPECT_TRUE(model->data(model->index(last, ResultsTableWindow::kAddressColumn))
                    .toString()
                    .contains("gone"));
    const double a =
        model->data(model->index(0, ResultsTableWindow::kFirstQuantityColumn + eit)).toDouble();
    const double b =
        model->data(model->index(1, ResultsTableWindow::kFirstQuantityColumn + eit)).toDouble();
    EXPECT_LE(a, b);

    // Selecting rows shows the curve; Ctrl+C puts header and rows on the clipboard with tabs.
    w.Table()->setFocus();
    w.Table()->selectRow(last);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), 7);
    w.Table()->selectRow(0);
    w.Table()->selectionModel()->select(model->index(1, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keySequence(&w, QKeySequence::Copy);
    const QStringList lines = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith("Included\tCurve\tFlags\tNote\tYour flag\tFmax [mN]"));
    EXPECT_EQ(lines[1].count('\t'), lines[0].count('\t'));
    EXPECT_TRUE(w.SummaryText().startsWith("statistic\tFmax [mN]"));
    EXPECT_TRUE(w.SummaryText().contains("excluded\t"));

    const auto csv = curves.dir.path() / "table.csv";
    const auto book = curves.dir.path() / "table.xlsx";
    EXPECT_TRUE(w.ExportCsv(csv).ok());
    EXPECT_TRUE(w.ExportWorkbook(book).ok());
    EXPECT_GT(std::filesystem::file_size(book), 1000u);

    if (const char* shot = std::getenv("MARVEK_TABLE_SCREENSHOT")) w.grab().save(shot);
}

TEST(ResultsTable, ClosingWhileAnalysingCancels) {
    marvek::ui::EnsureTestApplication();
    Curves curves;
    std::vector<marvek::SeriesInput> many;
    for (int k = 0; k < 40; ++k)
        many.insert(many.end(), curves.inputs.begin(), curves.inputs.end());
    auto w = std::make_unique<ResultsTableWindow>(nullptr, many, marvek::Settings{});
    w->Start(1);
    w->close();
    ASSERT_TRUE(WaitFinished(*w));
    w.reset();  // joins the worker; nothing may reach the window afterwards
    QCoreApplication::processEvents();
}

class ResultsTableMenu : public MainWindowTest {};

TEST_F(ResultsTableMenu, OpensBesideTheGraphsAndSelectingARowShowsTheCurve) {
    CIndentMainDlg& w = Open();
    ASSERT_TRUE(w.SelectFiles(
        Curves({"agilent_nial_t001.csv", "hysitron_steel_0000.csv", "kla_tungsten_3mN_t01.csv"})));
    ASSERT_TRUE(w.TriggerMenuCommand(resource::ID_RESULTS_TABLE));
    auto* table = w.findChild<ResultsTableWindow*>();
    ASSERT_NE(table, nullptr);
    ASSERT_TRUE(WaitFinished(*table));
    EXPECT_EQ(table->CurrentSeries().summary.included, 3u);
    table->Table()->selectRow(2);
    EXPECT_EQ(w.m_nCurrentCurve, 2);
    EXPECT_EQ(w.m_ctlCurveScroll.GetScrollPos(), 2);
    table->close();
}

// Thresholds nobody edits in a window still survive a run of it.
TEST_F(ResultsTableMenu, FlagThresholdsInTheParameterFileSurviveARun) {
    marvek::Settings stored;
    stored.quality.m_dMinRSquared = 0.9;
    stored.quality.m_dSlipDepth = 4.5;
    ASSERT_TRUE(marvek::SaveParameters(parameterFile, stored).ok());
    CIndentMainDlg& w = Open();
    EXPECT_EQ(w.CurrentSettings().quality.m_dMinRSquared, 0.9);
    ASSERT_TRUE(w.TriggerMenuCommand(resource::ID_EXIT));
    marvek::Settings back;
    ASSERT_TRUE(marvek::LoadParameters(parameterFile, back).ok());
    EXPECT_EQ(back.quality.m_dMinRSquared, 0.9);
    EXPECT_EQ(back.quality.m_dSlipDepth, 4.5);
}

}  // namespace
