// `marvek-cli report`, run as the built binary on real curves: the HTML read back (settings with
// their sources, one row per curve with analyze's values, a PNG per curve, file names escaped)
// and the PDF (a PDF of several pages).

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "core/config/parameter_file.h"
#include "core/config/settings.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace marvek {
namespace {

using CliRun = marvek::testing::CommandRun;

CliRun RunCli(const std::string& args) {
    return marvek::testing::RunCommand(std::string("'") + MARVEK_CLI + "' " + args + " 2>&1");
}

// Three calibration indents on fused silica, one under a name HTML must escape.
struct Curves {
    testing::TempDir dir;
    std::vector<std::string> names = {"fs_t001.csv", "fs_t002.csv", "a<&>'t003\".csv"};
    std::string args;
    Curves() {
        const char* sources[] = {"agilent_fs_calibration_t001.csv",
                                 "agilent_fs_calibration_t002.csv",
                                 "agilent_fs_calibration_t003.csv"};
        for (std::size_t k = 0; k < names.size(); ++k) {
            const auto file = dir.Write(
                names[k],
                testing::ReadWholeFile(std::string(MARVEK_TEST_DATA) + "/real/" + sources[k]));
            args += " '" + Quoted(file.string()) + "'";
        }
    }
    // A single-quoted shell word holding `text`.
    static std::string Quoted(const std::string& text) {
        std::string out;
        for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return out;
    }
};

std::string Cell(const std::string& html, const std::string& setting, int column) {
    // The settings table's row of `setting`: its cells in order.
    const std::size_t name = html.find(">" + setting + "</td>");
    if (name == std::string::npos) return "(no row)";
    const std::size_t at = html.rfind("<td", name);
    const std::size_t end = html.find("</tr>", at);
    std::regex cell("<td[^>]*>([^<]*)</td>");
    std::string row = html.substr(at, end - at);
    std::vector<std::string> cells;
    for (std::sregex_iterator it(row.begin(), row.end(), cell), stop; it != stop; ++it)
        cells.push_back((*it)[1]);
    return column < static_cast<int>(cells.size()) ? cells[static_cast<std::size_t>(column)]
                                                   : "(no cell)";
}

std::vector<unsigned char> Base64(const std::string& text) {
    std::vector<unsigned char> out;
    int bits = 0, value = 0;
    for (char c : text) {
        int v;
        if (c >= 'A' && c <= 'Z')
            v = c - 'A';
        else if (c >= 'a' && c <= 'z')
            v = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            v = c - '0' + 52;
        else if (c == '+')
            v = 62;
        else if (c == '/')
            v = 63;
        else
            break;  // '=' or the end of the URI
        value = (value << 6) | v;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<unsigned char>((value >> bits) & 0xFF));
        }
    }
    return out;
}

// The embedded pictures: each must be a whole PNG (signature, header, end chunk).
std::vector<std::vector<unsigned char>> Pictures(const std::string& html) {
    std::vector<std::vector<unsigned char>> out;
    const std::string prefix = "src=\"data:image/png;base64,";
    for (std::size_t at = html.find(prefix); at != std::string::npos;
         at = html.find(prefix, at + 1))
        out.push_back(Base64(html.substr(at + prefix.size(),
                                         html.find('"', at + prefix.size()) - at - prefix.size())));
    return out;
}

bool IsWholePng(const std::vector<unsigned char>& b) {
    static const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (b.size() < 8 + 25 + 12 ||
        !std::equal(std::begin(signature), std::end(signature), b.begin()))
        return false;
    const std::string ihdr(b.begin() + 12, b.begin() + 16);
    const std::string iend(b.end() - 8, b.end() - 4);
    const unsigned width = (b[16] << 24) | (b[17] << 16) | (b[18] << 8) | b[19];
    return ihdr == "IHDR" && iend == "IEND" && width >= 400;
}

