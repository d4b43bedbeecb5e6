#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/curve_generator.h"  // TempDir

namespace {

struct CliRun {
    int status;
    std::string out, err;
};

// Runs marvek-cli with the arguments (shell-quoted by the caller) and collects its output.
CliRun RunCli(const std::string& args, const marvek::testing::TempDir& dir) {
    const std::string errFile = (dir.path() / "stderr.txt").string();
    const std::string command = std::string(MARVEK_CLI) + " " + args + " 2>" + errFile;
    CliRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        run.out.append(buffer.data(), n);
    const int raw = ::pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream in(errFile);
    std::ostringstream s;
    s << in.rdbuf();
    run.err = s.str();
    return run;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

const std::string kExamples = std::string(MARVEK_EXAMPLES) + "/";

TEST(Cli, VersionIsASuccess) {
    const marvek::testing::TempDir dir;
    const CliRun run = RunCli("--version", dir);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("marvek-cli ", 0), 0u) << run.out;
}

TEST(AnalyzeCli, PrintsOneCsvRowPerFileWithUnits) {
    marvek::testing::TempDir dir;
    const CliRun run = RunCli("analyze --defaults " + kExamples + "agilent_nial_t001.csv " +
                                  kExamples + "hysitron_steel_0000.csv",
                              dir);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind("file,test,format,ok,error,method,Fmax [mN],hmax [nm]", 0), 0u);
    EXPECT_NE(lines[1].find("agilent_nial_t001.csv,,marvek-csv,true,,op,"), std::string::npos);
}

// Settings that cannot give a result are refused before any file is read, never ok=true with NaN.
TEST(AnalyzeCli, InvalidSettingsAreRefusedWithEveryProblemNamed) {
    marvek::testing::TempDir dir;
    const CliRun run = RunCli("analyze --json --defaults --op-range 120 -5 --epsilon -3 " +
                                  kExamples + "agilent_nial_t001.csv",
                              dir);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("material epsilon -3 is outside (0, 1]"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Oliver-Pharr force range 120--5 %"), std::string::npos) << run.err;
}

TEST(AnalyzeCli, JsonLinesCarryExactlyTheAgreedKeys) {
    marvek::testing::TempDir dir;
    const CliRun run = RunCli("analyze --json --defaults --method dn --dn-range 80 100 " +
                                  kExamples + "agilent_nial_t001.csv",
                              dir);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto j = nlohmann::json::parse(Lines(run.out).at(0));
    const std::vector<std::string> keys = {"file",
                                           "test",
                                           "format",
                                           "ok",
                                           "error",
                                           "method",
                                           "Fmax",
                                           "hmax",
                                           "hc",
                                           "hr",
                                           "hf",
                                           "S",
                                           "r2",
                                           "alpha",
                                           "m",
                                           "intercept",
                                           "driftRate",
                                           "zeroPointOffset",
                                           "nPoints",
                                           "nFitPoints",
                                           "EIT",
                                           "HIT",
                                           "HM",
                                           "HOP",
                                           "HV",
                                           "Ap",
                                           "As",
                                           "loadTime",
                                           "topHoldTime",
                                           "unloadTime",
                                           "bottomHoldTime",
                                           "reloadTime",
                                           "energyLoading",
                                           "energyUnloading",
                                           "energyReloading",
                                           "csmFrom",
                                           "csmTo",
                                           "csmN",
                                           "csmHardness",
                                           "csmModulus",
                                           "firstPopinLoad",
                                           "firstPopinDepth",
                                           "x_um",
                                           "y_um",
                                           "Wtotal",
                                           "Welast",
                                           "Wplast",
                                           "etaIT",
                                           "CIT",
                                           "CITholdTime",
                                           "RIT",
                                           "HMs",
                                           "HMsR2",
                                           "absent",
                                           "flags",
                                           "included",
                                           "resultsText"};
    std::vector<std::string> got;
    for (auto it = j.begin(); it != j.end(); ++it) got.push_back(it.key());
    std::sort(got.begin(), got.end());
    std::vector<std::string> want = keys;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want);
    EXPECT_EQ(j["method"], "dn");
    EXPECT_EQ(j["hf"], 0.0);
    EXPECT_EQ(j["resultsText"].template get<std::string>().rfind("Method :\n Doerner-Nix\n", 0),
              0u);
    EXPECT_TRUE(j["error"].is_null());
}

