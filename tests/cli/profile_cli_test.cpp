// `marvek-cli profile`: the JSON fields per test, the long CSV table, the summary line, the
// workbook's values and their overrides, and bad input.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace {

std::vector<std::string> RunLines(const std::string& args, int& status) {
    const marvek::testing::CommandRun run =
        marvek::testing::RunCommand(std::string(MARVEK_CLI) + " " + args + " 2>/dev/null");
    status = run.status;
    return marvek::testing::SplitLines(run.out);
}

const std::string kFs = std::string("\"") + MARVEK_TEST_DATA + "/vendor/FS_XP.xls";
const std::string kFsTest1 = kFs + "#Test 001\"";
const std::string kFsAll = kFs + "\"";
const std::string kAp = "--ap 24.69536429,395.7700812,-16.13158277,133.4058147,106.4571602";

TEST(ProfileCli, JsonLineHoldsTheProfileAndItsAverage) {
    int status = 0;
    const auto lines = RunLines("profile --json " + kAp + " " + kFsTest1, status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(lines.size(), 1u);
    const auto j = nlohmann::json::parse(lines[0]);
    EXPECT_EQ(j["test"], "Test 001");
    EXPECT_TRUE(j["ok"].get<bool>());
    EXPECT_TRUE(j["error"].is_null());
    const std::size_t n = j["depth_nm"].size();
    EXPECT_GT(n, 200u);
    for (const char* key :
         {"load_mN", "stiffness_N_m", "contactDepth_nm", "area_nm2", "hardness_GPa", "modulus_GPa"})
        EXPECT_EQ(j[key].size(), n) << key;
    const auto& a = j["average"];
    EXPECT_EQ(a["from_nm"], 100);
    EXPECT_EQ(a["to_nm"], 200);
    EXPECT_GT(a["n"].get<int>(), 20);
    // The Results sheet: E 76.015, H 9.817 GPa.
    EXPECT_NEAR(a["modulus_GPa"].get<double>() / 76.015, 1, 0.005);
    EXPECT_NEAR(a["hardness_GPa"].get<double>() / 9.817, 1, 0.005);
    // The average is the mean of the samples it names, which reach the window's bounds.
    const std::size_t first = a["first"], last = a["last"];
    double sum = 0;
    for (std::size_t k = first; k <= last; ++k) sum += j["modulus_GPa"][k].get<double>();
    EXPECT_EQ(last - first + 1, a["n"].get<std::size_t>());
    EXPECT_NEAR(sum / static_cast<double>(last - first + 1), a["modulus_GPa"].get<double>(), 1e-9);
    EXPECT_LT(std::fabs(j["depth_nm"][first].get<double>() - 100), 5);
    EXPECT_LT(std::fabs(j["depth_nm"][last].get<double>() - 200), 5);
    EXPECT_LE(last, j["loadingSamples"].get<std::size_t>());
    EXPECT_EQ(j["settings"]["epsilon"], 0.75);
    EXPECT_EQ(j["settings"]["beta"], 1);
    EXPECT_EQ(j["settings"]["indenterModulus_GPa"], 1141);
    EXPECT_EQ(j["settings"]["indenterPoisson"], 0.07);
    EXPECT_EQ(j["settings"]["poisson"], 0.18);
}

TEST(ProfileCli, FlagsOverrideTheWorkbook) {
    int status = 0;
    auto lines = RunLines(
        "profile --json --from 200 --to 500 --poisson 0.3 " + kAp + " " + kFsTest1, status);
    ASSERT_EQ(status, 0);
    auto j = nlohmann::json::parse(lines.at(0));
    EXPECT_EQ(j["average"]["from_nm"], 200);
    EXPECT_EQ(j["average"]["to_nm"], 500);
    EXPECT_EQ(j["settings"]["poisson"], 0.3);
    for (const auto& u : j["sources"]) {
        if (u["name"] == "poisson" || u["name"] == "area function" || u["name"] == "from_nm") {
            EXPECT_EQ(u["from"], "settings") << u.dump();
        }
    }
    // Without --ap the workbook's incomplete function: a warning, hardness a few % off.
    lines = RunLines("profile --json " + kFsTest1, status);
    ASSERT_EQ(status, 0);
    j = nlohmann::json::parse(lines.at(0));
    EXPECT_FALSE(j["warnings"].empty());
    EXPECT_EQ(j["settings"]["areaCoefficients"].size(), 3u);
    // Raw harmonics with the recorded harmonic frame stiffness give the same profile.
    lines = RunLines("profile --json --frame-stiffness 5.5e6 " + kAp + " " + kFsTest1, status);
    j = nlohmann::json::parse(lines.at(0));
    EXPECT_EQ(j["settings"]["stiffness"], "harmonic load, displacement and phase");
    EXPECT_NEAR(j["average"]["modulus_GPa"].get<double>() / 76.015, 1, 0.005);
}

TEST(ProfileCli, SummaryAndCsv) {
    int status = 0;
    auto lines = RunLines("profile --json --summary " + kAp + " " + kFsAll, status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(lines.size(), 10u);
    const auto last = nlohmann::json::parse(lines.back());
    const auto& e = last["summary"]["modulus_GPa"];
    EXPECT_EQ(e["n"], 9);
    // The Results sheet's mean and SD of the nine tests: 77.722 and 1.663 GPa.
    EXPECT_NEAR(e["mean"].get<double>() / 77.722, 1, 0.005);
    EXPECT_NEAR(e["sd"].get<double>() / 1.663, 1, 0.02);
    lines = RunLines("profile --csv " + kAp + " " + kFsTest1, status);
    ASSERT_EQ(status, 0);
    ASSERT_GT(lines.size(), 200u);
    EXPECT_EQ(lines[0],
              "file,test,depth_nm,load_mN,stiffness_N_m,contactDepth_nm,area_nm2,hardness_GPa,"
              "modulus_GPa,loading");
    EXPECT_NE(lines[1].find("Test 001"), std::string::npos);
}

TEST(ProfileCli, BadInputIsNamed) {
    int status = 0;
    // A curve file without stiffness columns: not ok, exit 1.
    auto lines = RunLines(
        std::string("profile --json ") + MARVEK_TEST_DATA + "/vendor/RobinSteel0000LC.txt", status);
    EXPECT_EQ(status, 1);
    ASSERT_EQ(lines.size(), 1u);
    auto j = nlohmann::json::parse(lines[0]);
    EXPECT_FALSE(j["ok"].get<bool>());
    EXPECT_NE(j["error"].get<std::string>().find("continuous-stiffness"), std::string::npos);
    lines = RunLines("profile --json " + kFs + "#Test 042\"", status);
    EXPECT_EQ(status, 1);
    j = nlohmann::json::parse(lines.at(0));
    EXPECT_NE(j["error"].get<std::string>().find("no test"), std::string::npos);
    RunLines("profile --ap 1,x " + kFsTest1, status);
    EXPECT_EQ(status, 2);
    RunLines("profile --from 300 --to 100 " + kFsTest1, status);
    EXPECT_EQ(status, 2);
}

// The workbook of --xlsx: the averages a row per test as --json gives them, the long table a row
// per sample as --csv, the statistics and the settings.
TEST(ProfileCli, WorkbookHoldsTheAveragesTheSamplesAndTheSettings) {
    marvek::testing::TempDir dir;
    const auto book = dir.path() / "profiles.xlsx";
    int status = 0;
    const auto text = RunLines("profile --xlsx '" + book.string() + "' " + kFsAll, status);
    ASSERT_EQ(status, 0);
    EXPECT_FALSE(text.empty());  // the text goes on as without a format
    const auto member = [&](const std::string& name) {
        return marvek::testing::RunCommand("unzip -p '" + book.string() + "' " + name).out;
    };
    const std::string workbook = member("xl/workbook.xml");
    for (const char* sheet : {"Averages", "Profiles", "Summary", "Settings"})
        EXPECT_NE(workbook.find(std::string("name=\"") + sheet + "\""), std::string::npos) << sheet;
    const auto rows = [](const std::string& xml) {
        std::size_t n = 0;
        for (std::size_t at = xml.find("<row "); at != std::string::npos;
             at = xml.find("<row ", at + 1))
            ++n;
        return n;
    };
    const std::string averages = member("xl/worksheets/sheet1.xml");
    EXPECT_EQ(rows(averages), 10u);  // the header and nine tests
    const auto json = RunLines("profile --json " + kFsAll, status);
    ASSERT_EQ(json.size(), 9u);
    std::size_t samples = 0;
    for (const std::string& line : json) samples += nlohmann::json::parse(line)["depth_nm"].size();
    EXPECT_EQ(rows(member("xl/worksheets/sheet2.xml")), 1 + samples);
    // Test 001's hardness average in its cell (column H of row 2), to the digits written.
    const std::size_t cell = averages.find("<c r=\"H2\"");
    ASSERT_NE(cell, std::string::npos);
    const std::size_t v = averages.find("<v>", cell);
    const double written = std::stod(averages.substr(v + 3));
    const double expected = nlohmann::json::parse(json[0])["average"]["hardness_GPa"].get<double>();
    EXPECT_NEAR(written, expected, 1e-12 * expected);
    EXPECT_NE(member("xl/worksheets/sheet4.xml").find("the workbook's"), std::string::npos);

    RunLines("profile --xlsx '" + (dir.path() / "no" / "p.xlsx").string() + "' " + kFsTest1,
             status);
    EXPECT_EQ(status, 1);
}

TEST(ProfileCli, AnalyzeAddsTheAverages) {
    int status = 0;
    const auto lines = RunLines("analyze --json --defaults --summary " + kFsAll, status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(lines.size(), 10u);
    // Each test's averages are the profile command's with the same (the workbook's) values.
    const auto profiles = RunLines("profile --json " + kFsAll, status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(profiles.size(), 9u);
    double sum = 0;
    for (const std::string& line : profiles) {
        const auto p = nlohmann::json::parse(line);
        const auto& average = p["average"];
        sum += average["hardness_GPa"].get<double>();
        bool found = false;
        for (std::size_t k = 0; k + 1 < lines.size(); ++k) {
            const auto j = nlohmann::json::parse(lines[k]);
            if (j["file"] != p["file"]) continue;
            found = true;
            EXPECT_EQ(j["csmFrom"], 100);
            EXPECT_EQ(j["csmTo"], 200);
            EXPECT_EQ(j["csmN"], average["n"]);
            EXPECT_EQ(j["csmHardness"], average["hardness_GPa"]);
            EXPECT_EQ(j["csmModulus"], average["modulus_GPa"]);
        }
        EXPECT_TRUE(found) << p["file"];
    }
    const auto summary = nlohmann::json::parse(lines.back())["summary"];
    EXPECT_EQ(summary["csmModulus"]["n"], 9);
    EXPECT_NEAR(summary["csmHardness"]["mean"].get<double>(), sum / 9, 1e-12);
}

}  // namespace
