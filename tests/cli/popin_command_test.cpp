// `marvek-cli popin`: fields per curve, the summary line, failures and curves without pop-ins.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "core/io/number_format.h"
#include "support/popin_curves.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace {

using marvek::testing::TempDir;

std::vector<std::string> RunLines(const std::string& args, int& status) {
    const marvek::testing::CommandRun run =
        marvek::testing::RunCommand(std::string(MARVEK_CLI) + " " + args + " 2>/dev/null");
    status = run.status;
    return marvek::testing::SplitLines(run.out);
}

std::string CurveCsv(const marvek::testing::PopinCurve& c) {
    std::string text = "Depth (nm),Force (mN),Time (s)\n";
    for (std::size_t k = 0; k < c.depth.size(); ++k)
        text += marvek::FormatShortest(c.depth[k]) + "," + marvek::FormatShortest(c.load[k]) + "," +
                marvek::FormatShortest(c.time[k]) + "\n";
    return text;
}

std::vector<std::string> Keys(const nlohmann::ordered_json& j) {
    std::vector<std::string> keys;
    for (auto it = j.begin(); it != j.end(); ++it) keys.push_back(it.key());
    return keys;
}

TEST(PopinCli, SeriesRowsAndSummary) {
    TempDir dir;
    const auto loads = marvek::testing::DrawWeibullLoads(12, 6, 1.0, 7);
    std::string files;
    std::vector<double> truth;
    for (std::size_t k = 0; k < loads.size(); ++k) {
        marvek::testing::PopinCurveShape shape;
        shape.radius = 800;
        shape.reducedModulus = 200;
        shape.maxLoad = 2.5;
        shape.points = 800;
        shape.bursts = {{std::min(loads[k], 2.2), 15, 0}};
        shape.seed = k + 1;
        const auto curve = marvek::testing::MakePopinCurve(shape);
        truth.push_back(curve.truth[0].load);
        files += " " + dir.Write("c" + std::to_string(k) + ".csv", CurveCsv(curve)).string();
    }
    int status = 0;
    const auto lines =
        RunLines("popin --defaults --json --summary --reduced-modulus 200" + files, status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(lines.size(), loads.size() + 1);
    double sum = 0;
    for (std::size_t k = 0; k < loads.size(); ++k) {
        const auto j = nlohmann::ordered_json::parse(lines[k]);
        const std::vector<std::string> first7 = {"file",   "test",  "ok",        "error",
                                                 "popins", "hertz", "tauMax_GPa"};
        const std::vector<std::string> keys = Keys(j);
        ASSERT_GE(keys.size(), 7u);
        EXPECT_EQ(std::vector<std::string>(keys.begin(), keys.begin() + 7), first7);
        EXPECT_TRUE(j["ok"].get<bool>());
        ASSERT_EQ(j["popins"].size(), 1u) << lines[k];
        const double load = j["popins"][0]["load_mN"].get<double>();
        EXPECT_NEAR(load, truth[k], 0.02 * truth[k]);
        EXPECT_NEAR(j["popins"][0]["width_nm"].get<double>(), 15, 3);
        EXPECT_NEAR(j["hertz"]["radius_nm"].get<double>(), 800, 80);
        EXPECT_EQ(j["hertz"]["Er_GPa"].get<double>(), 200);
        EXPECT_TRUE(j["hertz"].contains("K_mN_nm1_5") && j["hertz"].contains("h0_nm") &&
                    j["hertz"].contains("r2"));
        EXPECT_GT(j["tauMax_GPa"].get<double>(), 0);
        sum += load;
    }
    const auto s = nlohmann::json::parse(lines.back())["summary"];
    EXPECT_EQ(s["n"], 12);
    EXPECT_NEAR(s["firstPopinLoad_mN"]["mean"].get<double>(), sum / 12, 1e-9);
    EXPECT_GT(s["firstPopinLoad_mN"]["sd"].get<double>(), 0);
    EXPECT_NEAR(s["weibull"]["scale_mN"].get<double>(), 1.0, 0.25);
    EXPECT_GT(s["weibull"]["modulus"].get<double>(), 2);
    EXPECT_GT(s["activationVolume_A3"].get<double>(), 0);

    // The same as CSV: a header, a row per curve, then the summary block.
    const auto csv = RunLines("popin --defaults --summary --reduced-modulus 200" + files, status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(csv.size(), 1 + loads.size() + 3);
    EXPECT_EQ(csv[0].rfind("file,test,ok,error,popins,firstPopinLoad [mN]", 0), 0u);
    EXPECT_EQ(csv.back().rfind("summary,12,12,", 0), 0u);
}

TEST(PopinCli, NoPopinIsAnEmptyListAndUnreadableFilesFail) {
    TempDir dir;
    marvek::testing::PopinCurveShape shape;  // no burst
    const auto file = dir.Write("plain.csv", CurveCsv(marvek::testing::MakePopinCurve(shape)));
    const auto bad = dir.Write("bad.csv", "no curve here\n");
    int status = 0;
    const auto lines = RunLines("popin --defaults --json " + file.string() + " " +
                                    (dir.path() / "missing.csv").string() + " " + bad.string(),
                                status);
    EXPECT_EQ(status, 1);
    ASSERT_EQ(lines.size(), 3u);
    const auto plain = nlohmann::json::parse(lines[0]);
    EXPECT_TRUE(plain["ok"].get<bool>());
    EXPECT_TRUE(plain["popins"].is_array() && plain["popins"].empty());
    EXPECT_NE(plain["note"].get<std::string>().find("no pop-in"), std::string::npos);
    EXPECT_TRUE(plain["tauMax_GPa"].is_null());
    for (int k : {1, 2}) {
        const auto failed = nlohmann::json::parse(lines[k]);
        EXPECT_FALSE(failed["ok"].get<bool>());
        EXPECT_NE(failed["error"].get<std::string>().find(k == 1 ? "missing.csv" : "bad.csv"),
                  std::string::npos);
    }
    // Er and the tip radius exclude each other.
    RunLines("popin --defaults --reduced-modulus 100 --tip-radius 50 " + file.string(), status);
    EXPECT_EQ(status, 2);
}

TEST(PopinCli, ThresholdsOnTheWorkbook) {
    int status = 0;
    const auto lines = RunLines("popin --defaults --json --min-jump 5 --min-load 0.02 \"" +
                                    std::string(MARVEK_TEST_DATA) + "/vendor/Popin.xls#Test 003\"",
                                status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(lines.size(), 1u);
    const auto j = nlohmann::json::parse(lines[0]);
    // Read by hand from the sheet: 0.22931 mN at 20.509 nm, then a 12.632 nm step.
    EXPECT_NEAR(j["popins"][0]["load_mN"].get<double>(), 0.22931, 1e-4);
    EXPECT_NEAR(j["popins"][0]["depth_nm"].get<double>(), 20.509, 1e-3);
    EXPECT_TRUE(j["hertz"]["Er_GPa"].is_null());  // loading only: no unloading for Er
    EXPECT_GT(j["hertz"]["K_mN_nm1_5"].get<double>(), 0);
}

}  // namespace

namespace {

TEST(PopinCli, AnalyzeCarriesTheFirstPopin) {
    int status = 0;
    const std::string real = std::string(MARVEK_TEST_DATA) + "/real/";
    const auto lines =
        RunLines("analyze --defaults --json " + real + "agilent_popin_loadonly_t001.csv " + real +
                     "agilent_fs_xp_t001.csv",
                 status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(lines.size(), 2u);
    const auto popin = nlohmann::json::parse(lines[0]);
    // The 29 nm burst after the sample at 0.507 mN, 26.96 nm.
    EXPECT_NEAR(popin["firstPopinLoad"].get<double>(), 0.5073, 0.005);
    EXPECT_NEAR(popin["firstPopinDepth"].get<double>(), 26.96, 1.0);
    const auto none = nlohmann::json::parse(lines[1]);
    EXPECT_TRUE(none["firstPopinLoad"].is_null());
    EXPECT_TRUE(none["firstPopinDepth"].is_null());
    EXPECT_GT(none["EIT"].get<double>(), 0);  // the row is otherwise whole
}

}  // namespace
