// Whatever instruments and spreadsheets export: each file has one defined outcome.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <string>

#include "core/analysis/curve_analysis.h"
#include "core/analysis/curve_analyzer.h"
#include "support/curve_generator.h"

namespace marvek {
namespace {

struct BadCase {
    const char* file;
    ErrorCode status;
    int points;
    double firstDepth;  // checked when points > 0
};

std::ostream& operator<<(std::ostream& os, const BadCase& c) { return os << c.file; }

class BadCorpus : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadCorpus, ReadsToItsDefinedOutcomeAndAnalysesWithoutFault) {
    const BadCase& c = GetParam();
    CCurveAnalyzer analyzer;
    analyzer.m_bZeroPointCorrection = 1;
    analyzer.m_dZeroFitMinPercent = 10;
    analyzer.m_dZeroFitMaxPercent = 90;
    analyzer.SetFiles({std::string(MARVEK_TEST_DATA "/bad/") + c.file});
    EXPECT_EQ(analyzer.ReadCurveFile(analyzer.m_strFiles[0]).code(), c.status);
    EXPECT_EQ(analyzer.m_nPoints, c.points);
    if (c.points > 0) {
        EXPECT_DOUBLE_EQ(analyzer.m_pDepth[0] + analyzer.m_dZeroPointOffset, c.firstDepth);
    }
    for (int i = 0; i < analyzer.m_nPoints; ++i) {
        ASSERT_TRUE(std::isfinite(analyzer.m_pLoad[i]) && std::isfinite(analyzer.m_pTime[i]));
    }
    // Both methods run to the end on whatever was read (the sanitizer build checks the rest).
    for (int method : {0, 1}) {
        Settings settings;
        settings.strategy.m_nMethod = method;
        settings.strategy.m_bDriftCorrection = 1;
        CurveDisplay display;
        const Status outcome = AnalyzeCurve(analyzer, 0, settings, display);
        EXPECT_EQ(outcome.ok(), (c.status == ErrorCode::None));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadCorpus,
    ::testing::Values(BadCase{"empty.csv", ErrorCode::UnknownLayout, 0, 0},
                      BadCase{"header_only.csv", ErrorCode::None, 0, 0},
                      BadCase{"binary_noise.csv", ErrorCode::UnknownLayout, 0, 0},
                      BadCase{"nul_bytes.csv", ErrorCode::None, 2, 10},
                      BadCase{"all_nonfinite.csv", ErrorCode::None, 0, 0},
                      BadCase{"nonpositive_depths.csv", ErrorCode::None, 1, 7},
                      BadCase{"crlf.csv", ErrorCode::None, 3, 10},
                      BadCase{"cr_only.csv", ErrorCode::None, 3, 10},
                      BadCase{"bom.csv", ErrorCode::None, 2, 10},
                      BadCase{"decimal_commas.csv", ErrorCode::None, 2, 17.26392},
                      BadCase{"um_then_nm.csv", ErrorCode::None, 3, 10},
                      BadCase{"fewer_fields.csv", ErrorCode::None, 4, 11},
                      BadCase{"wrong_header.csv", ErrorCode::None, 1, 10},  // columns found by name
                      BadCase{"marker_short_lines.csv", ErrorCode::None, 1, 500},
                      BadCase{"extreme_values.csv", ErrorCode::None, 2, 1e308},
                      BadCase{"quoted_header.csv", ErrorCode::None, 1, 10},
                      BadCase{"tab_separated.csv", ErrorCode::None, 2, 10}),
    [](const ::testing::TestParamInfo<BadCase>& p) {
        std::string name = p.param.file;
        return name.substr(0, name.find('.'));
    });

TEST(BadInput, TenMegabyteLineIsOneLine) {
    testing::TempDir dir;
    std::string line = "5,";
    line.append(10'000'000, '0');
    line += '1';
    CCurveAnalyzer a;
    ASSERT_TRUE(
        a.ReadCurveFile(dir.Write("long.csv", "Depth (nm),Force (mN)\n" + line + "\n")).ok());
    ASSERT_EQ(a.m_nPoints, 1);
    EXPECT_EQ(a.m_pLoad[0], 1);
    EXPECT_EQ(a.ReadCurveFile(dir.Write("nolayout.csv", line)).code(), ErrorCode::UnknownLayout);
}

TEST(BadInput, HundredThousandPointsAreCutAtTheCapacity) {
    testing::TempDir dir;
    std::string text = "Depth (nm),Force (mN)\n";
    for (int i = 1; i <= 100000; ++i) text += std::to_string(i) + ",1\n";
    CCurveAnalyzer a;
    ASSERT_TRUE(a.ReadCurveFile(dir.Write("big.csv", text)).ok());
    EXPECT_EQ(a.m_nPoints, CCurveAnalyzer::kMaxPoints);
}

TEST(BadInput, FoldersUnreadableAndVanishedFilesAreNamedFailures) {
    testing::TempDir dir;
    const auto good = dir.Write("good.csv", "Depth (nm),Force (mN)\n10,1\n");
    CCurveAnalyzer a;
    a.SetFiles({dir.path(), good});
    Settings settings;
    CurveDisplay display;
    Status outcome = AnalyzeCurve(a, 0, settings, display);
    EXPECT_EQ(outcome.code(), ErrorCode::CannotOpen);
    std::filesystem::remove(good);  // vanished between selection and analysis
    outcome = AnalyzeCurve(a, 1, settings, display);
    EXPECT_EQ(outcome.code(), ErrorCode::CannotOpen);
    EXPECT_NE(outcome.message().find("good.csv"), std::string::npos);
    if (::geteuid() == 0) GTEST_SKIP() << "root reads files without read permission";
    const auto locked = dir.Write("locked.csv", "Depth (nm),Force (mN)\n10,1\n");
    ::chmod(locked.c_str(), 0);
    EXPECT_EQ(a.ReadCurveFile(locked).code(), ErrorCode::CannotOpen);
}

TEST(Limits, FileListKeepsTheFirst2000) {
    std::vector<std::filesystem::path> files;
    for (int i = 0; i < 2001; ++i)
        files.emplace_back(std::string("f").append(std::to_string(i)) + ".csv");
    CCurveAnalyzer a;
    a.SetFiles(files);
    EXPECT_EQ(a.m_nFileCount, 2000);
    EXPECT_EQ(a.m_strFiles.back(), "f1999.csv");
    files.resize(2000);
    a.SetFiles(files);
    EXPECT_EQ(a.m_nFileCount, 2000);
}

}  // namespace
}  // namespace marvek
