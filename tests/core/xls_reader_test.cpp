// The .xls reader on workbooks written record by record here, and on damaged copies of a real
// instrument workbook.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/io/parsed_curve.h"
#include "core/io/xls_workbook.h"
#include "support/temp_dir.h"
#include "support/xls_writer.h"

namespace marvek {
namespace {

using io::workbook::Cell;
using io::workbook::OtherSheet;
using io::workbook::Sheet;
using test::CompoundFile;
using test::RkDouble;
using test::RkInteger;
using test::SharedText;
using test::XlsSheet;
using test::XlsStream;

const std::filesystem::path kVendor = std::filesystem::path(MARVEK_TEST_DATA) / "vendor";

std::string Slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Read {
    bool ok = false;
    std::string error;
    std::vector<Sheet> sheets;
    std::vector<OtherSheet> others;
};

Read ReadXls(const std::string& file) {
    Read r;
    r.ok = io::workbook::ReadXlsWorkbook(file, r.sheets, r.others, r.error);
    return r;
}

const Cell& At(const Sheet& s, std::size_t r, std::size_t c) {
    static const Cell none{false, -999, "<no cell>"};
    const Cell* x = s.at(r, c);
    return x ? *x : none;
}

// RK numbers in every form, one per cell and in a MULRK run, against the value meant.
TEST(XlsReader, RkAndMulRkNumbersDecode) {
    struct Case {
        std::uint32_t rk;
        double value;
    };
    const std::vector<Case> cases = {
        {RkInteger(1234, false), 1234.0},
        {RkInteger(-7, false), -7.0},
        {RkInteger(1234, true), 12.34},
        {RkInteger(-536870912, false), -536870912.0},  // the smallest 30-bit integer
        {RkDouble(0.5, false), 0.5},
        {RkDouble(-std::ldexp(1.75, 40), false), -std::ldexp(1.75, 40)},
        {RkDouble(3.25, true), 0.0325},
        {RkDouble(std::ldexp(1.0, -900), false), std::ldexp(1.0, -900)},
    };
    XlsSheet sheet("Numbers");
    std::vector<std::uint32_t> run;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        sheet.Rk(static_cast<std::uint16_t>(i), 0, cases[i].rk);
        run.push_back(cases[i].rk);
    }
    sheet.MulRk(0, 3, run);
    const Read r = ReadXls(CompoundFile(XlsStream({sheet}, {})));
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.sheets.size(), 1u);
    const Sheet& s = r.sheets[0];
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(At(s, i, 0).number);
        EXPECT_EQ(At(s, i, 0).value, cases[i].value);
        EXPECT_TRUE(At(s, 0, 3 + i).number);
        EXPECT_EQ(At(s, 0, 3 + i).value, cases[i].value);
    }
    EXPECT_FALSE(At(s, 0, 1).number);  // a gap between the cells and the run stays empty
    EXPECT_TRUE(At(s, 0, 1).text.empty());
    EXPECT_EQ(s.rows.size(), cases.size());
}

// Every cell record the instruments write, read into numbers and texts.
TEST(XlsReader, CellRecordsReadAsNumbersAndTexts) {
    XlsSheet sheet("Test 001");
    sheet.Dimensions(3, 4)
        .Label(0, 0, "Depth", false)
        .Label(0, 1, "Load \xB5N", true)  // Latin-1 micro sign, stored as UTF-16
        .LabelSst(0, 2, 1)
        .Number(1, 0, 123.456789012345)
        .Formula(1, 1, -2.5e-7)
        .FormulaText(1, 2, "cached text")
        .Bool(1, 3, true)
        .Number(2, 0, std::nextafter(1.0, 2.0));
    const Read r = ReadXls(CompoundFile(XlsStream({sheet}, {{"zero"}, {"Time"}})));
    ASSERT_TRUE(r.ok) << r.error;
    const Sheet& s = r.sheets[0];
    EXPECT_EQ(s.name, "Test 001");
    EXPECT_EQ(At(s, 0, 0).text, "Depth");
    EXPECT_EQ(At(s, 0, 1).text, "Load \xC2\xB5N");  // as UTF-8
    EXPECT_EQ(At(s, 0, 2).text, "Time");
    EXPECT_EQ(At(s, 1, 0).value, 123.456789012345);
    EXPECT_EQ(At(s, 1, 1).value, -2.5e-7);
    EXPECT_FALSE(At(s, 1, 2).number);
    EXPECT_EQ(At(s, 1, 2).text, "cached text");
    EXPECT_TRUE(At(s, 1, 3).number);
    EXPECT_EQ(At(s, 1, 3).value, 1.0);
    EXPECT_EQ(At(s, 2, 0).value, std::nextafter(1.0, 2.0));  // every bit of a NUMBER kept
    EXPECT_EQ(s.rows.size(), 3u);
    EXPECT_EQ(s.rows[2].size(), 4u);  // the grid is as wide as DIMENSIONS says
}

