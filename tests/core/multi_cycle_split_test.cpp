#include <unistd.h>

#include "core/tools/multi_cycle_split.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/analysis/curve_analyzer.h"
#include "core/io/number_format.h"
#include "support/curve_generator.h"

namespace marvek {
namespace {

namespace fs = std::filesystem;
using testing::GeneratedCycle;
using testing::MakeMultiCycleCurve;
using testing::MultiCycleCurve;

// The hold band with the default tool force accuracy of 0.02 mN.
const double kDefaultBand = HoldBand(0.02f);
// Written numbers carry 7 significant digits.
constexpr double kSevenDigits = 1e-6;

struct Line {
    int point;
    std::string segment;
    bool operator==(const Line&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Line& line) {
    return os << line.segment << '@' << line.point;
}

CurvePoints View(const MultiCycleCurve& c) { return {c.depth, c.load, c.time}; }

// Parses a split file back into (point, segment) lines; the time column is index + 1.
std::vector<Line> ParseLines(const std::string& content) {
    std::istringstream in(content);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "Depth,Force,Time,Segment");
    std::vector<Line> lines;
    while (std::getline(in, text)) {
        const auto c1 = text.find(',');
        const auto c2 = text.find(',', c1 + 1);
        const auto c3 = text.find(',', c2 + 1);
        const double time = ParseDouble(text.substr(c2 + 1, c3 - c2 - 1));
        lines.push_back({static_cast<int>(std::lround(time)) - 1, text.substr(c3 + 1)});
    }
    return lines;
}

void AddRange(std::vector<Line>& lines, int begin, int end, const char* segment) {
    for (int i = begin; i < end; ++i) lines.push_back({i, segment});
}

// What the unload file of cycle `c` holds: the envelope up to the cycle's peak, the top hold
// from one point before its band, the unloading, and the bottom hold from one point before its
// band. Without a band the unloading runs from the peak to the point before the valley.
std::vector<Line> ExpectedUnloadFile(const MultiCycleCurve& curve, std::size_t c, bool holds) {
    const GeneratedCycle& cycle = curve.cycles[c];
    const bool last = c + 1 == curve.cycles.size();
    std::vector<Line> lines;
    for (int i : curve.envelope)
        if (curve.load[i] <= cycle.peakForce) lines.push_back({i, "LOAD"});
    if (holds) {
        AddRange(lines, cycle.peak - 1, cycle.firstUnload, "TOP_HOLD");
        AddRange(lines, cycle.firstUnload, cycle.valley - 1, "UNLOAD");
        // The hold walk stops on the last point, which is then left out.
        AddRange(lines, cycle.valley - 1, last ? curve.size() - 1 : cycle.holdEnd, "BOTTOM_HOLD");
    } else {
        AddRange(lines, cycle.peak, cycle.valley, "UNLOAD");
    }
    return lines;
}

// What the reload file of cycle `c` (c >= 1) holds: the envelope below the previous peak, the
// reloading up to that force from the top down, and the dwell it started from.
std::vector<Line> ExpectedReloadFile(const MultiCycleCurve& curve, std::size_t c, bool holds) {
    const GeneratedCycle& before = curve.cycles[c - 1];
    const GeneratedCycle& cycle = curve.cycles[c];
    std::vector<Line> lines;
    for (int i : curve.envelope)
        if (curve.load[i] < before.peakForce) lines.push_back({i, "LOAD"});
    const int bottom = holds ? before.holdEnd : before.valley;
    for (int j = cycle.peak; j >= bottom; --j)
        if (curve.load[j] <= before.peakForce) lines.push_back({j, "RELOAD"});
    if (holds) AddRange(lines, before.valley - 1, before.holdEnd, "BOTTOM_HOLD");
    return lines;
}

struct SplitCase {
    const char* name;
    SplitKind kind;
    double band;
};

class ThreeCycleSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(ThreeCycleSplit, EveryFileHoldsItsCycleBlockByBlock) {
    const SplitCase& param = GetParam();
    const MultiCycleCurve curve = MakeMultiCycleCurve({2.0, 4.0, 6.0}, 0.3);
    const bool holds = param.band > 0;
    const auto outputs = BuildSplitFiles(View(curve), param.kind, param.band, "/data/steel.csv");

