#include "core/tools/save_curves.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace marvek {
namespace {

namespace fs = std::filesystem;

std::string ReadWhole(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::string kResults = "Method :\n Oliver-Pharr\n\nMain Results :\n E(IT) = 1.00 GPa\n";

CurveDisplay ThreeSeries() {
    CurveDisplay d;
    d.m_pCurveDepth = {10, 1234.5678, 1e8};
    d.m_pCurveLoad = {0.5, 12.345678, 0.000012345678};
    d.m_pFitCurveDepth = {2000};
    d.m_pFitCurveLoad = {3};
    d.m_pExtrapDepth = {1999.99999, 0.001};
    d.m_pExtrapLoad = {2.5, -0.25};
    return d;
}

TEST(SaveCurvesText, MatchesGoldenLayout) {
    EXPECT_EQ(BuildSaveCurvesText(kResults, ThreeSeries()),
              ReadWhole(fs::path(MARVEK_TEST_DATA) / "save_curves" / "three_series.csv"));
}

TEST(SaveCurvesText, NoFitLeavesResultsHeaderAndMeasuredCurve) {
    CurveDisplay d = ThreeSeries();
    d.m_pFitCurveDepth.clear();
    d.m_pFitCurveLoad.clear();
    d.m_pExtrapDepth.clear();
    d.m_pExtrapLoad.clear();
    EXPECT_EQ(BuildSaveCurvesText("R\n", d),
              "R\n\nDisplacement(nm), Force(mN), Fit(mN), Extrapolation(mN)\n"
              "10,0.5\n1234.568,12.34568\n1e+08,1.234568e-05\n");
}

class SaveCurvesFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            fs::temp_directory_path() / ("marvek_save_curves_test_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

// The file used to be opened by its bare name through an 80-character buffer, relative to the
// current folder: a long name was cut and the chosen folder ignored.
TEST_F(SaveCurvesFile, LongNameIsWrittenAtTheChosenPath) {
    const fs::path file = dir_ / (std::string(150, 'c') + ".csv");
    const std::string content = BuildSaveCurvesText(kResults, ThreeSeries());
    EXPECT_EQ(WriteSaveCurvesFile(file, content), "");
    EXPECT_EQ(ReadWhole(file), content);
}

TEST_F(SaveCurvesFile, ReplacesTheWholeOldContent) {
    const fs::path file = dir_ / "old.csv";
    std::ofstream(file) << std::string(5000, 'x');
    EXPECT_EQ(WriteSaveCurvesFile(file, "short\n"), "");
    EXPECT_EQ(ReadWhole(file), "short\n");
}

// A file that could not be created used to be passed over in silence.
TEST_F(SaveCurvesFile, UnwritablePathIsReported) {
    const fs::path file = dir_ / "no such folder" / "out.csv";
    const std::string error = WriteSaveCurvesFile(file, "x\n");
    EXPECT_NE(error.find(file.string()), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(file));
}

}  // namespace
}  // namespace marvek
