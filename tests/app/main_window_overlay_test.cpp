// Curve Overlay as a researcher reaches it: rows chosen in the results table, or every curve
// not excluded; normalised at a click; the mean curve saved as CSV; drawn off screen for a
// report.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QImage>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>

#include <cstdlib>

#include "app/resource_ids.h"
#include "graphs/overlay_view.h"
#include "main_window_fixture.h"
#include "support/temp_dir.h"
#include "table/results_table_window.h"

namespace {

using marvek::table::ResultsTableWindow;

// What the overlay window showed when it was run modally.
struct Shown {
    std::vector<std::string> labels;
    std::string caption, status, xTitle;
    std::size_t seriesCount = 0;
    bool normalised = false;
};

// Runs the next modal dialog as an overlay: records it, then `script` (normalise, save ...).
void ExpectOverlay(marvek::ui::FakeServices& services, Shown& shown,
                   std::function<void(COverlayDlg&)> script = {}) {
    services.modalScripts.push_back([&shown, script](marvek::ui::Dialog& d) {
        auto* o = dynamic_cast<COverlayDlg*>(&d);
        ASSERT_NE(o, nullptr) << "not the overlay window";
        for (const marvek::OverlayCurve& c : o->Overlay().curves) shown.labels.push_back(c.label);
        shown.caption = o->windowTitle().toStdString();
        shown.status = o->StatusText();
        if (script) script(*o);
        shown.xTitle = o->m_plot->Data().xTitle;
        shown.seriesCount = o->m_plot->Data().series.size();
        shown.normalised = o->Normalised();
    });
}

TEST_F(MainWindowTest, TheTablesSelectedRowsAreOverlaidNormalisedAndTheMeanSaved) {
    CIndentMainDlg& w = Open();
    const auto files = Curves(
        {"agilent_fs_calibration_t001.csv", "agilent_nial_t001.csv", "kla_tungsten_3mN_t01.csv"});
    ASSERT_TRUE(w.SelectFiles(files));
    w.OnResultsTable();
    auto* t = w.findChild<ResultsTableWindow*>();
    ASSERT_NE(t, nullptr);
    QSignalSpy spy(t, &ResultsTableWindow::analysisFinished);
    if (t->Running()) spy.wait(60000);
    // Rows 2 and 0 of the list chosen, in the table's (sorted) order.
    t->Table()->sortByColumn(ResultsTableWindow::kFirstQuantityColumn, Qt::DescendingOrder);
    QAbstractItemModel* m = t->Table()->model();
    for (int r = 0; r < m->rowCount(); ++r) {
        const std::string file =
            m->data(m->index(r, ResultsTableWindow::kAddressColumn), Qt::ToolTipRole)
                .toString()
                .toStdString();
        if (file == files[0].string() || file == files[2].string())
            t->Table()->selectionModel()->select(
                m->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    EXPECT_EQ(t->SelectedCurves(), (std::vector<int>{0, 2}));

    Shown shown;
    const std::filesystem::path csv = dir / "mean.csv";
    std::string expectedCsv;
    ExpectOverlay(services, shown, [&](COverlayDlg& o) {
        o.SendCommand(ID_OVERLAY_NORMALISE);
        expectedCsv = marvek::FormatOverlayCsv(o.Overlay(), true);
        services.saveAnswers.push_back(csv);
        o.SendCommand(ID_OVERLAY_SAVE_CSV);
    });
    QPushButton* overlay = nullptr;
    for (QPushButton* b : t->findChildren<QPushButton*>())
        if (b->text() == "Overlay...") overlay = b;
    ASSERT_NE(overlay, nullptr);
    overlay->click();

    EXPECT_EQ(shown.labels, (std::vector<std::string>{files[0].string(), files[2].string()}));
    EXPECT_NE(shown.caption.find("2 of 3 curves (selected in the table)"), std::string::npos)
        << shown.caption;
    EXPECT_TRUE(shown.normalised);
    EXPECT_EQ(shown.xTitle, "Depth / hmax");
    // Two curves, the two branches' means and at least one band each.
    EXPECT_GE(shown.seriesCount, 6u);
    EXPECT_EQ(marvek::testing::ReadWholeFile(csv), expectedCsv);
    EXPECT_EQ(expectedCsv.rfind("depth/hmax,loading n", 0), 0u);
}

TEST_F(MainWindowTest, WithoutAChoiceEveryCurveNotExcludedIsOverlaidAndAnUnreadableOneNamed) {
    CIndentMainDlg& w = Open();
    auto files = Curves(
        {"agilent_fs_calibration_t001.csv", "agilent_nial_t001.csv", "kla_tungsten_3mN_t01.csv"});
    const std::filesystem::path missing = dir / "gone.csv";
    std::filesystem::copy_file(files[0], missing);
    files.push_back(missing);
    ASSERT_TRUE(w.SelectFiles(files));
    std::filesystem::remove(missing);
    w.SetCurveNotes(files[1].string(), {true, "cracked", ""}, "exclusion");

    Shown shown;
    ExpectOverlay(services, shown);
    ASSERT_TRUE(w.SendCommand(resource::ID_OVERLAY));
    EXPECT_EQ(shown.labels, (std::vector<std::string>{files[0].string(), files[2].string()}));
    EXPECT_NE(shown.caption.find("3 of 4 curves (1 excluded)"), std::string::npos) << shown.caption;
    EXPECT_NE(shown.status.find("gone.csv"), std::string::npos) << shown.status;
    EXPECT_FALSE(shown.normalised);
    EXPECT_EQ(shown.xTitle, "Depth [nm]");
}

TEST(OverlayPicture, DrawsOffScreenWithTheBandAndTheMean) {
    marvek::ui::EnsureTestApplication();
    // Two parabolic indents 30 % apart in load: a band of visible width.
    std::vector<marvek::OverlayCurve> curves;
    for (double scale : {1.0, 1.3}) {
        marvek::OverlayCurve c{"c" + std::to_string(scale), {}, {}};
        for (int i = 0; i <= 100; ++i) {
            c.depth.push_back(i);
            c.load.push_back(scale * 1e-3 * i * i);
        }
        for (int i = 99; i >= 60; --i) {
            c.depth.push_back(i);
            c.load.push_back(scale * 10 * (i - 60) / 40.0);
        }
        curves.push_back(std::move(c));
    }
    const QImage image = marvek::graphs::RenderOverlayPicture(curves, false, 640, 480).toImage();
    ASSERT_EQ(image.width(), 640);
    ASSERT_EQ(image.height(), 480);
    int black = 0, band = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() < 40 && c.green() < 40 && c.blue() < 40) ++black;
            // The band's translucent blue over white: about (196, 207, 232).
            if (std::abs(c.red() - 196) < 8 && std::abs(c.green() - 207) < 8 &&
                std::abs(c.blue() - 232) < 8)
                ++band;
        }
    EXPECT_GT(black, 300);  // the mean lines and the axes' text
    EXPECT_GT(band, 2000);
}

}  // namespace