// A bad file is reported and skipped; the rest are still analysed; the exit status says so.
TEST(AnalyzeCli, BadFilesAreNamedAndTheRestAnalysed) {
    marvek::testing::TempDir dir;
    const auto bad = dir.Write("bad.csv", "Time,Stress,Strain\n0.1,10,0.5\n");
    const auto binary = dir.Write("noise.csv", std::string("\x00\xff\x10,1\n\x01", 7));
    const CliRun run = RunCli("analyze --json --defaults " + bad.string() + " " +
                                  (dir.path() / "missing.csv").string() + " " + binary.string() +
                                  " " + kExamples + "agilent_nial_t001.csv",
                              dir);
    EXPECT_EQ(run.status, 1);
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(nlohmann::json::parse(lines[0])["ok"], false);
    // The reason the reader found, never the format example of Help.
    const std::string badError =
        nlohmann::json::parse(lines[0])["error"].template get<std::string>();
    EXPECT_EQ(badError, bad.string() +
                            ": no column for depth or load: headers are \"Time\", \"Stress\", "
                            "\"Strain\"");
    EXPECT_EQ(nlohmann::json::parse(lines[1])["ok"], false);
    EXPECT_EQ(nlohmann::json::parse(lines[2])["error"].template get<std::string>(),
              binary.string() +
                  ": binary file (not text, nor a workbook or archive of a kind read here)");
    EXPECT_EQ(nlohmann::json::parse(lines[3])["ok"], true);
    EXPECT_NE(run.err.find("bad.csv"), std::string::npos);
    EXPECT_NE(run.err.find("missing.csv: cannot be opened"), std::string::npos);
}

TEST(AnalyzeCli, BadOptionsGiveUsageAndStatusTwo) {
    marvek::testing::TempDir dir;
    EXPECT_EQ(RunCli("analyze --method xyz " + kExamples + "agilent_nial_t001.csv", dir).status, 2);
    EXPECT_EQ(RunCli("analyze --ap 1,x " + kExamples + "agilent_nial_t001.csv", dir).status, 2);
    EXPECT_EQ(RunCli("analyze", dir).status, 2);
    EXPECT_EQ(
        RunCli("analyze --params /nonexistent/p.par " + kExamples + "agilent_nial_t001.csv", dir)
            .status,
        2);
}

// Workers on all cores give the same bytes in the same order as one thread, and a worker that
// analyses many files in turn gives each the result it has alone: nothing carries over.
TEST(AnalyzeCli, ParallelOutputEqualsOneThreadAndEachFileAlone) {
    marvek::testing::TempDir dir;
    const std::vector<std::string> names = {"agilent_nial_t001.csv", "kla_tungsten_3mN_t01.csv",
                                            "hysitron_steel_0000.csv",
                                            "fischerscope_esp8cycle_fs1_b01.csv"};
    const std::string options = "analyze --json --defaults --zero-point 10 90 --drift";
    std::string files;
    for (int k = 0; k < 8; ++k)
        for (const std::string& name : names) files += " " + kExamples + name;
    const std::string bad = dir.Write("bad.csv", "no curve\n").string();
    files += " " + bad;
    const CliRun parallel = RunCli(options + files, dir);
    const CliRun single = RunCli(options + " --threads 1" + files, dir);
    EXPECT_EQ(parallel.status, 1);
    const std::vector<std::string> lines = Lines(single.out);
    ASSERT_EQ(lines.size(), 33u);
    EXPECT_EQ(parallel.out, single.out);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const CliRun alone = RunCli(options + " " + kExamples + names[i], dir);
        ASSERT_EQ(alone.status, 0) << alone.err;
        for (std::size_t k = i; k < 32; k += names.size())
            EXPECT_EQ(lines[k] + "\n", alone.out) << names[i] << " in line " << k;
    }
    EXPECT_EQ(lines.back() + "\n", RunCli(options + " " + bad, dir).out);
}

TEST(AnalyzeCli, SettingsComeFromTheParameterFileUnlessDefaults) {
    marvek::testing::TempDir dir;
    // Line 7 of the parameter file is the method: Doerner-Nix.
    const auto params = dir.Write("p.par", "0\n0.75\n82\n100\n20\n82\n1\n");
    const std::string file = kExamples + "agilent_nial_t001.csv";
    EXPECT_NE(RunCli("analyze --json --params " + params.string() + " " + file, dir)
                  .out.find("\"method\":\"dn\""),
              std::string::npos);
    const std::string home = "XDG_CONFIG_HOME=" + dir.path().string() + " ";
    std::filesystem::create_directories(dir.path() / "marvek");
    std::filesystem::copy_file(params, dir.path() / "marvek" / "marvek.par");
    const std::string env = "env " + home + MARVEK_CLI;
    const std::string errFile = (dir.path() / "e.txt").string();
    FILE* pipe =
        ::popen((env + " analyze --json --defaults " + file + " 2>" + errFile).c_str(), "r");
    char buffer[8192] = {};
    const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, pipe);
    ::pclose(pipe);
    EXPECT_NE(std::string(buffer, n).find("\"method\":\"op\""), std::string::npos);
}