    const bool unload = param.kind == SplitKind::Unload;
    ASSERT_EQ(outputs.size(), unload ? 3u : 2u);
    for (std::size_t f = 0; f < outputs.size(); ++f) {
        SCOPED_TRACE("file " + outputs[f].path.string());
        const std::string number = std::to_string(f + 1);
        EXPECT_EQ(outputs[f].path,
                  fs::path("/data/steel_" + number + (unload ? "u" : "r") + ".csv"));
        const auto expected =
            unload ? ExpectedUnloadFile(curve, f, holds) : ExpectedReloadFile(curve, f + 1, holds);
        EXPECT_EQ(ParseLines(outputs[f].content), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(BothSplits, ThreeCycleSplit,
                         ::testing::Values(SplitCase{"Unload", SplitKind::Unload, kDefaultBand},
                                           SplitCase{"Reload", SplitKind::Reload, kDefaultBand},
                                           SplitCase{"UnloadNoBand", SplitKind::Unload, 0.0},
                                           SplitCase{"ReloadNoBand", SplitKind::Reload, 0.0}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

class SplitFolder : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("marvek_split_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
                std::to_string(::getpid()));  // runs may overlap
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(SplitFolder, WrittenFilesReadBackWithTheirSegments) {
    const MultiCycleCurve curve = MakeMultiCycleCurve({2.0, 4.0, 6.0}, 0.3);
    const fs::path input = dir_ / "cycles.csv";
    testing::WriteCurveFile(input, curve.Points());

    for (SplitKind kind : {SplitKind::Unload, SplitKind::Reload}) {
        CCurveAnalyzer reader;
        const SplitFileReport report = SplitCurveFile(reader, input, kind, kDefaultBand);
        ASSERT_TRUE(report.ok()) << SplitMessage(kind, report);
        const std::size_t files = kind == SplitKind::Unload ? 3 : 2;
        ASSERT_EQ(report.written.size(), files);
        for (std::size_t f = 0; f < files; ++f) {
            SCOPED_TRACE(report.written[f].string());
            const auto expected = kind == SplitKind::Unload
                                      ? ExpectedUnloadFile(curve, f, true)
                                      : ExpectedReloadFile(curve, f + 1, true);
            CCurveAnalyzer back;
            ASSERT_TRUE(back.ReadCurveFile(report.written[f]).ok());
            ASSERT_EQ(back.m_nPoints, static_cast<int>(expected.size()));
            for (std::size_t k = 0; k < expected.size(); ++k) {
                const int i = expected[k].point;
                EXPECT_EQ(back.m_pSegment[k], expected[k].segment[0]) << expected[k];
                EXPECT_NEAR(back.m_pDepth[k], curve.depth[i], curve.depth[i] * kSevenDigits);
                EXPECT_NEAR(back.m_pLoad[k], curve.load[i], curve.load[i] * kSevenDigits);
                EXPECT_DOUBLE_EQ(back.m_pTime[k], curve.time[i]);
            }
        }
    }
}

// Twelve points, one cycle; written out by hand from the scan's rules: depth in micrometres.
TEST(SplitText, SingleCycleFileIsWrittenInMicrometresWithSevenDigits) {
    const std::vector<double> load = {0.5, 1, 1.5, 2, 2.5, 3, 2.4, 1.8, 1.2, 0.6, 0.3, 0.35};
    const std::vector<double> depth = {12.5, 100,  1234.5678, 2000, 2500, 3000.25,
                                       2990, 2900, 2800,      2700, 2650, 2651};
    std::vector<double> time;
    for (int i = 0; i < 12; ++i) time.push_back(0.1 * i);
    const CurvePoints points{depth, load, time};

    const auto banded = BuildSplitFiles(points, SplitKind::Unload, kDefaultBand, "a.csv");
    ASSERT_EQ(banded.size(), 1u);
    EXPECT_EQ(banded[0].content,
              "Depth,Force,Time,Segment\n"
              "0.0125,0.5,0,LOAD\n"
              "0.1,1,0.1,LOAD\n"
              "1.234568,1.5,0.2,LOAD\n"
              "2,2,0.3,LOAD\n"
              "2.5,2.5,0.4,LOAD\n"
              "3.00025,3,0.5,LOAD\n"
              "2.5,2.5,0.4,TOP_HOLD\n"
              "3.00025,3,0.5,TOP_HOLD\n"
              "2.99,2.4,0.6,UNLOAD\n"
              "2.9,1.8,0.7,UNLOAD\n"
              "2.8,1.2,0.8,UNLOAD\n"
              "2.7,0.6,0.9,BOTTOM_HOLD\n"
              "2.65,0.3,1,BOTTOM_HOLD\n");

    // No band: no hold lines, the unloading runs from the peak to the point before the valley.
    const auto bare = BuildSplitFiles(points, SplitKind::Unload, 0.0, "a.csv");
    ASSERT_EQ(bare.size(), 1u);
    EXPECT_EQ(ParseLines(bare[0].content).size(), 6u + 5u);
    EXPECT_NE(bare[0].content.find("3.00025,3,0.5,UNLOAD\n2.99,2.4,0.6,UNLOAD\n"),
              std::string::npos);
    EXPECT_EQ(bare[0].content.find("HOLD"), std::string::npos);

    EXPECT_TRUE(BuildSplitFiles(points, SplitKind::Reload, kDefaultBand, "a.csv").empty());
}

TEST(SplitScan, ShortCurvesAndSingleCycles) {
    const MultiCycleCurve single = MakeMultiCycleCurve({5.0}, 0.2);
    struct Case {
        const char* name;
        int points;  // the first points of `single`
        std::size_t unloadFiles, reloadFiles;
    } cases[] = {
        {"eleven points: no crossing is ever tested", 11, 0, 0},
        {"twelve points: the last point ends the cycle", 12, 1, 0},
        {"whole single cycle", single.size(), 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto n = static_cast<std::size_t>(c.points);
        const CurvePoints points{std::span(single.depth).first(n), std::span(single.load).first(n),
                                 std::span(single.time).first(n)};
        EXPECT_EQ(PlanSplit(points, SplitKind::Unload, kDefaultBand).files.size(), c.unloadFiles);
        EXPECT_EQ(PlanSplit(points, SplitKind::Reload, kDefaultBand).files.size(), c.reloadFiles);
    }
}

// File counts worked out by hand from the crossing rules: both inequalities are strict and the
// level is 0.33 of the running maximum.
TEST(SplitScan, CrossingRules) {
    struct Case {
        const char* name;
        std::vector<double> load;
        std::size_t unloadFiles, reloadFiles;
    } cases[] = {
        {"falling exactly to 0.33 of the peak is no crossing",
         {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 1, 1, 1, 0.33, 0.33, 0.5, 1.5, 1.5, 0.2,
          0.2},
         1,
         0},
        {"falling to 0.332 of the peak is no crossing (0.33, not one third)",
         {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 1, 1, 0.332, 0.332, 0.5, 1.5, 1.5, 0.2, 0.2},
         1,
         0},
        {"a jump to over three times the force after point 10 ends a cycle",
         {0.01, 0.02, 0.03, 0.04, 0.05, 0.06, 0.07, 0.08, 0.09, 0.1, 0.11, 0.12, 1, 1.1, 1.2, 1.3},
         2,
         0},
        {"a valley in the first eleven points writes no reload file",
         {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 1, 1, 1, 0.2, 0.2, 1.5, 1.5, 0.2, 0.2},
         2,
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<double> depth, time;
        for (std::size_t i = 0; i < c.load.size(); ++i) {
            depth.push_back(100.0 + static_cast<double>(i));
            time.push_back(static_cast<double>(i));
        }
        const CurvePoints points{depth, c.load, time};
        EXPECT_EQ(PlanSplit(points, SplitKind::Unload, kDefaultBand).files.size(), c.unloadFiles);
        EXPECT_EQ(PlanSplit(points, SplitKind::Reload, kDefaultBand).files.size(), c.reloadFiles);
    }
}

// The envelope used to live in 8000 fixed slots; a loading with more new maxima overran them.
TEST(SplitScan, EnvelopeHoldsMoreThanEightThousandNewMaxima) {
    const MultiCycleCurve curve = MakeMultiCycleCurve({10000.0}, 1.0, 9000);
    const auto outputs = BuildSplitFiles(View(curve), SplitKind::Unload, kDefaultBand, "x.csv");
    ASSERT_EQ(outputs.size(), 1u);
    const auto lines = ParseLines(outputs[0].content);
    EXPECT_EQ(lines, ExpectedUnloadFile(curve, 0, true));
}

TEST(SplitNames, ExtensionIsRemovedNotFourCharacters) {
    struct Case {
        fs::path input;
        SplitKind kind;
        int number;
        fs::path expected;
    } cases[] = {
        {"/data/steel.csv", SplitKind::Unload, 1, "/data/steel_1u.csv"},
        {"/data/steel.CSV", SplitKind::Reload, 12, "/data/steel_12r.csv"},
        {"/data/steel", SplitKind::Unload, 2, "/data/steel_2u.csv"},
        {"/data/run.txt", SplitKind::Unload, 1, "/data/run_1u.csv"},
        {"/data/a.b.dat", SplitKind::Reload, 3, "/data/a.b_3r.csv"},
        {"/v1.2/curve", SplitKind::Unload, 1, "/v1.2/curve_1u.csv"},
        {"ab", SplitKind::Unload, 1, "ab_1u.csv"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitFileName(c.input, c.kind, c.number), c.expected) << c.input;
}

TEST(SplitMessages, CountLineOfEachSplit) {
    SplitFileReport report;
    report.input = "/data/steel.csv";
    report.written = {"/data/steel_1u.csv", "/data/steel_2u.csv"};
    EXPECT_EQ(SplitMessage(SplitKind::Unload, report),
              "/data/steel.csv\n\n     2 unload curve files created\n");
    EXPECT_EQ(SplitMessage(SplitKind::Reload, report),
              "/data/steel.csv\n\n     2 reload curves files created\n");
}

// An unreadable file used to be cut from the points the previous file left in the analyzer.
TEST_F(SplitFolder, UnreadableFileIsNotCutFromPreviousPoints) {
    const fs::path good = dir_ / "good.csv";
    testing::WriteCurveFile(good, MakeMultiCycleCurve({2.0, 4.0}, 0.3).Points());
    CCurveAnalyzer reader;
    ASSERT_EQ(SplitCurveFile(reader, good, SplitKind::Unload, kDefaultBand).written.size(), 2u);

    const fs::path missing = dir_ / "missing.csv";
    const SplitFileReport report = SplitCurveFile(reader, missing, SplitKind::Unload, kDefaultBand);
    EXPECT_EQ(report.read.code(), ErrorCode::CannotOpen);
    EXPECT_EQ(report.CreatedCount(), 0);
    EXPECT_FALSE(report.ok());
    EXPECT_FALSE(fs::exists(dir_ / "missing_1u.csv"));
    const std::string message = SplitMessage(SplitKind::Unload, report);
    EXPECT_EQ(message.rfind(missing.string() + "\n\n     0 unload curve files created\n", 0), 0u)
        << message;
    EXPECT_NE(message.find(report.read.message()), std::string::npos);
    EXPECT_FALSE(report.read.ok());
}

// A file that could not be created used to be counted as created.
TEST_F(SplitFolder, FailedOutputIsNotCountedAndIsNamed) {
    const fs::path input = dir_ / "cycles.csv";
    testing::WriteCurveFile(input, MakeMultiCycleCurve({2.0, 4.0, 6.0}, 0.3).Points());
    // A folder where the second file should go cannot be opened as a file, even by root.
    fs::create_directory(dir_ / "cycles_2u.csv");

    CCurveAnalyzer reader;
    const SplitFileReport report = SplitCurveFile(reader, input, SplitKind::Unload, kDefaultBand);
    EXPECT_EQ(report.written,
              (std::vector<fs::path>{dir_ / "cycles_1u.csv", dir_ / "cycles_3u.csv"}));
    ASSERT_EQ(report.failed.size(), 1u);
    EXPECT_EQ(report.failed[0].first, dir_ / "cycles_2u.csv");
    const std::string message = SplitMessage(SplitKind::Unload, report);
    EXPECT_NE(message.find("     2 unload curve files created\n"), std::string::npos) << message;
    EXPECT_NE(message.find((dir_ / "cycles_2u.csv").string()), std::string::npos) << message;
}

TEST_F(SplitFolder, LongPathsAreWrittenWhole) {
    fs::path folder = dir_;
    for (int i = 0; i < 4; ++i) folder /= std::string(60, static_cast<char>('a' + i));
    fs::create_directories(folder);
    const fs::path input = folder / (std::string(120, 'n') + ".csv");
    testing::WriteCurveFile(input, MakeMultiCycleCurve({2.0}, 0.3).Points());

    CCurveAnalyzer reader;
    const SplitFileReport report = SplitCurveFile(reader, input, SplitKind::Unload, kDefaultBand);
    ASSERT_TRUE(report.ok()) << SplitMessage(SplitKind::Unload, report);
    ASSERT_EQ(report.written.size(), 1u);
    EXPECT_TRUE(fs::exists(folder / (std::string(120, 'n') + "_1u.csv")));
}

// Recorded multi-cycle tests: one unload file per cycle, each a complete curve in block order
// whose highest force rises from file to file. Cycles are only told apart when the unloading
// falls below a third of the maximum; the KLA tests unload to about half, so they stay whole.
TEST(SplitRealCurves, OneUnloadFilePerCycle) {
    struct Case {
        const char* file;
        std::size_t cycles;
    } cases[] = {
        {"agilent_fq_5cycle_t001.csv", 5},
        {"kla_tungsten_6cycle_t01.csv", 1},
        {"kla_fused_silica_10cycle_t01.csv", 1},
        {"fischerscope_esp8cycle_fs1_b01.csv", 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        CCurveAnalyzer reader;
        ASSERT_TRUE(reader.ReadCurveFile(fs::path(MARVEK_TEST_DATA) / "real" / c.file).ok());
        const auto outputs =
            BuildSplitFiles(LoadedPoints(reader), SplitKind::Unload, kDefaultBand, c.file);
        ASSERT_EQ(outputs.size(), c.cycles);
        double previousPeak = -1;
        for (const SplitOutput& out : outputs) {
            std::istringstream in(out.content);
            CCurveAnalyzer back;
            ASSERT_TRUE(back.ReadCurveStream(in).ok());
            const std::string order = "LTUB";
            std::size_t block = 0;
            for (int k = 0; k < back.m_nPoints; ++k) {
                const std::size_t at = order.find(back.m_pSegment[k]);
                ASSERT_NE(at, std::string::npos);
                ASSERT_GE(at, block) << out.path << " line " << k + 2;
                block = at;
            }
            EXPECT_GE(back.GetMaxLoad(), previousPeak) << out.path;
            previousPeak = back.GetMaxLoad();
        }
    }
}

}  // namespace
}  // namespace marvek
