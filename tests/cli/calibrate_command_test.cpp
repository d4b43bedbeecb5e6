// Runs the built marvek-cli on generated indent series.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "core/config/parameter_file.h"
#include "core/io/number_format.h"
#include "support/curve_generator.h"
#include "support/temp_dir.h"

namespace marvek {
namespace {

using testing::IndentModel;
using testing::TempDir;

struct CliRun {
    int status = -1;
    std::string out, err;
};

std::string Quote(const std::string& s) { return "'" + s + "'"; }

CliRun RunCli(const TempDir& folder, const std::vector<std::string>& args) {
    std::string command = Quote(MARVEK_CLI);
    for (const std::string& a : args) command += " " + Quote(a);
    const auto out = folder.path() / "stdout.txt", err = folder.path() / "stderr.txt";
    command += " >" + Quote(out.string()) + " 2>" + Quote(err.string());
    CliRun r;
    const int raw = std::system(command.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = testing::ReadWholeFile(out);
    r.err = testing::ReadWholeFile(err);
    return r;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> WithFiles(std::vector<std::string> args,
                                   const std::vector<std::filesystem::path>& files) {
    for (const auto& f : files) args.push_back(f.string());
    return args;
}

TEST(CalibrateComplianceCommand, PrintsEveryFitAndSavesOnlyTheCompliance) {
    TempDir folder;
    IndentModel model;
    model.frameCompliance = 0.6;
    const auto files =
        testing::WriteIndentSeries(folder.path(), model, testing::LogSpacedForces(1, 300, 8));
    const auto params = folder.path() / "marvek.par";
    Settings before;
    before.strategy.m_fSectionSizePercent = 7;
    before.areaFunction.m_dApCoef = {24.5, 0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_TRUE(SaveParameters(params, before).ok());
    const auto points = folder.path() / "points.csv";

    const CliRun r =
        RunCli(folder, WithFiles({"calibrate", "compliance", "--params", params.string(), "--save",
                                  "--points", points.string()},
                                 files));

    ASSERT_EQ(r.status, 0) << r.err;
    const std::regex fitLine(R"(y = (-?\d+\.\d{6}) x \+ (-?\d+\.\d{6})  R\^2 = (\d\.\d{6}))");
    const std::vector<std::string> lines = Lines(r.out);
    std::vector<double> intercepts;
    std::smatch m;
    for (const std::string& line : lines) {
        if (std::regex_match(line, m, fitLine)) intercepts.push_back(ParseDouble(m[2].str()));
    }
    ASSERT_GE(intercepts.size(), 2u) << r.out;
    ASSERT_LE(intercepts.size(), 30u);
    // The iteration stops at the first intercept that settled.
    EXPECT_LE(std::fabs(intercepts.back() - intercepts[intercepts.size() - 2]), 0.0001 + 1e-6);
    for (std::size_t i = 1; i + 1 < intercepts.size(); ++i) {
        EXPECT_GT(std::fabs(intercepts[i] - intercepts[i - 1]), 0.0001 - 1e-6) << "fit " << i;
    }
    const std::string want = "Frame compliance: " + FormatFixed(intercepts.back(), 6) + " nm/mN";
    EXPECT_NE(std::find(lines.begin(), lines.end(), want), lines.end()) << r.out;
    EXPECT_NEAR(intercepts.back(), 0.6, 0.03 * 0.6);

    Settings after;
    ASSERT_TRUE(LoadParameters(params, after).ok());
    EXPECT_NEAR(after.compliance.m_fCompliance, intercepts.back(), 1e-6);
    EXPECT_EQ(after.strategy.m_fSectionSizePercent, 7.0f);

    const std::vector<std::string> csv = Lines(testing::ReadWholeFile(points));
    ASSERT_EQ(csv.size(), 9u);
    EXPECT_EQ(csv[0], "1/Ap(nm)^0.5, Ct (nm/mN)");
    EXPECT_TRUE(std::regex_match(csv[1], std::regex(R"([0-9.e+-]+,[0-9.e+-]+)"))) << csv[1];
}

TEST(CalibrateComplianceCommand, FailureLeavesTheParameterFileAlone) {
    TempDir folder;
    const auto files =
        testing::WriteIndentSeries(folder.path(), IndentModel{}, testing::LogSpacedForces(5, 5, 1));
    const auto params = folder.path() / "marvek.par";
    Settings before;
    before.compliance.m_fCompliance = 0.25f;
    ASSERT_TRUE(SaveParameters(params, before).ok());
    const std::string text = testing::ReadWholeFile(params);

    const CliRun r =
        RunCli(folder, WithFiles({"calibrate", "compliance", "--params", params.string(), "--save"},
                                 {files[0], folder.path() / "missing.csv"}));

    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("missing.csv"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("at least two"), std::string::npos) << r.err;
    EXPECT_EQ(testing::ReadWholeFile(params), text);
}

TEST(CalibrateAreaCommand, PrintsNineCoefficientsAndSavesThem) {
    TempDir folder;
    IndentModel model;
    model.apCoef = {24.5, 700, 0, 0, 0, 0, 0, 0, 0};
    model.reducedModulus = 1.0 / ((1 - 0.2 * 0.2) / 80.0 + (1 - 0.07 * 0.07) / 1141.0);
    const auto files =
        testing::WriteIndentSeries(folder.path(), model, testing::LogSpacedForces(1, 300, 10));
    const auto params = folder.path() / "marvek.par";
    ASSERT_TRUE(SaveParameters(params, Settings{}).ok());

    const CliRun r =
        RunCli(folder, WithFiles({"calibrate", "area", "--params", params.string(), "--terms", "2",
                                  "--sample-modulus", "80", "--sample-poisson", "0.2", "--save"},
                                 files));

    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    AreaCoefficients printed{};
    double quality = -1;
    const std::regex coefLine(R"(Ap_(\d) = (\S+))"), qualityLine(R"(R\^2 = (\S+))");
    std::smatch m;
    int count = 0;
    for (const std::string& line : lines) {
        if (std::regex_match(line, m, coefLine)) {
            printed[static_cast<std::size_t>(std::stoi(m[1].str()))] = ParseDouble(m[2].str());
            ++count;
        } else if (std::regex_match(line, m, qualityLine)) {
            quality = ParseDouble(m[1].str());
        }
    }
    ASSERT_EQ(count, 9) << r.out;
    EXPECT_NEAR(printed[0], 24.5, 0.02 * 24.5);
    EXPECT_NEAR(printed[1], 700, 0.1 * 700);
    for (std::size_t k = 2; k < 9; ++k) EXPECT_EQ(printed[k], 0.0);
    EXPECT_GT(quality, 0.999);

    Settings after;
    ASSERT_TRUE(LoadParameters(params, after).ok());
    for (std::size_t k = 0; k < 9; ++k) {
        EXPECT_NEAR(after.areaFunction.m_dApCoef[k], printed[k], 1e-9 * std::fabs(printed[k]));
    }
    EXPECT_EQ(after.areaFunction.m_fSampleModulus, 80.0f);
}

TEST(CalibrateAreaCommand, RefusesTermsOutsideOneToNine) {
    TempDir folder;
    const CliRun r = RunCli(folder, {"calibrate", "area", "--defaults", "--terms", "10", "x.csv"});
    EXPECT_NE(r.status, 0);
}

}  // namespace
}  // namespace marvek
