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
#include "core/io/parameter_file.h"
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

// Escape asks nothing and loses nothing: the settings are written as at Exit.
TEST_F(MainWindowTest, EscapeClosesAndKeepsTheSettings) {
    CIndentMainDlg& w = Open();
    w.show();
    w.SetDlgItemText(IDC_POISSON, "0.21");
    w.GetDlgItem(IDC_RESULTS)->setFocus();
    QTest::keyClick(w.GetDlgItem(IDC_RESULTS), Qt::Key_Escape);
    EXPECT_TRUE(w.IsEnded());
    EXPECT_TRUE(services.messages.empty());
    marvek::Settings read;
    ASSERT_TRUE(marvek::LoadParameters(parameterFile, read).ok());
    EXPECT_FLOAT_EQ(read.m_fPoisson, 0.21f);
}

// Enlarged, the plot grows and the results box keeps its width; at the template's size the
// layout is the template's.
TEST_F(MainWindowTest, EnlargedWindowGrowsThePlotAndKeepsTheResultsWidth) {
    CIndentMainDlg& w = Open();
    w.show();
    QApplication::processEvents();
    QWidget* results = w.GetDlgItem(IDC_RESULTS);
    QWidget* bar = w.GetDlgItem(IDC_CURVE_SCROLL);
    const QRect results0 = results->geometry(), bar0 = bar->geometry();
    const marvek::ui::Rect client0 = w.GetClientRect();
    const int plotHeight0 = w.m_plot->axisRect()->height();
    EXPECT_EQ(client0.Width(), w.DluToPixelsX(575));
    EXPECT_EQ(client0.Height(), w.DluToPixelsY(420));
    w.resize(w.width() + 300, w.height() + 200);
    QApplication::processEvents();
    EXPECT_EQ(results->width(), results0.width());
    EXPECT_EQ(results->height(), results0.height() + 200);
    EXPECT_EQ(bar->y(), bar0.y() + 200);
    EXPECT_EQ(bar->width(), bar0.width() + 300);
    EXPECT_GT(w.m_plot->axisRect()->height(), plotHeight0 + 150);
    w.resize(w.width() - 300, w.height() - 200);
    QApplication::processEvents();
    EXPECT_EQ(results->geometry(), results0);
    EXPECT_EQ(bar->geometry(), bar0);
}
