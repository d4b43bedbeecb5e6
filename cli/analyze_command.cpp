#include "analyze_command.h"

#include <tbb/enumerable_thread_specific.h>
#include <tbb/global_control.h>
#include <tbb/parallel_for.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

#include "analysis_options.h"
#include "core/analysis/curve_analysis.h"
#include "core/analysis/power_law_search.h"
#include "core/analysis/results_text.h"
#include "core/io/csv_field.h"
#include "core/io/number_format.h"
#include "core/io/quantity_labels.h"
#include "core/project/project.h"
#include "core/profiles/depth_profile.h"
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

// Everything reported for one file, taken from the analyzer right after its analysis.
struct FileResult {
    std::string file;
    std::string test, format;           // test: "" for a one-curve file
    std::vector<std::string> fromFile;  // settings taken from the file (--use-file-settings)
    bool ok = false;
    std::string error;
    double fmax = 0, hmax = 0, hc = 0, hr = 0, hf = 0, s = 0, r2 = 0, alpha = 0, m = 0,
           intercept = 0, driftRate = 0, zeroPointOffset = 0;
    int nPoints = 0, nFitPoints = 0;
    CurveDisplay display;
    double loadTime = 0, topHoldTime = 0, unloadTime = 0, bottomHoldTime = 0, reloadTime = 0;
    double energyLoading = 0, energyUnloading = 0, energyReloading = 0;
    // The first pop-in of the loading, from the series description (NaN without one).
    double firstPopinLoad = std::numeric_limits<double>::quiet_NaN();
    double firstPopinDepth = std::numeric_limits<double>::quiet_NaN();
    std::string resultsText;
    IsoResult iso;
    SeriesCurve curve;  // flags and included state
    // A continuous-stiffness workbook's depth-profile average (NaN for other curves).
    double csmFrom = NAN, csmTo = NAN, csmN = NAN, csmHardness = NAN, csmModulus = NAN;
};

struct Column {
    const char* json;
    const char* csv;
    std::function<double(const FileResult&)> value;
    bool emptyWhenAbsent = false;  // CSV: an empty field, not "nan", where the curve has none
};

const std::vector<Column>& NumericColumns() {
    static const std::vector<Column> columns = {
        {"Fmax", "Fmax [mN]", [](const FileResult& r) { return r.fmax; }},
        {"hmax", "hmax [nm]", [](const FileResult& r) { return r.hmax; }},
        {"hc", "hc [nm]", [](const FileResult& r) { return r.hc; }},
        {"hr", "hr [nm]", [](const FileResult& r) { return r.hr; }},
        {"hf", "hf [nm]", [](const FileResult& r) { return r.hf; }},
        {"S", "S [mN/nm]", [](const FileResult& r) { return r.s; }},
        {"r2", "r2", [](const FileResult& r) { return r.r2; }},
        {"alpha", "alpha [mN/nm^m]", [](const FileResult& r) { return r.alpha; }},
        {"m", "m", [](const FileResult& r) { return r.m; }},
        {"intercept", "intercept [mN]", [](const FileResult& r) { return r.intercept; }},
        {"driftRate", "driftRate [nm/s]", [](const FileResult& r) { return r.driftRate; }},
        {"zeroPointOffset", "zeroPointOffset [nm]",
         [](const FileResult& r) { return r.zeroPointOffset; }},
        {"nPoints", "nPoints", [](const FileResult& r) { return r.nPoints; }},
        {"nFitPoints", "nFitPoints", [](const FileResult& r) { return r.nFitPoints; }},
        {"EIT", "EIT [GPa]", [](const FileResult& r) { return r.display.m_dEIT; }},
        {"HIT", "HIT [MPa]", [](const FileResult& r) { return r.display.m_dHIT; }},
        {"HM", "HM [MPa]", [](const FileResult& r) { return r.display.m_dHM; }},
        {"HOP", "HOP [MPa]", [](const FileResult& r) { return r.display.m_dHOP; }},
        {"HV", "HV [kg/mm^2]", [](const FileResult& r) { return r.display.m_dHV; }},
        {"Ap", "Ap [nm^2]", [](const FileResult& r) { return r.display.m_dProjectedArea; }},
        {"As", "As [nm^2]", [](const FileResult& r) { return r.display.m_dSurfaceArea; }},
        {"loadTime", "loadTime [s]", [](const FileResult& r) { return r.loadTime; }},
        {"topHoldTime", "topHoldTime [s]", [](const FileResult& r) { return r.topHoldTime; }},
        {"unloadTime", "unloadTime [s]", [](const FileResult& r) { return r.unloadTime; }},
        {"bottomHoldTime", "bottomHoldTime [s]",
         [](const FileResult& r) { return r.bottomHoldTime; }},
        {"reloadTime", "reloadTime [s]", [](const FileResult& r) { return r.reloadTime; }},
        {"energyLoading", labels::kLoadingEnergyTitle,
         [](const FileResult& r) { return r.energyLoading; }},
        {"energyUnloading", labels::kUnloadingEnergyTitle,
         [](const FileResult& r) { return r.energyUnloading; }},
        {"energyReloading", labels::kReloadingEnergyTitle,
         [](const FileResult& r) { return r.energyReloading; }},
        {"csmFrom", "csmFrom [nm]", [](const FileResult& r) { return r.csmFrom; }, true},
        {"csmTo", "csmTo [nm]", [](const FileResult& r) { return r.csmTo; }, true},
        {"csmN", "csmN", [](const FileResult& r) { return r.csmN; }, true},
        {"csmHardness", "csmHardness [GPa]", [](const FileResult& r) { return r.csmHardness; },
         true},
        {"csmModulus", "csmModulus [GPa]", [](const FileResult& r) { return r.csmModulus; }, true},
        {kFirstPopinLoad, "firstPopinLoad [mN]",
         [](const FileResult& r) { return r.firstPopinLoad; }},
        {kFirstPopinDepth, "firstPopinDepth [nm]",
         [](const FileResult& r) { return r.firstPopinDepth; }},
    };
    return columns;
}

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

