// marvek-cli analyze as a series: flags, included state, summary rows and the workbook.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/curve_generator.h"
#include "support/run_command.h"

namespace {

using marvek::testing::CurveShape;

struct CliRun {
    int status;
    std::vector<std::string> lines;
};

CliRun Cli(const std::string& args) {
    const auto run =
        marvek::testing::RunCommand(std::string(MARVEK_CLI) + " " + args + " 2>/dev/null");
    return {run.status, marvek::testing::SplitLines(run.out)};
}

// Six similar indents, the fourth far deeper, and a file that cannot be read.
struct Files {
    marvek::testing::TempDir dir;
    std::string args;
    Files() {
        for (int k = 0; k < 6; ++k) {
            CurveShape shape;
            shape.seed = static_cast<unsigned>(k + 1);
            shape.unloadToFraction = 0.05;
            shape.noiseLoad = 0.001;
            shape.hMax = k == 3 ? 170 : 100 + k;
            shape.hf = k == 3 ? 95 : 40;
            args += " " +
                    dir.Write("i" + std::to_string(k) + ".csv", CurveText(GenerateCurve(shape), {}))
                        .string();
        }
        args += " " + (dir.path() / "gone.csv").string();
    }
};

TEST(SeriesCli, JsonRowsCarryFlagsAndTheSummaryLineHasTheAgreedShape) {
    Files f;
    const CliRun run =
        Cli("analyze --defaults --json --summary --exclude-flagged outlier-hmax" + f.args);
    EXPECT_EQ(run.status, 1);  // a file could not be read
    ASSERT_EQ(run.lines.size(), 8u);
    const auto deep = nlohmann::json::parse(run.lines[3]);
    EXPECT_EQ(deep["included"], false);
    EXPECT_NE(std::find(deep["flags"].begin(), deep["flags"].end(), "outlier-hmax"),
              deep["flags"].end());
    EXPECT_EQ(nlohmann::json::parse(run.lines[0])["flags"], nlohmann::json::array());
    EXPECT_EQ(nlohmann::json::parse(run.lines[6])["included"], false);

    const auto last = nlohmann::json::parse(run.lines[7]);
    ASSERT_EQ(last.size(), 2u);
    const auto& eit = last["summary"]["EIT"];
    std::vector<std::string> keys;
    for (auto it = eit.begin(); it != eit.end(); ++it) keys.push_back(it.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"ci95", "cov", "max", "mean", "median", "min", "n",
                                              "sd", "se"}));  // nlohmann::json sorts keys
    EXPECT_EQ(eit["n"], 5);
    ASSERT_EQ(eit["ci95"].size(), 2u);
    EXPECT_LT(eit["ci95"][0].get<double>(), eit["mean"].get<double>());
    EXPECT_EQ(last["summary"]["energyReloading"]["n"], 5);
    ASSERT_EQ(last["excluded"].size(), 2u);
    EXPECT_EQ(last["excluded"][0]["reason"], "flagged outlier-hmax");
    EXPECT_TRUE(last["excluded"][0]["test"].is_null());
    EXPECT_NE(last["excluded"][1]["reason"].get<std::string>().find("gone.csv"), std::string::npos);
}

TEST(SeriesCli, CsvSummaryRowsFollowTheCurvesAndTheWorkbookIsWritten) {
    Files f;
    const std::string book = (f.dir.path() / "out.xlsx").string();
    const CliRun run =
        Cli("analyze --defaults --summary --min-r2 0.99999999 --xlsx " + book + f.args);
    ASSERT_EQ(run.lines.size(), 1u + 7 + 10 + 1);
    const std::string& header = run.lines[0];
    EXPECT_EQ(header.substr(header.size() - std::string(",included,flags").size()),
              ",included,flags");
    EXPECT_NE(run.lines[1].find(",true,low-r2"), std::string::npos) << run.lines[1];
    EXPECT_EQ(run.lines[8].rfind("summary,,,,n,op,6,6,", 0), 0u) << run.lines[8];
    EXPECT_EQ(run.lines[10].rfind("summary,,,,sd,op,", 0), 0u);
    // Summary rows have as many fields as the header (no quoted commas in either).
    const auto fields = [](const std::string& line) {
        return std::count(line.begin(), line.end(), ',');
    };
    EXPECT_EQ(fields(run.lines[8]), fields(run.lines[0]));
    EXPECT_NE(run.lines[18].find(",excluded,"), std::string::npos);
    EXPECT_TRUE(std::filesystem::file_size(book) > 1000);

    EXPECT_EQ(Cli("analyze --defaults --exclude-flagged no-such-flag" + f.args).status, 2);
    // Without the series options the rows stream as before, with the curve's own flags.
    const CliRun plain = Cli("analyze --defaults" + f.args);
    EXPECT_EQ(plain.lines.size(), 8u);
    EXPECT_EQ(plain.lines[0].find("included"), std::string::npos);
}

}  // namespace

