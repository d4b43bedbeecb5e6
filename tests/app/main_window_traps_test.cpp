// The main window never traps its user: one action gives at most one message, a held scroll
// arrow stops under a message box, a curve without result says why in words, and a screenshot
// never waits for anyone.
#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/resource_ids.h"
#include "main_window_fixture.h"
#include "settings/strategy_dialog.h"
#include "ui/scroll_bar.h"

using namespace marvek::ui;
using namespace resource;

namespace {

void Write(const std::filesystem::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

// A press on the right arrow that is never released: the release went to the message box.
void HoldRightArrow(QScrollBar* bar) {
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(bar->width() - 4, bar->height() / 2));
}

}  // namespace

class MainWindowTrapsTest : public MainWindowTest {
protected:
    // Curves 0 and 2 read, curve 1 and the last do not.
    std::vector<std::filesystem::path> MixedList() {
        auto files = Curves({"agilent_nial_t001.csv", "hysitron_steel_0000.csv",
                             "agilent_nial_t001.csv", "hysitron_steel_0000.csv"});
        Write(files[1], "not a curve\n1,2\n");
        Write(files[3], "not a curve either\n");
        return files;
    }
    QScrollBar* ShowWithFiles() {
        CIndentMainDlg& w = Open();
        w.show();
        w.SelectFiles(MixedList());
        QApplication::processEvents();
        return w.ScrollBarWidget(IDC_CURVE_SCROLL);
    }
};

// The arrow's auto-repeat (500 ms, then every 50 ms) would step on under the box, raising a
// box per unreadable curve, and at the end of the list one box after every OK, for ever.
TEST_F(MainWindowTrapsTest, HeldScrollArrowUnderAMessageBoxStepsOnce) {
    QScrollBar* bar = ShowWithFiles();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(services.messages.empty());
    HoldRightArrow(bar);
    QTest::qWait(900);
    EXPECT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(dlg->m_nCurrentCurve, 1);
    EXPECT_EQ(bar->value(), 1);

    // At the last, unreadable curve: one press, one box, and nothing while idle.
    dlg->SendHScroll(IDC_CURVE_SCROLL, SB_THUMBTRACK, 3);
    const std::size_t before = services.messages.size();
    HoldRightArrow(bar);
    QTest::qWait(900);
    EXPECT_EQ(services.messages.size(), before + 1);
    EXPECT_EQ(dlg->m_nCurrentCurve, 3);
    QTest::mouseRelease(bar, Qt::LeftButton);
}

// "abc" in the Poisson field and a click on the arrow: one "Please enter a number." and the
// thumb, plot and path stay together on the curve shown.
TEST_F(MainWindowTrapsTest, RefusedPoissonRatioGivesOneBoxAndKeepsTheCurve) {
    QScrollBar* bar = ShowWithFiles();
    const std::string path = dlg->m_strFileName;
    dlg->SetDlgItemText(IDC_POISSON, "abc");
    HoldRightArrow(bar);
    QTest::qWait(900);
    QTest::mouseRelease(bar, Qt::LeftButton);
    ASSERT_EQ(services.messages.size(), 1u) << services.messages.back().text;
    EXPECT_EQ(services.messages[0].text, "Sample Poisson's (Vs): Please enter a number.");
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(dlg->m_nCurrentCurve, 0);
    EXPECT_EQ(dlg->GetDlgItemText(IDC_FILE_NAME), path);
}

// Leaving the field unchanged after start must not re-analyse (and re-raise the box of an
// unreadable curve).
TEST_F(MainWindowTrapsTest, LeavingThePoissonFieldUnchangedAnalysesNothing) {
    CIndentMainDlg& w = Open();
    auto files = MixedList();
    w.SelectFiles({files[1]});
    ASSERT_EQ(services.messages.size(), 1u);
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(w.GetDlgItem(IDC_POISSON), &out);
    EXPECT_EQ(services.messages.size(), 1u);
}

// Curves that give no result say why in one line at the end, and no start value of a search
// (9e99, 9e9) or "nan" reaches the results box or the plot.
TEST_F(MainWindowTrapsTest, CurveWithoutResultSaysWhy) {
    struct Case {
        const char* label;
        std::string file;
        float opMin = 20, opMax = 82;
        std::string reason;
    };
    const std::string header = "Depth (nm),Force (mN),Time (s)\n";
    std::string zeros = header, tri = header;
    for (int i = 1; i <= 20; ++i) zeros += std::to_string(i) + ",0," + std::to_string(i) + "\n";
    for (int i = 1; i <= 40; ++i)
        tri += std::to_string(i <= 20 ? i * 5 : 200 - (i - 20) * 2) + "," +
               std::to_string(i <= 20 ? i * 0.5 : 10 - (i - 20) * 0.5) + "," + std::to_string(i) +
               "\n";
    std::string loadingOnly = header;
    for (int i = 1; i <= 20; ++i)
        loadingOnly += std::to_string(i * 5) + "," + std::to_string(i * 0.5) + ",1\n";
    const Case cases[] = {
        {"header only", header, 20, 82, "No result: the file holds no data points."},
        {"all loads zero", zeros, 20, 82, "No result: all loads are zero."},
        {"inverted force range", tri, 120, 5, "No result: the fit range 120\u20135 % is empty."},
        {"loading only", loadingOnly, 20, 82, "No result: no unloading segment found."},
    };
    CIndentMainDlg& w = Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        g_dlgStrategy.m_fOPMinPercent = c.opMin;
        g_dlgStrategy.m_fOPMaxPercent = c.opMax;
        const auto file = dir / "degenerate.csv";
        Write(file, c.file);
        w.SelectFiles({file});
        const std::string text = w.GetDlgItemText(IDC_RESULTS);
        // The reason follows "No result:" on lines of its own, indented, broken between words.
        const std::size_t at = text.find("No result:\n");
        ASSERT_NE(at, std::string::npos) << text;
        std::string said = "No result:";
        for (std::size_t p = at + 11; p < text.size();) {
            const std::size_t eol = text.find('\n', p);
            EXPECT_LE(eol - p, 31u) << text;
            said += text.substr(p, eol - p);
            p = eol + 1;
        }
        EXPECT_EQ(said, c.reason);
        EXPECT_EQ(text.find("nan"), std::string::npos) << text;
        EXPECT_EQ(text.find("99999"), std::string::npos) << text;
        for (const marvek::ui::PlotMark& mark : w.m_plot->Data().marks)
            EXPECT_EQ(mark.text.find("9000000"), std::string::npos) << mark.text;
    }
}

// With no one to answer, a bad file's message goes to stderr, the picture is still written
// and the exit status says it failed.
TEST(Screenshot, BadOrMissingFileNeverWaits) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("marvek-shot-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    Write(dir / "bad.csv", "this is no curve\n");
    for (const std::string name : {"bad.csv", "missing.csv"}) {
        SCOPED_TRACE(name);
        const auto out = dir / "shot.png", err = dir / "err.txt";
        std::filesystem::remove(out);
        // The timeout only keeps a hang from stalling the suite.
        const std::string command = "HOME='" + dir.string() +
                                    "' timeout 20 '" MARVEK_APP "' --screenshot '" + out.string() +
                                    "' '" + (dir / name).string() + "' 2>'" + err.string() + "'";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1);
        std::stringstream text;
        text << std::ifstream(err).rdbuf();
        EXPECT_NE(text.str().find(name), std::string::npos) << text.str();
        EXPECT_TRUE(std::filesystem::exists(out));
    }
    std::filesystem::remove_all(dir);
}
