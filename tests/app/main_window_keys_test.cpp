// The main window worked from the keyboard and the clipboard, its title naming the curve on
// show, and its layout growing with the window.
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include "app/curve_plot.h"
#include "app/resource_ids.h"
#include "core/config/parameter_file.h"
#include "main_window_fixture.h"

using namespace resource;

TEST_F(MainWindowTest, KeysStepThroughTheCurvesExceptWhileTypingThePoissonRatio) {
    CIndentMainDlg& w = Open();
    w.show();
    const auto files =
        Curves({"agilent_nial_t001.csv", "hysitron_steel_0000.csv", "kla_tungsten_3mN_t01.csv"});
    w.SelectFiles(files);
    QWidget* results = w.GetDlgItem(IDC_RESULTS);
    results->setFocus();
    struct Step {
        Qt::Key key;
        int curve;
    };
    const Step steps[] = {{Qt::Key_Right, 1}, {Qt::Key_PageDown, 2}, {Qt::Key_Right, 2},
                          {Qt::Key_Home, 0},  {Qt::Key_End, 2},      {Qt::Key_PageUp, 1},
                          {Qt::Key_Left, 0},  {Qt::Key_Left, 0}};
    for (const Step& s : steps) {
        QTest::keyClick(results, s.key);
        EXPECT_EQ(w.m_nCurrentCurve, s.curve) << QTest::toString(s.key);
        EXPECT_EQ(w.ScrollBarWidget(IDC_CURVE_SCROLL)->value(), s.curve);
        EXPECT_EQ(w.m_strFileName, files[static_cast<std::size_t>(s.curve)].string());
    }
    w.SendHScroll(IDC_CURVE_SCROLL, marvek::ui::SB_THUMBTRACK, 1);
    EXPECT_EQ(w.windowTitle().toStdString(),
              files[1].filename().string() +
                  " (2 of 3) - Marvek - Depth Sensing Indentation Measurement Software ");
    // In the Poisson field the arrows move the text cursor.
    auto* poisson = static_cast<QLineEdit*>(w.GetDlgItem(IDC_POISSON));
    poisson->setFocus();
    poisson->setCursorPosition(0);
    QTest::keyClick(poisson, Qt::Key_Right);
    EXPECT_EQ(w.m_nCurrentCurve, 1);
    EXPECT_EQ(poisson->cursorPosition(), 1);
    EXPECT_TRUE(services.messages.empty());
}

TEST_F(MainWindowTest, CtrlCCopiesTheResultsAndShortcutsReachTheirCommands) {
    CIndentMainDlg& w = Open();
    w.show();
    w.SelectFiles(Curves({"agilent_nial_t001.csv"}));
    QWidget* results = w.GetDlgItem(IDC_RESULTS);
    results->setFocus();
    QApplication::clipboard()->clear();
    QTest::keyClick(results, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), w.m_strResults);
    EXPECT_NE(w.m_strResults.find("E(IT)"), std::string::npos);
    EXPECT_TRUE(static_cast<QLabel*>(results)->textInteractionFlags() & Qt::TextSelectableByMouse);

    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(services.openRequests.size(), 1u);
    QTest::keyClick(&w, Qt::Key_F1);
    ASSERT_EQ(services.modalCaptions.size(), 1u);
    EXPECT_EQ(services.modalCaptions[0], "Marvek Indentation Help");
}

// Escape never ends the program (a key pressed by habit must not cost the work); a zoomed
// plot goes home.
TEST_F(MainWindowTest, EscapeKeepsTheWindowAndResetsAZoomedPlot) {
    CIndentMainDlg& w = Open();
    w.show();
    ASSERT_TRUE(w.SelectFiles(Curves({"agilent_nial_t001.csv"})));
    w.GetDlgItem(IDC_RESULTS)->setFocus();
    QTest::keyClick(w.GetDlgItem(IDC_RESULTS), Qt::Key_Escape);
    EXPECT_FALSE(w.IsEnded());
    w.m_plot->SetView({10, 20, 0, 1});
    ASSERT_TRUE(w.m_plot->IsZoomed());
    QTest::keyClick(w.m_plot, Qt::Key_Escape);
    EXPECT_FALSE(w.IsEnded());
    EXPECT_FALSE(w.m_plot->IsZoomed());
    EXPECT_TRUE(services.messages.empty());
}

// Enlarged, the plot takes the room and the results column widens by a fifth of the growth;
// at the template's size the layout is the template's; the window may shrink below it (a
// 1366x768 screen) with the results box giving up height.
TEST_F(MainWindowTest, EnlargedWindowGrowsThePlotAndWidensTheResultsALittle) {
    CIndentMainDlg& w = Open();
    w.show();
    QApplication::processEvents();
    // The window starts no larger than the screen (the offscreen one is small): bring the
    // client to the template's size first.
    const marvek::ui::Rect start = w.GetClientRect();
    w.resize(w.DluToPixelsX(575) + w.width() - start.Width(),
             w.DluToPixelsY(420) + w.height() - start.Height());
    QApplication::processEvents();
    QWidget* results = w.GetDlgItem(IDC_RESULTS);
    QWidget* bar = w.GetDlgItem(IDC_CURVE_SCROLL);
    const QRect results0 = results->geometry(), bar0 = bar->geometry();
    const marvek::ui::Rect client0 = w.GetClientRect();
    const int plotHeight0 = w.m_plot->axisRect()->height();
    EXPECT_EQ(client0.Width(), w.DluToPixelsX(575));
    EXPECT_EQ(client0.Height(), w.DluToPixelsY(420));
    EXPECT_LT(w.minimumHeight(), w.height());
    const int plotWidth0 = w.m_plot->axisRect()->width();
    w.resize(w.width() + 300, w.height() + 200);
    QApplication::processEvents();
    EXPECT_EQ(results->width(), results0.width() + 60);
    EXPECT_EQ(results->height(), results0.height() + 200);
    EXPECT_EQ(bar->y(), bar0.y() + 200);
    EXPECT_EQ(bar->width(), bar0.width() + 240);
    EXPECT_GT(w.m_plot->axisRect()->width(), plotWidth0 + 200);
    EXPECT_GT(w.m_plot->axisRect()->height(), plotHeight0 + 150);
    w.resize(w.width() - 300, w.height() - 200);
    QApplication::processEvents();
    EXPECT_EQ(results->geometry(), results0);
    EXPECT_EQ(bar->geometry(), bar0);
}
