// `marvek-cli phases` and `map`, run as the built binary on a grid table the test writes.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <random>
#include <string>

#include "support/run_command.h"
#include "support/temp_dir.h"

namespace marvek {
namespace {

using CliRun = marvek::testing::CommandRun;

CliRun RunCli(const std::string& args) {
    return marvek::testing::RunCommand(std::string("'") + MARVEK_CLI + "' " + args + " 2>&1");
}

// A 20 x 25 grid at 2 µm: a round hard particle (a quarter of the indents or so) in a matrix,
// two rows with a missing hardness.
std::string GridTable() {
    std::mt19937_64 rng(5);
    std::normal_distribution<double> z;  // the values need not be the same on every library
    std::string t = "file,test,x_um,y_um,EIT [GPa],HIT [MPa]\n";
    for (int j = 0; j < 20; ++j)
        for (int i = 0; i < 25; ++i) {
            const double x = 2.0 * i, y = 2.0 * j;
            const bool particle = (x - 24) * (x - 24) + (y - 20) * (y - 20) < 144;
            const double e = particle ? 210 + 10 * z(rng) : 120 + 8 * z(rng);
            const double h = particle ? 6000 + 400 * z(rng) : 2500 + 200 * z(rng);
            const bool missing = j == 0 && i < 2;
            t += "g.xls,Test " + std::to_string(j * 25 + i + 1) + ',' + std::to_string(x) + ',' +
                 std::to_string(y) + ',' + std::to_string(e) + ',' +
                 (missing ? std::string() : std::to_string(h)) + '\n';
        }
    return t;
}

TEST(PhasesCli, FindsTheParticleAndTheMatrixAndRefusesUnknownColumns) {
    testing::TempDir dir;
    const auto table = dir.Write("grid.csv", GridTable());
    const CliRun run = RunCli("phases '" + table.string() + "' --columns EIT,HIT --json");
    ASSERT_EQ(run.status, 0) << run.out;
    const auto j = nlohmann::json::parse(run.out);
    EXPECT_EQ(j["k"], 2);
    EXPECT_EQ(j["bic"].size(), 5u);
    EXPECT_EQ(j["leftOut"], 2);
    ASSERT_EQ(j["phases"].size(), 2u);
    EXPECT_NEAR(j["phases"][0]["mean"]["EIT"].get<double>(), 120, 3);
    EXPECT_NEAR(j["phases"][1]["mean"]["HIT"].get<double>(), 6000, 150);
    EXPECT_GT(j["phases"][0]["weight"].get<double>(), j["phases"][1]["weight"].get<double>());

    const CliRun unknown = RunCli("phases '" + table.string() + "' --columns EIT,HV --json");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.out.find("no column 'HV'"), std::string::npos) << unknown.out;
}

// The PNG's width and height from its header chunk.
std::pair<int, int> PngSize(const std::string& png) {
    auto be = [&](std::size_t at) {
        return (static_cast<unsigned char>(png[at]) << 24) |
               (static_cast<unsigned char>(png[at + 1]) << 16) |
               (static_cast<unsigned char>(png[at + 2]) << 8) |
               static_cast<unsigned char>(png[at + 3]);
    };
    if (png.size() < 24 || png.compare(1, 3, "PNG") != 0) return {0, 0};
    return {be(16), be(20)};
}

TEST(MapCli, WritesPngAndSvgOrSaysWhyNot) {
    testing::TempDir dir;
    const auto table = dir.Write("grid.csv", GridTable());
    const auto png = dir.path() / "map.png", svg = dir.path() / "map.svg";
    const CliRun run = RunCli("map '" + table.string() + "' --value HIT --png '" + png.string() +
                              "' --svg '" + svg.string() + "'");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(PngSize(testing::ReadWholeFile(png)), std::make_pair(1000, 800));
    const std::string text = testing::ReadWholeFile(svg);
    EXPECT_NE(text.find("HIT [MPa]"), std::string::npos);  // the colour bar's label and unit
    EXPECT_NE(text.find("µm"), std::string::npos);

    const CliRun phases = RunCli("map '" + table.string() +
                                 "' --value phase --columns EIT,HIT --png '" + png.string() + "'");
    EXPECT_EQ(phases.status, 0) << phases.out;
    EXPECT_NE(RunCli("map '" + table.string() + "' --value HIT").status, 0);
    const CliRun noPositions =
        RunCli("map '" + table.string() + "' --x nowhere --value HIT --png '" + png.string() + "'");
    EXPECT_EQ(noPositions.status, 1);
    EXPECT_NE(noPositions.out.find("no column 'nowhere'"), std::string::npos) << noPositions.out;
}

}  // namespace
}  // namespace marvek
