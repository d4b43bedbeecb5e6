// Pop-ins on the main window's plot and the graphs of profiles and first pop-in loads, driven
// as a researcher would with the instrument's pop-in workbook.
#include <QAction>

#include "app/curve_plot.h"
#include "app/resource_ids.h"
#include "graphs/graph_window.h"
#include "main_window_fixture.h"
#include "ui/plot_export.h"

using namespace resource;

namespace {

const marvek::ui::PlotSeries* SeriesNamed(const marvek::ui::PlotView& plot,
                                          const std::string& name) {
    for (const auto& s : plot.Data().series)
        if (s.name == name) return &s;
    return nullptr;
}

bool Drawn(marvek::ui::PlotView& plot, const char* name) {
    for (int i = 0; i < plot.plottableCount(); ++i)
        if (plot.plottable(i)->name() == name) return true;
    return false;
}

}  // namespace

TEST_F(MainWindowTest, PopinsAreMarkedWithTheHertzFitUntilTheViewToggleHidesThem) {
    const auto book = dir / "Popin.xls";
    std::filesystem::copy_file(MARVEK_TEST_DATA "/vendor/Popin.xls", book);
    CIndentMainDlg& w = Open();
    ASSERT_TRUE(w.SelectFiles({book}));
    QAction* toggle = w.MenuAction(ID_PLOT_POPINS);
    ASSERT_NE(toggle, nullptr);
    EXPECT_TRUE(toggle->isCheckable() && toggle->isChecked());
    for (const bool on : {true, false, true}) {
        SCOPED_TRACE(on);
        EXPECT_EQ(w.m_bShowPopins, on);
        EXPECT_EQ(toggle->isChecked(), on);
        const marvek::ui::PlotSeries* marks = SeriesNamed(*w.m_plot, "pop-ins");
        const marvek::ui::PlotSeries* hertz = SeriesNamed(*w.m_plot, "Hertz fit");
        EXPECT_EQ(Drawn(*w.m_plot, "pop-ins"), on);
        EXPECT_EQ(Drawn(*w.m_plot, "Hertz fit"), on);
        if (on) {
            ASSERT_TRUE(marks && hertz);
            ASSERT_FALSE(w.m_popins.popins.empty());
            ASSERT_EQ(marks->x.size(), w.m_popins.popins.size());
            // Each mark is at the load of the last sample before its burst of the shown curve;
            // the fit runs up to that sample of the first.
            const marvek::popins::Popin& first = w.m_popins.popins[0];
            EXPECT_EQ(marks->x[0], first.depth);
            EXPECT_EQ(marks->y[0], w.m_analyzer.m_pLoad[first.first]);
            EXPECT_NEAR(marks->x[0], w.m_analyzer.m_pDepth[first.first], 1.0);
            EXPECT_NEAR(hertz->x.back(), w.m_analyzer.m_pDepth[first.first], 1e-9);
            EXPECT_GT(hertz->x.size(), 10u);
            const std::string& note = w.m_plot->Data().note;
            EXPECT_NE(note.find("Hertz P = K(h - h0)^1.5: K = "), std::string::npos) << note;
            // "Zoom to Pop-ins" shows them up close; stepping back home is one command.
            EXPECT_TRUE(w.MenuAction(ID_PLOT_ZOOM_POPINS)->isEnabled());
            w.SendCommand(ID_PLOT_ZOOM_POPINS);
            EXPECT_EQ(w.m_plot->View().xUpper, PopinsView(w, w.m_popins)->xUpper);
            EXPECT_TRUE(w.MenuAction(ID_PLOT_RESET)->isEnabled());
            w.SendCommand(ID_PLOT_RESET);
            // The workbook's indents stop before unloading: no Er, so no R and no tauMax.
            EXPECT_NE(note.find("Er, R and tauMax unknown"), std::string::npos) << note;
        } else {
            EXPECT_TRUE(!marks && !hertz);
            EXPECT_TRUE(w.m_popins.popins.empty());
            EXPECT_TRUE(w.m_plot->Data().note.empty());
            EXPECT_FALSE(w.MenuAction(ID_PLOT_ZOOM_POPINS)->isEnabled());
        }
        // The choice is remembered with the grid and segment colours.
        EXPECT_EQ(marvek::ui::LoadPlotStyle(w.PlotStyleFile()).popins, on);
        w.SendCommand(ID_PLOT_POPINS);
    }
    EXPECT_TRUE(services.messages.empty());
}

