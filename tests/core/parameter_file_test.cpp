#include "core/config/parameter_file.h"
#include "core/platform/recent_selections.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <cmath>
#include <fstream>
#include <sstream>

#include "support/curve_generator.h"

namespace marvek {
namespace {

int Lines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST(ParameterFile, DefaultsWriteFortyLinesInTheirOrder) {
    const std::string all = FormatParameters(Settings{});
    // The 40 values of the older file come first, byte for byte as it was written, so an older
    // program (which reads 40 values and stops) reads the new file as its own.
    std::size_t cut = 0;
    for (int k = 0; k < 40; ++k) cut = all.find('\n', cut) + 1;
    const std::string text = all.substr(0, cut);
    EXPECT_EQ(Lines(all), 46);
    EXPECT_EQ(all.substr(cut), "0.99499999999999999556\n20\n3\n0.050000000000000002776\n5\n2\n");
    const std::string head =
        "0.000000\n0.750000\n82.000000\n100.000000\n20.000000\n82.000000\n0\n0\n24.5\n0\n0\n"
        "0\n0\n0\n0\n0\n0\n26.440000000000001279\n0\n";  // 20 digits
    EXPECT_EQ(text.substr(0, head.size()), head);
    const std::string tail = "0\n0\n10.000000\n90.000000\n0.020000\n0.020000\n";
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

// A file of the older program (40 values) leaves the flag thresholds at their defaults; the
// thresholds written after them read back.
TEST(ParameterFile, FlagThresholdsFollowTheFortyValues) {
    Settings s;
    s.compliance.m_fCompliance = 0.5f;
    s.quality.m_dMinRSquared = 0.9;
    s.quality.m_dSlipDepth = 7.25;
    const std::string text = FormatParameters(s);
    std::size_t cut = 0;
    for (int k = 0; k < 40; ++k) cut = text.find('\n', cut) + 1;
    Settings older;
    older.quality.m_dMinRSquared = 0.5;
    ParseParameters(text.substr(0, cut), older);
    EXPECT_EQ(older.compliance.m_fCompliance, 0.5f);
    EXPECT_EQ(older.quality.m_dMinRSquared, 0.5);
    Settings back;
    ParseParameters(text, back);
    EXPECT_EQ(back.quality.m_dMinRSquared, 0.9);
    EXPECT_EQ(back.quality.m_dSlipDepth, 7.25);
    EXPECT_EQ(back.quality.m_dOutlierMads, 3);
}

TEST(ParameterFile, RoundTripKeepsEveryValue) {
    testing::TempDir dir;
    Settings s;
    s.compliance.m_fCompliance = 0.41f;
    s.strategy.m_nMethod = 1;
    s.strategy.m_fEpsilon = 0.72f;
    s.areaFunction.m_dApCoef = {24.56, 1e-300, -3.3333333333333335, 0.1, 0, 0, 0, 0, 7e22};
    s.areaFunction.m_dFitRSquared = 0.99912345678901234;
    s.m_fPoisson = 0.25f;
    s.strategy.m_bDriftCorrection = 1;
    const auto file = dir.path() / "sub" / "marvek.par";
    ASSERT_TRUE(SaveParameters(file, s).ok());
    Settings back;
    ASSERT_TRUE(LoadParameters(file, back).ok());
    EXPECT_EQ(back.compliance.m_fCompliance, 0.41f);
    EXPECT_EQ(back.strategy.m_nMethod, 1);
    EXPECT_EQ(back.areaFunction.m_dApCoef, s.areaFunction.m_dApCoef);
    EXPECT_EQ(back.areaFunction.m_dFitRSquared, s.areaFunction.m_dFitRSquared);
    EXPECT_EQ(back.m_fPoisson, 0.25f);
    EXPECT_EQ(FormatParameters(back), FormatParameters(s));
    EXPECT_EQ(testing::ReadWholeFile(file), FormatParameters(s));
}

// A short file sets its lines; a bad or non-finite token keeps defaults; long tokens are whole.
TEST(ParameterFile, DamagedFilesNeverGiveUnusableSettings) {
    testing::TempDir dir;
    struct Case {
        const char* name;
        std::string text;
        float compliance, epsilon;
        int method;
        double ap0;
    };
    const Case cases[] = {
        {"seven lines", "0.5\n0.7\n80\n100\n10\n80\n1\n", 0.5f, 0.7f, 1, 24.5},
        {"garbage token stops reading", "0.5\nabc\n80\n", 0.5f, 0.75f, 0, 24.5},
        {"non-finite values keep defaults", "nan\ninf\n80 100 10 80 1 0 -inf\n", 0, 0.75f, 1, 24.5},
        {"blank-separated values", "0.5 0.7\n\n80 100 10 80 0 0 30.5", 0.5f, 0.7f, 0, 30.5},
        {"long token read whole", "0.5\n0.7\n80\n100\n10\n80\n0\n0\n" + std::string(1000000, '1'),
         0.5f, 0.7f, 0, 1.0 / 0.0},
        {"empty", "", 0, 0.75f, 0, 24.5},
    };
    for (const Case& c : cases) {
        Settings s;
        ASSERT_TRUE(LoadParameters(dir.Write("p.par", c.text), s).ok()) << c.name;
        EXPECT_EQ(s.compliance.m_fCompliance, c.compliance) << c.name;
        EXPECT_EQ(s.strategy.m_fEpsilon, c.epsilon) << c.name;
        EXPECT_EQ(s.strategy.m_nMethod, c.method) << c.name;
        // The 1 MB token of ones is a finite-looking number that overflows: default kept.
        EXPECT_EQ(s.areaFunction.m_dApCoef[0], std::isinf(c.ap0) ? 24.5 : c.ap0) << c.name;
    }
    Settings s;
    EXPECT_FALSE(LoadParameters(dir.path() / "none.par", s).ok());
}

TEST(ParameterFile, NonFiniteValuesAreNeverWritten) {
    Settings s;
    s.compliance.m_fCompliance = NAN;
    s.areaFunction.m_dAsCoef[0] = INFINITY;
    const std::string text = FormatParameters(s);
    EXPECT_EQ(text.find("nan"), std::string::npos);
    EXPECT_EQ(text.find("inf"), std::string::npos);
    EXPECT_EQ(text.substr(0, 9), "0.000000\n");
}

// A save that cannot complete leaves the old file exactly as it was. A folder squatting on the
// temporary file's name makes the write fail even for root.
TEST(ParameterFile, FailedSaveKeepsTheOldFile) {
    testing::TempDir dir;
    const auto file = dir.path() / "marvek.par";
    ASSERT_TRUE(SaveParameters(file, Settings{}).ok());
    const std::string before = testing::ReadWholeFile(file);
    std::filesystem::create_directory(dir.path() / ("marvek.par.tmp" + std::to_string(::getpid())));
    Settings changed;
    changed.m_fPoisson = 0.4f;
    const Status r = SaveParameters(file, changed);
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.message().find("marvek.par"), std::string::npos);
    EXPECT_EQ(testing::ReadWholeFile(file), before);
}

// A program killed in the middle of saving leaves one whole file, old or new, never a cut one.
TEST(ParameterFile, KilledSaveLeavesAWholeFile) {
    testing::TempDir dir;
    const auto file = dir.path() / "marvek.par";
    Settings a, b;
    b.areaFunction.m_dApCoef = {24.123456789, 1.5, -2.25, 3, 4, 5, 6, 7, 8};
    b.m_fPoisson = 0.2f;
    ASSERT_TRUE(SaveParameters(file, a).ok());
    for (int round = 0; round < 5; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int k = 0;; ++k) (void)SaveParameters(file, k % 2 ? a : b);
        }
        ::usleep(20000 + 7000 * round);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const std::string text = testing::ReadWholeFile(file);
        EXPECT_TRUE(text == FormatParameters(a) || text == FormatParameters(b)) << text;
    }
}

