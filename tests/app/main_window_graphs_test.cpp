// The graph commands of the main window: the graph window they open, the state they leave.
#include "core/series/graph_series.h"
#include "graphs/graph_window.h"
#include "main_window_fixture.h"
#include "settings/strategy_dialog.h"

namespace {

// Opens the graph window through the doubles and keeps what it showed.
struct ShownGraph {
    std::string x, y;
    std::vector<double> xs, ys;
};

void CaptureNextGraph(marvek::ui::FakeServices& services, ShownGraph& shown) {
    services.modalScripts.push_back([&shown](marvek::ui::Dialog& d) {
        auto& g = dynamic_cast<CGraphDlg&>(d);
        shown = {g.m_strXLabel, g.m_strYLabel, g.m_adX, g.m_adY};
        g.SendCommand(ID_GRAPH_EXIT);
    });
}

TEST_F(MainWindowTest, CurveListGraphShowsOnePointPerCurveAndLeavesTheLastAnalysed) {
    CIndentMainDlg& w = Open();
    const auto files =
        Curves({"agilent_nial_t001.csv", "kla_tungsten_3mN_t01.csv", "hysitron_steel_0000.csv"});
    ASSERT_TRUE(w.SelectFiles(files));
    const std::string results = w.m_strResults;
    ShownGraph shown;
    CaptureNextGraph(services, shown);
    w.OnModulusDepth();
    EXPECT_EQ(shown.x, "Maximum Depth (nm)");
    EXPECT_EQ(shown.y, " [GPa]");
    ASSERT_EQ(shown.xs.size(), 3u);
    // The plot shows the last curve analysed; the text and the scroll bar stay.
    EXPECT_EQ(w.m_analyzer.m_dHmax, shown.xs[2]);
    EXPECT_EQ(w.m_dEIT, shown.ys[2]);
    EXPECT_EQ(w.m_strResults, results);
    EXPECT_EQ(w.m_nCurrentCurve, 0);
}

TEST_F(MainWindowTest, SweepsPutTheSettingsBackAndFailuresAreSaidOnce) {
    CIndentMainDlg& w = Open();
    auto files = Curves({"agilent_nial_t001.csv", "kla_tungsten_3mN_t01.csv"});
    files.insert(files.begin() + 1, dir / "gone.csv");
    ASSERT_TRUE(w.SelectFiles(files));
    const float opMin = g_dlgStrategy.m_fOPMinPercent, opMax = g_dlgStrategy.m_fOPMaxPercent;
    ShownGraph shown;
    CaptureNextGraph(services, shown);
    w.OnPercentSeries();
    EXPECT_EQ(shown.xs.size(), 198u);
    EXPECT_EQ(g_dlgStrategy.m_fOPMinPercent, opMin);
    EXPECT_EQ(g_dlgStrategy.m_fOPMaxPercent, opMax);

    const std::size_t messages = services.messages.size();
    CaptureNextGraph(services, shown);
    w.OnHMCurve();
    // Curves counted from 1, as the main window's "k of n" counts them.
    EXPECT_EQ(shown.xs, (std::vector<double>{1, 3}));
    ASSERT_EQ(services.messages.size(), messages + 1);
    EXPECT_NE(services.messages.back().text.find("gone.csv"), std::string::npos);
}

TEST_F(MainWindowTest, GraininessLoadShowsItsResultBeforeTheGraph) {
    CIndentMainDlg& w = Open();
    ASSERT_TRUE(w.SelectFiles(Curves({"agilent_nial_t001.csv"})));
    ShownGraph shown;
    CaptureNextGraph(services, shown);
    const std::size_t messages = services.messages.size();
    w.OnGraininessLoad();
    ASSERT_EQ(services.messages.size(), messages + 1);
    EXPECT_EQ(services.messages.back().caption, "Result");
    EXPECT_EQ(services.messages.back().text.rfind("a ", 0), 0u);
    EXPECT_EQ(shown.y, "Loading (dy/dx - dy/dx(Power))");
    EXPECT_FALSE(shown.xs.empty());
}

TEST_F(MainWindowTest, GraphCommandsWithoutCurvesDoNothing) {
    CIndentMainDlg& w = Open();
    w.OnModulusLoad();
    w.OnGraininess2Unload();
    EXPECT_TRUE(services.modalCaptions.empty());
    EXPECT_TRUE(services.messages.empty());
}

}  // namespace