// One thread's analysis state, kept for the whole run: a fresh analyzer and fresh display series
// for every file cost more in page faults than the analysis of a 10000-point curve.
struct Worker {
    CCurveAnalyzer analyzer;
    CurveDisplay display;  // keeps its storage from file to file
    Worker() { display.withPlotSeries = false; }
};

// The numbers of a display, without its series: a batch holds many results.
CurveDisplay DisplayNumbers(const CurveDisplay& d) {
    CurveDisplay n;
    n.m_dProjectedArea = d.m_dProjectedArea;
    n.m_dSurfaceArea = d.m_dSurfaceArea;
    n.m_dEIT = d.m_dEIT;
    n.m_dHIT = d.m_dHIT;
    n.m_dHOP = d.m_dHOP;
    n.m_dHV = d.m_dHV;
    n.m_dHM = d.m_dHM;
    return n;
}

// The settings of `base` with what the curve's file states (Poisson's ratio, frame compliance,
// area function) put in; `taken` names each one used.
Settings WithFileSettings(const Settings& base, const io::CurveMetadata& meta,
                          std::vector<std::string>& taken) {
    Settings s = base;
    if (meta.poissonRatio) {
        s.m_fPoisson = static_cast<float>(*meta.poissonRatio);
        taken.push_back("poisson");
    }
    if (meta.frameCompliance) {
        s.compliance.m_fCompliance = static_cast<float>(*meta.frameCompliance);
        CopyComplianceToAreaFunction(s.compliance, s.areaFunction);
        taken.push_back("compliance");
    }
    if (!meta.areaCoefficients.empty()) {
        AreaCoefficients& ap = s.areaFunction.m_dApCoef;
        ap.fill(0);
        std::copy_n(meta.areaCoefficients.begin(),
                    std::min(ap.size(), meta.areaCoefficients.size()), ap.begin());
        taken.push_back("area function");
    }
    return s;
}

// The depth-profile average of a continuous-stiffness workbook's test, with the settings the
// unload analysis used (area function, Poisson's ratio) and the profile's own defaults otherwise.
// The curve comes from the reader's cache of the file just analysed.
void AddProfileAverage(const std::string& file, const CCurveAnalyzer& analyzer, const Settings& s,
                       FileResult& r) {
    io::ParsedCurve curve;
    if (io::ReadCurve(file, analyzer.m_readOptions, curve) != ReadStatus::Ok ||
        curve.channels.empty())
        return;
    profiles::ProfileSettings ps;
    const AreaCoefficients& ap = s.areaFunction.m_dApCoef;
    std::size_t terms = ap.size();
    while (terms > 1 && ap[terms - 1] == 0) --terms;
    ps.areaCoefficients.assign(ap.begin(), ap.begin() + static_cast<std::ptrdiff_t>(terms));
    ps.samplePoisson = s.m_fPoisson;
    const profiles::DepthProfile profile = profiles::ComputeProfile(curve, ps);
    if (!profile.ok) return;
    const profiles::ProfileAverage a = profiles::AverageProfile(profile);
    r.csmFrom = a.from, r.csmTo = a.to, r.csmN = static_cast<double>(a.n);
    r.csmHardness = a.hardness, r.csmModulus = a.modulus;
}

