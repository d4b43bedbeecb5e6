// Runs the built marvek-cli graph sub-command.

#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/wait.h>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/series/graph_series.h"

namespace {

struct Output {
    std::string out;
    int status = -1;
};

Output RunCli(const std::string& args) {
    Output r;
    const std::string command = std::string(MARVEK_CLI) + " " + args + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return r;
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) r.out.append(buffer.data(), n);
    const int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string Examples() {
    const std::string e = MARVEK_EXAMPLES;
    return "--defaults " + e + "/agilent_nial_t001.csv " + e + "/kla_tungsten_3mN_t01.csv " + e +
           "/hysitron_steel_0000.csv";
}

int Lines(const std::string& text) {
    int n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

TEST(GraphCli, EveryNameWritesItsTitlesAndPoints) {
    for (const marvek::GraphCommandInfo& info : marvek::GraphCommands()) {
        const Output r = RunCli(std::string("graph ") + info.name + " " + Examples());
        SCOPED_TRACE(info.name);
        if (info.kind == marvek::GraphKind::Profile) {
            // The examples hold no continuous-stiffness channels: no graph, a failure.
            EXPECT_EQ(r.status, 1);
            EXPECT_TRUE(r.out.empty());
            continue;
        }
        EXPECT_EQ(r.status, 0);
        const std::string header = std::string(info.xTitle) + ", " + info.yTitle + "\n";
        EXPECT_EQ(r.out.substr(0, header.size()), header);
        if (info.kind == marvek::GraphKind::CurveList) {
            EXPECT_EQ(Lines(r.out), 1 + 3);
        } else if (info.command == marvek::GraphCommand::PercentSeries) {
            EXPECT_EQ(Lines(r.out), 1 + 198);
        } else if (info.command == marvek::GraphCommand::PercentM) {
            EXPECT_EQ(Lines(r.out), 1 + 122);
        }
    }
}

TEST(GraphCli, OutputFileHoldsTheSameTextAsStdout) {
    const std::filesystem::path file =
        std::filesystem::path(::testing::TempDir()) /
        ("marvek graph cli out " + std::to_string(::getpid()) + ".csv");
    std::filesystem::remove(file);
    const Output toStdout = RunCli("graph section-r --curve 1 " + Examples());
    const Output toFile =
        RunCli("graph section-r --curve 1 -o '" + file.string() + "' " + Examples());
    EXPECT_EQ(toFile.status, 0);
    EXPECT_TRUE(toFile.out.empty());
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), toStdout.out);
    EXPECT_EQ(Lines(toStdout.out), 1 + 104);
}

TEST(GraphCli, SectionSizeChangesTheSweep) {
    // Oliver-Pharr 20-82 %: windows of 20 % slide while 82 - 20 > minimum: 20 .. 61.5.
    const Output r = RunCli("graph section-m --section-size 20 " + Examples());
    EXPECT_EQ(Lines(r.out), 1 + 84);
}

TEST(GraphCli, BadInputIsRefused) {
    EXPECT_EQ(RunCli("graph no-such-graph " + Examples()).status, 2);
    EXPECT_EQ(RunCli("graph percent-m --curve 7 " + Examples()).status, 2);
    // A missing curve gives no point and a failing exit status, the others still come out.
    const Output r = RunCli("graph hm-curve " + Examples() + " /nonexistent/curve.csv");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Lines(r.out), 1 + 3);
}

}  // namespace

// A workbook is a list of curves: --curve counts its tests, and the profile is that test's.
TEST(GraphCli, CurveIndexCountsTheTestsOfAWorkbook) {
    const std::string book = std::string(MARVEK_TEST_DATA) + "/vendor/FS_XP.xls";
    const Output first = RunCli("graph hardness-profile --curve 0 " + book);
    const Output third = RunCli("graph hardness-profile --curve 2 " + book);
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(third.status, 0);
    EXPECT_EQ(third.out.rfind("Depth (nm), Hardness (GPa), file, test\n", 0), 0u);
    EXPECT_GT(Lines(third.out), 100);
    EXPECT_NE(first.out, third.out);
    EXPECT_EQ(RunCli("graph hardness-profile --curve 99 " + book).status, 2);
}
