#include "analyze_command.h"

#include <tbb/global_control.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iostream>
#include <limits>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

#include "analysis_options.h"
#include "analysis_row.h"
#include "core/analysis/curve_analysis.h"
#include "core/analysis/parallel_map.h"
#include "core/analysis/power_law_search.h"
#include "core/analysis/results_text.h"
#include "core/base/quantity_labels.h"
#include "core/io/csv_field.h"
#include "core/io/file_cache.h"
#include "core/io/number_format.h"
#include "core/profiles/depth_profile.h"
#include "core/project/project.h"
#include "iso_columns.h"
#include "series_output.h"
#include "shard.h"

namespace marvek::cli {

namespace {

struct AnalyzeOptions {
    AnalysisOptions analysis;
    std::vector<std::string> files;
    std::string filesFrom;
    bool json = false;
    bool text = false;
    bool useFileSettings = false;
    io::ReadOptions read;
    int threads = 0;
    std::string project;      // --project: curves, notes and settings of a saved project
    std::string saveProject;  // --save-project: the run as a project
    IsoOptions iso;
    SeriesCliOptions series;
    ShardSelection shard;
};

using FileResult = AnalysisRow;

std::string OneLine(std::string text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += c;
        }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// The line of the text output that says which settings the file gave.
std::string FileSettingsNote(const FileResult& r) {
    if (r.fromFile.empty()) return "";
    std::string note = "(from the file: ";
    for (std::size_t k = 0; k < r.fromFile.size(); ++k) note += (k ? ", " : "") + r.fromFile[k];
    note += ")\n";
    for (const std::string& w : r.fromFileWarnings) note += "(warning: " + w + ")\n";
    return note;
}

std::string CsvNumber(double v) {
    if (std::isnan(v)) return "nan";
    if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
    return FormatShortest(v);
}

void PrintCsvHeader(std::ostream& out, const IsoOptions& iso, bool series) {
    out << "file,test,format,ok,error,method";
    for (const RowColumn& c : RowColumns()) out << ',' << CsvField(c.csv);
    PrintIsoCsvHeader(out, iso);
    out << (series ? ",included,flags\n" : "\n");
}

void PrintCsvRow(std::ostream& out, const FileResult& r, const char* method, const IsoOptions& iso,
                 bool series) {
    out << CsvField(r.file) << ',' << CsvField(r.test) << ',' << CsvField(r.format) << ','
        << (r.ok ? "true" : "false") << ',' << CsvField(OneLine(r.error)) << ',' << method;
    for (const RowColumn& c : RowColumns())
        out << ','
            << (r.ok && !(c.emptyWhenAbsent && std::isnan(c.value(r))) ? CsvNumber(c.value(r))
                                                                       : std::string());
    PrintIsoCsvFields(out, r.iso, r.ok, iso);
    out << (series ? SeriesCsvFields(r.curve) : std::string()) << '\n';
}

void PrintJson(std::ostream& out, const FileResult& r, const char* method, bool useFileSettings,
               const IsoOptions& iso) {
    nlohmann::ordered_json j;
    j["file"] = r.file;
    j["test"] = r.test.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(r.test);
    j["format"] = r.format.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(r.format);
    j["ok"] = r.ok;
    j["error"] = r.ok ? nlohmann::ordered_json() : nlohmann::ordered_json(r.error);
    j["method"] = method;
    for (const RowColumn& c : RowColumns()) {
        const double v = c.value(r);
        if (!r.ok || !std::isfinite(v))
            j[c.json] = nullptr;
        else if (std::string_view(c.json) == "nPoints" ||
                 std::string_view(c.json) == "nFitPoints" || std::string_view(c.json) == "csmN")
            j[c.json] = static_cast<int>(v);
        else
            j[c.json] = v;
    }
    AddIsoJson(j, r.iso, r.ok, iso);
    AddSeriesJson(j, r.curve);
    j["resultsText"] = r.ok ? nlohmann::ordered_json(r.resultsText) : nlohmann::ordered_json();
    if (useFileSettings) {
        j["settingsFromFile"] = r.fromFile;
        j["settingsWarnings"] = r.fromFileWarnings;
    }
    out << j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

// Judges the whole run as one series, prints the held rows with their flags, then the summary,
// and writes the workbook. False when the workbook could not be written.
template <class Emit>
bool FinishSeries(const AnalyzeOptions& o, const Settings& settings, std::vector<FileResult>& held,
                  const char* method, Emit emit) {
    Series s;
    s.settings = settings;
    s.excludeCodes = o.series.codes;
    for (const FileResult& r : held) s.curves.push_back(r.curve);
    RefreshSeries(s);
    for (std::size_t k = 0; k < held.size(); ++k) {
        held[k].curve = s.curves[k];
        emit(held[k]);
    }
    if (o.series.summary && o.json) PrintSummaryJson(std::cout, s);
    if (o.series.summary && !o.json && !o.text) {
        std::vector<std::string> columns;
        for (const RowColumn& c : RowColumns()) columns.push_back(c.json);
        std::ostringstream isoHeader;
        PrintIsoCsvHeader(isoHeader, o.iso);
        const std::string h = isoHeader.str();
        PrintSummaryCsv(std::cout, s, columns, method,
                        static_cast<std::size_t>(std::count(h.begin(), h.end(), ',')));
    }
    if (o.series.summary && o.text) std::cout << "== summary\n" << FormatSummaryTsv(s);
    std::cout.flush();
    if (o.series.xlsx.empty()) return true;
    const Status written = WriteSeriesWorkbook(s, o.series.xlsx);
    if (written.ok()) return true;
    std::cerr << "marvek-cli analyze: " << written.message() << '\n';
    return false;
}

int Run(AnalyzeOptions& o) {
    // The user's notes on the curves, by address: from --project, applied to the series and
    // carried into --save-project.
    std::map<std::string, project::CurveNotes> notes;
    if (!o.project.empty()) {
        project::Project p;
        if (const Status read = project::ReadProject(o.project, p); !read.ok()) {
            std::cerr << "marvek-cli analyze: --project: " << read.message() << '\n';
            return 2;
        }
        std::vector<std::string> files;
        for (const project::Curve& c : p.curves) {
            files.push_back(c.Address());
            if (!c.notes.Empty()) notes[c.Address()] = c.notes;
        }
        files.insert(files.end(), o.files.begin(), o.files.end());
        o.files = std::move(files);
        o.analysis.base = p.settings;
        const std::string changes = project::DescribeFileChecks(p, project::CheckFiles(p));
        if (!changes.empty()) std::cerr << "marvek-cli analyze: " << o.project << ": " << changes;
    }
    if (!o.filesFrom.empty() && !ReadFileList(o.filesFrom, o.files)) {
        std::cerr << "marvek-cli analyze: --files-from: cannot read " << o.filesFrom << '\n';
        return 2;
    }
    if (o.files.empty()) {
        std::cerr << "marvek-cli analyze: no curve files given\n";
        return 2;
    }
    if (std::string e; !SelectShard(o.shard, o.files, e)) {
        std::cerr << "marvek-cli analyze: " << e << '\n';
        return 2;
    }
    const std::optional<Settings> resolved =
        ResolveSettingsOrReport(o.analysis, "marvek-cli analyze");
    if (!resolved) return 2;
    Settings settings = *resolved;
    if (const Status read = ResolveReadOptions(o.analysis, o.read); !read.ok()) {
        std::cerr << "marvek-cli analyze: " << read.message() << '\n';
        return 2;
    }
    // A workbook read to list its tests stays parsed for the workers that analyse them.
    const auto fileCache = std::make_shared<io::ParsedFileCache>();
    {
        // A file of several tests (a workbook) gives one result per test, in file order.
        const std::vector<std::filesystem::path> addresses =
            io::ExpandAddresses(std::vector<std::filesystem::path>(o.files.begin(), o.files.end()),
                                o.read, fileCache.get());
        o.files.assign(addresses.begin(), addresses.end());
    }
    std::string error;
    if (!ResolveSeriesOptions(o.series, settings, error) ||
        !BeginShardOutput(o.shard, o.json, o.text, o.series, settings, std::cout, error)) {
        std::cerr << "marvek-cli analyze: " << error << '\n';
        return 2;
    }
    const bool series = o.series.Active();
    std::vector<FileResult> held;  // a series prints its rows once every curve is judged
    const StrategySettings& st = settings.strategy;
    const char* method = MethodKey(st.method());
    // One curve starts no thread pool: its start-up costs more than the search would gain.
    const bool one = o.files.size() == 1;
    std::unique_ptr<tbb::global_control> limit;
    if (o.threads > 0 || one)
        limit = std::make_unique<tbb::global_control>(
            tbb::global_control::max_allowed_parallelism,
            one ? std::size_t{1} : static_cast<std::size_t>(o.threads));
    const bool progress = ::isatty(STDERR_FILENO) != 0;
    if (!o.json && !o.text) PrintCsvHeader(std::cout, o.iso, series);
    auto emit = [&](const FileResult& r) {
        if (o.json)
            PrintJson(std::cout, r, method, o.useFileSettings, o.iso);
        else if (o.text)
            std::cout << "== " << r.file << '\n'
                      << FileSettingsNote(r) << (r.ok ? r.resultsText : r.error + "\n");
        else
            PrintCsvRow(std::cout, r, method, o.iso, series);
    };

    // Batches keep memory flat over tens of thousands of files while output stays in order.
    constexpr std::size_t kBatch = 256;
    std::vector<FileResult> results(std::min(kBatch, o.files.size()));
    bool anyFailed = false;
    WorkerPool<RowWorker> pool([&] {
        auto worker = std::make_unique<RowWorker>();
        ConfigureRowWorker(*worker, settings, o.read, fileCache);
        return worker;
    });
    ParallelOptions parallel;
    // One thread runs the rows in place: no thread pool to start (the global limit above still
    // holds whatever else runs in parallel).
    parallel.threads = one || o.threads == 1 ? 1 : 0;
    parallel.grain = 4;
    for (std::size_t first = 0; first < o.files.size(); first += kBatch) {
        const std::size_t count = std::min(kBatch, o.files.size() - first);
        auto analyze = [&](RowWorker& worker, std::size_t k) {
            FileResult& r = results[k];
            // A curve with its own unloading fit range (a project's) is analysed with the
            // settings of that range.
            const auto n = notes.find(o.files[first + k]);
            const bool custom = n != notes.end() && n->second.fitRange;
            r = AnalyzeRow(worker, o.files[first + k],
                           custom ? WithFitRange(settings, *n->second.fitRange) : settings,
                           o.useFileSettings, o.iso);
            if (custom && r.ok) r.curve.flags.push_back(CustomRangeFlag(*n->second.fitRange));
            if (n != notes.end()) {
                r.curve.userExcluded = n->second.excluded;
                r.curve.note = n->second.note;
                r.curve.userFlag = n->second.flag;
            }
        };
        ParallelForEach(count, parallel, pool, analyze);
        for (std::size_t k = 0; k < count; ++k) {
            const FileResult& r = results[k];
            if (!r.ok) {
                anyFailed = true;
                std::cerr << "marvek-cli: " << OneLine(r.error) << '\n';
            }
            if (series)
                held.push_back(r);
            else
                emit(r);
        }
        std::cout.flush();
        if (progress)
            std::cerr << "\ranalysed " << first + count << " of " << o.files.size() << " files"
                      << (first + count == o.files.size() ? "\n" : "") << std::flush;
    }
    if (series && !FinishSeries(o, settings, held, method, emit)) anyFailed = true;
    if (!o.saveProject.empty()) {
        project::Project p;
        p.settings = settings;
        for (const std::string& address : o.files) {
            const io::Address a = io::ParseAddress(address);
            project::Curve c;
            c.file = std::filesystem::absolute(a.file).lexically_normal();
            c.test = a.test;
            if (const auto n = notes.find(address); n != notes.end()) c.notes = n->second;
            p.curves.push_back(std::move(c));
        }
        p.views.push_back({"curve", std::nullopt});
        if (const Status written = project::WriteProject(p, o.saveProject); !written.ok()) {
            std::cerr << "marvek-cli analyze: --save-project: " << written.message() << '\n';
            return 2;
        }
    }
    return anyFailed ? 1 : 0;
}

}  // namespace

void AddAnalyzeCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<AnalyzeOptions>();
    CLI::App* cmd = app.add_subcommand("analyze", "Analyse curve files, one result row per file");
    AddAnalysisOptions(*cmd, options->analysis);
    AddSeriesOptions(*cmd, options->series);
    auto* format = cmd->add_option_group("format");
    format->add_flag("--json", options->json, "One JSON object per line per file");
    format->add_flag("--text", options->text, "Each curve's results text");
    format->require_option(0, 1);
    cmd->add_option("--threads", options->threads, "Worker threads (default: all cores)")
        ->check(CLI::PositiveNumber);
    cmd->add_option("--files-from", options->filesFrom,
                    "Also analyse the files listed in this file, one path per line (- for stdin)");
    cmd->add_flag("--use-file-settings", options->useFileSettings,
                  "Use the Poisson ratio, frame compliance and area function a file states "
                  "(the output names those taken)");
    AddIsoOptions(*cmd, options->iso);
    AddShardOption(*cmd, options->shard);
    cmd->add_option("--project", options->project,
                    "Analyse a saved project (.marvek): its curves, settings and exclusions; "
                    "says which files moved or changed since it was saved");
    cmd->add_option("--save-project", options->saveProject,
                    "Write this run (curves, settings, exclusions) as a project file (.marvek)");
    cmd->add_option("FILE", options->files, "Curve files or addresses FILE#TEST (any format)");
    cmd->callback([options, &exitStatus] { exitStatus = Run(*options); });
}

}  // namespace marvek::cli
