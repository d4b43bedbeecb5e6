// The strategy, compliance and area-function windows driven offscreen with the service doubles.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QWidget>
#include <regex>

#include "app/main_window.h"
#include "core/io/number_format.h"
#include "graphs/graph_window.h"
#include "settings/area_function_dialog.h"
#include "settings/compliance_dialog.h"
#include "settings/settings_objects.h"
#include "settings/strategy_dialog.h"
#include "support/curve_generator.h"
#include "support/temp_dir.h"
#include "ui/dialog.h"
#include "ui/test_doubles.h"

using namespace marvek;
using namespace marvek::ui;

namespace {

constexpr int kSelectFilesCompliance = 3, kCalculateCompliance = 4;
constexpr int kSelectFilesArea = 1029, kCalculateArea = 1028;

class SettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureTestApplication();
        Reset();
    }
    void TearDown() override {
        main.reset();
        Reset();
    }
    static void Reset() {
        StoreSettings(Settings{});
        g_dlgCompliance.m_analyzer.SetFiles({});
        g_dlgAreaFunction.m_analyzer.SetFiles({});
    }
    CIndentMainDlg& Main() {
        main = std::make_unique<CIndentMainDlg>(nullptr, folder.path() / "marvek.par");
        main->Create();
        return *main;
    }
    // A series of indents into fused silica at 1 to 300 mN on a frame of `compliance`.
    std::vector<std::filesystem::path> Series(double compliance, int count = 6,
                                              AreaCoefficients ap = {24.5, 0, 0, 0, 0, 0, 0, 0,
                                                                     0}) {
        marvek::testing::IndentModel model;
        model.frameCompliance = compliance;
        model.apCoef = ap;
        model.reducedModulus = 1.0 / ((1 - 0.17 * 0.17) / 72.0 + (1 - 0.07 * 0.07) / 1141.0);
        const auto sub = folder.path() / ("series" + FormatInt(++seriesCount));
        std::filesystem::create_directories(sub);
        return marvek::testing::WriteIndentSeries(sub, model,
                                                  marvek::testing::LogSpacedForces(1, 300, count));
    }
    std::vector<std::string> MessagesWithCaption(const std::string& caption) const {
        std::vector<std::string> texts;
        for (const MessageRequest& m : services.messages)
            if (m.caption == caption) texts.push_back(m.text);
        return texts;
    }

    marvek::testing::TempDir folder;
    int seriesCount = 0;
    FakeServices services;
    ScopedServices scope{services};
    std::unique_ptr<CIndentMainDlg> main;
};

void Click(Dialog& d, int id) {
    auto* button = qobject_cast<QAbstractButton*>(d.GetDlgItem(id));
    ASSERT_NE(button, nullptr) << id;
    button->setChecked(true);
}

// ---- Strategy ----

struct RangeCase {
    int id;
    const char* text;
    const char* message;  // "" when the value passes
};

TEST_F(SettingsDialogTest, StrategyRefusesOutOfRangeValuesAndStaysOpen) {
    const RangeCase cases[] = {
        // The sentences of the checks the cli and the parameter file use, naming the setting.
        {1014, "100.5",
         "The Oliver-Pharr force range 20-100.5 % is not a range: it needs 0 <= minimum < "
         "maximum <= 100 %."},
        {1016, "-1",
         "The Oliver-Pharr force range -1-82 % is not a range: it needs 0 <= minimum < maximum "
         "<= 100 %."},
        {1019, "101",
         "The Doerner-Nix force range 82-101 % is not a range: it needs 0 <= minimum < maximum "
         "<= 100 %."},
        {1018, "-0.01",
         "The Doerner-Nix force range -0.01-100 % is not a range: it needs 0 <= minimum < "
         "maximum <= 100 %."},
        {1002, "0", "The material epsilon 0 is outside (0, 1]."},
        {1037, "-0.5", "The force accuracy -0.5 mN is outside [0, infinity)."},
        {1002, "abc", "Sneddon's material epsilon: Please enter a number."},
        {1037, "0.1x", "Tool force accuracy: Please enter a number."},
        // The zero-point window counts only while the correction is on, as in the cli.
        {1017, "250", ""},
        {1020, "150", ""},  // the section size has no range
        {1014, "100", ""},
        {1016, "0", ""},
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(FormatInt(c.id) + " = " + c.text);
        StoreSettings(Settings{});
        services.messages.clear();
        bool endedByOk = false;
        services.modalScripts.push_back([&](Dialog& d) {
            d.SetDlgItemText(c.id, c.text);
            d.SendCommand(IDOK);
            endedByOk = d.IsEnded();
            if (!endedByOk) d.SendCommand(IDCANCEL);
        });
        const int result = g_dlgStrategy.DoModal();
        if (*c.message) {
            EXPECT_FALSE(endedByOk);
            EXPECT_EQ(result, IDCANCEL);
            ASSERT_EQ(services.messages.size(), 1u);
            EXPECT_EQ(services.messages[0].text, c.message);
        } else {
            EXPECT_TRUE(endedByOk);
            EXPECT_TRUE(services.messages.empty());
        }
    }
}