TEST(AnalyzeCli, TextModePrintsTheResultsText) {
    marvek::testing::TempDir dir;
    const CliRun run =
        RunCli("analyze --text --defaults " + kExamples + "agilent_nial_t001.csv", dir);
    ASSERT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("Main Results :\n E(IT) = "), std::string::npos);
}

}  // namespace

namespace {

// Every malformed file ends in a row and, when unusable, a named reason; never in a crash.
TEST(AnalyzeCli, BadCorpusGivesReasonsNeverCrashes) {
    marvek::testing::TempDir dir;
    std::vector<std::string> names;
    std::string files;
    for (const auto& e : std::filesystem::directory_iterator(MARVEK_TEST_DATA "/bad")) {
        if (e.path().extension() != ".csv") continue;
        names.push_back(e.path().filename().string());
        files += " " + e.path().string();
    }
    const CliRun run = RunCli("analyze --json --defaults" + files, dir);
    EXPECT_EQ(run.status, 1);  // some files are unusable, and none of them crashed the run
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), names.size());
    for (const std::string& line : lines) {
        const auto j = nlohmann::json::parse(line);
        if (j["ok"] == false) {
            const std::string file = j["file"];
            EXPECT_NE(run.err.find(file), std::string::npos) << file;
        }
    }
}

}  // namespace

namespace {

// Instrument files: one result per test in file order, each naming its test and format; `list`
// shows the addresses; file settings only on request, and then named.
TEST(AnalyzeCli, WorkbooksGiveOneResultPerTest) {
    marvek::testing::TempDir dir;
    const std::string vendor = std::string(MARVEK_TEST_DATA) + "/vendor/";
    const CliRun run = RunCli("analyze --json --defaults --use-file-settings " + vendor +
                                  "Tungsten_FrameStiffness.xlsx \"" + vendor + "FS1.txt#2\" " +
                                  vendor + "Exp-50mN_0000.hld \"" + vendor + "FS_XP.xls#Test 001\"",
                              dir);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 11u);
    for (int k = 0; k < 8; ++k) {
        const auto j = nlohmann::json::parse(lines[static_cast<std::size_t>(k)]);
        EXPECT_EQ(j["test"], "Test " + std::to_string(k + 1));
        EXPECT_EQ(j["format"], "xlsx");
        EXPECT_EQ(j["settingsFromFile"], nlohmann::json::array({"poisson"}));
    }
    const auto fischer = nlohmann::json::parse(lines[8]);
    EXPECT_EQ(fischer["test"], "2");
    EXPECT_EQ(fischer["nPoints"], 1200);
    const auto hld = nlohmann::json::parse(lines[9]);
    EXPECT_TRUE(hld["test"].is_null());
    EXPECT_EQ(hld["settingsFromFile"], nlohmann::json::array({"compliance", "area function"}));
    EXPECT_TRUE(hld["settingsWarnings"].empty());
    // A results sheet that lists three area coefficients: taken, and said to be partial.
    const auto xp = nlohmann::json::parse(lines[10]);
    ASSERT_EQ(xp["settingsWarnings"].size(), 1u) << xp.dump();
    EXPECT_NE(xp["settingsWarnings"][0].get<std::string>().find("C0 to C2 only"),
              std::string::npos);
    // The stage positions the files record, for maps.
    EXPECT_DOUBLE_EQ(xp["x_um"].get<double>(), 113010.597);
    EXPECT_DOUBLE_EQ(hld["y_um"].get<double>(), 550000);
    EXPECT_DOUBLE_EQ(fischer["x_um"].get<double>(), 44540);  // the file writes mm

    const CliRun list = RunCli("list " + vendor + "multipleIndentations.zip", dir);
    ASSERT_EQ(list.status, 0) << list.err;
    const auto listed = Lines(list.out);
    EXPECT_EQ(std::count_if(listed.begin(), listed.end(),
                            [](const std::string& l) { return l.rfind("  ", 0) != 0; }),
              39);  // addresses; warnings are indented under them
    EXPECT_NE(list.out.find(
                  "multipleIndentations.zip#300nmXX 1 7024 -4526.txt\tnanotest-zip\t794 points"),
              std::string::npos);

    // Columns and units of a headerless file given on the command line.
    const auto plain = dir.Write("plain.txt", "0 5 1\n1 6 2\n2 7 3\n");
    const CliRun columns =
        RunCli("list --columns depth=3,load=2 --units depth=um,load=uN " + plain.string(), dir);
    EXPECT_NE(columns.out.find("3 points\tdepth um, load uN, no time"), std::string::npos)
        << columns.out << columns.err;
    const CliRun badColumns = RunCli("analyze --defaults --columns depth=x " + plain.string(), dir);
    EXPECT_EQ(badColumns.status, 2);
    EXPECT_NE(badColumns.err.find("--columns"), std::string::npos);
}

}  // namespace
