// Text files from the wild: header synonyms and unit notations, metadata before the header,
// several curves in one file (side by side or in blank-line blocks), and the warnings a reader
// must give when it guessed or when the values leave the range of nanoindentation.
#include <gtest/gtest.h>

#include <cmath>

#include "core/analysis/plausibility.h"
#include "core/io/column_names.h"
#include "core/io/parsed_curve.h"
#include "support/temp_dir.h"

namespace marvek {
namespace {

using io::Quantity;

TEST(ColumnHeaders, NameTheQuantityAndScaleItsUnit) {
    struct Case {
        const char* header;
        Quantity quantity;
        double factor;  // to nm, mN or s
    };
    const Case cases[] = {
        {"Depth (nm)", Quantity::Depth, 1},
        {"Displacement [\xC2\xB5m]", Quantity::Depth, 1000},
        {"Indent Disp. (nm)", Quantity::Depth, 1},
        {"Pd [nm]", Quantity::Depth, 1},
        {"depth_nm", Quantity::Depth, 1},
        {"Indentation nm", Quantity::Depth, 1},
        {"Displacement Into Surface (um)", Quantity::Depth, 1000},
        {"Load [mN]", Quantity::Load, 1},
        {"Force (N)", Quantity::Load, 1000},
        {"Fn [uN]", Quantity::Load, 1e-3},
        {"load_micro_N", Quantity::Load, 1e-3},
        {"Indent Load (mN)", Quantity::Load, 1},
        {"Time (ms)", Quantity::Time, 1e-3},
        {"Test Time [s]", Quantity::Time, 1},
        // The transducer's spring force is not the load on the sample.
        {"Indent Act. Load (mN)", Quantity::Excluded, 1},
        {"Stress (MPa)", Quantity::None, 1},
        {"Load (kg)", Quantity::Load, 0},  // a load, in no unit we can scale: refused later
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        const io::ColumnHeader h = io::ReadColumnHeader(c.header);
        EXPECT_EQ(h.quantity, c.quantity);
        if (c.quantity != Quantity::None) {
            EXPECT_DOUBLE_EQ(h.factor, c.factor);
        }
    }
    const io::ColumnHeader grouped = io::ReadColumnHeader("Y_Test 3_Fn [uN]", true);
    EXPECT_EQ(grouped.quantity, Quantity::Load);
    EXPECT_EQ(grouped.group, "Test 3");
    EXPECT_DOUBLE_EQ(grouped.factor, 1e-3);
}

TEST(ImportLayouts, MetadataLinesBeforeTheHeaderAreSkippedAndTheColumnsNamed) {
    const io::ParsedFile f = io::ParseBuffer(
        "Sample: fused silica\nOperator: A. N. Other\nTip: Berkovich 1234\n\n"
        "Test Time [s]\tIndent Act. Load [mN]\tIndent Load [uN]\tIndent Disp. [um]\n"
        "0.5\t9\t1000\t0.25\n1.0\t9\t2000\t0.5\n",
        "run.txt");
    ASSERT_TRUE(f.status.ok()) << f.status.message();
    ASSERT_EQ(f.curves.size(), 1u);
    const io::ParsedCurve& c = f.curves[0];
    ASSERT_EQ(c.size(), 2u);
    EXPECT_DOUBLE_EQ(c.depth[1], 500);
    EXPECT_DOUBLE_EQ(c.load[1], 2);  // the sample's load, not the actuator's 9 mN
    EXPECT_DOUBLE_EQ(c.time[0], 0.5);
    EXPECT_NE(c.columns.find("Indent Load"), std::string::npos) << c.columns;
    EXPECT_EQ(c.columns.find("Act."), std::string::npos) << c.columns;
    for (const io::ReadWarning& w : c.warnings) EXPECT_FALSE(w.guess) << w.text;
}

TEST(ImportLayouts, SeveralCurvesInOneFileAreTestsOfTheirOwn) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> tests;
        std::vector<std::vector<double>> depth;
    };
    const std::vector<Case> cases = {
        {"side by side, groups of unequal length",
         "X_Test 1_Pd [nm],Y_Test 1_Fn [uN],X_Test 2_Pd [nm],Y_Test 2_Fn [uN]\n"
         "1,10,4,40\n2,20,5,50\n3,30,,\n",
         {"Test 1", "Test 2"},
         {{1, 2, 3}, {4, 5}}},
        {"blank-line blocks, the second titled",
         "Depth (nm),Load (mN)\n1,0.1\n2,0.2\n\nIndent B\n3,3e-1\n4,+4E-1\n5,5e-1\n",
         {"1", "Indent B"},
         {{1, 2}, {3, 4, 5}}},
        {"blank lines at the end make no curve",
         "Depth (nm),Load (mN)\n1,0.1\n2,0.2\n\n\n",
         {""},
         {{1, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const io::ParsedFile f = io::ParseBuffer(c.text, "many.csv");
        ASSERT_TRUE(f.status.ok()) << f.status.message();
        ASSERT_EQ(f.curves.size(), c.tests.size());
        for (std::size_t k = 0; k < c.tests.size(); ++k) {
            EXPECT_EQ(f.curves[k].test, c.tests[k]);
            EXPECT_EQ(f.curves[k].depth, c.depth[k]);
        }
    }
    // Each is addressable like a workbook's test.
    testing::TempDir dir;
    const auto file = dir.Write("pair.csv", cases[0].text);
    io::ParsedCurve second;
    ASSERT_TRUE(io::ReadCurve(file.string() + "#Test 2", {}, second).ok());
    EXPECT_EQ(second.load, (std::vector<double>{0.04, 0.05}));
}

TEST(ImportLayouts, FilesWithoutACurveSayWhy) {
    struct Case {
        const char* name;
        std::string text;
        const char* says;
    };
    const Case cases[] = {
        {"no depth column", "Time,Stress,Strain\n1,2,3\n",
         "no column for depth or load: headers are"},
        {"numbers without a header", "1 2 3 4\n5 6 7 8\n9 10 11 12\n", "give --columns"},
        {"empty", "", "empty file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const io::ParsedFile f = io::ParseBuffer(c.text, "odd.txt");
        EXPECT_FALSE(f.status.ok());
        EXPECT_EQ(f.status.message().rfind("odd.txt: ", 0), 0u) << f.status.message();
        EXPECT_NE(f.status.message().find(c.says), std::string::npos) << f.status.message();
    }
}

// A guessed layout or unit and values beyond nanoindentation are never silent.
TEST(Plausibility, GuessesAndValuesOutOfRangeAreWarned) {
    for (const auto& [text, says] :
         {std::pair<std::string, std::string>{"0.1\t5\t0.2\n0.2\t10\t0.4\n0.3\t15\t0.6\n",
                                              "no header: the 3 columns are read as"},
          {"Indentation depth;Normal force\n1;2\n2;3\n", "no unit stated for depth"}}) {
        SCOPED_TRACE(text);
        const io::ParsedFile bare = io::ParseBuffer(text, "bare.txt");
        ASSERT_TRUE(bare.status.ok()) << bare.status.message();
        const auto guessed = CurveWarnings(3, 2, bare.curves[0].warnings);
        ASSERT_FALSE(guessed.empty());
        EXPECT_EQ(guessed[0].code, "guessed-layout");
        EXPECT_NE(guessed[0].text.find(says), std::string::npos) << guessed[0].text;
    }

    EXPECT_TRUE(CurveWarnings(kPlausibleFmaxMilliNewton, kPlausibleHmaxNanometre, {}).empty());
    const auto huge = CurveWarnings(2e4, 2e5, {});
    ASSERT_EQ(huge.size(), 2u);
    EXPECT_EQ(huge[0].code, "implausible");
    EXPECT_NE(huge[0].text.find("above 10 N"), std::string::npos) << huge[0].text;
    EXPECT_NE(huge[1].text.find("above 100"), std::string::npos) << huge[1].text;
    const auto negative = CurveWarnings(1, -5, {});
    ASSERT_EQ(negative.size(), 1u);
    EXPECT_NE(negative[0].text.find("negative"), std::string::npos);
    EXPECT_TRUE(CurveWarnings(NAN, NAN, {}).empty());
}

}  // namespace
}  // namespace marvek