// Fields read before the refused one used to stay changed when the user then cancelled.
TEST_F(SettingsDialogTest, StrategyCancelAfterARefusedOkChangesNothing) {
    services.modalScripts.push_back([](Dialog& d) {
        d.SetDlgItemText(1002, "0.5");  // epsilon, read first
        d.SetDlgItemText(1014, "95");   // OP max, passes
        d.SetDlgItemText(1019, "150");  // Doerner-Nix max, refused
        d.SendCommand(IDOK);
        d.SendCommand(IDCANCEL);
    });
    EXPECT_EQ(g_dlgStrategy.DoModal(), IDCANCEL);
    EXPECT_EQ(g_dlgStrategy.m_fEpsilon, 0.75f);
    EXPECT_EQ(g_dlgStrategy.m_fOPMaxPercent, 82.0f);
    EXPECT_EQ(g_dlgStrategy.m_fDNMaxPercent, 100.0f);
}

TEST_F(SettingsDialogTest, StrategyShowsTheValuesWithTheDisplacementAccuracyDisabled) {
    g_dlgStrategy.m_fDNMinPercent = 75;
    g_dlgStrategy.m_nMethod = 1;
    services.modalScripts.push_back([](Dialog& d) {
        EXPECT_EQ(d.Template().caption, "Marvek - Strategy for calculating the elastic modulus");
        EXPECT_EQ(d.GetDlgItemText(1018), "75");
        EXPECT_EQ(d.GetDlgItemText(1002), "0.75");
        EXPECT_TRUE(qobject_cast<QAbstractButton*>(d.GetDlgItem(1032))->isChecked());
        EXPECT_FALSE(d.GetDlgItem(1038)->isEnabled());
        EXPECT_TRUE(d.GetDlgItem(1037)->isEnabled());
        d.SendCommand(IDCANCEL);
    });
    g_dlgStrategy.DoModal();
}

TEST_F(SettingsDialogTest, StrategyOkCopiesToTheAreaFunctionAndTheMainAnalyzerOnly) {
    CIndentMainDlg& w = Main();
    services.modalScripts.push_back([](Dialog& d) {
        d.SetDlgItemText(1002, "0.72");
        d.SetDlgItemText(1014, "80");
        d.SetDlgItemText(1016, "30");
        d.SetDlgItemText(1019, "99");
        d.SetDlgItemText(1018, "85");
        Click(d, 1030);
        d.SetDlgItemText(1017, "5");
        d.SetDlgItemText(1015, "60");
        Click(d, 1032);
        Click(d, 1036);
        d.SetDlgItemText(1037, "0.5");
        d.SendCommand(IDOK);
    });
    w.OnStrategy();

    EXPECT_EQ(g_dlgStrategy.m_nMethod, 1);
    EXPECT_EQ(g_dlgStrategy.m_bDriftCorrection, 1);
    EXPECT_EQ(g_dlgStrategy.m_fForceAccuracy, 0.5f);
    const AreaFunctionSettings& af = g_dlgAreaFunction;
    EXPECT_EQ(af.m_fEpsilon, 0.72f);
    EXPECT_EQ(af.m_nMethod, 1);
    EXPECT_EQ(af.m_fOPMaxPercent, 80.0f);
    EXPECT_EQ(af.m_fOPMinPercent, 30.0f);
    EXPECT_EQ(af.m_fDNMaxPercent, 99.0f);
    EXPECT_EQ(af.m_fDNMinPercent, 85.0f);
    EXPECT_EQ(w.m_analyzer.m_bZeroPointCorrection, 1);
    EXPECT_EQ(w.m_analyzer.m_dZeroFitMinPercent, 5.0);
    EXPECT_EQ(w.m_analyzer.m_dZeroFitMaxPercent, 60.0);
    // The drift switch and force accuracy reach the analyzer with the next analysis only.
    EXPECT_EQ(w.m_analyzer.m_bDriftCorrection, 0);
    EXPECT_EQ(w.m_nCurrentCurve, -1);
}