// Shared strings cut by CONTINUE records at every place, switching between one and two bytes a
// character at the cut, with formatting runs that themselves cross records.
TEST(XlsReader, SharedStringsSplitOverContinueRecords) {
    std::vector<SharedText> sst;
    for (int i = 0; i < 40; ++i) {
        SharedText t;
        t.text = "string " + std::to_string(i) + " " +
                 std::string(static_cast<std::size_t>(i * 7), static_cast<char>('a' + i % 26)) +
                 "\xE9";
        t.wide = i % 3 == 0;
        t.wideAfterSplit = i % 2 == 0;
        t.runs = i % 5 == 0 ? 3 : 0;
        sst.push_back(t);
    }
    XlsSheet sheet("Strings");
    for (std::size_t i = 0; i < sst.size(); ++i)
        sheet.LabelSst(static_cast<std::uint16_t>(i), 0, static_cast<std::uint32_t>(i));
    for (std::size_t limit : {23u, 64u, 101u, 257u, 8224u}) {
        SCOPED_TRACE(limit);
        const Read r = ReadXls(CompoundFile(XlsStream({sheet}, sst, limit)));
        ASSERT_TRUE(r.ok) << r.error;
        for (std::size_t i = 0; i < sst.size(); ++i) {
            std::string utf8 = sst[i].text;
            utf8.replace(utf8.size() - 1, 1, "\xC3\xA9");
            EXPECT_EQ(At(r.sheets[0], i, 0).text, utf8) << "string " << i;
        }
    }
}

// A chart embedded in a sheet holds records that look like cells; they are not the sheet's. A
// chart sheet is listed apart.
TEST(XlsReader, EmbeddedChartsAreSkippedAndChartSheetsListed) {
    XlsSheet data("Test 001");
    data.Number(0, 0, 1.0).EmbeddedChart(0, 0, 99.0).Number(1, 0, 2.0);
    XlsSheet chart("Chart1", 2);
    chart.Number(0, 0, 5.0);
    XlsSheet after("Test 002");
    after.Number(0, 0, 3.0);
    const Read r = ReadXls(CompoundFile(XlsStream({data, chart, after}, {})));
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.sheets.size(), 2u);
    EXPECT_EQ(At(r.sheets[0], 0, 0).value, 1.0);
    EXPECT_EQ(At(r.sheets[0], 1, 0).value, 2.0);  // read on after the chart's end
    EXPECT_EQ(r.sheets[0].rows.size(), 2u);       // the chart's DIMENSIONS did not widen it
    EXPECT_EQ(r.sheets[1].name, "Test 002");
    EXPECT_EQ(At(r.sheets[1], 0, 0).value, 3.0);
    ASSERT_EQ(r.others.size(), 1u);
    EXPECT_EQ(r.others[0].name, "Chart1");
    EXPECT_EQ(r.others[0].kind, "a chart sheet");
}

// The same workbook from the mini stream, from regular sectors in order, and from sectors laid
// out backwards reads the same.
TEST(XlsReader, StreamsReadTheSameFromMiniAndRegularSectors) {
    XlsSheet small("Test 001");
    small.Number(0, 0, 42.0).Label(0, 1, "mini", false);
    XlsSheet large("Test 001");
    large.Number(0, 0, 42.0).Label(0, 1, "mini", false);
    for (std::uint16_t r = 1; r < 400; ++r) large.Number(r, 0, r * 0.25);
    struct Case {
        std::string file;
        std::size_t rows;
    };
    const std::string smallStream = XlsStream({small}, {});
    const std::string largeStream = XlsStream({large}, {});
    ASSERT_LT(smallStream.size(), 4096u);
    ASSERT_GE(largeStream.size(), 4096u);
    for (const Case& c :
         {Case{CompoundFile(smallStream), 1}, Case{CompoundFile(smallStream, "Workbook", true), 1},
          Case{CompoundFile(largeStream), 400},
          Case{CompoundFile(largeStream, "Workbook", true), 400}}) {
        const Read r = ReadXls(c.file);
        ASSERT_TRUE(r.ok) << r.error;
        const Sheet& s = r.sheets.at(0);
        EXPECT_EQ(s.rows.size(), c.rows);
        EXPECT_EQ(At(s, 0, 0).value, 42.0);
        EXPECT_EQ(At(s, 0, 1).text, "mini");
        if (c.rows == 400) {
            EXPECT_EQ(At(s, 399, 0).value, 399 * 0.25);
        }
    }
}

