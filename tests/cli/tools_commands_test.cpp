// The split and export sub-commands, run as the built binary.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/analysis/curve_analysis.h"
#include "core/analysis/results_text.h"
#include "core/tools/multi_cycle_split.h"
#include "core/tools/save_curves.h"
#include "support/curve_generator.h"
#include "support/run_command.h"

namespace marvek {
namespace {

namespace fs = std::filesystem;

using CliRun = marvek::testing::CommandRun;

// Runs marvek-cli with `args` (already quoted), stdout captured, stderr dropped.
CliRun RunCli(const std::string& args) {
    return marvek::testing::RunCommand(std::string("'") + MARVEK_CLI + "' " + args +
                                       " 2>/dev/null");
}

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

std::string ReadWhole(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ToolsCommands : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("marvek_cli_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
                std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(ToolsCommands, SplitWritesTheCoreFilesAndOneCountLinePerInput) {
    const auto curve = testing::MakeMultiCycleCurve({2.0, 4.0, 6.0}, 0.3);
    const fs::path input = dir_ / "three.csv";
    testing::WriteCurveFile(input, curve.Points());
    const fs::path missing = dir_ / "missing.csv";

    for (SplitKind kind : {SplitKind::Unload, SplitKind::Reload}) {
        const bool unload = kind == SplitKind::Unload;
        const CliRun run = RunCli(std::string("split ") + (unload ? "unload " : "reload ") +
                                  Quote(input) + " " + Quote(missing));
        EXPECT_EQ(run.status, 1) << "a skipped input is a failure";
        const std::string count =
            unload ? " unload curve files created\n" : " reload curves files created\n";
        EXPECT_EQ(run.out, input.string() + ": " + (unload ? "3" : "2") + count + missing.string() +
                               ": 0" + count);

        CCurveAnalyzer reader;
        ASSERT_TRUE(reader.ReadCurveFile(input).ok());
        const auto expected = BuildSplitFiles(LoadedPoints(reader), kind, HoldBand(0.02f), input);
        ASSERT_EQ(expected.size(), unload ? 3u : 2u);
        for (const SplitOutput& file : expected)
            EXPECT_EQ(ReadWhole(file.path), file.content) << file.path;
    }
}

TEST_F(ToolsCommands, SplitWithoutForceAccuracyWritesNoHolds) {
    const fs::path input = dir_ / "three.csv";
    testing::WriteCurveFile(input, testing::MakeMultiCycleCurve({2.0, 4.0, 6.0}, 0.3).Points());
    for (const char* mode : {"unload", "reload"}) {
        const CliRun run =
            RunCli(std::string("split ") + mode + " --force-accuracy 0 " + Quote(input));
        EXPECT_EQ(run.status, 0) << mode;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            if (entry.path() == input) continue;
            EXPECT_EQ(ReadWhole(entry.path()).find("HOLD"), std::string::npos) << entry.path();
        }
    }
    EXPECT_NE(RunCli("split unload --force-accuracy -1 " + Quote(input)).status, 0);
}

TEST_F(ToolsCommands, ExportWritesResultsAndThreeSeries) {
    const fs::path input = fs::path(MARVEK_TEST_DATA) / "real" / "agilent_nial_t001.csv";
    const fs::path out = dir_ / "curves.csv";
    const CliRun run = RunCli("export --defaults " + Quote(input) + " -o " + Quote(out));
    ASSERT_EQ(run.status, 0);

    Settings settings;
    CCurveAnalyzer analyzer;
    analyzer.SetFiles({input});
    CurveDisplay display;
    ASSERT_TRUE(AnalyzeCurve(analyzer, 0, settings, display).ok());
    ASSERT_FALSE(display.m_pFitCurveDepth.empty());
    const std::string expected = BuildSaveCurvesText(
        BuildResultsText(analyzer, display, settings.strategy.method()), display);
    EXPECT_EQ(ReadWhole(out), expected);
    EXPECT_EQ(expected.rfind("Method :\n", 0), 0u);
}

TEST_F(ToolsCommands, ExportToAMissingFolderFails) {
    const fs::path input = fs::path(MARVEK_TEST_DATA) / "real" / "agilent_nial_t001.csv";
    const CliRun run = RunCli("export --defaults " + Quote(input) + " -o " +
                              Quote(dir_ / "nowhere" / "curves.csv"));
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(fs::exists(dir_ / "nowhere"));
}

}  // namespace
}  // namespace marvek
