// `marvek-cli analyze`: the result-set keys and columns, and --uncertainty.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>
#include "support/run_command.h"

namespace {

std::vector<std::string> RunLines(const std::string& args, int& status) {
    const marvek::testing::CommandRun run =
        marvek::testing::RunCommand(std::string(MARVEK_CLI) + " " + args + " 2>/dev/null");
    status = run.status;
    return marvek::testing::SplitLines(run.out);
}

const std::string kFq = std::string(MARVEK_EXAMPLES) + "/agilent_fq_5cycle_t001.csv";

TEST(IsoCli, AbsentIsNullInJsonAndEmptyInCsv) {
    int status = 0;
    const auto json = RunLines("analyze --json --defaults " + kFq, status);
    ASSERT_EQ(status, 0);
    const auto j = nlohmann::json::parse(json.at(0));
    EXPECT_TRUE(j["CIT"].is_null());  // no top hold in this multi-cycle file
    EXPECT_TRUE(j["RIT"].is_null());
    EXPECT_EQ(j["absent"]["CIT"], "the curve has no top hold");
    EXPECT_GT(j["etaIT"].get<double>(), 0);
    EXPECT_NEAR(j["Wplast"].get<double>(), j["Wtotal"].get<double>() - j["Welast"].get<double>(),
                1e-12);
    EXPECT_FALSE(j.contains("EIT_u"));

    const auto csv = RunLines("analyze --defaults " + kFq, status);
    ASSERT_EQ(csv.size(), 2u);
    EXPECT_NE(csv[0].find("energyLoading [µJ]"), std::string::npos);
    // Energies in µJ, as everywhere else they are shown.
    EXPECT_NE(csv[0].find(",Wtotal [µJ],Welast [µJ],Wplast [µJ],etaIT [%],CIT [%],"),
              std::string::npos);
    EXPECT_NE(csv[1].find(",,,,"), std::string::npos);  // CIT, hold time and RIT empty
    EXPECT_EQ(csv[1].find("nan"), std::string::npos);
}

TEST(IsoCli, UncertaintyAddsTheCombinedValuesAndTheBudget) {
    int status = 0;
    const auto json = RunLines(
        "analyze --json --defaults --uncertainty --mc-runs 20 --u-compliance 0 --u-area 0.01 " +
            kFq,
        status);
    ASSERT_EQ(status, 0);
    const auto j = nlohmann::json::parse(json.at(0));
    const double eit = j["EIT"].get<double>();
    const double u = j["EIT_u"].get<double>();
    EXPECT_GT(u, 0);
    EXPECT_LT(u, eit);
    EXPECT_EQ(j["budget"]["frameCompliance"]["EIT"], 0.0);
    EXPECT_EQ(j["budget"]["fitMonteCarlo"]["combined"], false);
    for (const char* term : {"fit", "fitWindow", "zeroPoint", "samplePoisson", "areaFunction"})
        EXPECT_TRUE(j["budget"][term]["EIT"].is_number()) << term;
    EXPECT_TRUE(RunLines("analyze --uncertainty --u-area -1 --defaults " + kFq, status).empty());
    EXPECT_EQ(status, 2);
}

}  // namespace