void Put32(std::string& f, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Damaged containers and records: each refused with its reason, none read past its bounds.
TEST(XlsReader, DamagedWorkbooksAreRefusedWithTheReason) {
    XlsSheet sheet("Test 001");
    for (std::uint16_t r = 0; r < 400; ++r) sheet.Number(r, 0, r);
    const std::string stream = XlsStream({sheet}, {{"a"}});
    const std::string good = CompoundFile(stream);
    ASSERT_TRUE(ReadXls(good).ok);
    const std::size_t fatAt = good.size() - 512;  // the writer's FAT is its last sector
    struct Case {
        const char* what;
        std::string file;
        const char* reason;
    };
    std::vector<Case> cases;
    std::string loop = good;
    Put32(loop, fatAt, 0);  // the stream's first sector points to itself
    cases.push_back({"chain loop", loop, "loops"});
    std::string outside = good;
    Put32(outside, fatAt, 0x00FFFFFF);
    cases.push_back({"chain outside", outside, "outside the file"});
    std::string huge = good;
    Put32(huge, 0x2C, 0x7FFFFFFF);  // FAT sector count
    cases.push_back({"FAT count", huge, "allocation table sectors"});
    cases.push_back({"truncated", good.substr(0, good.size() / 2), ""});
    cases.push_back({"no header", "not a workbook at all", "no OLE2 header"});
    cases.push_back(
        {"no workbook stream", CompoundFile(stream, "Other"), "no \"Workbook\" stream"});
    std::string cut = stream;
    cut.resize(cut.size() - 10);
    cases.push_back({"record past the end", CompoundFile(cut), "runs past its end"});
    XlsSheet badIndex("Test 001");
    badIndex.LabelSst(0, 0, 5);
    cases.push_back(
        {"string index", CompoundFile(XlsStream({badIndex}, {{"a"}})), "shared string 6 of 1"});
    XlsSheet wide("Test 001");
    wide.Dimensions(65536, 256);
    cases.push_back({"forged dimensions", CompoundFile(XlsStream({wide}, {})),
                     "more than a curve sheet holds"});
    XlsSheet badRun("Test 001");
    badRun.Raw(test::BiffRecord(
        0x00BD, test::Le16(0) + test::Le16(0) + test::Le16(15) + test::Le32(2) + test::Le16(7)));
    cases.push_back({"MULRK end column", CompoundFile(XlsStream({badRun}, {})), "MULRK"});
    std::string old = stream;
    old[4] = 0x00, old[5] = 0x05;  // BIFF5
    cases.push_back({"old version", CompoundFile(old), "older than Excel 97"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Read r = ReadXls(c.file);
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.error.empty());
        EXPECT_NE(r.error.find(c.reason), std::string::npos) << r.error;
    }
}

// One-byte changes of a real instrument workbook: each either reads or is refused naming the
// file and the reason (under the sanitizers: without an invalid read or a leak).
TEST(XlsReader, OneByteChangesOfARealWorkbookFailCleanly) {
    const std::string popin = Slurp(kVendor / "Popin.xls");
    ASSERT_GT(popin.size(), 518210u);
    ASSERT_EQ(popin[25542], 0x03);
    ASSERT_EQ(popin[153773], 0x00);
    struct Case {
        const char* what;
        std::string bytes;
        bool reads;
        const char* reason;
    };
    std::string numberToDimensions = popin, changed = popin;
    numberToDimensions[25542] = 0x00;
    changed[153773] = 0x01;
    const std::string inserted = popin.substr(0, 518210) + "\x2d" + popin.substr(518210);
    const std::vector<Case> cases = {
        {"NUMBER made DIMENSIONS", numberToDimensions, false, "cells, more than a curve sheet"},
        {"byte 153773", changed, true, ""},
        {"byte inserted", inserted, false, "outside the file"},
    };
    const testing::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::filesystem::path file = dir.path() / "damaged.xls";
        std::ofstream(file, std::ios::binary) << c.bytes;
        const io::ParsedFile f = io::ReadFile(file);
        if (c.reads) {
            EXPECT_TRUE(f.status.ok()) << f.status.message();
            EXPECT_EQ(f.curves.size(), 12u);
        } else {
            EXPECT_EQ(f.status.code(), ErrorCode::Damaged);
            EXPECT_TRUE(f.curves.empty());
            EXPECT_EQ(f.status.message().rfind(file.string() + ": xls: ", 0), 0u)
                << f.status.message();
            EXPECT_NE(f.status.message().find(c.reason), std::string::npos) << f.status.message();
        }
    }
}

