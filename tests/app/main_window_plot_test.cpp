// The main window's plot and File > Open Recent used as a researcher would: keys from the
// start, wheel, drag and Home on a 40000-point curve, and old selections reopened.
#include <time.h>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>
#include <fstream>
#include <iostream>

#include "app/resource_ids.h"
#include "core/platform/recent_selections.h"
#include "main_window_fixture.h"
#include "support/curve_generator.h"

using namespace resource;
using marvek::ui::PlotView;

namespace {

void Mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button,
           Qt::MouseButtons buttons, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, buttons, mods);
    QApplication::sendEvent(w, &e);
}

void Wheel(QWidget* w, QPoint at, int delta) {
    QWheelEvent e(QPointF(at), w->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, delta),
                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

QPoint Pixel(const PlotView* p, double x, double y) {
    return {static_cast<int>(p->xAxis->coordToPixel(x)),
            static_cast<int>(p->yAxis->coordToPixel(y))};
}

// Processor time of this thread only: the result-set block runs on another.
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return 1000.0 * static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e6;
}

double LoadAverage() {
    double load = -1;
    std::ifstream("/proc/loadavg") >> load;
    return load;
}

QAction* RecentEntry(CIndentMainDlg& w, int k) {
    auto* menu = w.MenuPopups()[0]->findChild<QMenu*>("marvekRecent");
    return menu && k < menu->actions().size() ? menu->actions()[k] : nullptr;
}

}  // namespace

// At start the arrows step through the curves (the plot has the focus), the Poisson field
// still keeps them for its text, and Home goes to the first curve while the plot is at home.
TEST_F(MainWindowTest, ArrowsStepFromTheStartAndTheFieldKeepsThemWhileTyping) {
    CIndentMainDlg& w = Open();
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.SelectFiles(Curves({"agilent_nial_t001.csv", "hysitron_steel_0000.csv"}));
    QWidget* focus = QApplication::focusWidget();
    ASSERT_EQ(focus, w.m_plot);
    QTest::keyClick(focus, Qt::Key_Right);
    EXPECT_EQ(w.m_nCurrentCurve, 1);
    QTest::keyClick(focus, Qt::Key_Home);
    EXPECT_EQ(w.m_nCurrentCurve, 0);
    auto* poisson = static_cast<QLineEdit*>(w.GetDlgItem(IDC_POISSON));
    QTest::mouseClick(poisson, Qt::LeftButton);
    QTest::keyClick(poisson, Qt::Key_Right);
    EXPECT_EQ(w.m_nCurrentCurve, 0);
    EXPECT_TRUE(services.messages.empty());
}

