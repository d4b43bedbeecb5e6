// The main window driven as a user would: menu, Poisson ratio, Enter, curve selection and
// scrolling, parameter file, failures, Help and About.
#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QTest>
#include <fstream>

#include "app/resource_ids.h"
#include "core/analysis/curve_analyzer.h"
#include "core/config/parameter_file.h"
#include "main_window_fixture.h"
#include "settings/curve_files.h"
#include "settings/strategy_dialog.h"
#include "ui/data_exchange.h"
#include "ui/scroll_bar.h"

using namespace marvek::ui;
using namespace resource;

namespace {

std::vector<std::string> ReadLines(const std::filesystem::path& p) {
    std::ifstream in(p);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Puts a marker in the results text (member and control): a re-analysis replaces it.
void MarkResults(CIndentMainDlg& w) {
    w.m_strResults = "marker";
    w.SetDlgItemText(IDC_RESULTS, "marker");
}

void LoseFocus(QWidget* w) {
    QFocusEvent event(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(w, &event);
}

TEST_F(MainWindowTest, MenuHasEveryItemInOrderAndEachRoutes) {
    struct Popup {
        std::string title;
        std::vector<std::pair<std::string, int>> items;  // "" = separator
    };
    const std::vector<Popup> expected = {
        {"File",
         {{"Select Curve Files...", 32773},
          {"Open Recent", 0},
          {"File Information...", ID_FILE_INFORMATION},
          {"Columns and Units...", ID_COLUMNS_UNITS},
          {"", 0},
          {"Open Project...", ID_OPEN_PROJECT},
          {"Save Project", ID_SAVE_PROJECT},
          {"Save Project As...", ID_SAVE_PROJECT_AS},
          {"", 0},
          {"Export Report (HTML, PDF)...", ID_EXPORT_REPORT},
          {"", 0},
          {"Separate Multi-Cycle Curves to Unload Only", 32822},
          {"Separate Multi-Cycle Curves to Reload Only", 32823},
          {"", 0},
          {"Save Curves...", 32821},
          {"", 0},
          {"Exit", 32774}}},
        {"Edit", {{"Undo", ID_UNDO}, {"Redo", ID_REDO}}},
        {"Graphic Comparison of Multiple Indentation Tests",
         {{"Modulus - Load", 32782},
          {"Modulus - Depth", 32781},
          {"Modulus - Curve", 32826},
          {"", 0},
          {"HM - Load", 32786},
          {"HM - Depth", 32785},
          {"HM - Curve", 32827},
          {"H(IT) - Load", 32800},
          {"H(IT) - Depth", 32799},
          {"H(OP) - Load", 32828},
          {"H(OP) - Depth", 32829},
          {"HV - Load", 32784},
          {"HV - Depth", 32783},
          {"", 0},
          {"Percent Series", 32796},
          {"Unload Sections", 32801},
          {"Load - Alpha", 32808},
          {"Load - m", 32809},
          {"Load - R", 32806},
          {"Percent - m", 32802},
          {"Section - m", 32803},
          {"Percent - R", 32804},
          {"Section - R", 32805},
          {"", 0},
          {"Graininess - Load", 32831},
          {"Graininess - Unload", 32830},
          {"Graininess 2 - Load", 32832},
          {"Graininess 2 - Unload", 32833},
          {"", 0},
          {"Hardness Profile", ID_HARDNESS_PROFILE},
          {"Modulus Profile", ID_MODULUS_PROFILE},
          {"Depth Profiles of the Workbook...", ID_PROFILE_VIEW},
          {"First Pop-in Loads", ID_FIRST_POPIN_LOADS},
          {"First Pop-in Load Histogram", ID_FIRST_POPIN_HISTOGRAM},
          {"", 0},
          {"Results Table...", 32840},
          {"Curve Overlay...", ID_OVERLAY},
          {"Property Map and Phases...", ID_PROPERTY_MAP}}},
        {"Analysis Setup",
         {{"Elastic Modulus Calculation Strategy...", 32795},
          {"Indenter Area Function and Modulus...", 32787},
          {"Compliance of the Testing Machine...", 32794},
          {"", 0},
          {"Use the Instrument's Calibration Where the File Records It", ID_USE_FILE_CALIBRATION}}},
        {"View",
         {{"Explore Plot...", 32950},
          {"", 0},
          {"Reset Zoom", ID_PLOT_RESET},
          {"Grid", ID_PLOT_GRID},
          {"Segment Colours", ID_PLOT_SEGMENTS},
          {"Show Pop-ins", ID_PLOT_POPINS},
          {"Zoom to Pop-ins", ID_PLOT_ZOOM_POPINS},
          {"Reset Fit Range to the Settings'", ID_RESET_FIT_RANGE},
          {"", 0},
          {"Export Figure (PNG, PDF, SVG)...", ID_PLOT_EXPORT_PNG},
          {"Export Plot as SVG...", ID_PLOT_EXPORT_SVG}}},
        {"Help", {{"Help", 32775}, {"About", 32776}}},
    };
    CIndentMainDlg& w = Open();
    ASSERT_EQ(w.MenuPopups().size(), expected.size());
    for (std::size_t p = 0; p < expected.size(); ++p) {
        SCOPED_TRACE(expected[p].title);
        EXPECT_EQ(w.MenuPopups()[p]->title().remove('&').toStdString(), expected[p].title);
        const auto actions = w.MenuPopups()[p]->actions();
        ASSERT_EQ(static_cast<std::size_t>(actions.size()), expected[p].items.size());
        for (std::size_t i = 0; i < expected[p].items.size(); ++i) {
            const auto& [text, id] = expected[p].items[i];
            if (text.empty()) {
                EXPECT_TRUE(actions[static_cast<qsizetype>(i)]->isSeparator()) << i;
                continue;
            }
            EXPECT_EQ(actions[static_cast<qsizetype>(i)]->text().remove('&').toStdString(), text);
        }
    }
    EXPECT_EQ(w.MenuBar()->cornerWidget(Qt::TopRightCorner) != nullptr, true);
    // Every command reaches a handler and with no curves none of them may fail; the menu
    // greys out those that work on curves until some are selected.
    for (const auto& popup : expected) {
        for (const auto& [text, id] : popup.items) {
            // Open Recent is a submenu (its entries are tested with it); Reset Zoom waits for a
            // zoomed plot.
            if (!text.empty() && id != ID_EXIT && id != 0) {
                // Undo and Redo wait for a change.
                const bool needsCurves =
                    &popup == &expected[2] || id == ID_SEPARATE_UNLOAD ||
                    id == ID_SEPARATE_RELOAD || id == ID_SAVE_CURVES || id == ID_EXPLORE_PLOT ||
                    id == ID_PLOT_RESET || id == ID_PLOT_ZOOM_POPINS || id == ID_SAVE_PROJECT ||
                    id == ID_SAVE_PROJECT_AS || id == ID_EXPORT_REPORT || id == ID_UNDO ||
                    id == ID_REDO || id == ID_FILE_INFORMATION;
                EXPECT_EQ(w.MenuAction(id)->isEnabled(), !needsCurves) << text;
                EXPECT_TRUE(w.SendCommand(id)) << text;
            }
        }
    }
    EXPECT_FALSE(w.IsEnded());
}

TEST_F(MainWindowTest, WindowShowsItsTextsAndDefaultPoisson) {
    CIndentMainDlg& w = Open();
    EXPECT_EQ(w.windowTitle().toStdString(),
              "Marvek - Depth Sensing Indentation Measurement Software ");
    EXPECT_EQ(w.GetDlgItemText(IDC_POISSON), "0.3");
    EXPECT_EQ(w.GetDlgItemText(IDC_RESULTS), "");
    EXPECT_EQ(w.GetDlgItemText(IDC_FILE_NAME), "");
    auto* path = qobject_cast<QLineEdit*>(w.GetDlgItem(IDC_FILE_NAME));
    ASSERT_NE(path, nullptr);
    EXPECT_TRUE(path->isReadOnly());
    EXPECT_EQ(w.m_nCurrentCurve, -1);
}

TEST_F(MainWindowTest, PoissonEditExchangesBothWays) {
    CIndentMainDlg& w = Open();
    w.SetDlgItemText(IDC_POISSON, "0.25");
    ASSERT_TRUE(w.UpdateData(true));
    EXPECT_FLOAT_EQ(w.m_fPoisson, 0.25f);
    w.m_fPoisson = 0.17f;
    w.UpdateData(false);
    EXPECT_EQ(w.GetDlgItemText(IDC_POISSON), "0.17");
    w.SetDlgItemText(IDC_POISSON, "0,2");
    EXPECT_FALSE(w.UpdateData(true));
    ASSERT_EQ(services.messages.size(), 1u);
    // The generic sentence with the field's own label in front.
    EXPECT_EQ(services.messages[0].text,
              std::string("Sample Poisson's (Vs): ") + kEnterNumberMessage);
    EXPECT_FLOAT_EQ(w.m_fPoisson, 0.17f);
}

TEST_F(MainWindowTest, EnterWithoutCurvesDoesNothingAndNeverCloses) {
    CIndentMainDlg& w = Open();
    QTest::keyClick(w.GetDlgItem(IDC_POISSON), Qt::Key_Return);
    EXPECT_FALSE(w.IsEnded());
    EXPECT_EQ(w.m_strResults, "");
    EXPECT_TRUE(services.messages.empty());
}

TEST_F(MainWindowTest, EnterReanalysesTheCurrentCurveWithTheEditedPoisson) {
    CIndentMainDlg& w = Open();
    ASSERT_TRUE(w.SelectFiles(Curves({"agilent_nial_t001.csv"})));
    const double eitAt03 = w.m_dEIT;
    w.SetDlgItemText(IDC_POISSON, "0.45");
    QTest::keyClick(w.GetDlgItem(IDC_POISSON), Qt::Key_Return);
    EXPECT_FALSE(w.IsEnded());
    EXPECT_FLOAT_EQ(w.m_fPoisson, 0.45f);
    // E(IT) scales with 1 - nu^2 of the sample: a larger ratio gives a smaller modulus.
    EXPECT_LT(w.m_dEIT, eitAt03);
    EXPECT_NE(w.m_strResults.find("E(IT)"), std::string::npos);
}

TEST_F(MainWindowTest, SelectingCurvesSetsTheScrollBarAndShowsTheFirst) {
    CIndentMainDlg& w = Open();
    const auto files =
        Curves({"agilent_nial_t001.csv", "kla_tungsten_3mN_t01.csv", "hysitron_steel_0000.csv"});
    services.openAnswers.push_back(files);
    ASSERT_TRUE(w.TriggerMenuCommand(ID_SELECT_CURVE_FILES));
    ASSERT_EQ(services.openRequests.size(), 1u);
    EXPECT_EQ(services.openRequests[0].filter, marvek::kCurveFileFilter);
    EXPECT_EQ(services.openRequests[0].defaultExtension, "csv");
    EXPECT_TRUE(services.openRequests[0].multiSelect);
    EXPECT_EQ(services.openRequests[0].owner, nullptr);
    int min = -1, max = -1;
    w.m_ctlCurveScroll.GetScrollRange(min, max);
    EXPECT_EQ(min, 0);
    EXPECT_EQ(max, 2);
    EXPECT_EQ(w.m_ctlCurveScroll.GetPage(), 1);
    EXPECT_EQ(w.m_ctlCurveScroll.GetScrollPos(), 0);
    EXPECT_EQ(w.m_nCurrentCurve, 0);
    EXPECT_EQ(w.GetDlgItemText(IDC_FILE_NAME), files[0].string());
    EXPECT_EQ(w.GetDlgItemText(IDC_RESULTS), w.m_strResults);
    EXPECT_NE(w.m_strResults.find("Oliver-Pharr"), std::string::npos);
    EXPECT_TRUE(services.messages.empty());
}

TEST_F(MainWindowTest, CancelledSelectionShowsCurveZeroOfTheOldList) {
    CIndentMainDlg& w = Open();
    const auto files = Curves({"agilent_nial_t001.csv", "kla_tungsten_3mN_t01.csv"});
    ASSERT_TRUE(w.SelectFiles(files));
    w.SendHScroll(IDC_CURVE_SCROLL, SB_LINERIGHT, 0);
    ASSERT_EQ(w.m_nCurrentCurve, 1);
    w.OnSelectCurveFiles();  // no scripted answer: cancelled
    EXPECT_EQ(w.m_analyzer.m_nFileCount, 2);
    EXPECT_EQ(w.m_nCurrentCurve, 0);
    EXPECT_EQ(w.m_strFileName, files[0].string());
}

TEST_F(MainWindowTest, SelectionKeepsTheFirst2000InTheDialogsOrder) {
    CIndentMainDlg& w = Open();
    std::vector<std::filesystem::path> files = Curves({"kla_tungsten_3mN_t01.csv"});
    for (int i = 1; i < 2500; ++i) files.push_back(dir / ("z" + std::to_string(i) + ".csv"));
    services.openAnswers.push_back(files);
    w.OnSelectCurveFiles();
    EXPECT_EQ(w.m_analyzer.m_nFileCount, 2000);
    EXPECT_EQ(w.m_analyzer.m_strFiles[1999], files[1999]);
    int min = 0, max = 0;
    w.m_ctlCurveScroll.GetScrollRange(min, max);
    EXPECT_EQ(max, 1999);
}

TEST_F(MainWindowTest, EveryScrollCodeMovesAsTheCurveSelectorShould) {
    struct Case {
        const char* name;
        int start;
        int code;
        int pos;
        int expected;
        bool reanalysed;
    };
    const Case cases[] = {
        {"line left", 1, SB_LINELEFT, 0, 0, true},
        {"line left at the first stays and re-analyses", 0, SB_LINELEFT, 0, 0, true},
        {"line right", 1, SB_LINERIGHT, 0, 2, true},
        {"line right at the last", 2, SB_LINERIGHT, 0, 2, true},
        {"page left moves one", 2, SB_PAGELEFT, 0, 1, true},
        {"page right moves one", 0, SB_PAGERIGHT, 0, 1, true},
        {"thumb track", 0, SB_THUMBTRACK, 2, 2, true},
        {"thumb released", 1, SB_THUMBPOSITION, 2, 1, false},
        {"end of scroll", 1, SB_ENDSCROLL, 0, 1, false},
        {"far left", 1, SB_LEFT, 0, 1, false},
        {"far right", 1, SB_RIGHT, 0, 1, false},
    };
    CIndentMainDlg& w = Open();
    const auto files =
        Curves({"agilent_nial_t001.csv", "kla_tungsten_3mN_t01.csv", "hysitron_steel_0000.csv"});
    ASSERT_TRUE(w.SelectFiles(files));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        w.m_ctlCurveScroll.SetScrollPos(c.start);
        w.m_nCurrentCurve = c.start;
        MarkResults(w);
        w.SendHScroll(IDC_CURVE_SCROLL, c.code, c.pos);
        EXPECT_EQ(w.m_ctlCurveScroll.GetScrollPos(), c.expected);
        EXPECT_EQ(w.m_nCurrentCurve, c.expected);
        EXPECT_EQ(w.m_strResults != "marker", c.reanalysed);
        if (c.reanalysed) {
            EXPECT_EQ(w.m_strFileName, files[static_cast<std::size_t>(c.expected)].string());
            EXPECT_EQ(w.GetDlgItemText(IDC_FILE_NAME), w.m_strFileName);
        }
    }
}

TEST_F(MainWindowTest, DraggingTheThumbAnalysesEveryPositionPassed) {
    CIndentMainDlg& w = Open();
    const auto files =
        Curves({"agilent_nial_t001.csv", "kla_tungsten_3mN_t01.csv", "hysitron_steel_0000.csv"});
    ASSERT_TRUE(w.SelectFiles(files));
    QScrollBar* bar = w.ScrollBarWidget(IDC_CURVE_SCROLL);
    bar->setSliderDown(true);
    std::vector<std::string> shown;
    for (int pos : {1, 2}) {
        bar->setSliderPosition(pos);
        shown.push_back(w.m_strFileName);
        EXPECT_EQ(w.m_nCurrentCurve, pos);
    }
    bar->setSliderDown(false);
    EXPECT_EQ(shown, (std::vector<std::string>{files[1].string(), files[2].string()}));
    EXPECT_EQ(bar->value(), 2);
}

TEST_F(MainWindowTest, WithoutCurvesScrollEnterAndFocusLossChangeNothing) {
    CIndentMainDlg& w = Open();
    for (int code : {SB_LINELEFT, SB_LINERIGHT, SB_PAGELEFT, SB_PAGERIGHT, SB_THUMBTRACK})
        w.SendHScroll(IDC_CURVE_SCROLL, code, 1);
    w.SetDlgItemText(IDC_POISSON, "0.2");
    LoseFocus(w.GetDlgItem(IDC_POISSON));
    w.SendCommand(IDOK);
    EXPECT_EQ(w.m_nCurrentCurve, -1);
    EXPECT_EQ(w.m_strResults, "");
    EXPECT_EQ(w.m_strFileName, "");
    EXPECT_TRUE(services.messages.empty());
}

TEST_F(MainWindowTest, LeavingThePoissonEditReanalysesOnlyForANewValue) {
    CIndentMainDlg& w = Open();
    ASSERT_TRUE(w.SelectFiles(Curves({"agilent_nial_t001.csv"})));
    QWidget* edit = w.GetDlgItem(IDC_POISSON);
    struct Step {
        const char* text;
        bool reanalysed;
    };
    const Step steps[] = {
        {"0.3", false},    // the value shown since start: nothing to do
        {"0.3", false},    // same value again
        {"0.25", true},    // changed
        {"0.250", false},  // same value written differently
        {"0.3", true},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.text);
        w.SetDlgItemText(IDC_POISSON, s.text);
        MarkResults(w);
        LoseFocus(edit);
        EXPECT_EQ(w.m_strResults != "marker", s.reanalysed);
        EXPECT_FLOAT_EQ(w.m_fLastPoisson, w.m_fPoisson);
    }
}

TEST_F(MainWindowTest, ExitAndTheCloseBoxWriteTheParameterFile) {
    for (const bool closeBox : {false, true}) {
        SCOPED_TRACE(closeBox ? "close box" : "Exit");
        std::filesystem::remove(parameterFile);
        CIndentMainDlg& w = Open();
        w.SetDlgItemText(IDC_POISSON, "0.22");
        w.UpdateData(true);
        if (closeBox) {
            w.show();
            w.close();
        } else {
            ASSERT_TRUE(w.TriggerMenuCommand(ID_EXIT));
        }
        EXPECT_TRUE(w.IsEnded());
        const auto lines = ReadLines(parameterFile);
        ASSERT_EQ(lines.size(), 46u);  // 40 values, then the flag thresholds
        EXPECT_EQ(lines[28], "0.220000");
        EXPECT_EQ(lines[1], "0.750000");
    }
}

TEST_F(MainWindowTest, ParameterFileIsReadAtStartAndHandsTheZeroPointToTheAnalyzer) {
    marvek::Settings stored;
    stored.m_fPoisson = 0.21f;
    stored.strategy.m_nMethod = 1;
    stored.strategy.m_bZeroPointCorrection = 1;
    stored.strategy.m_fZeroFitMinPercent = 5;
    stored.strategy.m_fZeroFitMaxPercent = 95;
    std::ofstream(parameterFile) << marvek::FormatParameters(stored);
    CIndentMainDlg& w = Open();
    EXPECT_FLOAT_EQ(w.m_fPoisson, 0.21f);
    EXPECT_EQ(w.GetDlgItemText(IDC_POISSON), "0.21");
    EXPECT_EQ(g_dlgStrategy.m_nMethod, 1);
    EXPECT_EQ(w.m_analyzer.m_bZeroPointCorrection, 1);
    EXPECT_DOUBLE_EQ(w.m_analyzer.m_dZeroFitMinPercent, 5.0);
    EXPECT_DOUBLE_EQ(w.m_analyzer.m_dZeroFitMaxPercent, 95.0);
}

TEST_F(MainWindowTest, AFileThatCannotBeOpenedIsNamedAndNoOldResultsStay) {
    CIndentMainDlg& w = Open();
    const auto files = Curves({"agilent_nial_t001.csv", "kla_tungsten_3mN_t01.csv"});
    ASSERT_TRUE(w.SelectFiles(files));
    ASSERT_GT(w.m_dEIT, 0);
    std::filesystem::remove(files[1]);
    w.SendHScroll(IDC_CURVE_SCROLL, SB_LINERIGHT, 0);
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_NE(services.messages[0].text.find(files[1].filename().string()), std::string::npos);
    EXPECT_EQ(w.m_strFileName, files[1].string());
    EXPECT_EQ(w.m_dEIT, 0);
    EXPECT_TRUE(w.m_pCurveDepth.empty());
    EXPECT_EQ(w.m_strResults.find("E(IT)"), std::string::npos);
    EXPECT_NE(w.GetDlgItemText(IDC_RESULTS).find(files[1].filename().string()), std::string::npos);
}

TEST_F(MainWindowTest, AnUnrecognisedLayoutShowsTheReadersMessage) {
    CIndentMainDlg& w = Open();
    const auto bad = dir / "notes.csv";
    std::ofstream(bad) << "this is not a curve\n1;2;3\n";
    ASSERT_TRUE(w.SelectFiles({bad}));
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].caption, marvek::kFileFormatCaption);
    // The file and the reason first, then where the layouts read are described (the generic
    // example is Help's, not every refusal's).
    EXPECT_EQ(services.messages[0].text.rfind(bad.string() + ": 3 columns without a header", 0), 0u)
        << services.messages[0].text;
    EXPECT_NE(services.messages[0].text.find("Help > Help"), std::string::npos);
    EXPECT_EQ(services.messages[0].text.find(marvek::kFileFormatMessage), std::string::npos);
    EXPECT_EQ(w.m_strResults.find("E(IT)"), std::string::npos);
    // Shown each time the curve is displayed.
    w.SendCommand(IDOK);
    EXPECT_EQ(services.messages.size(), 2u);
}