FileResult AnalyzeFile(Worker& worker, const std::string& file, const Settings& base,
                       bool useFileSettings, const IsoOptions& iso) {
    FileResult r;
    r.file = file;
    r.test = io::ParseAddress(file).test;
    CCurveAnalyzer& analyzer = worker.analyzer;
    analyzer.SetAddresses({file});
    Settings fileSettings;
    if (useFileSettings && analyzer.ReadCurveFile(file) == ReadStatus::Ok)
        fileSettings = WithFileSettings(base, analyzer.m_fileMeta, r.fromFile);
    const Settings& s = r.fromFile.empty() ? base : fileSettings;
    const AnalysisOutcome outcome = AnalyzeCurve(analyzer, 0, s, worker.display);
    r.format = analyzer.m_strFormat;
    if (!outcome.ok()) {
        r.format.clear();
        r.error = outcome.error;
        return r;
    }
    const CCurveAnalyzer& a = analyzer;
    if (a.m_nPoints == 0) {
        // The window shows such a curve as empty; in a batch it would be a row of nonsense.
        r.error = file +
                  ": no data points (after the header no line held a depth > 0 and a force "
                  "separated by commas)";
        return r;
    }
    r.ok = true;
    r.display = DisplayNumbers(worker.display);
    r.fmax = a.m_dFmax, r.hmax = a.m_dHmax, r.hc = a.m_dHc, r.hr = a.m_dHr, r.hf = a.m_dHf;
    r.s = a.m_dStiffness, r.r2 = a.m_dRSquared, r.alpha = a.m_dAlpha, r.m = a.m_dM;
    r.intercept = a.m_dIntercept, r.driftRate = a.m_dDriftRate;
    r.zeroPointOffset = a.m_dZeroPointOffset;
    r.nPoints = a.m_nPoints;
    r.nFitPoints = a.m_nFitPoints;
    r.resultsText = BuildResultsText(analyzer, worker.display, s.strategy.m_nMethod);
    r.loadTime = a.m_dLoadTime, r.topHoldTime = a.m_dTopHoldTime;
    r.unloadTime = a.m_dUnloadTime, r.bottomHoldTime = a.m_dBottomHoldTime;
    r.reloadTime = a.m_dReloadTime;
    r.energyLoading = a.GetLoadingEnergy();
    r.energyUnloading = a.GetUnloadingEnergy();
    r.energyReloading = a.GetReloadingEnergy();
    r.iso = ComputeIsoResult(a, s, iso);
    if (r.format == "xls" || r.format == "xlsx") AddProfileAverage(file, analyzer, s, r);
    return r;
}

// The line of the text output that says which settings the file gave.
std::string FileSettingsNote(const FileResult& r) {
    if (r.fromFile.empty()) return "";
    std::string note = "(from the file: ";
    for (std::size_t k = 0; k < r.fromFile.size(); ++k) note += (k ? ", " : "") + r.fromFile[k];
    return note + ")\n";
}

std::string CsvNumber(double v) {
    if (std::isnan(v)) return "nan";
    if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
    return FormatShortest(v);
}

void PrintCsvHeader(std::ostream& out, const IsoOptions& iso, bool series) {
    out << "file,test,format,ok,error,method";
    for (const Column& c : NumericColumns()) out << ',' << CsvField(c.csv);
    PrintIsoCsvHeader(out, iso);
    out << (series ? ",included,flags\n" : "\n");
}

