// The import layer: instrument files read directly give the points of independent conversions;
// generic text in its many dialects; damaged files fail with one clear message.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "core/analysis/curve_analyzer.h"
#include "core/io/parsed_curve.h"
#include "core/platform/large_blocks.h"
#include "core/platform/module_loader.h"
#include "core/tools/multi_cycle_split.h"
#include "support/curve_generator.h"

namespace marvek {
namespace {

namespace fs = std::filesystem;
const fs::path kVendor = fs::path(MARVEK_TEST_DATA) / "vendor";
const fs::path kReal = fs::path(MARVEK_TEST_DATA) / "real";

std::string Slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

io::ParsedCurve ReadAddress(const fs::path& address, const io::ReadOptions& o = {}) {
    io::ParsedCurve c;
    EXPECT_TRUE(io::ReadCurve(address, o, c).ok());
    return c;
}

struct Golden {
    const char* address;    // inside tests/data/vendor
    const char* converted;  // inside tests/data/real
    const char* format;
    bool segments;  // the conversion carries segment keywords
};

std::ostream& operator<<(std::ostream& os, const Golden& g) { return os << g.address; }

class VendorFiles : public ::testing::TestWithParam<Golden> {};

// Every point as the independent conversion has it (which rounds depth to 1e-6 nm, force to
// 1e-9 mN and time to 1e-6 s).
TEST_P(VendorFiles, GiveThePointsOfTheConvertedCurve) {
    const Golden& g = GetParam();
    const io::ParsedCurve got = ReadAddress(kVendor / g.address);
    std::ifstream in(kReal / g.converted, std::ios::binary);
    io::ParsedCurve want;
    ASSERT_TRUE(io::ParseMarvekCsv(in, want));
    EXPECT_EQ(got.format, g.format);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        ASSERT_NEAR(got.depth[i], want.depth[i], 1e-6 + 1e-12 * std::abs(want.depth[i])) << i;
        ASSERT_NEAR(got.load[i], want.load[i], 1e-9 + 1e-12 * std::abs(want.load[i])) << i;
        ASSERT_NEAR(got.time[i], want.time[i], 1e-6) << i;
        if (g.segments) {
            ASSERT_EQ(got.segment[i], want.segment[i]) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, VendorFiles,
    ::testing::Values(
        Golden{"RobinSteel0000LC.txt", "hysitron_steel_0000.csv", "triboscan-txt", false},
        Golden{"FS1.txt#1", "fischerscope_esp8cycle_fs1_b01.csv", "fischerscope", false},
        Golden{"FS1.txt#2", "fischerscope_esp8cycle_fs1_b02.csv", "fischerscope", false},
        Golden{"Popin.xls#Test 001", "agilent_popin_loadonly_t001.csv", "xls", true},
        Golden{"Tungsten_FrameStiffness.xlsx#Test 1", "kla_tungsten_6cycle_t01.csv", "xlsx", false},
        Golden{"multipleIndentations.zip#300nmXX 1 7024 -4526.txt", "micromaterials_300nm_1.csv",
               "nanotest-zip", false},
        Golden{"multipleIndentations.zip#2000nmXX 1 6959 -4643.txt", "micromaterials_2000nm_1.csv",
               "nanotest-zip", false}),
    [](const ::testing::TestParamInfo<Golden>& p) {
        return std::string(p.param.format).substr(0, 3) + std::to_string(p.index);
    });

// A file of several tests lists each, in file order, by the name the file gives it.
TEST(ImportFiles, ListEveryTestWithItsNameAndMetadata) {
    struct Case {
        const char* file;
        std::size_t tests;
        const char* first;
        const char* last;
    };
    for (const Case& c : {Case{"FS1.txt", 10, "1", "10"},
                          Case{"Tungsten_FrameStiffness.xlsx", 8, "Test 1", "Test 8"},
                          Case{"multipleIndentations.zip", 39, "1000nmXX 1 6958 -4555.txt",
                               "750nmXX 5 7000 -4528.txt"},
                          Case{"RobinSteel0000LC.txt", 1, "", ""}}) {
        const io::ParsedFile f = io::ReadFile(kVendor / c.file);
        ASSERT_TRUE(f.status.ok()) << f.status.message();
        ASSERT_EQ(f.curves.size(), c.tests) << c.file;
        EXPECT_EQ(f.curves.front().test, c.first);
        EXPECT_EQ(f.curves.back().test, c.last);
    }
    const io::ParsedFile xls = io::ReadFile(kVendor / "Popin.xls");
    ASSERT_TRUE(xls.status.ok()) << xls.status.message();
    ASSERT_GT(xls.curves.size(), 1u);
    for (const io::ParsedCurve& c : xls.curves) EXPECT_EQ(c.test.rfind("Test ", 0), 0u);

    // What the files state besides the points.
    const io::ParsedCurve hld = ReadAddress(kVendor / "Exp-50mN_0000.hld");
    EXPECT_EQ(hld.format, "triboscan-hld");
    ASSERT_TRUE(hld.meta.frameCompliance.has_value());
    EXPECT_DOUBLE_EQ(*hld.meta.frameCompliance, 6.63947);  // 0.00663947 nm/uN
    ASSERT_EQ(hld.meta.areaCoefficients.size(), 6u);
    EXPECT_EQ(hld.meta.areaCoefficients[0], 24.5);
    EXPECT_EQ(hld.meta.areaCoefficients[5], -2.66038e+09);
    // The segment table: approach and loading 'L', then unloading from the 50 mN demand.
    EXPECT_EQ(hld.segment.front(), 'L');
    EXPECT_EQ(hld.segment.back(), 'U');
    EXPECT_NEAR(*std::max_element(hld.load.begin(), hld.load.end()), 50, 1);

    const io::ParsedCurve fischer = ReadAddress(kVendor / "FS1.txt#3");
    bool hit = false;
    for (const auto& [key, value] : fischer.meta.values)
        hit = hit || (key == "HIT N/mm²" || key == "HIT N/mm\xB2");
    EXPECT_TRUE(hit);
    ASSERT_TRUE(fischer.meta.positionX.has_value());
    EXPECT_DOUBLE_EQ(*fischer.meta.positionX, 44430);

    const io::ParsedCurve xlsTest = ReadAddress(kVendor / "Popin.xls#Test 001");
    ASSERT_TRUE(xlsTest.meta.poissonRatio.has_value());
    EXPECT_FALSE(xlsTest.meta.values.empty());
}

// Generic delimited text: separators, decimal commas, unit spellings and line ends.
TEST(ImportDelimited, ReadsTheDialectsResearchersWrite) {
    struct Case {
        const char* name;
        std::string text;
        io::ReadOptions options;
        std::vector<double> depth, load, time;
    };
    const std::vector<Case> cases = {
        {"semicolon, decimal comma, units row",
         "Depth;Force;Time\nnm;uN;s\n10,5;500;0,1\n20;1000,5;0,2\n",
         {},
         {10.5, 20},
         {0.5, 1.0005},
         {0.1, 0.2}},
        {"tab, Latin-1 micro, bare CR",
         "Time (s)\tDisp (\xB5m)\tLoad (mN)\r1\t0.5\t2\r2\t1\t3\r",
         {},
         {500, 1000},
         {2, 3},
         {1, 2}},
        {"whitespace, UTF-8 micro and BOM, brackets",
         "\xEF\xBB\xBF"
         "h [\xC2\xB5m]  P [N]\n0.01 0.002\n",
         {},
         {10},
         {2},
         {0}},
        {"mm and nN, ms",
         "displacement (mm),force (nN),t (ms)\r\n0.001,2000000,500\r\n",
         {},
         {1000},
         {2},
         {0.5}},
        {"no header, columns given",
         "1 2 3\n4 5 6\n",
         [] {
             io::ReadOptions o;
             o.depthColumn = 3, o.loadColumn = 1, o.depthUnit = "um";
             return o;
         }(),
         {3000, 6000},
         {1, 4},
         {0, 0}},
        {"rows that are not numbers are skipped",
         "Depth (nm),Load (uN)\n5,1\nnote\n6,2\n",
         {},
         {5, 6},
         {0.001, 0.002},
         {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const io::ParsedFile f = io::ParseBuffer(c.text, "t.txt", c.options);
        ASSERT_TRUE(f.status.ok()) << f.status.message();
        ASSERT_EQ(f.curves.size(), 1u);
        const io::ParsedCurve& got = f.curves[0];
        ASSERT_EQ(got.size(), c.depth.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_DOUBLE_EQ(got.depth[i], c.depth[i]);
            EXPECT_DOUBLE_EQ(got.load[i], c.load[i]);
            EXPECT_DOUBLE_EQ(got.time[i], c.time[i]);
        }
    }
    // Headerless columns given without their units: the units read are a guess, said as one,
    // whichever reader took the file.
    for (const char* text : {"1 2 3\n4 5 6\n", "1,2\n3,4\n"}) {
        io::ReadOptions o;
        o.depthColumn = 2, o.loadColumn = 1, o.depthUnit = "um";
        const io::ParsedFile f = io::ParseBuffer(text, "t.txt", o);
        ASSERT_TRUE(f.status.ok()) << text << f.status.message();
        const auto& w = f.curves.at(0).warnings;
        EXPECT_TRUE(std::any_of(w.begin(), w.end(),
                                [](const io::ReadWarning& r) {
                                    return r.guess && r.text.find("no unit stated for load") !=
                                                          std::string::npos;
                                }))
            << text << f.curves[0].format;
        EXPECT_TRUE(std::none_of(w.begin(), w.end(), [](const io::ReadWarning& r) {
            return r.text.find("for depth") != std::string::npos;
        })) << text;
    }
}

// Marvek's own Save Curves files: the measured curve only, not the fit and extrapolation rows.
TEST(ImportSaveCurves, ReadsBackTheMeasuredCurveOnly) {
    CCurveAnalyzer a;
    ASSERT_TRUE(
        a.ReadCurveFile(fs::path(MARVEK_TEST_DATA) / "save_curves" / "three_series.csv").ok());
    EXPECT_EQ(a.m_strFormat, "marvek-save-curves");
    ASSERT_EQ(a.m_nPoints, 3);
    EXPECT_EQ(a.m_pDepth[2], 1e8);
    EXPECT_EQ(a.m_pLoad[2], 1.234568e-05);
}

// Damaged files of a known format: one message naming the file and what was wrong.
TEST(ImportDamaged, FailWithOneClearMessage) {
    testing::TempDir dir;
    const std::string zip = Slurp(kVendor / "multipleIndentations.zip");
    const std::string xlsx = Slurp(kVendor / "Tungsten_FrameStiffness.xlsx");
    const std::string xls = Slurp(kVendor / "Popin.xls");
    // The first member's declared size raised to 4 GB, in its local and central headers.
    std::string bomb = zip;
    auto setSize = [&bomb](std::size_t at) { bomb.replace(at, 4, "\xF0\xFF\xFF\xFF", 4); };
    setSize(22);
    setSize(bomb.find("PK\x01\x02") + 24);
    const std::string hld = Slurp(kVendor / "Exp-50mN_0000.hld");
    struct Case {
        const char* file;
        std::string content;
        ErrorCode status;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"cut.zip", zip.substr(0, zip.size() / 2), ErrorCode::Damaged, "zip"},
        {"bomb.zip", bomb, ErrorCode::Damaged, "refused unread"},
        {"cut.xlsx", xlsx.substr(0, xlsx.size() - 4000), ErrorCode::Damaged, "xlsx"},
        {"cut.xls", xls.substr(0, 20000), ErrorCode::Damaged, "xls"},
        {"cut.hld", hld.substr(0, hld.size() - 5000), ErrorCode::Damaged,
         "declares 1068 test points"},
        {"units.csv", "Depth (nm),Load (uN)\n5,1\nDepth (um),Load (uN)\n6,2\n", ErrorCode::Damaged,
         "units change at line 3"},
        {"noise.txt", "hello\nworld\n", ErrorCode::UnknownLayout,
         "no header naming depth and load and no rows of numbers"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const fs::path file = dir.Write(c.file, c.content);
        const io::ParsedFile f = io::ReadFile(file);
        EXPECT_EQ(f.status.code(), c.status);
        EXPECT_TRUE(f.curves.empty());
        EXPECT_EQ(f.status.message().rfind(file.string(), 0), 0u) << f.status.message();
        EXPECT_NE(f.status.message().find(c.says), std::string::npos) << f.status.message();
        // The analyzer holds no partial curve and reports the same reason.
        CCurveAnalyzer a;
        const Status read = a.ReadCurveFile(file);
        EXPECT_EQ(read.code(), c.status);
        EXPECT_EQ(read.message(), f.status.message());
        EXPECT_EQ(a.m_nPoints, 0);
    }
}

// Addresses: a workbook in the list becomes its tests; names from files never make paths.
TEST(ImportAddresses, ExpandWorkbooksAndKeepOutputsInTheirFolder) {
    CCurveAnalyzer a;
    const fs::path csv = kReal / "hysitron_steel_0000.csv";
    a.SetFiles({csv, kVendor / "Tungsten_FrameStiffness.xlsx", kVendor / "nothing.csv"});
    ASSERT_EQ(a.m_nFileCount, 10);
    EXPECT_EQ(a.m_strFiles[0], csv);
    EXPECT_EQ(a.m_strFiles[8].filename().string(), "Tungsten_FrameStiffness.xlsx#Test 8");
    ASSERT_TRUE(a.ReadCurveFile(a.m_strFiles[2]).ok());
    EXPECT_EQ(a.m_strFormat, "xlsx");
    const Status missing = a.ReadCurveFile(kVendor / "FS1.txt#99");
    EXPECT_EQ(missing.code(), ErrorCode::Damaged);
    EXPECT_EQ(missing.place().file, (kVendor / "FS1.txt").string());
    EXPECT_NE(missing.message().find("no test \"99\""), std::string::npos);

    testing::TempDir dir;
    const fs::path named = dir.Write("a#b.csv", "Depth (nm),F\n5,1\n");  // an existing name wins
    EXPECT_EQ(io::ParseAddress(named).file, named);

    for (const char* hostile : {"../../etc/passwd", "..\\..\\x", "\x01.hidden", "/abs", "..", ""}) {
        const std::string safe = io::SafeFileNamePart(hostile);
        EXPECT_FALSE(safe.empty());
        EXPECT_EQ(safe.find('/'), std::string::npos);
        EXPECT_EQ(safe.find('\\'), std::string::npos);
        EXPECT_EQ(safe.find(".."), std::string::npos);
        EXPECT_NE(safe.front(), '.');
        for (char ch : safe) EXPECT_GE(static_cast<unsigned char>(ch), 0x20);
        const fs::path out =
            SplitFileName(dir.path() / ("w.xlsx#" + std::string(hostile)), SplitKind::Unload, 1);
        EXPECT_EQ(out.parent_path(), dir.path()) << out;
    }
}

// A missing module is a sentence naming it and where it was looked for, not a crash or a
// silent "unknown format".
TEST(ImportModules, AMissingModuleIsNamed) {
    std::string error;
    EXPECT_EQ(io::LoadModuleTable("marvek_no_such_module", "entry", error), nullptr);
    EXPECT_NE(error.find("marvek_no_such_module.so is not installed (looked for "),
              std::string::npos)
        << error;
}

// A reused block must come back zeroed: analyzers rely on zeros beyond the loaded points.
TEST(LargeBlocks, ComeBackZeroedAndDistinct) {
    const std::size_t bytes = 320000;
    auto* a = static_cast<unsigned char*>(io::AllocateLargeBlock(bytes));
    if (!io::kLargeBlockPoolOn) {
        EXPECT_EQ(a, nullptr);
        return;
    }
    auto* b = static_cast<unsigned char*>(io::AllocateLargeBlock(bytes));
    ASSERT_TRUE(a && b);
    EXPECT_GE(static_cast<std::size_t>(a > b ? a - b : b - a), bytes);
    std::fill(a, a + bytes, 0xAB);
    io::FreeLargeBlock(a, bytes);
    auto* c = static_cast<unsigned char*>(io::AllocateLargeBlock(bytes));
    EXPECT_EQ(std::count(c, c + bytes, 0), static_cast<std::ptrdiff_t>(bytes));
    EXPECT_EQ(io::AllocateLargeBlock(io::kLargeBlockBytes - 1), nullptr);
    io::FreeLargeBlock(b, bytes);
    io::FreeLargeBlock(c, bytes);
}

}  // namespace
}  // namespace marvek