TEST_F(SettingsDialogTest, StrategyOkReanalysesTheDisplayedCurveAndCancelDoesNot) {
    CIndentMainDlg& w = Main();
    ASSERT_TRUE(w.SelectFiles(Series(0.0, 2)));
    ASSERT_EQ(w.m_strResults.find("Doerner-Nix"), std::string::npos);
    const std::string before = w.m_strResults;

    services.modalScripts.push_back([](Dialog& d) {
        Click(d, 1032);
        d.SendCommand(IDCANCEL);
    });
    w.OnStrategy();
    EXPECT_EQ(w.m_strResults, before);
    EXPECT_EQ(g_dlgStrategy.m_nMethod, 0);

    services.modalScripts.push_back([](Dialog& d) {
        Click(d, 1032);
        d.SendCommand(IDOK);
    });
    w.OnStrategy();
    EXPECT_NE(w.m_strResults.find("Doerner-Nix"), std::string::npos) << w.m_strResults;
}

// ---- Compliance ----

std::regex FitText() {
    return std::regex(R"(y = -?\d+\.\d{6} x \+ (-?\d+\.\d{6})  R\^2 = -?\d+\.\d{6})");
}

TEST_F(SettingsDialogTest, ComplianceCalculateShowsEveryFitAndOkKeepsTheResult) {
    CIndentMainDlg& w = Main();
    g_dlgCompliance.m_fCompliance = 0.1f;
    services.openAnswers.push_back(Series(0.5, 8));
    std::string shown;
    services.modalScripts.push_back([&](Dialog& d) {
        EXPECT_EQ(d.Template().caption, "Calculate the compliance of indentation machine");
        d.SendCommand(kSelectFilesCompliance);
        d.SendCommand(kCalculateCompliance);
        shown = d.GetDlgItemText(1001);
        d.SendCommand(IDOK);
    });
    std::vector<double> graphX;
    services.modalScripts.push_back([&](Dialog& d) {
        auto* graph = dynamic_cast<CGraphDlg*>(&d);
        ASSERT_NE(graph, nullptr);
        EXPECT_EQ(graph->m_strXLabel, "1/Ap(nm)^0.5");
        EXPECT_EQ(graph->m_strYLabel, "Ct (nm/mN)");
        graphX.assign(graph->m_adX.begin(), graph->m_adX.begin() + graph->m_nCount);
        d.SendCommand(IDOK);
    });
    w.OnCompliance();
    EXPECT_EQ(graphX.size(), 8u);

    const std::vector<std::string> tests = MessagesWithCaption("Test");
    ASSERT_GE(tests.size(), 2u);
    ASSERT_LE(tests.size(), 30u);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(tests.back(), m, FitText())) << tests.back();
    const double lastIntercept = ParseDouble(m[1].str());
    EXPECT_NEAR(g_dlgCompliance.m_fCompliance, 0.5, 0.03 * 0.5);
    EXPECT_NEAR(g_dlgCompliance.m_fCompliance, lastIntercept, 1e-6);
    EXPECT_EQ(shown, FormatSignificant(g_dlgCompliance.m_fCompliance, 6));
}

TEST_F(SettingsDialogTest, ComplianceCancelOrCloseBoxUndoesCalculateAndTypedValues) {
    CIndentMainDlg& w = Main();
    const auto files = Series(0.5);
    g_dlgCompliance.m_analyzer.SetFiles(files);
    for (const bool closeBox : {false, true}) {
        SCOPED_TRACE(closeBox ? "close box" : "Cancel");
        g_dlgCompliance.m_fCompliance = 0.125f;
        services.modalScripts.push_back([&](Dialog& d) {
            d.SendCommand(kCalculateCompliance);
            EXPECT_NE(d.GetDlgItemText(1001), "0.125");
            if (closeBox)
                d.close();
            else
                d.SendCommand(IDCANCEL);
        });
        w.OnCompliance();
        EXPECT_EQ(g_dlgCompliance.m_fCompliance, 0.125f);
    }
    services.modalScripts.push_back([](Dialog& d) {
        d.SetDlgItemText(1001, "0.75");
        d.SendCommand(IDOK);
    });
    w.OnCompliance();
    EXPECT_EQ(g_dlgCompliance.m_fCompliance, 0.75f);
}