namespace {

// A run saved as a project and analysed from it gives the same rows; the exclusions written
// into the project leave their curves out of the summary; a changed file is named.
TEST(SeriesCli, ProjectsSavedByARunReadBackWithTheirExclusions) {
    Files f;
    const std::string project = (f.dir.path() / "run.marvek").string();
    const CliRun first =
        Cli("analyze --defaults --poisson 0.22 --json --save-project " + project + f.args);
    ASSERT_EQ(first.status, 1);  // gone.csv
    ASSERT_TRUE(std::filesystem::exists(project));
    const CliRun again = Cli("analyze --json --project " + project);
    ASSERT_EQ(again.lines.size(), first.lines.size());
    for (std::size_t k = 0; k < first.lines.size(); ++k) {
        auto a = nlohmann::json::parse(first.lines[k]), b = nlohmann::json::parse(again.lines[k]);
        EXPECT_EQ(a["EIT"], b["EIT"]) << k;  // same Poisson ratio, from the project
        EXPECT_EQ(a["file"], b["file"]) << k;
    }

    // Exclude the first curve in the project, as the window would, and change another file.
    nlohmann::json j = nlohmann::json::parse(std::ifstream(project));
    j["curves"][0]["excluded"] = true;
    j["curves"][0]["note"] = "scratched";
    std::ofstream(project) << j.dump(2);
    std::ofstream(f.dir.path() / "i1.csv", std::ios::app) << "\n";
    const std::string log = (f.dir.path() / "stderr.txt").string();
    const CliRun summary = Cli("analyze --json --summary --project " + project);
    ASSERT_EQ(std::system((std::string(MARVEK_CLI) + " analyze --json --project " + project +
                           " >/dev/null 2>" + log)
                              .c_str()) != -1,
              true);
    const auto row0 = nlohmann::json::parse(summary.lines[0]);
    EXPECT_EQ(row0["included"], false);
    const auto last = nlohmann::json::parse(summary.lines.back());
    EXPECT_EQ(last["summary"]["EIT"]["n"], 5);
    std::ifstream err(log);
    const std::string said((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
    EXPECT_NE(said.find("i1.csv: size"), std::string::npos) << said;
    EXPECT_NE(said.find("gone.csv: not found"), std::string::npos) << said;

    // A project with settings the cli refuses is refused as a whole.
    j["settings"]["sample"]["poisson"] = 0.7;
    std::ofstream(project) << j.dump(2);
    const CliRun refused = Cli("analyze --json --project " + project);
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(refused.lines.empty());
}

// A curve given its own unloading fit range in a project is analysed as a run with that range
// in its settings, and flagged; the other curves keep the project's range.
TEST(SeriesCli, AProjectsCustomFitRangeIsTheSettingsWithThatRange) {
    Files f;
    const std::string project = (f.dir.path() / "range.marvek").string();
    const CliRun first = Cli("analyze --defaults --json --save-project " + project + f.args);
    ASSERT_TRUE(std::filesystem::exists(project));
    nlohmann::json j = nlohmann::json::parse(std::ifstream(project));
    j["curves"][1]["fitRange"] = {{"minPercent", 30}, {"maxPercent", 90}};
    const std::string second = (f.dir.path() / j["curves"][1]["file"].get<std::string>()).string();
    std::ofstream(project) << j.dump(2);
    const CliRun custom = Cli("analyze --json --summary --project " + project);
    const CliRun direct = Cli("analyze --defaults --json --op-range 30 90 " + second);
    ASSERT_GE(custom.lines.size(), 3u);
    ASSERT_EQ(direct.lines.size(), 1u);
    const auto row = nlohmann::json::parse(custom.lines[1]);
    const auto want = nlohmann::json::parse(direct.lines[0]);
    EXPECT_EQ(row["EIT"], want["EIT"]);
    EXPECT_EQ(row["HIT"], want["HIT"]);
    EXPECT_NE(row["EIT"], nlohmann::json::parse(first.lines[1])["EIT"]);
    EXPECT_NE(row["flags"].dump().find("custom-range"), std::string::npos) << row.dump();
    const auto other = nlohmann::json::parse(custom.lines[0]);
    EXPECT_EQ(other["EIT"], nlohmann::json::parse(first.lines[0])["EIT"]);
    EXPECT_EQ(other["flags"].dump().find("custom-range"), std::string::npos);
}

}  // namespace
