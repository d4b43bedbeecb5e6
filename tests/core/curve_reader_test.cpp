#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/analysis/curve_analyzer.h"
#include "support/curve_generator.h"

namespace marvek {
namespace {

struct ReadCase {
    const char* name;
    std::string text;
    ErrorCode status;
    std::vector<double> depth, load, time;
    std::string codes;  // segment code of each stored point; empty: not checked
};

std::ostream& operator<<(std::ostream& os, const ReadCase& c) { return os << c.name; }

class ReaderCases : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReaderCases, StoresExactlyTheExpectedPoints) {
    const ReadCase& c = GetParam();
    CCurveAnalyzer analyzer;
    std::istringstream in(c.text);
    ASSERT_EQ(analyzer.ReadCurveStream(in).code(), c.status);
    ASSERT_EQ(analyzer.m_nPoints, static_cast<int>(c.depth.size()));
    for (std::size_t i = 0; i < c.depth.size(); ++i) {
        EXPECT_DOUBLE_EQ(analyzer.m_pDepth[i], c.depth[i]) << "point " << i;
        EXPECT_DOUBLE_EQ(analyzer.m_pLoad[i], c.load[i]) << "point " << i;
        if (!c.time.empty()) {
            EXPECT_DOUBLE_EQ(analyzer.m_pTime[i], c.time[i]) << "point " << i;
        }
        if (i < c.codes.size()) {
            EXPECT_EQ(analyzer.m_pSegment[i], c.codes[i]) << "point " << i;
        }
    }
    // Text already in memory (read whole, through the format readers) gives the same points.
    io::ParsedCurve whole;
    ASSERT_EQ(io::ParseMarvekCsv(std::string_view(c.text), whole), (c.status == ErrorCode::None));
    ASSERT_EQ(whole.size(), c.depth.size());
    for (std::size_t i = 0; i < c.depth.size(); ++i) {
        EXPECT_EQ(whole.depth[i], analyzer.m_pDepth[i]) << "point " << i;
        EXPECT_EQ(whole.load[i], analyzer.m_pLoad[i]) << "point " << i;
        EXPECT_EQ(whole.time[i], analyzer.m_pTime[i]) << "point " << i;
        EXPECT_EQ(whole.segment[i], analyzer.m_pSegment[i]) << "point " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ReaderCases,
    ::testing::Values(
        ReadCase{"HeaderInNm",
                 "Depth (nm),Load (mN),Time (s)\n10,0.5,0.1\n",
                 ErrorCode::None,
                 {10},
                 {0.5},
                 {0.1},
                 "X"},
        ReadCase{"HeaderInUm",
                 "Displacement (um), Force (mN)\n0.01, 0.5\n",
                 ErrorCode::None,
                 {10},
                 {0.5},
                 {0},
                 "X"},
        ReadCase{"NoUnitMeansMicrometres", "Depth,Force\n0.02,1\n", ErrorCode::None, {20}, {1}},
        ReadCase{
            "UmWinsOverNmOnOneLine", "Depth (nm or um),Force\n1,1\n", ErrorCode::None, {1000}, {1}},
        ReadCase{"UnitSwitchBetweenBlocks",
                 "Depth (um),F\n0.5,1\nblock in nm\n7,2\n",
                 ErrorCode::None,
                 {500, 7},
                 {1, 2}},
        ReadCase{"KeywordRightAfterComma",
                 "Depth (nm),F\n5,0.1,0.2,LOAD\n6,0.1,0.2, LOAD\n",
                 ErrorCode::None,
                 {5, 6},
                 {0.1, 0.1},
                 {0.2, 0.2},
                 "LX"},
        ReadCase{"LastKeywordInOrderWins",
                 "Depth (nm),F\n5,1,0,x,RELOAD,LOAD\n",
                 ErrorCode::None,
                 {5},
                 {1},
                 {0},
                 "R"},
        ReadCase{"KeywordsOfEverySegment",
                 "Depth (nm),F\n1,1,0,TOP_HOLD\n2,1,0,UNLOAD\n3,1,0,BOTTOM_HOLD\n",
                 ErrorCode::None,
                 {1, 2, 3},
                 {1, 1, 1},
                 {0, 0, 0},
                 "TUB"},
        ReadCase{"SemicolonsAndDecimalCommas",
                 "Depth (nm);F\n5;0,1;0,2\n",
                 ErrorCode::None,
                 {5},
                 {0.1},
                 {0.2}},
        ReadCase{"NonPositiveDepthsDropped",
                 "Depth (nm),F\n0,0.1\n-3,0.1\nx\n4,0.2\n",
                 ErrorCode::None,
                 {4},
                 {0.2}},
        ReadCase{"LinesBeforeHeaderIgnored",
                 "instrument X\n1,2,3\nDepth (nm),F\n4,5\n",
                 ErrorCode::None,
                 {4},
                 {5}},
        ReadCase{"HeaderMustStartTheLine",
                 "Time,Depth,Load\n0.1,10,0.5\n",
                 ErrorCode::UnknownLayout,
                 {},
                 {}},
        ReadCase{"EmptyFile", "", ErrorCode::UnknownLayout, {}, {}},
        ReadCase{"HeaderOnly", "Depth (nm),Force (mN)\n", ErrorCode::None, {}, {}},
        ReadCase{"MarkerLayout",
                 "junk\nhead,1, x\n7,1, 0.5, 2.0, 0, 3.5\n",
                 ErrorCode::None,
                 {500},
                 {2.0},
                 {3.5},
                 "X"},
        ReadCase{"MarkerLayoutShortLineSkipped",
                 "a,1, b\n7,1, 0.5, 2.0\n7,1, 0.6, 2.5,0,1\n",
                 ErrorCode::None,
                 {600},
                 {2.5},
                 {1}},
        // Mended: a long line is one line, not several bogus points.
        ReadCase{"ReaderKeepsWholeLongLines",
                 "Depth (nm),F\n5,1," + std::string(300, '0') + "1,LOAD\n",
                 ErrorCode::None,
                 {5},
                 {1},
                 {1},
                 "L"},
        // Mended: non-finite fields make a point unusable.
        ReadCase{"NonFiniteFieldsDropThePoint",
                 "Depth (nm),F,T\nnan,1,0\n5,inf,0\n6,1,1e999\n7,1,2\n",
                 ErrorCode::None,
                 {7},
                 {1},
                 {2}},
        ReadCase{"LineWithoutCommaSkipped", "Depth (nm),F\n12\n\n5,1\n", ErrorCode::None, {5}, {1}},
        ReadCase{"CrLfAndLoneCrEndLines",
                 "Depth (nm),F\r\n5,1,0,LOAD\r\n6,2\r7,3",
                 ErrorCode::None,
                 {5, 6, 7},
                 {1, 2, 3},
                 {},
                 "L"},
        ReadCase{"ByteOrderMarkSkipped",
                 "\xEF\xBB\xBF"
                 "Depth (nm),F\n5,1\n",
                 ErrorCode::None,
                 {5},
                 {1}}),
    [](const ::testing::TestParamInfo<ReadCase>& p) { return std::string(p.param.name); });

// The reader refills a 64 KiB buffer: a line break, a CR LF pair or a long line that falls across
// a refill must read as it does anywhere else.
TEST(Reader, LinesAcrossBufferRefillsReadWhole) {
    for (std::size_t shift = 0; shift < 6; ++shift) {
        std::string text = "Depth (nm),F\r\n";
        std::vector<double> expected;
        int k = 1;
        // Fill up to just before the first refill, so the CR LF at its end splits variously.
        while (text.size() + 20 < (1u << 16) - shift) {
            text += std::to_string(k) + ",1\r\n";
            expected.push_back(k++);
        }
        text += std::string((1u << 16) - shift - text.size() - 4, '0') + "9,1\r\n";
        expected.push_back(9);
        text += "7," + std::string(150000, '0') + "2,3\r";  // spans two refills
        expected.push_back(7);
        text += "8,1\n";
        expected.push_back(8);
        std::istringstream in(text);
        CCurveAnalyzer analyzer;
        ASSERT_TRUE(analyzer.ReadCurveStream(in).ok());
        ASSERT_EQ(analyzer.m_nPoints, static_cast<int>(expected.size())) << shift;
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(analyzer.m_pDepth[i], expected[i]) << shift << " " << i;
        EXPECT_EQ(analyzer.m_pLoad[expected.size() - 2], 2);
        EXPECT_EQ(analyzer.m_pTime[expected.size() - 2], 3);
    }
}

TEST(Reader, HeaderLayoutStopsAt40000Points) {
    std::string text = "Depth (nm),F\n";
    for (int i = 1; i <= 40001; ++i) text += std::to_string(i) + ",1\n";
    CCurveAnalyzer analyzer;
    std::istringstream in(text);
    ASSERT_TRUE(analyzer.ReadCurveStream(in).ok());
    EXPECT_EQ(analyzer.m_nPoints, 40000);
    EXPECT_EQ(analyzer.m_pDepth[39999], 40000);
}

TEST(Reader, MarkerLayoutStopsAt9000Points) {
    std::string text = "h,1, x\n";
    for (int i = 1; i <= 9001; ++i) text += "a,1," + std::to_string(i) + ",1,0,0\n";
    CCurveAnalyzer analyzer;
    std::istringstream in(text);
    ASSERT_TRUE(analyzer.ReadCurveStream(in).ok());
    EXPECT_EQ(analyzer.m_nPoints, 9000);
}

TEST(Reader, ShorterCurveAfterLongerOneAndUnopenableFileKeepsCurve) {
    testing::TempDir dir;
    CCurveAnalyzer analyzer;
    ASSERT_TRUE(
        analyzer.ReadCurveFile(dir.Write("long.csv", "Depth (nm),F\n1,1\n2,2\n3,3\n")).ok());
    ASSERT_TRUE(analyzer.ReadCurveFile(dir.Write("short.csv", "Depth (nm),F\n9,9\n")).ok());
    EXPECT_EQ(analyzer.m_nPoints, 1);
    EXPECT_EQ(analyzer.ReadCurveFile(dir.path() / "missing.csv").code(), ErrorCode::CannotOpen);
    EXPECT_EQ(analyzer.ReadCurveFile(dir.path()).code(), ErrorCode::CannotOpen);  // a folder
    EXPECT_EQ(analyzer.m_nPoints, 1);
    EXPECT_EQ(analyzer.m_pDepth[0], 9);
}

bool SamePoints(const CCurveAnalyzer& a, const CCurveAnalyzer& b) {
    if (a.m_nPoints != b.m_nPoints) return false;
    for (int i = 0; i < a.m_nPoints; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (a.m_pDepth[k] != b.m_pDepth[k] || a.m_pLoad[k] != b.m_pLoad[k] ||
            a.m_pTime[k] != b.m_pTime[k] || a.m_pSegment[k] != b.m_pSegment[k])
            return false;
    }
    return a.m_dZeroPointOffset == b.m_dZeroPointOffset;
}

// A held curve must read exactly as the file does, segments and zero point included, and must
// never stand in for another file or outlive its release.
TEST(Reader, HeldCurveReadsAsItsFileAndOnlyForThatFile) {
    const std::filesystem::path real = MARVEK_TEST_DATA "/real";
    testing::TempDir dir;
    for (const char* name : {"agilent_nial_t001.csv", "hysitron_steel_0000.csv",
                             "micromaterials_300nm_1.csv", "fischerscope_15mN_n1_t01.csv"}) {
        SCOPED_TRACE(name);
        CCurveAnalyzer plain, held;
        for (CCurveAnalyzer* a : {&plain, &held}) {
            a->m_bZeroPointCorrection = 1;
            a->m_dZeroFitMinPercent = 10;
            a->m_dZeroFitMaxPercent = 90;
        }
        const std::filesystem::path copy = dir.path() / name;
        std::filesystem::copy_file(real / name, copy,
                                   std::filesystem::copy_options::overwrite_existing);
        ASSERT_TRUE(held.HoldCurveFile(copy).ok());
        EXPECT_EQ(held.m_nPoints, 0);  // holding loads nothing into the analyzer
        ASSERT_TRUE(plain.ReadCurveFile(copy).ok());
        for (int round = 0; round < 2; ++round) {
            ASSERT_TRUE(held.ReadCurveFile(copy).ok());
            EXPECT_TRUE(SamePoints(plain, held));
            held.m_pDepth[0] = -1;  // a correction applied in place must not reach the hold
        }
        // Another file comes from the disk; so does the held one once released.
        ASSERT_TRUE(held.ReadCurveFile(dir.Write("other.csv", "Depth (nm),F\n5,1\n")).ok());
        EXPECT_EQ(held.m_nPoints, 1);
        std::filesystem::resize_file(copy, 0);
        const CCurveAnalyzer copyOfHeld = held;  // copies share the hold
        CCurveAnalyzer sharing = copyOfHeld;
        ASSERT_TRUE(sharing.ReadCurveFile(copy).ok());
        EXPECT_TRUE(SamePoints(plain, sharing));
        held.ReleaseHeldCurve();
        EXPECT_EQ(held.ReadCurveFile(copy).code(), ErrorCode::UnknownLayout);
    }
    CCurveAnalyzer analyzer;
    EXPECT_EQ(analyzer.HoldCurveFile(dir.path() / "missing.csv").code(), ErrorCode::CannotOpen);
    const std::filesystem::path junk = dir.Write("junk.csv", "no curve here\n");
    EXPECT_EQ(analyzer.HoldCurveFile(junk).code(), ErrorCode::UnknownLayout);
    dir.Write("junk.csv", "Depth (nm),F\n7,2\n");
    ASSERT_TRUE(analyzer.ReadCurveFile(junk).ok());  // a failed hold holds nothing
    EXPECT_EQ(analyzer.m_pDepth[0], 7);
}

TEST(Reader, FailureMessagesNameTheFile) {
    CCurveAnalyzer analyzer;
    const Status missing = analyzer.ReadCurveFile("/x/a.csv");
    EXPECT_EQ(missing.message(), "/x/a.csv: cannot be opened");
    std::istringstream junk("x\n");
    const Status notOurs = analyzer.ReadCurveStream(junk);
    EXPECT_EQ(notOurs.code(), ErrorCode::UnknownLayout);
    EXPECT_FALSE(notOurs.message().empty());
    EXPECT_EQ(std::string(kFileFormatCaption), "Error Required File Format");
    EXPECT_EQ(std::string(kFileFormatMessage).substr(0, 34),
              "Try\n\nFile format example (.CSV): \n");
}

// Every real instrument export we ship reads completely, with its keywords when it has them.
TEST(Reader, ReadsEveryRealCurve) {
    for (const auto& entry : std::filesystem::directory_iterator(MARVEK_TEST_DATA "/real")) {
        if (entry.path().extension() != ".csv") continue;
        CCurveAnalyzer analyzer;
        ASSERT_TRUE(analyzer.ReadCurveFile(entry.path()).ok()) << entry.path();
        EXPECT_GT(analyzer.m_nPoints, 300) << entry.path();
    }
}

}  // namespace
}  // namespace marvek