TEST_F(SettingsDialogTest, ComplianceFileListSurvivesReopeningAndSettingsAreCopiedEachTime) {
    CIndentMainDlg& w = Main();
    services.openAnswers.push_back(Series(0.3));
    services.modalScripts.push_back([](Dialog& d) {
        d.SendCommand(kSelectFilesCompliance);
        d.SendCommand(IDCANCEL);
    });
    w.OnCompliance();

    g_dlgStrategy.m_nMethod = 1;
    g_dlgStrategy.m_fEpsilon = 0.72f;
    g_dlgStrategy.m_bZeroPointCorrection = 1;
    g_dlgStrategy.m_bDriftCorrection = 1;
    g_dlgStrategy.m_fForceAccuracy = 0.3f;
    g_dlgAreaFunction.m_dApCoef[1] = 100;
    services.modalScripts.push_back([](Dialog& d) {
        d.SendCommand(kCalculateCompliance);
        d.SendCommand(IDOK);
    });
    w.OnCompliance();

    EXPECT_FALSE(MessagesWithCaption("Test").empty());
    EXPECT_EQ(g_dlgCompliance.m_analyzer.m_nFileCount, 6);
    EXPECT_EQ(g_dlgCompliance.m_nMethod, 1);
    EXPECT_EQ(g_dlgCompliance.m_fEpsilon, 0.72f);
    EXPECT_EQ(g_dlgCompliance.m_dApCoef[1], 100.0);
    EXPECT_EQ(g_dlgCompliance.m_analyzer.m_bZeroPointCorrection, 1);
    EXPECT_EQ(g_dlgCompliance.m_analyzer.m_bDriftCorrection, 1);
    EXPECT_EQ(g_dlgCompliance.m_analyzer.m_dForceAccuracy, 0.0);
}

// A single curve gave a line through one point and a compliance that is not a number, which
// was then saved to the parameter file.
TEST_F(SettingsDialogTest, ComplianceOfOneCurveIsRefusedAndKeepsTheOldValue) {
    CIndentMainDlg& w = Main();
    g_dlgCompliance.m_fCompliance = 0.2f;
    g_dlgCompliance.m_analyzer.SetFiles({Series(0.5, 1)[0], folder.path() / "gone.csv"});
    services.modalScripts.push_back([](Dialog& d) {
        d.SendCommand(kCalculateCompliance);
        EXPECT_EQ(d.GetDlgItemText(1001), "0.2");
        d.SendCommand(IDOK);
    });
    w.OnCompliance();
    EXPECT_EQ(g_dlgCompliance.m_fCompliance, 0.2f);
    EXPECT_TRUE(MessagesWithCaption("Test").empty());
    const std::vector<std::string> warnings = MessagesWithCaption(kApplicationName);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("at least two"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[0].find("gone.csv"), std::string::npos) << warnings[0];
}

TEST_F(SettingsDialogTest, ComplianceCalculateWithoutFilesDoesNothing) {
    CIndentMainDlg& w = Main();
    g_dlgCompliance.m_fCompliance = 0.2f;
    services.modalScripts.push_back([](Dialog& d) {
        d.SendCommand(kCalculateCompliance);
        d.SendCommand(IDOK);
    });
    w.OnCompliance();
    EXPECT_TRUE(services.messages.empty());
    EXPECT_EQ(g_dlgCompliance.m_fCompliance, 0.2f);
}

// ---- Area function ----

TEST_F(SettingsDialogTest, AreaFunctionRefusesTermsOutsideOneToNineAndCancelKeepsEverything) {
    CIndentMainDlg& w = Main();
    for (const char* terms : {"0", "10"}) {
        services.messages.clear();
        bool ended = true;
        services.modalScripts.push_back([&](Dialog& d) {
            d.SetDlgItemText(1005, "30");  // read before the terms
            d.SetDlgItemText(1015, terms);
            d.SendCommand(IDOK);
            ended = d.IsEnded();
            d.SendCommand(IDCANCEL);
        });
        w.OnAreaFunction();
        EXPECT_FALSE(ended) << terms;
        ASSERT_EQ(services.messages.size(), 1u);
        EXPECT_EQ(services.messages[0].text,
                  std::string("The number of area-function terms ") + terms + " is outside 1-9.");
        EXPECT_EQ(g_dlgAreaFunction.m_dApCoef[0], 24.5);
        EXPECT_EQ(g_dlgAreaFunction.m_nFunctionTerms, 2);
    }
}