TEST(ParameterFile, SaveIntoAFileInPlaceOfTheFolderFails) {
    testing::TempDir dir;
    dir.Write("blocker", "x");
    const Status r = SaveParameters(dir.path() / "blocker" / "marvek.par", Settings{});
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.message().find("blocker"), std::string::npos);
}

TEST(ParameterFile, DefaultPathFollowsXdgConfigHome) {
    ::setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
    EXPECT_EQ(DefaultParameterFilePath(), std::filesystem::path("/tmp/cfg/marvek/marvek.par"));
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", "/home/u", 1);
    EXPECT_EQ(DefaultParameterFilePath(),
              std::filesystem::path("/home/u/.config/marvek/marvek.par"));
}

// The recent selections beside the parameter file: newest first, an equal one moved up, ten at
// most; odd names survive the round trip; a file written by hand or damaged reads as what
// can be understood of it.
TEST(RecentSelections, NewestFirstTenAtMostAndOddNamesSurvive) {
    std::vector<CurveSelection> list;
    for (int k = 0; k < 12; ++k)
        list = AddRecentSelection(std::move(list), {"/c/" + std::to_string(k) + ".csv"});
    list = AddRecentSelection(std::move(list), {"/c/5.csv"});
    list = AddRecentSelection(std::move(list), {});
    ASSERT_EQ(list.size(), kMaxRecentSelections);
    EXPECT_EQ(list[0], CurveSelection{"/c/5.csv"});
    EXPECT_EQ(list[1], CurveSelection{"/c/11.csv"});
    EXPECT_EQ(std::count(list.begin(), list.end(), CurveSelection{"/c/5.csv"}), 1);

    testing::TempDir dir;
    const auto file = RecentSelectionsPath(dir.path() / "sub" / "marvek.par");
    EXPECT_EQ(file, dir.path() / "sub" / "marvek.recent");
    EXPECT_TRUE(LoadRecentSelections(file).empty());  // none yet
    const std::vector<CurveSelection> odd = {{"/d/100% load\nname.txt", "/d/cr\rlf\n.hld"},
                                             {"/d/%0A literal.csv",
                                              "/d/T\xc3\xbc"
                                              "bingen.xls"}};
    ASSERT_TRUE(SaveRecentSelections(file, odd).ok());
    EXPECT_EQ(LoadRecentSelections(file), odd);

    EXPECT_EQ(ParseRecentSelections("selection\r\nfile a.csv\r\nfile b.csv\r\nnoise\n"
                                    "selection\nselection\nfile \nfile c\n"),
              (std::vector<CurveSelection>{{"a.csv", "b.csv"}, {"c"}}));
    EXPECT_TRUE(ParseRecentSelections(std::string("file x.csv\n\0\xff", 13)).empty());
}

}  // namespace
}  // namespace marvek
