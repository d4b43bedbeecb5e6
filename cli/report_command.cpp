#include "report_command.h"

#include <tbb/global_control.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "analysis_options.h"
#include "analysis_row.h"
#include "core/analysis/parallel_map.h"
#include "core/config/parameter_file.h"
#include "core/report/report_sections.h"
#include "core/series/curve_popins.h"
#include "core/series/graph_series.h"
#include "marvek_version.h"
#include "series_output.h"

namespace marvek::cli {
namespace {

constexpr std::size_t kDefaultMaxCurvePlots = 200;

struct ReportOptions {
    AnalysisOptions analysis;
    SeriesCliOptions series;
    std::vector<std::string> files;
    std::string filesFrom;
    std::string output;
    std::string title;
    bool useFileSettings = false;
    std::size_t maxCurvePlots = kDefaultMaxCurvePlots;
    int threads = 0;
};

int Fail(const std::string& message, int status = 2) {
    std::cerr << "marvek-cli report: " << message << '\n';
    return status;
}

// The settings the parameter file gave before any flag, and which file that was ("" for none):
// the report says where each value came from.
Settings ParameterFileSettings(const AnalysisOptions& o, std::string& file) {
    Settings s;
    file.clear();
    if (o.defaults) return s;
    const std::filesystem::path path =
        o.params.empty() ? DefaultParameterFilePath() : std::filesystem::path(o.params);
    if (LoadParameters(path, s).ok()) file = path.string();
    return s;
}

// Progress on stderr: a running count on a terminal, a line every so often otherwise (a log).
class Progress {
public:
    explicit Progress(std::size_t total) : total_(total), tty_(::isatty(STDERR_FILENO) != 0) {}
    void Step(const char* what, std::size_t done, std::size_t of) {
        if (tty_) {
            std::cerr << '\r' << what << ' ' << done << " of " << of << (done == of ? "\n" : "")
                      << std::flush;
        } else if (total_ >= 50 && (done % 50 == 0 || done == of)) {
            std::cerr << "marvek-cli report: " << what << ' ' << done << " of " << of << '\n';
        }
    }

private:
    std::size_t total_;
    bool tty_;
};

void PictureProgress(std::size_t done, std::size_t total, void* context) {
    static_cast<Progress*>(context)->Step("drew picture", done, total);
}

int Run(ReportOptions& o) {
    if (o.output.empty())
        return Fail("give the report's name with -o report.html or -o report.pdf");
    if (!report::IsReportFile(o.output))
        return Fail(o.output + ": the report is written as .html or .pdf");
    if (!o.filesFrom.empty() && !ReadFileList(o.filesFrom, o.files))
        return Fail("--files-from: cannot read " + o.filesFrom);
    if (o.files.empty()) return Fail("no curve files given");
    const std::optional<Settings> resolved =
        ResolveSettingsOrReport(o.analysis, "marvek-cli report");
    if (!resolved) return 2;
    Settings settings = *resolved;
    io::ReadOptions read;
    if (const Status s = ResolveReadOptions(o.analysis, read); !s.ok()) return Fail(s.message());
    if (std::string error; !ResolveSeriesOptions(o.series, settings, error)) return Fail(error);
    const std::vector<std::filesystem::path> addresses = io::ExpandAddresses(
        std::vector<std::filesystem::path>(o.files.begin(), o.files.end()), read);
    const std::vector<std::string> files(addresses.begin(), addresses.end());
    if (files.empty()) return Fail("no curve in the files given");

    // The same rows as `marvek-cli analyze` (AnalyzeRow), with each drawn curve's plot series
    // and pop-ins kept while its analysis is still loaded.
    const std::size_t n = files.size();
    const std::size_t plotted = std::min(n, o.maxCurvePlots);
    std::vector<AnalysisRow> rows(n);
    std::vector<report::CurvePlot> plots(plotted);
    std::vector<profiles::DepthProfile> depthProfiles(n);
    const profiles::ProfileSettings profileSettings = ProfileSettingsFor(settings);
    const bool one = n == 1;
    std::unique_ptr<tbb::global_control> limit;
    if (o.threads > 0 || one)
        limit = std::make_unique<tbb::global_control>(
            tbb::global_control::max_allowed_parallelism,
            one ? std::size_t{1} : static_cast<std::size_t>(o.threads));
    WorkerPool<RowWorker> pool([&] {
        auto worker = std::make_unique<RowWorker>();
        ConfigureRowWorker(*worker, settings, read);
        worker->display.withPlotSeries = true;
        return worker;
    });
    ParallelOptions parallel;
    parallel.threads = one ? 1 : 0;
    parallel.grain = 4;
    Progress progress(n);
    constexpr std::size_t kBatch = 64;
    for (std::size_t first = 0; first < n; first += kBatch) {
        const std::size_t count = std::min(kBatch, n - first);
        ParallelForEach(count, parallel, pool, [&](RowWorker& worker, std::size_t k) {
            const std::size_t i = first + k;
            rows[i] = AnalyzeRow(worker, files[i], settings, o.useFileSettings, IsoOptions{});
            if (rows[i].ok && std::isfinite(rows[i].curve.profileAverage.from))
                if (auto p = CurveDepthProfile(worker.analyzer, files[i], profileSettings))
                    depthProfiles[i] = report::ReportProfile(std::move(*p));
            if (i >= plotted || !rows[i].ok) return;
            report::CurvePlot& p = plots[i];
            p.caption = std::to_string(i + 1) + ". " + files[i];
            p.curve = i;
            p.display = worker.display;
            const CCurveAnalyzer& a = worker.analyzer;
            const std::size_t points = static_cast<std::size_t>(std::max(0, a.m_nPoints));
            p.segments.assign(a.m_pSegment.data(), std::min(points, a.m_pSegment.size()));
            p.popins = AnalyzeCurvePopins(a, worker.display, settings);
            p.hasPopins = !p.popins.popins.empty();
        });
        progress.Step("analysed", first + count, n);
    }

    report::Input in;
    in.program = ProgramVersionText();
    in.date = report::ReportDateNow();
    in.sources = o.files;
    if (!o.title.empty()) in.title = o.title;
    std::string parameterFile;
    const Settings fromFile = ParameterFileSettings(o.analysis, parameterFile);
    in.settings = report::DescribeSettingSources(settings, fromFile, parameterFile, "command line");
    in.settingsNote = parameterFile.empty()
                          ? std::string(
                                "No parameter file was read: values are the defaults "
                                "unless a command-line option gave them.")
                          : "Parameter file: " + parameterFile + ".";
    in.series.settings = settings;
    in.series.excludeCodes = o.series.codes;
    bool anyFailed = false;
    for (std::size_t i = 0; i < n; ++i) {
        const AnalysisRow& r = rows[i];
        if (!r.ok) {
            anyFailed = true;
            std::cerr << "marvek-cli: " << r.error << '\n';
        }
        in.series.curves.push_back(r.curve);
        in.fromFile.push_back(r.fromFile);
        in.xUm.push_back(r.xUm);
        in.yUm.push_back(r.yUm);
    }
    RefreshSeries(in.series);
    in.depthProfiles = std::move(depthProfiles);
    for (std::size_t i = 0; i < plotted; ++i)
        if (rows[i].ok) in.curvePlots.push_back(std::move(plots[i]));
    in.curvePlotsLeftOut = n - plotted;
    rows.clear();

    const report::Document document = report::BuildReport(in);
    report::WriteOptions write;
    write.progress = &PictureProgress;
    write.progressContext = &progress;
    if (const Status s = report::WriteReport(document, o.output, write); !s.ok())
        return Fail(s.message(), 1);
    if (in.curvePlotsLeftOut > 0)
        std::cerr << "marvek-cli report: drew " << in.curvePlots.size() << " of " << n
                  << " curves (--max-curve-plots " << o.maxCurvePlots << "); the table has all\n";
    if (!o.series.xlsx.empty())
        if (const Status s = WriteSeriesWorkbook(in.series, o.series.xlsx); !s.ok())
            return Fail(s.message(), 1);
    return anyFailed ? 1 : 0;
}

}  // namespace

void AddReportCommand(CLI::App& app, int& exitStatus) {
    auto o = std::make_shared<ReportOptions>();
    CLI::App* cmd = app.add_subcommand(
        "report",
        "A report to hand on (HTML or PDF): settings and their sources, the series "
        "table with statistics and flags, each curve's plot with its fit");
    AddAnalysisOptions(*cmd, o->analysis);
    AddSeriesOptions(*cmd, o->series);
    cmd->add_option("-o,--output", o->output, "The report: NAME.html (one file) or NAME.pdf")
        ->required();
    cmd->add_option("--title", o->title, "The report's title (default: Nanoindentation report)");
    cmd->add_option("--max-curve-plots", o->maxCurvePlots,
                    "Draw at most this many curves (default 200); the table lists all");
    cmd->add_option("--threads", o->threads, "Worker threads (default: all cores)")
        ->check(CLI::PositiveNumber);
    cmd->add_option("--files-from", o->filesFrom,
                    "Also report the files listed in this file, one path per line (- for stdin)");
    cmd->add_flag("--use-file-settings", o->useFileSettings,
                  "Use the Poisson ratio, frame compliance and area function a file states "
                  "(the report names those taken)");
    cmd->add_option("FILE", o->files, "Curve files or addresses FILE#TEST (any format)");
    cmd->callback([o, &exitStatus] { exitStatus = Run(*o); });
}

}  // namespace marvek::cli