// Wheel about the cursor, drag to pan, coordinates in the status line, Home back to the
// home view; then stepping with the keys. Repaint times are printed with the load.
TEST_F(MainWindowTest, PlotZoomsAndPansInPlaceAtFortyThousandPoints) {
    const auto files = std::vector<std::filesystem::path>{dir / "a.csv", dir / "b.csv"};
    marvek::testing::WriteCurveFile(files[0],
                                    marvek::testing::MakeSyntheticCurve(40000, 1).Points(),
                                    marvek::testing::kLayoutA);
    marvek::testing::WriteCurveFile(files[1],
                                    marvek::testing::MakeSyntheticCurve(40000, 2).Points(),
                                    marvek::testing::kLayoutA);
    CIndentMainDlg& w = Open();
    w.show();
    QApplication::processEvents();
    w.SelectFiles(files);
    w.WaitForResultSet();
    PlotView* plot = w.m_plot;
    ASSERT_EQ(w.CurvePointCount(), 40000);
    const auto home = plot->View();
    EXPECT_FALSE(plot->IsZoomed());
    EXPECT_FALSE(w.MenuAction(ID_PLOT_RESET)->isEnabled());

    QElapsedTimer wall;
    const double x = 0.5 * (home.xLower + home.xUpper), y = 0.3 * home.yUpper;
    const QPoint at = Pixel(plot, x, y);
    wall.start();
    double cpu = CpuMs();
    Wheel(plot, at, 240);
    plot->replot(QCustomPlot::rpImmediateRefresh);
    const double zoomWall = static_cast<double>(wall.nsecsElapsed()) / 1e6, zoomCpu = CpuMs() - cpu;
    EXPECT_LT(plot->View().xUpper - plot->View().xLower, 0.9 * (home.xUpper - home.xLower));
    EXPECT_NEAR(plot->xAxis->pixelToCoord(at.x()), x, 0.01 * (home.xUpper - home.xLower));
    EXPECT_TRUE(w.MenuAction(ID_PLOT_RESET)->isEnabled());

    const auto zoomed = plot->View();
    wall.restart();
    cpu = CpuMs();
    Mouse(plot, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    Mouse(plot, QEvent::MouseMove, at + QPoint(-40, 0), Qt::NoButton, Qt::LeftButton);
    Mouse(plot, QEvent::MouseButtonRelease, at + QPoint(-40, 0), Qt::LeftButton, Qt::NoButton);
    plot->replot(QCustomPlot::rpImmediateRefresh);
    const double panWall = static_cast<double>(wall.nsecsElapsed()) / 1e6, panCpu = CpuMs() - cpu;
    EXPECT_GT(plot->View().xLower, zoomed.xLower);
    EXPECT_NEAR(plot->View().xUpper - plot->View().xLower, zoomed.xUpper - zoomed.xLower, 1e-6);

    Mouse(plot, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(w.StatusText(), plot->CoordinatesAt(at));
    EXPECT_NE(w.StatusText().find("Depth [nm] = "), std::string::npos) << w.StatusText();

    // Zoomed, Home belongs to the plot; at home it goes back to choosing the first curve.
    w.SendHScroll(IDC_CURVE_SCROLL, marvek::ui::SB_LINERIGHT, 0);
    ASSERT_EQ(w.m_nCurrentCurve, 1);
    EXPECT_FALSE(plot->IsZoomed());  // a new curve starts at its home view
    Wheel(plot, at, 240);
    QTest::keyClick(plot, Qt::Key_Home);
    EXPECT_FALSE(plot->IsZoomed());
    EXPECT_EQ(w.m_nCurrentCurve, 1);
    QTest::keyClick(plot, Qt::Key_Home);
    EXPECT_EQ(w.m_nCurrentCurve, 0);

    // One step: analysis of a 40000-point curve and the plot drawn.
    wall.restart();
    cpu = CpuMs();
    QTest::keyClick(plot, Qt::Key_Right);
    plot->replot(QCustomPlot::rpImmediateRefresh);
    const double stepWall = static_cast<double>(wall.nsecsElapsed()) / 1e6, stepCpu = CpuMs() - cpu;
    EXPECT_EQ(w.m_nCurrentCurve, 1);
    // Meanwhile the result-set block is computed on its own thread.
    wall.restart();
    w.WaitForResultSet();
    const double blockWall = static_cast<double>(wall.nsecsElapsed()) / 1e6;
    EXPECT_EQ(w.m_strIsoResults.find("computing"), std::string::npos);
    std::cout << "[ timing ] 40000 points, load " << LoadAverage() << ": zoom repaint " << zoomWall
              << " ms wall / " << zoomCpu << " ms cpu, pan " << panWall << " / " << panCpu
              << ", step (analysis + paint) " << stepWall << " / " << stepCpu << ", last replot "
              << plot->replotTime() << " ms; result-set block after it " << blockWall
              << " ms wall\n";
    EXPECT_TRUE(services.messages.empty());
}

// Each selection is remembered beside the parameter file, newest first, at most ten; an entry
// opens its files again; one whose files are gone says so once, is dropped, and leaves the
// curves on show alone.
TEST_F(MainWindowTest, OpenRecentReopensSelectionsAndDropsVanishedOnes) {
    const auto first = Curves({"agilent_nial_t001.csv", "hysitron_steel_0000.csv"});
    const auto second = Curves({"kla_tungsten_3mN_t01.csv"});
    CIndentMainDlg& w = Open();
    EXPECT_EQ(RecentEntry(w, 0), nullptr);
    w.SelectFiles(first);
    w.SelectFiles(second);
    ASSERT_NE(RecentEntry(w, 1), nullptr);
    EXPECT_NE(RecentEntry(w, 0)->text().toStdString().find(second[0].filename().string()),
              std::string::npos);
    EXPECT_NE(RecentEntry(w, 1)->text().toStdString().find("and 1 more"), std::string::npos);

    RecentEntry(w, 1)->trigger();
    EXPECT_EQ(w.m_analyzer.m_nFileCount, 2);
    EXPECT_EQ(w.m_strFileName, first[0].string());
    // Reopened, it is the newest again; a new window finds the same list.
    auto list = marvek::LoadRecentSelections(marvek::RecentSelectionsPath(parameterFile));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], first);

    std::filesystem::remove(second[0]);
    RecentEntry(w, 1)->trigger();
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_NE(services.messages[0].text.find(second[0].string()), std::string::npos);
    EXPECT_EQ(w.m_analyzer.m_nFileCount, 2);
    EXPECT_EQ(w.m_strFileName, first[0].string());
    EXPECT_EQ(RecentEntry(w, 1), nullptr);

    // A damaged list costs nothing but the list.
    std::ofstream(marvek::RecentSelectionsPath(parameterFile), std::ios::binary)
        << std::string("\0\xff\nselection\nfile \n", 18);
    w.SelectFiles(first);
    ASSERT_NE(RecentEntry(w, 0), nullptr);
    EXPECT_EQ(RecentEntry(w, 1), nullptr);
}
