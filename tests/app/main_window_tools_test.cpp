// The file tools of the main window: the multi-cycle split commands and Save Curves.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/resource_ids.h"
#include "core/tools/multi_cycle_split.h"
#include "core/tools/save_curves.h"
#include "main_window_fixture.h"
#include "support/curve_generator.h"

namespace {

namespace fs = std::filesystem;
using marvek::ui::IDCANCEL;
using marvek::ui::IDOK;
using marvek::ui::MessageButtons;

std::string ReadWhole(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class MainWindowToolsTest : public MainWindowTest {
protected:
    // A three-cycle curve and a recorded single-cycle curve, selected in the window.
    std::vector<fs::path> SelectCycleFiles(CIndentMainDlg& w) {
        const fs::path three = dir / "three.csv";
        marvek::testing::WriteCurveFile(
            three, marvek::testing::MakeMultiCycleCurve({2, 4, 6}, 0.3).Points());
        std::vector<fs::path> files = {three};
        for (const fs::path& f : Curves({"agilent_nial_t001.csv"})) files.push_back(f);
        EXPECT_TRUE(w.SelectFiles(files));
        return files;
    }
    // The window's display, to check a command left it alone.
    struct Shown {
        std::string results;
        std::vector<double> depth, load, fit, extrap;
        int curve, points;
        bool operator==(const Shown&) const = default;
    };
    static Shown Snapshot(const CIndentMainDlg& w) {
        return {w.m_strResults,  w.m_pCurveDepth,   w.m_pCurveLoad,        w.m_pFitCurveLoad,
                w.m_pExtrapLoad, w.m_nCurrentCurve, w.m_analyzer.m_nPoints};
    }
};

TEST_F(MainWindowToolsTest, SeparateUnloadShowsOneCountPerFileAndLeavesTheDisplay) {
    CIndentMainDlg& w = Open();
    const auto files = SelectCycleFiles(w);
    const Shown before = Snapshot(w);
    const std::size_t messages = services.messages.size();

    w.SendCommand(resource::ID_SEPARATE_UNLOAD);  // the "File" menu item

    ASSERT_EQ(services.messages.size(), messages + 2);
    const auto& first = services.messages[messages];
    EXPECT_EQ(first.text, files[0].string() + "\n\n     3 unload curve files created\n");
    EXPECT_EQ(first.caption, "Marvek");
    EXPECT_EQ(first.buttons, MessageButtons::OkCancel);
    EXPECT_EQ(services.messages[messages + 1].text,
              files[1].string() + "\n\n     1 unload curve files created\n");
    for (int k = 1; k <= 3; ++k)
        EXPECT_TRUE(fs::exists(dir / ("three_" + std::to_string(k) + "u.csv")));
    EXPECT_TRUE(fs::exists(marvek::SplitFileName(files[1], marvek::SplitKind::Unload, 1)));
    EXPECT_EQ(Snapshot(w), before);
}

TEST_F(MainWindowToolsTest, CancelStopsBeforeTheNextFile) {
    CIndentMainDlg& w = Open();
    const auto files = SelectCycleFiles(w);
    const std::size_t messages = services.messages.size();
    services.messageAnswers.push_back(IDCANCEL);

    w.OnSeparateReload();

    ASSERT_EQ(services.messages.size(), messages + 1);
    EXPECT_EQ(services.messages.back().text,
              files[0].string() + "\n\n     2 reload curves files created\n");
    EXPECT_TRUE(fs::exists(dir / "three_2r.csv"));
    EXPECT_FALSE(fs::exists(marvek::SplitFileName(files[1], marvek::SplitKind::Reload, 1)));
}

// A selected file that has gone since used to be cut from the previous file's points.
TEST_F(MainWindowToolsTest, VanishedFileIsSkippedWithItsReason) {
    CIndentMainDlg& w = Open();
    const auto files = SelectCycleFiles(w);
    fs::remove(files[1]);
    const std::size_t messages = services.messages.size();

    w.OnSeparateUnload();

    ASSERT_EQ(services.messages.size(), messages + 2);
    const std::string& text = services.messages.back().text;
    EXPECT_EQ(text.rfind(files[1].string() + "\n\n     0 unload curve files created\n", 0), 0u);
    EXPECT_NE(text.find("cannot be opened"), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(marvek::SplitFileName(files[1], marvek::SplitKind::Unload, 1)));
}

// Files that could not be created used to be counted as created.
TEST_F(MainWindowToolsTest, UnwritableOutputIsNamedAndNotCounted) {
    CIndentMainDlg& w = Open();
    const auto files = SelectCycleFiles(w);
    fs::create_directory(dir / "three_1u.csv");  // a folder in the way, refused even to root
    const std::size_t messages = services.messages.size();
    services.messageAnswers.push_back(IDCANCEL);

    w.OnSeparateUnload();

    ASSERT_EQ(services.messages.size(), messages + 1);
    const std::string& text = services.messages.back().text;
    EXPECT_EQ(text.rfind(files[0].string() + "\n\n     2 unload curve files created\n", 0), 0u);
    EXPECT_NE(text.find((dir / "three_1u.csv").string()), std::string::npos) << text;
}

TEST_F(MainWindowToolsTest, SaveCurvesWritesTheDisplayedCurveWhereChosen) {
    CIndentMainDlg& w = Open();
    ASSERT_TRUE(w.SelectFiles(Curves({"agilent_nial_t001.csv"})));
    ASSERT_FALSE(w.m_pFitCurveLoad.empty());
    const fs::path target = dir / "sub folder" / (std::string(100, 's') + ".csv");
    fs::create_directories(target.parent_path());
    services.saveAnswers.push_back(target);
    const std::size_t messages = services.messages.size();

    w.SendCommand(resource::ID_SAVE_CURVES);

    ASSERT_EQ(services.saveRequests.size(), 1u);
    const auto& request = services.saveRequests[0];
    EXPECT_EQ(request.filter, "Text Files (*.CSV)");
    EXPECT_EQ(request.defaultExtension, "csv");
    EXPECT_EQ(request.initialName, "");
    EXPECT_TRUE(request.promptOverwrite);
    EXPECT_EQ(ReadWhole(target), marvek::BuildSaveCurvesText(w.m_strResults, w));
    EXPECT_EQ(ReadWhole(target).rfind("Method :\n", 0), 0u);
    EXPECT_EQ(services.messages.size(), messages) << "no message on success";
}

// The file used to be created in silence or not at all.
TEST_F(MainWindowToolsTest, SaveCurvesSaysWhenTheFileCannotBeWritten) {
    CIndentMainDlg& w = Open();
    ASSERT_TRUE(w.SelectFiles(Curves({"agilent_nial_t001.csv"})));
    const fs::path target = dir / "missing folder" / "curves.csv";
    services.saveAnswers.push_back(target);
    const std::size_t messages = services.messages.size();

    w.OnSaveCurves();

    ASSERT_EQ(services.messages.size(), messages + 1);
    EXPECT_NE(services.messages.back().text.find(target.string()), std::string::npos);
}

TEST_F(MainWindowToolsTest, SaveCurvesRefusesWhenTheDisplayedCurveFailed) {
    CIndentMainDlg& w = Open();
    const auto files = Curves({"agilent_nial_t001.csv"});
    ASSERT_TRUE(w.SelectFiles(files));
    fs::remove(files[0]);
    w.OnOK();  // re-analyses the displayed curve, which is gone
    ASSERT_FALSE(w.m_lastOutcome.ok());
    const std::size_t messages = services.messages.size();

    w.OnSaveCurves();

    EXPECT_TRUE(services.saveRequests.empty());
    ASSERT_EQ(services.messages.size(), messages + 1);
    EXPECT_NE(services.messages.back().text.find(files[0].filename().string()), std::string::npos);
}

TEST_F(MainWindowToolsTest, ToolsDoNothingWithoutFilesOrWhenCancelled) {
    CIndentMainDlg& w = Open();
    w.OnSaveCurves();
    w.OnSeparateUnload();
    w.OnSeparateReload();
    EXPECT_TRUE(services.saveRequests.empty());
    EXPECT_TRUE(services.messages.empty());

    ASSERT_TRUE(w.SelectFiles(Curves({"agilent_nial_t001.csv"})));
    w.OnSaveCurves();  // the save dialog is cancelled by default
    EXPECT_EQ(services.saveRequests.size(), 1u);
    EXPECT_TRUE(services.messages.empty());
}

}  // namespace
