// The property map offscreen, opened from the main window over a generated two-phase grid of
// TriboScan files with stage positions: what it draws, how the table's exclusions reach it, the
// hover text, a click that shows the curve, the exports; and the table's position columns.
#include "graphs/map_view.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "app/main_window_fixture.h"
#include "app/resource_ids.h"
#include "support/curve_generator.h"
#include "support/indent_grid.h"
#include "table/results_table_window.h"
#include "ui/plot_view.h"
#include "ui/test_doubles.h"

namespace {

using marvek::graphs::MapView;
using marvek::table::ResultsTableWindow;

class PropertyMap : public MainWindowTest {
protected:
    // The grid in the main window, the map opened from its menu, the table's analysis done.
    MapView& OpenMap(const marvek::testing::IndentGrid& g) {
        grid = marvek::testing::WriteIndentGrid(dir, g);
        CIndentMainDlg& w = Open();
        EXPECT_TRUE(w.SelectFiles(grid.files));
        EXPECT_TRUE(w.TriggerMenuCommand(resource::ID_PROPERTY_MAP));
        table = w.findChild<ResultsTableWindow*>();
        map = w.findChild<MapView*>();
        EXPECT_NE(table, nullptr);
        EXPECT_NE(map, nullptr);
        if (table->Running()) {
            QSignalSpy spy(table, &ResultsTableWindow::analysisFinished);
            EXPECT_TRUE(spy.wait(60000));
        }
        map->Flush();
        return *map;
    }
    int Drawn() const {
        for (int i = 0; i < map->MapPlotView()->graphCount(); ++i)
            if (map->MapPlotView()->graph(i)->name() == "indents")
                return map->MapPlotView()->graph(i)->dataCount();
        return -1;
    }
    marvek::testing::WrittenGrid grid;
    ResultsTableWindow* table = nullptr;
    MapView* map = nullptr;
};

TEST_F(PropertyMap, DrawsEveryIncludedIndentAndFindsTheTwoPhases) {
    marvek::testing::IndentGrid g;
    g.rows = 7, g.columns = 9;
    MapView& m = OpenMap(g);
    const int n = g.rows * g.columns;
    ASSERT_EQ(m.MappedIndents(), n);
    EXPECT_EQ(Drawn(), n);
    // The surface spans the grid with equal cells, coloured over the indents' range.
    EXPECT_GT(m.Grid().nx, 0);
    EXPECT_GE(m.Grid().x0_um + m.Grid().nx * m.Grid().cell_um, (g.columns - 1) * g.pitch_um);
    // Equal scales: a micrometre is as many pixels across as up.
    const auto* plot = m.MapPlotView();
    const double across = plot->xAxis->coordToPixel(10) - plot->xAxis->coordToPixel(0);
    const double up = plot->yAxis->coordToPixel(0) - plot->yAxis->coordToPixel(10);
    EXPECT_NEAR(across, up, 0.01 * up);

    // Two phases by BIC, the particle's share within one indent of the truth.
    const marvek::phases::MixtureFit& fit = m.Mixture();
    ASSERT_EQ(fit.k, 2) << fit.status.reason();
    int particles = 0;
    for (bool p : grid.particle) particles += p ? 1 : 0;
    EXPECT_NEAR(fit.phases[1].weight * n, particles, 1.0);
    EXPECT_NEAR(fit.phases[1].mean[0], 1000 * g.particleHardness, 0.1 * 1000 * g.particleHardness);
    for (const MapView::Indent& in : m.Indents())
        EXPECT_EQ(in.phase, grid.particle[static_cast<std::size_t>(in.curve)] ? 1 : 0)
            << "curve " << in.curve;
    // The histogram carries a curve per phase and their sum; the scatter a series per phase.
    EXPECT_EQ(m.HistogramView()->Data().series.size(), 4u);
    EXPECT_NE(m.HistogramView()->Data().note.find("k = 2"), std::string::npos);
    EXPECT_EQ(m.ScatterView()->Data().series.size(), 2u);
    table->close();
}

TEST_F(PropertyMap, ExclusionsInTheTableReachTheMapAndTheMixtureAtOnce) {
    marvek::testing::IndentGrid g;
    g.rows = 5, g.columns = 6;
    MapView& m = OpenMap(g);
    const int n = g.rows * g.columns;
    ASSERT_EQ(m.MappedIndents(), n);
    ASSERT_EQ(m.Mixture().samples, n);
    const double before = m.Mixture().phases.back().mean[0];
    // A particle indent out: one dot and one sample fewer, and the particle phase moves.
    int out = -1;
    for (std::size_t i = 0; i < grid.particle.size() && out < 0; ++i)
        if (grid.particle[i]) out = static_cast<int>(i);
    ASSERT_GE(out, 0);
    table->SetIncluded(out, false);
    m.Flush();
    EXPECT_EQ(m.MappedIndents(), n - 1);
    EXPECT_EQ(Drawn(), n - 1);
    EXPECT_EQ(m.Mixture().samples, n - 1);
    for (const MapView::Indent& in : m.Indents()) EXPECT_NE(in.curve, out);
    EXPECT_NE(m.Mixture().phases.back().mean[0], before);
    // Back in: all of them again.
    table->SetIncluded(out, true);
    m.Flush();
    EXPECT_EQ(Drawn(), n);
    EXPECT_EQ(m.Mixture().samples, n);
    table->close();
}

TEST_F(PropertyMap, HoverNamesTheIndentAndAClickShowsItsCurve) {
    marvek::testing::IndentGrid g;
    g.rows = 4, g.columns = 5;
    MapView& m = OpenMap(g);
    m.show();
    QApplication::processEvents();
    ASSERT_EQ(m.MappedIndents(), 20);
    // Indent 13 is curve 13 (raster order); not the curve on show.
    int pick = -1;
    for (int i = 0; i < static_cast<int>(m.Indents().size()); ++i)
        if (m.Indents()[static_cast<std::size_t>(i)].curve == 13) pick = i;
    ASSERT_GE(pick, 0);
    const QPoint at = m.IndentPixel(pick);
    EXPECT_EQ(m.IndentAt(at + QPoint(2, -1)), pick);
    const QString tip = m.ToolTipAt(at);
    EXPECT_TRUE(tip.contains(QString::fromStdString(grid.files[13].filename().string())))
        << tip.toStdString();
    EXPECT_TRUE(tip.contains("HIT [MPa]")) << tip.toStdString();
    EXPECT_TRUE(tip.contains("x = 15")) << tip.toStdString();
    // Far from every indent: nothing.
    EXPECT_TRUE(m.ToolTipAt(QPoint(1, 1)).isEmpty());
    ASSERT_NE(dlg->m_nCurrentCurve, 13);
    QTest::mouseClick(m.MapPlotView(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(dlg->m_nCurrentCurve, 13);
    table->close();
}

TEST_F(PropertyMap, ExportsThePictureTheDrawingAndTheIndents) {
    marvek::testing::IndentGrid g;
    g.rows = 3, g.columns = 4;
    MapView& m = OpenMap(g);
    ASSERT_TRUE(m.ExportPng(dir / "map.png").ok());
    ASSERT_TRUE(m.ExportSvg(dir / "map.svg").ok());
    ASSERT_TRUE(m.ExportCsv(dir / "map.csv").ok());
    EXPECT_GT(std::filesystem::file_size(dir / "map.png"), 1000u);
    std::ifstream svg(dir / "map.svg");
    std::stringstream svgText;
    svgText << svg.rdbuf();
    EXPECT_NE(svgText.str().find("<svg"), std::string::npos);
    std::ifstream csv(dir / "map.csv");
    std::string header, line;
    std::getline(csv, header);
    EXPECT_EQ(header.rfind("file,test,x_um", 0), 0u) << header;
    EXPECT_NE(header.find("HIT [MPa]"), std::string::npos);
    int rows = 0;
    while (std::getline(csv, line)) ++rows;
    EXPECT_EQ(rows, 12);
    // A folder that is not there: the failure names the file.
    const marvek::Status bad = m.ExportCsv(dir / "missing" / "map.csv");
    EXPECT_FALSE(bad.ok());
    EXPECT_NE(bad.message().find("map.csv"), std::string::npos);
    table->close();
}

// The table shows where each indent was, the values `analyze` gives (the file's stage X/Y).
TEST_F(PropertyMap, TheResultsTableShowsThePositions) {
    marvek::testing::IndentGrid g;
    g.rows = 2, g.columns = 3;
    OpenMap(g);
    const int x = ResultsTableWindow::PositionColumn();
    QAbstractItemModel* model = table->Table()->model();
    EXPECT_FALSE(table->Table()->isColumnHidden(x));
    EXPECT_EQ(model->headerData(x, Qt::Horizontal).toString().toStdString(), "x_um [\xC2\xB5m]");
    for (int r = 0; r < model->rowCount(); ++r) {
        const int curve = r;  // list order
        EXPECT_EQ(model->data(model->index(r, x)).toString().toDouble(), (curve % 3) * g.pitch_um);
        EXPECT_EQ(model->data(model->index(r, x + 1)).toString().toDouble(),
                  (curve / 3) * g.pitch_um);
    }
    table->close();
}

// A project remembers the open map and opens it again with the project's curves.
TEST_F(PropertyMap, ProjectsRememberTheOpenMap) {
    marvek::testing::IndentGrid g;
    g.rows = 2, g.columns = 2;
    OpenMap(g);
    const marvek::project::Project p = dlg->CurrentProject();
    ASSERT_TRUE(std::any_of(p.views.begin(), p.views.end(),
                            [](const marvek::project::View& v) { return v.name == "map"; }));
    ASSERT_TRUE(dlg->RestoreProject(p, dir / "grid.marvek"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const auto maps = dlg->findChildren<MapView*>();
    ASSERT_EQ(maps.size(), 1);
    EXPECT_NE(maps.front(), map);  // the old one is gone, a new one follows the new table
    auto* newTable = dlg->findChild<ResultsTableWindow*>();
    ASSERT_NE(newTable, nullptr);
    if (newTable->Running()) {
        QSignalSpy spy(newTable, &ResultsTableWindow::analysisFinished);
        ASSERT_TRUE(spy.wait(60000));
    }
    maps.front()->Flush();
    EXPECT_EQ(maps.front()->MappedIndents(), 4);
    newTable->close();
}

// A large grid's phases are fitted off the window thread: the map is there at once, the phases
// follow, and a change made while a fit runs voids that fit.
TEST(PropertyMapLarge, PhasesOfALargeGridArriveOffTheWindowThread) {
    marvek::ui::EnsureTestApplication();
    constexpr int kSide = 24;  // 576 indents, above the window-thread limit
    static_assert(kSide * kSide > MapView::kPhasesOnWindowThread);
    marvek::Series series;
    marvek::testing::PortableNoise noise(5);
    const int hit = marvek::FindSeriesQuantity("HIT");
    const int eit = marvek::FindSeriesQuantity("EIT");
    for (int j = 0; j < kSide; ++j)
        for (int i = 0; i < kSide; ++i) {
            marvek::SeriesCurve c;
            c.input.address = c.input.file = "g" + std::to_string(j) + "_" + std::to_string(i);
            c.ok = c.included = true;
            c.values.assign(marvek::SeriesQuantities().size(), std::nan(""));
            c.values[static_cast<std::size_t>(hit)] =
                (i < kSide / 4 ? 9000 : 3000) + noise.Normal(200);
            c.values[static_cast<std::size_t>(eit)] = (i < kSide / 4 ? 240 : 110) + noise.Normal(6);
            c.x_um = 2.0 * i, c.y_um = 2.0 * j;
            series.curves.push_back(std::move(c));
        }
    MapView m;
    m.SetSeries(series);
    m.Flush();
    EXPECT_EQ(m.MappedIndents(), kSide * kSide);
    EXPECT_TRUE(m.FittingPhases());
    // A newer series while the first fit runs: only its phases are shown.
    series.curves[0].included = false;
    m.SetSeries(series);
    m.Flush();
    for (int waited = 0; m.FittingPhases() && waited < 1200; ++waited) QTest::qWait(50);
    ASSERT_FALSE(m.FittingPhases());
    EXPECT_EQ(m.Mixture().samples, kSide * kSide - 1);
    ASSERT_EQ(m.Mixture().k, 2);
    EXPECT_NEAR(m.Mixture().phases.front().weight, 0.75, 0.02);
    EXPECT_GE(m.Indents().front().phase, 0);
}

}  // namespace