TEST_F(MainWindowTest, ProfileOfACurveWithoutStiffnessSaysSoOnceAndOpensNoGraph) {
    CIndentMainDlg& w = Open();
    ASSERT_TRUE(w.SelectFiles(Curves({"agilent_nial_t001.csv"})));
    const std::size_t modal = services.modalCaptions.size();
    w.SendCommand(ID_MODULUS_PROFILE);
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_NE(services.messages[0].text.find("no continuous-stiffness columns"), std::string::npos);
    EXPECT_NE(services.messages[0].text.find("agilent_nial_t001.csv"), std::string::npos);
    EXPECT_EQ(services.modalCaptions.size(), modal);
}

TEST_F(MainWindowTest, GraphsOfProfileAndFirstPopinLoadsDrawTheirLineAndText) {
    const auto profileBook = dir / "FS_XP.xls", popinBook = dir / "Popin.xls";
    std::filesystem::copy_file(MARVEK_TEST_DATA "/vendor/FS_XP.xls", profileBook);
    std::filesystem::copy_file(MARVEK_TEST_DATA "/vendor/Popin.xls", popinBook);
    CIndentMainDlg& w = Open();
    struct Seen {
        std::size_t points = 0;
        bool line = false, mean = false;
        std::string note, caption;
    };
    auto capture = [&](Seen& seen) {
        services.modalScripts.push_back([&seen](marvek::ui::Dialog& d) {
            auto& g = dynamic_cast<CGraphDlg&>(d);
            const marvek::ui::PlotData plot = g.PlotContent();
            seen.points = plot.series.front().x.size();
            for (const auto& s : plot.series) seen.line = seen.line || s.name == "fit";
            seen.mean = !plot.marks.empty();
            seen.note = plot.note;
            seen.caption = g.m_strCaption;
            g.SendCommand(ID_GRAPH_EXIT);
        });
    };
    ASSERT_TRUE(w.SelectFiles({profileBook}));
    Seen profile;
    capture(profile);
    w.SendCommand(ID_HARDNESS_PROFILE);
    EXPECT_GT(profile.points, 100u);
    EXPECT_FALSE(profile.line);
    EXPECT_FALSE(profile.mean);
    EXPECT_EQ(profile.note.rfind("H over ", 0), 0u) << profile.note;
    // The title names the test and where the numbers come from, not the unloading fit's range.
    EXPECT_NE(profile.caption.find("FS_XP.xls#Test 009; continuous stiffness"), std::string::npos)
        << profile.caption;
    // The workbook's incomplete area function is said once, in a box before the graph.
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_NE(services.messages[0].text.find("incomplete"), std::string::npos);
    services.messages.clear();

    ASSERT_TRUE(w.SelectFiles({popinBook}));
    Seen popins;
    capture(popins);
    w.SendCommand(ID_FIRST_POPIN_LOADS);
    EXPECT_EQ(popins.points, 12u);
    EXPECT_TRUE(popins.line);
    EXPECT_NE(popins.note.find("Weibull modulus"), std::string::npos) << popins.note;
    EXPECT_NE(popins.caption.find("12 curves in "), std::string::npos) << popins.caption;
    EXPECT_NE(popins.caption.find("noise-adaptive detector"), std::string::npos) << popins.caption;
    EXPECT_TRUE(services.messages.empty());
}
