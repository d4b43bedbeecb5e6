// Projects: what is written reads back the same; moved and changed files are found by size and
// by hash; a file that is not a usable project changes nothing and says why.
#include "core/project/project.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_dir.h"

namespace {

using namespace marvek;
using namespace marvek::project;
using marvek::testing::TempDir;

Project TwoCurves(const TempDir& dir) {
    std::filesystem::create_directories(dir.path() / "data");
    Project p;
    Curve a;
    a.file = dir.Write("data/a.csv", "Depth (nm), Force (mN)\n1, 0.1\n2, 0.2\n");
    a.notes = {true, "tip touched dust", "check"};
    Curve b;
    b.file = dir.Write("data/b.xlsx", "not really a workbook");
    b.test = "Test 002";
    b.notes.note = "comma, \"quotes\" and ünïcode";
    b.notes.fitRange = UnloadFitRange{35.5f, 90};  // dragged on the plot
    p.curves = {a, b};
    p.settings.m_fPoisson = 0.25f;
    p.settings.strategy.m_nMethod = 1;
    p.settings.strategy.m_fDNMinPercent = 70;
    p.settings.compliance.m_fCompliance = 0.125f;
    p.settings.areaFunction.m_dApCoef = {24.5, 812.25, 0, 0, 0, 0, 0, 0, 1e-9};
    p.settings.quality.m_dOutlierMads = 2.5;
    p.currentCurve = 1;
    p.views = {{"curve", Range{10, 200, 0, 5}}, {"table", std::nullopt}};
    return p;
}

TEST(Project, WhatIsWrittenReadsBackTheSameWithPathsBesideTheProjectRelative) {
    TempDir dir;
    const Project p = TwoCurves(dir);
    const auto file = dir.path() / "work.marvek";
    ASSERT_TRUE(WriteProject(p, file).ok());
    std::ifstream in(file);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("\"file\": \"data/a.csv\""), std::string::npos) << text;
    EXPECT_EQ(text.find(dir.path().string()), std::string::npos) << "no absolute path: " << text;

    Project back;
    ASSERT_TRUE(ReadProject(file, back).ok());
    ASSERT_EQ(back.curves.size(), 2u);
    for (std::size_t k = 0; k < 2; ++k) {
        EXPECT_EQ(back.curves[k].file, p.curves[k].file.lexically_normal());
        EXPECT_EQ(back.curves[k].test, p.curves[k].test);
        EXPECT_EQ(back.curves[k].notes, p.curves[k].notes);
        ASSERT_TRUE(back.curves[k].size.has_value());
        EXPECT_EQ(back.curves[k].sha256.size(), 64u);
    }
    EXPECT_EQ(*back.curves[0].size, std::filesystem::file_size(p.curves[0].file));
    // Only a curve with a range of its own carries one: files written before ranges existed
    // read as they always did.
    EXPECT_FALSE(back.curves[0].notes.fitRange.has_value());
    EXPECT_EQ(text.find("fitRange"), text.rfind("fitRange")) << text;
    EXPECT_EQ(back.curves[1].Address(), p.curves[1].file.string() + "#Test 002");
    EXPECT_TRUE(SameSettings(back.settings, p.settings));
    EXPECT_EQ(back.currentCurve, 1);
    ASSERT_EQ(back.views.size(), 2u);
    EXPECT_EQ(back.views[0].name, "curve");
    ASSERT_TRUE(back.views[0].range.has_value());
    EXPECT_EQ(*back.views[0].range, (Range{10, 200, 0, 5}));
    EXPECT_FALSE(back.views[1].range.has_value());
    EXPECT_TRUE(CheckFiles(back).empty()) << DescribeFileChecks(back, CheckFiles(back));

    // Moved together with its data, the project still finds it.
    TempDir other;
    std::filesystem::create_directories(other.path() / "data");
    for (const char* name : {"data/a.csv", "data/b.xlsx", "work.marvek"})
        std::filesystem::copy_file(dir.path() / name, other.path() / name);
    Project moved;
    ASSERT_TRUE(ReadProject(other.path() / "work.marvek", moved).ok());
    EXPECT_EQ(moved.curves[0].file, (other.path() / "data/a.csv").lexically_normal());
    EXPECT_TRUE(CheckFiles(moved).empty());
}

