// A workbook's tests read one by one through a run's cache: parsed once between all readers,
// parsed again when the file changes on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/analysis/curve_analyzer.h"
#include "core/io/file_cache.h"
#include "core/io/parsed_curve.h"
#include "support/temp_dir.h"
#include "support/xls_writer.h"

namespace marvek {
namespace {

using test::CompoundFile;
using test::XlsSheet;
using test::XlsStream;

// A workbook of `tests` test sheets; test k's loads are k + the point's index, scaled by `scale`.
void WriteWorkbook(const std::filesystem::path& file, int tests, double scale) {
    std::vector<XlsSheet> sheets;
    for (int k = 1; k <= tests; ++k) {
        XlsSheet s("Test 00" + std::to_string(k));
        s.Label(0, 0, "Displacement Into Surface", false)
            .Label(0, 1, "Load On Sample", false)
            .Label(1, 0, "nm", false)
            .Label(1, 1, "mN", false);
        for (std::uint16_t i = 0; i < 6; ++i)
            s.Number(static_cast<std::uint16_t>(i + 2), 0, 10.0 * (i + 1))
                .Number(static_cast<std::uint16_t>(i + 2), 1, scale * (k + i));
        sheets.push_back(s);
    }
    std::ofstream(file, std::ios::binary) << CompoundFile(XlsStream(sheets, {}));
}

TEST(ParsedFileCache, AWorkbookIsParsedOnceForAllItsTestsAndAgainWhenItChanges) {
    const testing::TempDir dir;
    const std::filesystem::path file = dir.path() / "tests.xls";
    WriteWorkbook(file, 3, 1.0);
    io::ParsedFileCache cache;
    const std::vector<std::filesystem::path> addresses = io::ExpandAddresses({file}, {}, &cache);
    ASSERT_EQ(addresses.size(), 3u);
    EXPECT_EQ(cache.Parses(), 1u);

    // Readers on several threads at once, each test many times: still the one parse.
    std::vector<std::thread> readers;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t)
        readers.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round)
                for (std::size_t k = 0; k < addresses.size(); ++k) {
                    io::ParsedCurve c;
                    if (!io::ReadCurve(addresses[k], {}, c, nullptr, nullptr, &cache).ok() ||
                        c.size() != 6 || c.load[0] != static_cast<double>(k + 1))
                        ++wrong[static_cast<std::size_t>(t)];
                }
        });
    for (std::thread& r : readers) r.join();
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
    EXPECT_EQ(cache.Parses(), 1u);

    // Other read options are another reading of the file.
    io::ReadOptions micro;
    micro.loadUnit = "uN";
    io::ParsedCurve c;
    ASSERT_TRUE(io::ReadCurve(addresses[1], micro, c, nullptr, nullptr, &cache).ok());
    EXPECT_DOUBLE_EQ(c.load[0], 0.002);
    EXPECT_EQ(cache.Parses(), 2u);

    // Rewritten on disk (other size): the new values, not the kept ones.
    WriteWorkbook(file, 4, 10.0);
    ASSERT_TRUE(io::ReadCurve(addresses[1], {}, c, nullptr, nullptr, &cache).ok());
    EXPECT_DOUBLE_EQ(c.load[0], 20.0);
    EXPECT_EQ(cache.Parses(), 3u);

    // The analyzer lists and reads through its own cache, or the one it is given.
    CCurveAnalyzer a;
    a.m_fileCache = std::make_shared<io::ParsedFileCache>();
    a.SetFiles({file});
    ASSERT_EQ(a.m_nFileCount, 4);
    for (int k = 0; k < 4; ++k) ASSERT_TRUE(a.ReadCurveFile(a.m_strFiles[k]).ok());
    EXPECT_EQ(a.m_fileCache->Parses(), 1u);
}

// Only a few files are kept: the least recently used one goes first.
TEST(ParsedFileCache, KeepsTheMostRecentlyUsedFiles) {
    const testing::TempDir dir;
    io::ParsedFileCache cache(2);
    std::vector<std::filesystem::path> files;
    for (int i = 0; i < 3; ++i) {
        files.push_back(dir.path() / ("w" + std::to_string(i) + ".xls"));
        WriteWorkbook(files.back(), 2, 1.0);
    }
    for (int i : {0, 1, 0, 2, 0, 1})
        ASSERT_TRUE(cache.Read(files[static_cast<std::size_t>(i)], {})->status.ok());
    // 0, 1 parsed; 0 kept; 2 parsed (drops 1); 0 kept; 1 parsed again.
    EXPECT_EQ(cache.Parses(), 4u);
}

}  // namespace
}  // namespace marvek