// Sheets are tests by their columns, not their names; the others are listed with the reason.
TEST(XlsReader, SheetsHoldingDepthAndLoadAreTestsWhateverTheirName) {
    XlsSheet g200("Test 001");  // names, then units, then the points
    g200.Label(0, 0, "Displacement Into Surface", false)
        .Label(0, 1, "Load On Sample", false)
        .Label(1, 0, "nm", false)
        .Label(1, 1, "mN", false);
    XlsSheet feuil("Feuil1");  // units in the names, the points right after
    feuil.Label(0, 0, "Depth (um)", false).Label(0, 1, "Load (uN)", false);
    XlsSheet results("Results");
    results.Label(0, 0, "Test", false).Label(0, 1, "Modulus", false).Number(1, 0, 1);
    XlsSheet onlyDepth("Feuil2");
    onlyDepth.Label(0, 0, "Depth (nm)", false).Number(1, 0, 3);
    for (std::uint16_t i = 0; i < 5; ++i) {
        g200.Number(static_cast<std::uint16_t>(i + 2), 0, 10.0 * (i + 1))
            .Number(static_cast<std::uint16_t>(i + 2), 1, 0.5 * (i + 1));
        feuil.Number(static_cast<std::uint16_t>(i + 1), 0, 0.01 * (i + 1))
            .Number(static_cast<std::uint16_t>(i + 1), 1, 500.0 * (i + 1));
    }
    const std::vector<XlsSheet> sheets = {
        results, g200, XlsSheet("Chart1", 2), feuil, XlsSheet("Sheet1"), onlyDepth};
    const io::ParsedFile f = io::ParseBuffer(CompoundFile(XlsStream(sheets, {})), "user.xls");
    ASSERT_TRUE(f.status.ok()) << f.status.message();
    ASSERT_EQ(f.curves.size(), 2u);
    EXPECT_EQ(f.curves[0].test, "Test 001");
    EXPECT_EQ(f.curves[1].test, "Feuil1");
    for (const io::ParsedCurve& c : f.curves) {
        SCOPED_TRACE(c.test);
        ASSERT_EQ(c.size(), 5u);  // no point of either layout lost
        EXPECT_DOUBLE_EQ(c.depth[0], 10.0);
        EXPECT_DOUBLE_EQ(c.load[4], 2.5);
    }
    const std::vector<std::pair<std::string, std::string>> skipped = {
        {"Results", "sheet 'Results' holds no curve: no depth and no load column in its first row"},
        {"Chart1", "sheet 'Chart1' holds no curve: it is a chart sheet"},
        {"Sheet1", "sheet 'Sheet1' holds no curve: it is empty"},
        {"Feuil2", "sheet 'Feuil2' holds no curve: no load column in its first row"}};
    ASSERT_EQ(f.skipped.size(), skipped.size());
    for (const auto& [name, reason] : skipped) {
        const auto it = std::find_if(f.skipped.begin(), f.skipped.end(),
                                     [&](const io::SkippedPart& p) { return p.name == name; });
        ASSERT_NE(it, f.skipped.end()) << name;
        EXPECT_EQ(it->reason, reason);
    }

    // Without any curve the whole workbook is refused, naming each sheet's reason.
    const io::ParsedFile none =
        io::ParseBuffer(CompoundFile(XlsStream({results, XlsSheet("Chart1", 2)}, {})), "none.xls");
    EXPECT_EQ(none.status.code(), ErrorCode::Damaged);
    EXPECT_NE(none.status.message().find("none.xls: xls: no sheet of the workbook holds a curve"),
              std::string::npos)
        << none.status.message();
    EXPECT_NE(none.status.message().find("sheet 'Chart1' holds no curve: it is a chart sheet"),
              std::string::npos)
        << none.status.message();
}

}  // namespace
}  // namespace marvek