TEST(Project, FilesThatMovedOrChangedAreNamedWithWhatChanged) {
    TempDir dir;
    const Project p = TwoCurves(dir);
    const auto file = dir.path() / "work.marvek";
    ASSERT_TRUE(WriteProject(p, file).ok());
    struct Case {
        const char* name;
        std::function<void()> change;
        FileCheck::State state;
        const char* detail;
    } cases[] = {
        {"same size, other content",
         [&] { std::ofstream(p.curves[0].file) << "Depth (nm), Force (mN)\n1, 0.1\n2, 0.3\n"; },
         FileCheck::State::Changed, "content changed"},
        {"longer", [&] { std::ofstream(p.curves[0].file, std::ios::app) << "3, 0.3\n"; },
         FileCheck::State::Changed, "bytes, was"},
        {"gone", [&] { std::filesystem::remove(p.curves[0].file); }, FileCheck::State::Missing,
         "not found"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.change();
        Project back;
        ASSERT_TRUE(ReadProject(file, back).ok());
        const auto checks = CheckFiles(back);
        ASSERT_EQ(checks.size(), 1u);
        EXPECT_EQ(checks[0].curve, 0u);
        EXPECT_EQ(checks[0].state, c.state);
        EXPECT_NE(checks[0].detail.find(c.detail), std::string::npos) << checks[0].detail;
        const std::string text = DescribeFileChecks(back, checks);
        EXPECT_NE(text.find("a.csv"), std::string::npos) << text;
    }
}

TEST(Project, UnusableFilesChangeNothingAndSayWhy) {
    TempDir dir;
    Project good = TwoCurves(dir);
    const std::string valid = FormatProject(good, dir.path() / "p.marvek");
    auto with = [&](const std::string& from, const std::string& to) {
        std::string t = valid;
        const auto at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? t : t.replace(at, from.size(), to);
    };
    struct Case {
        const char* name;
        std::string text;
        const char* reason;
    } cases[] = {
        {"not JSON", "Depth (nm), Force (mN)\n", "not a project file"},
        {"other JSON", "{\"curves\": []}", "not a project file"},
        {"newer", with("\"version\": 1", "\"version\": 7"), "newer"},
        {"Poisson ratio the cli refuses", with("\"poisson\": 0.25", "\"poisson\": 0.7"),
         "sample Poisson ratio"},
        {"indenter Poisson ratio", with("\"indenterPoisson\": 0.07", "\"indenterPoisson\": -2"),
         "indenter Poisson ratio"},
        {"negative compliance", with("\"frameCompliance\": 0.125", "\"frameCompliance\": -3"),
         "frame compliance"},
        {"text for a number", with("\"epsilon\": 0.75", "\"epsilon\": \"high\""), "epsilon"},
        {"curve without file", with("\"file\": \"data/a.csv\"", "\"file\": \"\""), "curve 1"},
        {"note not text", with("\"note\": \"tip touched dust\"", "\"note\": 3"), "curve 1"},
        {"fit range upside down", with("\"minPercent\": 35.5", "\"minPercent\": 95.5"),
         "curve 2: fitRange: The Doerner-Nix force range 95.5-90"},
        {"fit range not a number", with("\"minPercent\": 35.5", "\"minPercent\": \"low\""),
         "curve 2: fitRange needs"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Project out = good;
        const Status s = ParseProject(c.text, dir.path() / "p.marvek", out);
        ASSERT_FALSE(s.ok());
        EXPECT_NE(s.message().find("p.marvek"), std::string::npos) << s.message();
        EXPECT_NE(s.message().find(c.reason), std::string::npos) << s.message();
        EXPECT_EQ(out.curves.size(), 2u);
        EXPECT_FLOAT_EQ(out.settings.m_fPoisson, 0.25f);
    }
}

TEST(Project, FingerprintIsTheSha256OfTheBytes) {
    TempDir dir;
    struct Case {
        std::string content;
        const char* sha256;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {std::string(200000, 'a'),
         "2287d207f24a941ff3b56c04c8a25ad56b63e3023207b3bb5b4ac0c9869d74be"},
    };
    for (const Case& c : cases) {
        const auto file = dir.Write("f.bin", c.content);
        std::uintmax_t size = 0;
        std::string hash;
        ASSERT_TRUE(Fingerprint(file, size, hash).ok());
        EXPECT_EQ(size, c.content.size());
        EXPECT_EQ(hash, c.sha256);
    }
    std::uintmax_t size = 0;
    std::string hash;
    EXPECT_FALSE(Fingerprint(dir.path() / "none", size, hash).ok());
}

}  // namespace
