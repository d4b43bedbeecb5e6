#include "popin_command.h"

#include <tbb/global_control.h>

#include <cmath>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis_options.h"
#include "core/analysis/curve_analysis.h"
#include "core/analysis/power_law_search.h"
#include "core/io/csv_field.h"
#include "core/io/number_format.h"
#include "core/popins/popins.h"
#include "core/series/curve_popins.h"

namespace marvek::cli {

namespace {

struct PopinOptions {
    AnalysisOptions analysis;
    std::vector<std::string> files;
    double minJump = popins::kNaN, minLoad = popins::kNaN;
    double reducedModulus = popins::kNaN, tipRadius = popins::kNaN;
    double temperature = 298;
    bool json = false, csv = false, summary = false;
};

using CurveRow = PopinCurveRow;

popins::PopinSettings DetectorSettings(const PopinOptions& o) {
    popins::PopinSettings s;
    s.minJump = o.minJump;
    s.minLoad = o.minLoad;
    s.tipRadius = o.tipRadius;
    s.reducedModulus = o.reducedModulus;
    return s;
}

nlohmann::ordered_json Num(double v) {
    return std::isfinite(v) ? nlohmann::ordered_json(v) : nlohmann::ordered_json();
}

std::string CsvNum(double v) { return std::isfinite(v) ? FormatShortest(v) : std::string(); }

std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\n') c = ' ';
    return text;
}

void PrintJson(const CurveRow& r) {
    nlohmann::ordered_json j;
    j["file"] = r.file;
    j["test"] = r.test.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(r.test);
    j["ok"] = r.ok;
    j["error"] = r.ok ? nlohmann::ordered_json() : nlohmann::ordered_json(r.error);
    const popins::PopinResult& p = r.result;
    j["popins"] = nlohmann::ordered_json::array();
    for (const popins::Popin& q : p.popins)
        j["popins"].push_back(
            {{"load_mN", Num(q.load)}, {"depth_nm", Num(q.depth)}, {"width_nm", Num(q.width)}});
    const popins::HertzFit& h = p.hertz;
    nlohmann::ordered_json hz;
    hz["K_mN_nm1_5"] = Num(h.K);
    hz["h0_nm"] = Num(h.h0);
    hz["radius_nm"] = Num(h.radius);
    hz["Er_GPa"] = Num(h.reducedModulus);
    hz["r2"] = Num(h.r2);
    hz["depthFrom_nm"] = Num(h.depthFrom);
    hz["depthTo_nm"] = Num(h.depthTo);
    j["hertz"] = r.ok ? hz : nlohmann::ordered_json();
    j["tauMax_GPa"] = Num(p.tauMax);
    j["tauMaxOverG"] = Num(p.tauMaxOverShear);
    std::string note = p.note;
    if (r.ok && !h.reason.empty()) note += (note.empty() ? "" : "; ") + h.reason;
    j["note"] = r.ok && !note.empty() ? nlohmann::ordered_json(note) : nlohmann::ordered_json();
    std::cout << j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

void PrintCsvHeader() {
    std::cout << "file,test,ok,error,popins,firstPopinLoad [mN],firstPopinDepth [nm],"
                 "firstPopinWidth [nm],K [mN/nm^1.5],h0 [nm],radius [nm],Er [GPa],r2,"
                 "hertzDepthFrom [nm],hertzDepthTo [nm],tauMax [GPa],tauMax/G,note\n";
}

void PrintCsv(const CurveRow& r) {
    const popins::PopinResult& p = r.result;
    const popins::Popin* f = p.First();
    const popins::HertzFit& h = p.hertz;
    std::string note = p.note;
    if (r.ok && !h.reason.empty()) note += (note.empty() ? "" : "; ") + h.reason;
    std::cout << CsvField(r.file) << ',' << CsvField(r.test) << ',' << (r.ok ? "true" : "false")
              << ',' << CsvField(OneLine(r.error)) << ',';
    if (r.ok) std::cout << p.popins.size();
    for (double v : {f ? f->load : popins::kNaN, f ? f->depth : popins::kNaN,
                     f ? f->width : popins::kNaN, h.K, h.h0, h.radius, h.reducedModulus, h.r2,
                     h.depthFrom, h.depthTo, p.tauMax, p.tauMaxOverShear})
        std::cout << ',' << CsvNum(v);
    std::cout << ',' << CsvField(r.ok ? note : std::string()) << '\n';
}

nlohmann::ordered_json MeanSdJson(const popins::MeanSd& m) {
    return {{"mean", Num(m.mean)}, {"sd", Num(m.sd)}};
}

void PrintSummary(const popins::PopinStatistics& s, bool json) {
    if (json) {
        nlohmann::ordered_json j;
        j["n"] = s.n;
        j["firstPopinLoad_mN"] = MeanSdJson(s.load);
        j["weibull"] = {{"modulus", Num(s.weibullModulus)}, {"scale_mN", Num(s.weibullScale)}};
        j["activationVolume_A3"] = Num(s.activationVolume);
        j["firstPopinDepth_nm"] = MeanSdJson(s.depth);
        j["firstPopinWidth_nm"] = MeanSdJson(s.width);
        j["tauMax_GPa"] = MeanSdJson(s.tauMax);
        j["curves"] = s.curves;
        j["note"] = s.reason.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(s.reason);
        nlohmann::ordered_json line;
        line["summary"] = j;
        std::cout << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        return;
    }
    std::cout << "\nsummary,curves,n,firstPopinLoad mean [mN],firstPopinLoad sd [mN],"
                 "firstPopinDepth mean [nm],firstPopinDepth sd [nm],firstPopinWidth mean [nm],"
                 "firstPopinWidth sd [nm],tauMax mean [GPa],tauMax sd [GPa],weibull modulus,"
                 "weibull scale [mN],activationVolume [A^3],note\n";
    std::cout << "summary," << s.curves << ',' << s.n;
    for (double v :
         {s.load.mean, s.load.sd, s.depth.mean, s.depth.sd, s.width.mean, s.width.sd, s.tauMax.mean,
          s.tauMax.sd, s.weibullModulus, s.weibullScale, s.activationVolume})
        std::cout << ',' << CsvNum(v);
    std::cout << ',' << CsvField(s.reason) << '\n';
}

int Run(PopinOptions& o) {
    if (o.files.empty()) {
        std::cerr << "marvek-cli popin: no curve files given\n";
        return 2;
    }
    const std::optional<Settings> resolved =
        ResolveSettingsOrReport(o.analysis, "marvek-cli popin");
    if (!resolved) return 2;
    io::ReadOptions read;
    if (const Status st = ResolveReadOptions(o.analysis, read); !st.ok()) {
        std::cerr << "marvek-cli popin: " << st.message() << '\n';
        return 2;
    }
    const std::vector<std::filesystem::path> addresses = io::ExpandAddresses(
        std::vector<std::filesystem::path>(o.files.begin(), o.files.end()), read);
    // Curves one after another: the search's thread pool would cost more than it saves.
    const tbb::global_control oneThread(tbb::global_control::max_allowed_parallelism, 1);
    auto analyzer = std::make_unique<CCurveAnalyzer>();
    ConfigureAnalyzer(*analyzer, resolved->strategy);
    analyzer->m_readOptions = read;
    if (!o.json) PrintCsvHeader();
    std::vector<popins::PopinResult> results;
    bool anyFailed = false;
    for (const std::filesystem::path& address : addresses) {
        const CurveRow row =
            AnalyzePopinCurve(*analyzer, address.string(), *resolved, DetectorSettings(o));
        if (!row.ok) {
            anyFailed = true;
            std::cerr << "marvek-cli popin: " << OneLine(row.error) << '\n';
        } else {
            results.push_back(row.result);
        }
        if (o.json)
            PrintJson(row);
        else
            PrintCsv(row);
    }
    if (o.summary) {
        popins::PopinStatisticsSettings ss;
        ss.temperature = o.temperature;
        PrintSummary(popins::SummarisePopins(results, ss), o.json);
    }
    std::cout.flush();
    return anyFailed ? 1 : 0;
}

}  // namespace

PopinCurveRow AnalyzePopinCurve(CCurveAnalyzer& analyzer, const std::string& file,
                                const Settings& settings, const popins::PopinSettings& popin) {
    PopinCurveRow row;
    row.file = file;
    row.test = io::ParseAddress(file).test;
    CurveDisplay display;
    display.withPlotSeries = false;
    analyzer.SetAddresses({file});
    const Status outcome = AnalyzeCurve(analyzer, 0, settings, display);
    if (!outcome.ok()) {
        row.error = outcome.message();
        return row;
    }
    if (analyzer.m_nPoints == 0) {
        row.error = file + ": no data points";
        return row;
    }
    row.ok = true;
    row.result = AnalyzeCurvePopins(analyzer, display, settings, popin);
    return row;
}

void AddPopinCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<PopinOptions>();
    CLI::App* cmd = app.add_subcommand(
        "popin",
        "Find the pop-ins of each curve's loading, the Hertz fit before the first and "
        "the maximum shear stress; --summary adds the series statistics");
    AddAnalysisOptions(*cmd, options->analysis);
    cmd->add_option("--min-jump", options->minJump,
                    "A pop-in is a depth step of at least this much, nm (with --min-load: the "
                    "fixed rule instead of the noise-adaptive detector)")
        ->check(CLI::NonNegativeNumber);
    cmd->add_option("--min-load", options->minLoad,
                    "Pop-ins start at this load or above, mN (with --min-jump)")
        ->check(CLI::NonNegativeNumber);
    auto* contact = cmd->add_option_group("contact");
    contact
        ->add_option("--reduced-modulus", options->reducedModulus,
                     "Reduced modulus Er, GPa (default: from the curve's unloading)")
        ->check(CLI::PositiveNumber);
    contact
        ->add_option("--tip-radius", options->tipRadius,
                     "Tip radius, nm: Er then comes from the Hertz fit")
        ->check(CLI::PositiveNumber);
    contact->require_option(0, 1);
    cmd->add_option("--temperature", options->temperature,
                    "Temperature for the activation volume, K (default 298)")
        ->check(CLI::PositiveNumber);
    auto* format = cmd->add_option_group("format");
    format->add_flag("--json", options->json, "One JSON object per line per curve");
    format->add_flag("--csv", options->csv, "One CSV row per curve (the default)");
    format->require_option(0, 1);
    cmd->add_flag("--summary", options->summary,
                  "A last line (or CSV block) with the statistics of the first pop-ins");
    cmd->add_option("FILE", options->files, "Curve files or addresses FILE#TEST (any format)");
    cmd->callback([options, &exitStatus] { exitStatus = Run(*options); });
}

}  // namespace marvek::cli