TEST(ReportCli, HtmlHoldsTheSettingsTheirSourcesAnalyzesRowsAndAPicturePerCurve) {
    Curves curves;
    const std::string flags = " --defaults --poisson 0.25 --op-range 30 80";
    const auto html = curves.dir.path() / "report.html";
    const CliRun run = RunCli("report" + flags + curves.args + " -o '" + html.string() + "'");
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string text = testing::ReadWholeFile(html);
    ASSERT_EQ(text.rfind("<!DOCTYPE html>", 0), 0u);

    // Settings with the value used and where it came from.
    struct Expected {
        const char* setting;
        const char* value;
        const char* source;
    };
    for (const Expected& e :
         {Expected{"sample Poisson ratio", "0.25", "command line"},
          Expected{"fit range Oliver-Pharr [% of load drop]", "30 - 80", "command line"},
          Expected{"epsilon", "0.75", "default"},
          Expected{"indenter modulus [GPa]", "1141", "default"}}) {
        EXPECT_EQ(Cell(text, e.setting, 1), e.value) << e.setting;
        EXPECT_EQ(Cell(text, e.setting, 2), e.source) << e.setting;
    }

    // One row per curve whose full values are analyze's, to the last digit.
    const CliRun analyzed = RunCli("analyze --json" + flags + curves.args);
    ASSERT_EQ(analyzed.status, 0) << analyzed.out;
    std::istringstream lines(analyzed.out);
    std::vector<nlohmann::json> rows;
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] == '{') rows.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(rows.size(), 3u);
    const std::regex row("<tr[^>]*><td[^>]*>([0-9]+)</td><td[^>]*>([^<]*)</td>(.*?)</tr>");
    const std::regex exact("title=\"([^\"]*)\"");
    std::size_t found = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), row), stop; it != stop; ++it) {
        const std::string cells = (*it)[3];
        std::vector<double> values;
        for (std::sregex_iterator v(cells.begin(), cells.end(), exact); v != stop; ++v)
            values.push_back(std::stod((*v)[1]));
        if (values.size() != 6) continue;  // another table
        const std::size_t k = found++;
        ASSERT_LT(k, rows.size());
        EXPECT_NE(
            (*it)[2].str().find(k == 2 ? "a&lt;&amp;&gt;&#39;t003&quot;.csv" : curves.names[k]),
            std::string::npos)
            << (*it)[2];
        const char* keys[] = {"Fmax", "hmax", "S", "r2", "EIT", "HIT"};
        for (std::size_t c = 0; c < 6; ++c)
            EXPECT_EQ(values[c], rows[k][keys[c]].get<double>()) << keys[c] << " of curve " << k;
    }
    EXPECT_EQ(found, 3u);
    EXPECT_EQ(text.find("a<&>"), std::string::npos) << "a file name reached the HTML unescaped";

    // A picture per curve and their overlay, each a whole PNG.
    const auto pictures = Pictures(text);
    ASSERT_EQ(pictures.size(), 4u);
    for (const auto& p : pictures) EXPECT_TRUE(IsWholePng(p));
}

TEST(ReportCli, NamesTheParameterFileAsSourceAndCapsThePlots) {
    Curves curves;
    Settings s;
    s.strategy.m_fEpsilon = 0.72f;
    const auto params = curves.dir.path() / "my.par";
    ASSERT_TRUE(SaveParameters(params, s).ok());
    const auto html = curves.dir.path() / "capped.html";
    const CliRun run = RunCli("report --params '" + params.string() + "' --max-curve-plots 1" +
                              curves.args + " -o '" + html.string() + "'");
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string text = testing::ReadWholeFile(html);
    EXPECT_EQ(Cell(text, "epsilon", 1), "0.72");
    EXPECT_EQ(Cell(text, "epsilon", 2), "parameter file");
    EXPECT_EQ(Cell(text, "indenter modulus [GPa]", 2), "parameter file (the default)");
    EXPECT_NE(text.find(params.string()), std::string::npos);
    EXPECT_EQ(Pictures(text).size(), 1u);
    EXPECT_NE(text.find("2 further curves are not drawn"), std::string::npos);
    EXPECT_NE(run.out.find("drew 1 of 3 curves"), std::string::npos) << run.out;
}

TEST(ReportCli, AWorkbookWithStagePositionsGetsAMapOfItsHardness) {
    testing::TempDir dir;
    const auto html = dir.path() / "grid.html";
    const CliRun run = RunCli("report --defaults '" + std::string(MARVEK_TEST_DATA) +
                              "/vendor/FS_XP.xls' -o '" + html.string() + "'");
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string text = testing::ReadWholeFile(html);
    EXPECT_NE(text.find("Map of the indentation hardness"), std::string::npos);
    EXPECT_NE(text.find("HIT over 9 indents"), std::string::npos);
    // Its continuous-stiffness profiles: hardness and modulus over depth and each average.
    EXPECT_NE(text.find("Depth profiles"), std::string::npos);
    EXPECT_NE(text.find("9 included continuous-stiffness tests"), std::string::npos);
    EXPECT_NE(text.find("Hardness over depth"), std::string::npos);
    const auto pictures = Pictures(text);
    EXPECT_EQ(pictures.size(), 13u);  // nine curves, their overlay, the map and two profiles
    for (const auto& p : pictures) EXPECT_TRUE(IsWholePng(p));
}

TEST(ReportCli, PdfHasSeveralPagesAndBadNamesAreRefused) {
    Curves curves;
    const auto pdf = curves.dir.path() / "report.pdf";
    const CliRun run = RunCli("report --defaults" + curves.args + " -o '" + pdf.string() + "'");
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string bytes = testing::ReadWholeFile(pdf);
    ASSERT_EQ(bytes.rfind("%PDF-", 0), 0u);
    std::size_t pages = 0;
    const std::regex page("/Type\\s*/Page[^s]");
    for (std::sregex_iterator it(bytes.begin(), bytes.end(), page), stop; it != stop; ++it) ++pages;
    EXPECT_GT(pages, 1u);
    EXPECT_NE(bytes.find("%%EOF"), std::string::npos);

    for (const std::string& bad : {std::string("report.docx"), std::string("")}) {
        const CliRun refused =
            RunCli("report --defaults" + curves.args +
                   (bad.empty() ? "" : " -o '" + (curves.dir.path() / bad).string() + "'"));
        EXPECT_EQ(refused.status, 2) << bad << ": " << refused.out;
    }
    const CliRun missing =
        RunCli("report --defaults '" + (curves.dir.path() / "none.csv").string() + "' -o '" +
               (curves.dir.path() / "m.html").string() + "'");
    EXPECT_EQ(missing.status, 1) << missing.out;
    EXPECT_NE(missing.out.find("none.csv"), std::string::npos) << missing.out;
}

}  // namespace
}  // namespace marvek