void PrintCsvRow(std::ostream& out, const FileResult& r, const char* method, const IsoOptions& iso,
                 bool series) {
    out << CsvField(r.file) << ',' << CsvField(r.test) << ',' << CsvField(r.format) << ','
        << (r.ok ? "true" : "false") << ',' << CsvField(OneLine(r.error)) << ',' << method;
    for (const Column& c : NumericColumns())
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
    for (const Column& c : NumericColumns()) {
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
    if (useFileSettings) j["settingsFromFile"] = r.fromFile;
    out << j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

// Appends the paths listed one per line in `list` ("-" reads them from standard input).
bool ReadFileList(const std::string& list, std::vector<std::string>& files) {
    std::ifstream file;
    if (list != "-") {
        file.open(list);
        if (!file) return false;
    }
    std::istream& in = list == "-" ? std::cin : file;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) files.push_back(line);
    }
    return true;
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
    // The depth-profile averages over the curves the series includes.
    ExtraStatistics extra;
    for (const char* key : {"csmHardness", "csmModulus"}) {
        const auto column =
            std::find_if(NumericColumns().begin(), NumericColumns().end(),
                         [&](const Column& c) { return std::string_view(c.json) == key; });
        std::vector<double> values;
        for (const FileResult& r : held)
            if (r.curve.included && std::isfinite(column->value(r)))
                values.push_back(column->value(r));
        if (!values.empty()) extra.emplace_back(key, ComputeStatistics(values));
    }
    if (o.series.summary && o.json) PrintSummaryJson(std::cout, s, extra);
    if (o.series.summary && !o.json && !o.text) {
        std::vector<std::string> columns;
        for (const Column& c : NumericColumns()) columns.push_back(c.json);
        std::ostringstream isoHeader;
        PrintIsoCsvHeader(isoHeader, o.iso);
        const std::string h = isoHeader.str();
        PrintSummaryCsv(std::cout, s, columns, method,
                        static_cast<std::size_t>(std::count(h.begin(), h.end(), ',')), extra);
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
    {
        // A file of several tests (a workbook) gives one result per test, in file order.
        const std::vector<std::filesystem::path> addresses = io::ExpandAddresses(
            std::vector<std::filesystem::path>(o.files.begin(), o.files.end()), o.read);
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
    const char* method = st.m_nMethod == 0 ? "op" : st.m_nMethod == 1 ? "dn" : "other";
    // One curve starts no thread pool: its start-up costs more than the search would gain.
    const bool one = o.files.size() == 1;
    if (one) AllowParallelSearch(false);
    std::unique_ptr<tbb::global_control> limit;
    if (o.threads > 0 && !one)
        limit = std::make_unique<tbb::global_control>(tbb::global_control::max_allowed_parallelism,
                                                      static_cast<std::size_t>(o.threads));
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
    auto makeWorker = [&] {
        auto worker = std::make_unique<Worker>();
        CCurveAnalyzer& analyzer = worker->analyzer;
        ConfigureAnalyzer(analyzer, st);
        analyzer.m_readOptions = o.read;
        return worker;
    };
    std::optional<tbb::enumerable_thread_specific<std::unique_ptr<Worker>>> workers;
    if (!one) workers.emplace(makeWorker);
    for (std::size_t first = 0; first < o.files.size(); first += kBatch) {
        const std::size_t count = std::min(kBatch, o.files.size() - first);
        auto analyze = [&](Worker& worker, std::size_t k) {
            FileResult& r = results[k];
            r = AnalyzeFile(worker, o.files[first + k], settings, o.useFileSettings, o.iso);
            r.curve = DescribeSeriesCurve({r.file, io::ParseAddress(r.file).file.string(), r.test},
                                          r.ok, r.error, worker.analyzer, worker.display, settings);
            if (const auto n = notes.find(r.file); n != notes.end()) {
                r.curve.userExcluded = n->second.excluded;
                r.curve.note = n->second.note;
                r.curve.userFlag = n->second.flag;
            }
            if (r.ok) {
                static const int load = FindSeriesQuantity(kFirstPopinLoad);
                static const int depth = FindSeriesQuantity(kFirstPopinDepth);
                r.firstPopinLoad = r.curve.values[static_cast<std::size_t>(load)];
                r.firstPopinDepth = r.curve.values[static_cast<std::size_t>(depth)];
            }
        };
        if (one) {
            analyze(*makeWorker(), 0);
        } else {
            tbb::parallel_for(tbb::blocked_range<std::size_t>(0, count, 4),
                              [&](const tbb::blocked_range<std::size_t>& range) {
                                  Worker& worker = *workers->local();
                                  for (std::size_t k = range.begin(); k < range.end(); ++k)
                                      analyze(worker, k);
                              });
        }
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
