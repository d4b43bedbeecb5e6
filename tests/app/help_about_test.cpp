// Help and About windows, and the program's command line.
#include <gtest/gtest.h>
#include <QLabel>

#include "app/indent_app.h"
#include "help/about_dialog.h"
#include "help/help_dialog.h"
#include "ui/test_doubles.h"

using namespace marvek::ui;

namespace {

class HelpAboutTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureTestApplication(); }
};

TEST_F(HelpAboutTest, HelpShowsItsTextsInTheirEdits) {
    CHelpDlg dlg;
    dlg.Create();
    EXPECT_EQ(dlg.windowTitle().toStdString(), "Marvek Indentation Help");
    const std::pair<int, const std::string*> edits[] = {{1053, &dlg.m_strFileFormatHelp},
                                                        {1054, &dlg.m_strSelectionHelp},
                                                        {1056, &dlg.m_strMultiCycleHelp},
                                                        {1055, &dlg.m_strComparisonHelp},
                                                        {1057, &dlg.m_strCalibrationHelp}};
    for (const auto& [id, text] : edits) {
        EXPECT_FALSE(text->empty()) << id;
        EXPECT_EQ(dlg.GetDlgItemText(id), *text) << id;
    }
    EXPECT_EQ(dlg.m_strFileFormatHelp.substr(0, 45),
              "Start by making some indentation using any in");
    EXPECT_NE(dlg.m_strComparisonHelp.find("Graphic  Comparison"), std::string::npos);
}

TEST_F(HelpAboutTest, HelpPicturesAreBuiltIn) {
    CHelpDlg dlg;
    dlg.Create();
    int pictures = 0;
    for (QLabel* label : dlg.Client()->findChildren<QLabel*>()) {
        if (label->pixmap().isNull()) continue;
        ++pictures;
        EXPECT_GT(label->pixmap().width(), 300);
    }
    EXPECT_EQ(pictures, 2);
}

TEST_F(HelpAboutTest, AboutClosesWithEnter) {
    CAboutDlg dlg;
    dlg.Create();
    EXPECT_EQ(dlg.windowTitle().toStdString(), "About Marvek");
    bool release = false;
    for (QLabel* label : dlg.Client()->findChildren<QLabel*>())
        release = release || label->text() == "Release Version 1.1";
    EXPECT_TRUE(release);
    dlg.SendCommand(IDOK);
    EXPECT_TRUE(dlg.IsEnded());
}

TEST(LaunchOptions, FilesScreenshotAndMistakes) {
    std::string error;
    auto o = ParseLaunchOptions({"--screenshot", "out.png", "a.csv", "--", "--odd.csv"}, error);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->screenshot, std::filesystem::path("out.png"));
    ASSERT_EQ(o->files.size(), 2u);
    EXPECT_TRUE(o->files[0].is_absolute());
    EXPECT_EQ(o->files[0].filename(), "a.csv");
    EXPECT_EQ(o->files[1].filename(), "--odd.csv");
    EXPECT_EQ(o->window, "main");
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--screenshot"}, {"--bogus"}, {"--window", "table"}}) {
        error.clear();
        EXPECT_FALSE(ParseLaunchOptions(bad, error));
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