TEST_F(MainWindowTest, DroppedCsvFilesAreSelected) {
    CIndentMainDlg& w = Open();
    auto files = Curves({"agilent_nial_t001.csv", "kla_tungsten_3mN_t01.csv"});
    files.insert(files.begin(), dir / "readme.doc");
    w.OnDropFiles(files);
    EXPECT_EQ(w.m_analyzer.m_nFileCount, 2);
    EXPECT_EQ(w.m_strFileName, files[1].string());
}

TEST_F(MainWindowTest, HelpAndAboutOpenModallyAndChangeNothing) {
    CIndentMainDlg& w = Open();
    ASSERT_TRUE(w.SelectFiles(Curves({"agilent_nial_t001.csv"})));
    const std::string results = w.m_strResults;
    const double eit = w.m_dEIT;
    ASSERT_TRUE(w.TriggerMenuCommand(ID_HELP_HELP));
    ASSERT_TRUE(w.TriggerMenuCommand(ID_HELP_ABOUT));
    EXPECT_EQ(services.modalCaptions,
              (std::vector<std::string>{"Marvek Indentation Help", "About Marvek"}));
    EXPECT_EQ(w.m_strResults, results);
    EXPECT_EQ(w.m_dEIT, eit);
    EXPECT_EQ(w.m_nCurrentCurve, 0);
    EXPECT_FALSE(w.IsEnded());
}

}  // namespace
