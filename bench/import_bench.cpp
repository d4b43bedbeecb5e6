// B9: reading each curve file format through the import layer: MB/s of file and points/s of
// curve, in processor time. B9_import reads the file from disk (io::ReadFile, what every command
// does); B9_parse parses the same bytes already in memory (io::ParseBuffer), so the parser's own
// rate shows apart from the file read. The vendor formats use the bundled instrument files; the
// rest use 40000-point curves written here from the synthetic curve of B1.

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "bench_support.h"
#include "core/io/number_format.h"
#include "core/io/parsed_curve.h"
#include "support/curve_generator.h"
#include "support/temp_dir.h"

namespace marvek::bench {
namespace {

const std::filesystem::path kVendor = std::filesystem::path(MARVEK_TEST_DATA) / "vendor";

const testing::TempDir& Scratch() {
    static const testing::TempDir dir;
    return dir;
}

// The 40000-point curve of B1 as the text of one format.
std::string GeneratedText(const std::string& kind) {
    const SyntheticCurve& c = Curve(40000);
    std::string t;
    if (kind == "delimited") t = "Time (s)\tDepth (nm)\tLoad (uN)\n";
    if (kind == "delimited_comma") t = "Time (s);Depth (nm);Load (\xB5N)\r\n";
    if (kind == "save_curves")
        t = "Method :\n Oliver-Pharr\n\nDisplacement(nm), Force(mN), Fit(mN), Extrapolation(mN)\n";
    for (std::size_t i = 0; i < c.depth.size(); ++i) {
        const std::string d = FormatSignificant(c.depth[i], 7);
        const std::string l = FormatSignificant(c.load[i], 7);
        const std::string s = FormatSignificant(c.time[i], 7);
        if (kind == "delimited") {
            t += s + '\t' + d + '\t' + FormatSignificant(c.load[i] * 1000, 7) + '\n';
        } else if (kind == "delimited_comma") {
            std::string row = s + ';' + d + ';' + FormatSignificant(c.load[i] * 1000, 7);
            for (char& ch : row)
                if (ch == '.') ch = ',';
            t += row + "\r\n";
        } else if (kind == "nanotest_txt") {
            t += s + '\t' + d + '\t' + l + '\n';
        } else {  // save_curves
            t += d + ',' + l + '\n';
        }
    }
    return t;
}

std::filesystem::path FileOf(const std::string& source) {
    if (source == "marvek_csv") return CurveFile(40000);
    if (source.find('.') != std::string::npos) return kVendor / source;
    static std::map<std::string, std::filesystem::path> written;
    auto& path = written[source];
    if (path.empty()) path = Scratch().Write(source + ".txt", GeneratedText(source));
    return path;
}

void Rates(benchmark::State& state, std::size_t bytes, std::size_t points) {
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(points));
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["points"] = static_cast<double>(points);
}

std::size_t Points(const io::ParsedFile& f) {
    std::size_t points = 0;
    for (const io::ParsedCurve& c : f.curves) points += c.size();
    return points;
}

// `source`: a bundled vendor file's name, or the name of a generated text.
void ReadFormat(benchmark::State& state, const char* source, const char* format) {
    const std::filesystem::path path = FileOf(source);
    io::ReadOptions options;
    options.format = format;
    std::size_t points = 0;
    for (auto _ : state) {
        const io::ParsedFile f = io::ReadFile(path, options);
        if (!f.status.ok()) state.SkipWithError(f.status.message().c_str());
        points = Points(f);
        benchmark::DoNotOptimize(points);
    }
    Rates(state, std::filesystem::file_size(path), points);
}

void ParseFormat(benchmark::State& state, const char* source, const char* format) {
    const std::filesystem::path path = FileOf(source);
    const std::string text = testing::ReadWholeFile(path);
    const std::string name = path.filename().string();
    io::ReadOptions options;
    options.format = format;
    std::size_t points = 0;
    for (auto _ : state) {
        const io::ParsedFile f = io::ParseBuffer(text, name, options);
        if (!f.status.ok()) state.SkipWithError(f.status.message().c_str());
        points = Points(f);
        benchmark::DoNotOptimize(points);
    }
    Rates(state, text.size(), points);
}

// Every format of the import layer, detected from the content as a user's file would be (the
// NanoTest text is named, its headerless columns look like any numbers-only text).
#define MARVEK_FILE_FORMAT(label, source, format)        \
    BENCHMARK_CAPTURE(ReadFormat, label, source, format) \
        ->Name("B9_import/" #label)                      \
        ->Unit(benchmark::kMillisecond);
#define MARVEK_FORMAT(label, source, format)              \
    MARVEK_FILE_FORMAT(label, source, format)             \
    BENCHMARK_CAPTURE(ParseFormat, label, source, format) \
        ->Name("B9_parse/" #label)                        \
        ->Unit(benchmark::kMillisecond);

MARVEK_FORMAT(marvek_csv, "marvek_csv", "")
MARVEK_FORMAT(save_curves, "save_curves", "")
MARVEK_FORMAT(delimited, "delimited", "")
MARVEK_FORMAT(delimited_comma, "delimited_comma", "")
MARVEK_FORMAT(triboscan_txt, "RobinSteel0000LC.txt", "")
MARVEK_FORMAT(triboscan_hld, "Exp-50mN_0000.hld", "")
MARVEK_FORMAT(fischerscope, "FS1.txt", "")
MARVEK_FORMAT(nanotest_txt, "nanotest_txt", "nanotest-txt")
MARVEK_FORMAT(nanotest_zip, "multipleIndentations.zip", "")
MARVEK_FORMAT(xls, "Popin.xls", "")
MARVEK_FORMAT(xls_fs_xp, "FS_XP.xls", "")
MARVEK_FORMAT(xlsx, "Tungsten_FrameStiffness.xlsx", "")

#undef MARVEK_FORMAT
#undef MARVEK_FILE_FORMAT

}  // namespace
}  // namespace marvek::bench