TEST_F(SettingsDialogTest, AreaFunctionCalculateStoresTheFitAndCancelKeepsIt) {
    CIndentMainDlg& w = Main();
    g_dlgAreaFunction.m_dApCoef = {20, 1, 2, 3, 4, 5, 6, 7, 8};
    g_dlgAreaFunction.m_dAsCoef = {26.44, 1, 0, 0, 0, 0, 0, 0, 0};
    services.openAnswers.push_back(Series(0.0, 8, {24.5, 700, 0, 0, 0, 0, 0, 0, 0}));
    services.modalScripts.push_back([](Dialog& d) {
        EXPECT_EQ(d.Template().caption, "Marvek - Indenter area function and elastic modulus");
        d.SendCommand(kSelectFilesArea);
        d.SetDlgItemText(1015, "2");
        d.SendCommand(kCalculateArea);
        d.SetDlgItemText(1003, "999");  // typed after Calculate: dropped by Cancel
        d.SendCommand(IDCANCEL);
    });
    int graphCount = 0;
    services.modalScripts.push_back([&](Dialog& d) {
        auto* graph = dynamic_cast<CGraphDlg*>(&d);
        ASSERT_NE(graph, nullptr);
        EXPECT_EQ(graph->m_strXLabel, "hc (nm)");
        EXPECT_EQ(graph->m_strYLabel, "Ap (nm^2)");
        graphCount = graph->m_nCount;
        d.SendCommand(IDOK);
    });
    w.OnAreaFunction();
    EXPECT_EQ(graphCount, 8);

    const AreaFunctionSettings& af = g_dlgAreaFunction;
    EXPECT_NEAR(af.m_dApCoef[0], 24.5, 0.02 * 24.5);
    EXPECT_NEAR(af.m_dApCoef[1], 700, 0.1 * 700);
    for (std::size_t k = 2; k < 9; ++k) EXPECT_EQ(af.m_dApCoef[k], 0.0) << k;
    EXPECT_EQ(af.m_dAsCoef[1], 1.0);  // As is never calibrated
    EXPECT_GT(af.m_dFitRSquared, 0.999);
    EXPECT_EQ(af.m_fIndenterModulus, 1141.0f);
}

TEST_F(SettingsDialogTest, AreaFunctionFailureKeepsCoefficientsAndSaysWhy) {
    CIndentMainDlg& w = Main();
    g_dlgAreaFunction.m_dFitRSquared = 0.5;
    g_dlgAreaFunction.m_analyzer.SetFiles(Series(0.0, 2));
    services.modalScripts.push_back([](Dialog& d) {
        d.SetDlgItemText(1015, "4");
        d.SendCommand(kCalculateArea);
        d.SendCommand(IDOK);
    });
    w.OnAreaFunction();
    EXPECT_EQ(g_dlgAreaFunction.m_dApCoef[0], 24.5);
    EXPECT_EQ(g_dlgAreaFunction.m_dFitRSquared, 0.5);
    EXPECT_EQ(g_dlgAreaFunction.m_nFunctionTerms, 4);
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_NE(services.messages[0].text.find("at least 4"), std::string::npos);
}

TEST_F(SettingsDialogTest, AreaFunctionOkCarriesTheComplianceBackOnlyWithACurveShown) {
    CIndentMainDlg& w = Main();
    g_dlgCompliance.m_fCompliance = 0.3f;
    g_dlgAreaFunction.m_analyzer.SetFiles(Series(0.0, 4));
    auto calculateAtCompliance = [](Dialog& d) {
        EXPECT_EQ(d.GetDlgItemText(1047), "0.3");
        d.SetDlgItemText(1047, "0.6");
        d.SendCommand(kCalculateArea);
        d.SendCommand(IDOK);
    };
    services.modalScripts.push_back(calculateAtCompliance);
    w.OnAreaFunction();
    EXPECT_EQ(g_dlgAreaFunction.m_fCompliance, 0.6f);
    EXPECT_EQ(g_dlgCompliance.m_fCompliance, 0.3f);

    ASSERT_TRUE(w.SelectFiles(Series(0.0, 1)));
    services.modalScripts.push_back(calculateAtCompliance);
    w.OnAreaFunction();
    EXPECT_EQ(g_dlgCompliance.m_fCompliance, 0.6f);
}

}  // namespace
