#include "profile_command.h"

#include <cmath>
#include <fstream>
#include <iostream>
#include <iterator>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/io/csv_field.h"
#include "core/io/number_format.h"
#include "core/io/parsed_curve.h"
#include "core/profiles/depth_profile.h"
#include "core/series/series.h"
#include "core/series/table_workbook.h"

namespace marvek::cli {

namespace {

using profiles::DepthProfile;
using profiles::ProfileAverage;
using profiles::ProfileSettings;
using Json = nlohmann::ordered_json;

constexpr const char* kProgram = "marvek-cli profile";

struct ProfileOptions {
    std::vector<std::string> files;
    std::optional<double> from, to;
    bool json = false, csv = false, summary = false;
    std::string xlsx;
    std::string ap, tips;
    std::optional<double> frameStiffness, poisson;
    std::vector<double> nixGao;  // FROM TO
    double epsilon = 0.75, beta = 1, indenterModulus = 1141, indenterPoisson = 0.07;
    bool peak = false, dynamicUnloading = false, drift = false;
};

// The tip list file (see profiles::ParseTipList).
bool ReadTipList(const std::string& path, std::vector<profiles::TipAreaFunction>& tips,
                 std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return error = "--tips: cannot read " + path, false;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!profiles::ParseTipList(text, tips, error))
        return error = "--tips: " + path + " " + error, false;
    return true;
}

Json Number(double v) { return std::isfinite(v) ? Json(v) : Json(); }

Json Array(const std::vector<double>& v) {
    Json a = Json::array();
    for (double x : v) a.push_back(Number(x));
    return a;
}

// One test's result.
struct TestResult {
    std::string file, test;
    bool ok = false;
    std::string error;
    DepthProfile profile;
    ProfileAverage average;
    std::optional<profiles::NixGaoFit> nixGao;
};

Json AverageJson(const ProfileAverage& a) {
    Json j;
    j["from_nm"] = Number(a.from);
    j["to_nm"] = Number(a.to);
    j["n"] = a.n;
    // Indices into the arrays of the first and last sample averaged.
    j["first"] = a.n ? Json(a.first) : Json();
    j["last"] = a.n ? Json(a.last) : Json();
    j["hardness_GPa"] = Number(a.hardness);
    j["modulus_GPa"] = Number(a.modulus);
    j["hardnessSd_GPa"] = Number(a.hardnessSd);
    j["modulusSd_GPa"] = Number(a.modulusSd);
    j["reason"] = a.reason.empty() ? Json() : Json(a.reason);
    return j;
}

void PrintJson(const TestResult& r, const ProfileSettings& s) {
    const DepthProfile& p = r.profile;
    Json j;
    j["file"] = r.file;
    j["test"] = r.test.empty() ? Json() : Json(r.test);
    j["ok"] = r.ok;
    j["error"] = r.ok ? Json() : Json(r.error);
    j["depth_nm"] = Array(p.depth);
    j["load_mN"] = Array(p.load);
    j["stiffness_N_m"] = Array(p.stiffness);
    j["contactDepth_nm"] = Array(p.contactDepth);
    j["area_nm2"] = Array(p.area);
    j["hardness_GPa"] = Array(p.hardness);
    j["modulus_GPa"] = Array(p.modulus);
    j["loadingSamples"] = p.loadingSamples;
    j["average"] = AverageJson(r.average);
    if (r.nixGao) {
        const profiles::NixGaoFit& f = *r.nixGao;
        j["nixGao"] = {{"ok", f.ok()},
                       {"reason", f.ok() ? Json() : Json(f.status.reason())},
                       {"H0_GPa", Number(f.h0)},
                       {"hStar_nm", Number(f.hStar)},
                       {"r2", Number(f.rSquared)},
                       {"n", f.n}};
    }
    j["settings"] = {{"epsilon", s.epsilon},
                     {"beta", s.beta},
                     {"indenterModulus_GPa", s.indenterModulus},
                     {"indenterPoisson", s.indenterPoisson},
                     {"poisson", Number(p.samplePoisson)},
                     {"areaCoefficients", Array(p.areaCoefficients)},
                     {"stiffness", profiles::StiffnessSourceName(p.stiffnessSource)}};
    Json used = Json::array();
    for (const profiles::UsedValue& u : p.used)
        used.push_back({{"name", u.name}, {"value", u.value}, {"from", u.from}});
    j["sources"] = used;
    const profiles::SkippedSamples& k = p.skipped;
    j["skipped"] = {{"total", k.Total()},
                    {"missing", k.missing},
                    {"instrumentInvalid", k.instrumentInvalid},
                    {"nonPositiveStiffness", k.nonPositiveStiffness},
                    {"nonPositiveArea", k.nonPositiveArea},
                    {"modulusUndefined", k.modulusUndefined},
                    {"correctionFailed", k.correctionFailed}};
    j["warnings"] = p.warnings;
    std::cout << j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

std::string CsvNumber(double v) { return std::isfinite(v) ? FormatShortest(v) : ""; }

void PrintCsvHeader() {
    std::cout << "file,test,depth_nm,load_mN,stiffness_N_m,contactDepth_nm,area_nm2,hardness_GPa,"
                 "modulus_GPa,loading\n";
}

void PrintCsvRows(const TestResult& r) {
    const DepthProfile& p = r.profile;
    const std::string key = CsvField(r.file) + ',' + CsvField(r.test) + ',';
    for (std::size_t k = 0; k < p.size(); ++k)
        std::cout << key << CsvNumber(p.depth[k]) << ',' << CsvNumber(p.load[k]) << ','
                  << CsvNumber(p.stiffness[k]) << ',' << CsvNumber(p.contactDepth[k]) << ','
                  << CsvNumber(p.area[k]) << ',' << CsvNumber(p.hardness[k]) << ','
                  << CsvNumber(p.modulus[k]) << ',' << (k < p.loadingSamples ? 1 : 0) << '\n';
}

void PrintText(const TestResult& r) {
    std::cout << "== " << r.file << '\n';
    if (!r.ok) {
        std::cout << r.error << '\n';
        return;
    }
    const DepthProfile& p = r.profile;
    const ProfileAverage& a = r.average;
    std::cout << p.size() << " samples (" << p.loadingSamples << " in the loading, "
              << p.skipped.Total() << " skipped), stiffness from the "
              << profiles::StiffnessSourceName(p.stiffnessSource) << '\n';
    for (const profiles::UsedValue& u : p.used)
        std::cout << "  " << u.name << ": " << u.value << " (" << u.from << ")\n";
    if (a.n > 0)
        std::cout << "average " << FormatShortest(a.from) << "-" << FormatShortest(a.to)
                  << " nm over " << a.n << " samples: H = " << FormatFixed(a.hardness, 4)
                  << " GPa, E = " << FormatFixed(a.modulus, 3) << " GPa\n";
    else
        std::cout << "no average: " << a.reason << '\n';
    if (r.nixGao) {
        if (r.nixGao->ok())
            std::cout << "Nix-Gao: H0 = " << FormatFixed(r.nixGao->h0, 4)
                      << " GPa, h* = " << FormatFixed(r.nixGao->hStar, 2)
                      << " nm, r2 = " << FormatFixed(r.nixGao->rSquared, 4) << '\n';
        else
            std::cout << r.nixGao->status.reason() << '\n';
    }
}

Json StatisticsJson(const QuantityStatistics& s) {
    return {{"n", s.n},
            {"mean", Number(s.mean)},
            {"sd", Number(s.sd)},
            {"cov", Number(s.cov)},
            {"se", Number(s.se)},
            {"ciLow", Number(s.ciLow)},
            {"ciHigh", Number(s.ciHigh)},
            {"median", Number(s.median)},
            {"min", Number(s.min)},
            {"max", Number(s.max)}};
}

void PrintSummary(const std::vector<TestResult>& results, const ProfileOptions& o) {
    std::vector<double> h, e;
    std::size_t failed = 0, noAverage = 0;
    for (const TestResult& r : results) {
        if (!r.ok) {
            ++failed;
        } else if (r.average.n == 0) {
            ++noAverage;
        } else {
            h.push_back(r.average.hardness);
            e.push_back(r.average.modulus);
        }
    }
    const QuantityStatistics hs = ComputeStatistics(h), es = ComputeStatistics(e);
    if (o.json) {
        Json j;
        j["summary"] = {{"tests", results.size()},
                        {"averaged", h.size()},
                        {"failed", failed},
                        {"noAverage", noAverage},
                        {"hardness_GPa", StatisticsJson(hs)},
                        {"modulus_GPa", StatisticsJson(es)}};
        std::cout << j.dump() << '\n';
        return;
    }
    if (o.csv) {
        std::cout << "\nstatistic,hardness_GPa,modulus_GPa\n";
        for (const StatisticRow& row : StatisticRows())
            std::cout << row.name << ',' << CsvNumber(row.value(hs)) << ','
                      << CsvNumber(row.value(es)) << '\n';
        return;
    }
    std::cout << "== summary of " << h.size() << " averages (" << failed << " tests failed, "
              << noAverage << " without samples in the window)\n";
    std::cout << "statistic\tH [GPa]\tE [GPa]\n";
    for (const StatisticRow& row : StatisticRows())
        std::cout << row.name << '\t' << CsvNumber(row.value(hs)) << '\t'
                  << CsvNumber(row.value(es)) << '\n';
}

WorkbookCell Text(std::string text) {
    return {std::numeric_limits<double>::quiet_NaN(), std::move(text), true};
}

std::string Joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& p : parts) out += (out.empty() ? "" : "; ") + p;
    return out;
}

// The workbook of --xlsx: every test's average and where its values came from, the long table
// of every sample (as --csv), the statistics of the averages and the settings.
Status WriteWorkbook(const std::vector<TestResult>& results, const ProfileSettings& s,
                     const ProfileOptions& o) {
    WorkbookSheet averages{
        "Averages",
        {"file", "test", "ok", "error", "from_nm", "to_nm", "n", "hardness_GPa", "modulus_GPa",
         "hardnessSd_GPa", "modulusSd_GPa", "stiffness", "poisson", "areaCoefficients", "samples",
         "loadingSamples", "skipped", "sources", "warnings"},
        results.size(),
        {}};
    const bool nixGao = o.nixGao.size() == 2;
    if (nixGao)
        for (const char* h : {"nixGao_H0_GPa", "nixGao_hStar_nm", "nixGao_r2", "nixGao_reason"})
            averages.header.push_back(h);
    averages.fill = [&](std::size_t row, std::vector<WorkbookCell>& c) {
        const TestResult& r = results[row];
        const DepthProfile& p = r.profile;
        const ProfileAverage& a = r.average;
        std::vector<std::string> sources, coefficients;
        for (const profiles::UsedValue& u : p.used)
            sources.push_back(u.name + ": " + u.value + " (" + u.from + ")");
        for (double v : p.areaCoefficients) coefficients.push_back(FormatShortest(v));
        std::size_t k = 0;
        c[k++] = Text(r.file);
        c[k++] = Text(r.test);
        c[k++] = Text(r.ok ? "true" : "false");
        c[k++] = Text(r.error);
        for (double v : {a.from, a.to, static_cast<double>(a.n), a.hardness, a.modulus,
                         a.hardnessSd, a.modulusSd})
            c[k++].number = r.ok ? v : std::numeric_limits<double>::quiet_NaN();
        c[k++] = Text(r.ok ? profiles::StiffnessSourceName(p.stiffnessSource) : "");
        c[k++].number = p.samplePoisson;
        std::string list;
        for (const std::string& v : coefficients) list += (list.empty() ? "" : ",") + v;
        c[k++] = Text(list);
        for (double v : {static_cast<double>(p.size()), static_cast<double>(p.loadingSamples),
                         static_cast<double>(p.skipped.Total())})
            c[k++].number = r.ok ? v : std::numeric_limits<double>::quiet_NaN();
        c[k++] = Text(Joined(sources));
        c[k++] = Text(Joined(p.warnings));
        if (nixGao && r.nixGao) {
            c[k++].number = r.nixGao->h0;
            c[k++].number = r.nixGao->hStar;
            c[k++].number = r.nixGao->rSquared;
            c[k++] = Text(r.nixGao->ok() ? "" : r.nixGao->status.reason());
        }
    };
    // The long table: (test, sample) by a running index over the tests.
    std::vector<std::size_t> start;
    std::size_t samples = 0;
    for (const TestResult& r : results) start.push_back(samples), samples += r.profile.size();
    WorkbookSheet table{"Profiles",
                        {"file", "test", "depth_nm", "load_mN", "stiffness_N_m", "contactDepth_nm",
                         "area_nm2", "hardness_GPa", "modulus_GPa", "loading"},
                        samples,
                        {}};
    std::size_t test = 0;
    table.fill = [&](std::size_t row, std::vector<WorkbookCell>& c) {
        while (test + 1 < start.size() && row >= start[test + 1]) ++test;
        const TestResult& r = results[test];
        const DepthProfile& p = r.profile;
        const std::size_t k = row - start[test];
        c[0] = Text(r.file);
        c[1] = Text(r.test);
        std::size_t col = 2;
        for (const std::vector<double>* v :
             {&p.depth, &p.load, &p.stiffness, &p.contactDepth, &p.area, &p.hardness, &p.modulus})
            c[col++].number = (*v)[k];
        c[col].number = k < p.loadingSamples ? 1 : 0;
    };
    std::vector<double> h, e;
    for (const TestResult& r : results)
        if (r.ok && r.average.n > 0)
            h.push_back(r.average.hardness), e.push_back(r.average.modulus);
    const QuantityStatistics hs = ComputeStatistics(h), es = ComputeStatistics(e);
    WorkbookSheet summary{
        "Summary", {"statistic", "hardness_GPa", "modulus_GPa"}, StatisticRows().size(), {}};
    summary.fill = [&](std::size_t row, std::vector<WorkbookCell>& c) {
        const StatisticRow& statistic = StatisticRows()[row];
        c[0] = Text(statistic.name);
        c[1].number = statistic.value(hs);
        c[2].number = statistic.value(es);
    };
    const std::vector<std::pair<std::string, std::string>> used = {
        {"program", ProgramVersionText()},
        {"epsilon", FormatShortest(s.epsilon)},
        {"beta", FormatShortest(s.beta)},
        {"indenter modulus [GPa]", FormatShortest(s.indenterModulus)},
        {"indenter Poisson ratio", FormatShortest(s.indenterPoisson)},
        {"sample Poisson ratio",
         s.samplePoisson ? FormatShortest(*s.samplePoisson) : "the workbook's"},
        {"area function",
         o.ap.empty() ? (o.tips.empty() ? "the workbook's" : "tip list " + o.tips) : o.ap},
        {"harmonic frame stiffness [N/m]",
         s.harmonicFrameStiffness ? FormatShortest(*s.harmonicFrameStiffness) : "the workbook's"},
        {"window from [nm]", s.from ? FormatShortest(*s.from) : "the workbook's, else 100"},
        {"window to [nm]", s.to ? FormatShortest(*s.to) : "the workbook's, else 200"},
        {"peak load and depth", o.peak ? "on" : "off"},
        {"dynamic unloading", o.dynamicUnloading ? "on" : "off"},
        {"drift correction", o.drift ? "on" : "off"},
        {"tests", std::to_string(results.size())},
        {"averaged", std::to_string(h.size())}};
    WorkbookSheet settings{"Settings", {"setting", "value"}, used.size(), {}};
    settings.fill = [&](std::size_t row, std::vector<WorkbookCell>& c) {
        c[0] = Text(used[row].first);
        c[1] = Text(used[row].second);
    };
    return WriteTableWorkbook({averages, table, summary, settings}, o.xlsx);
}

int Run(const ProfileOptions& o) {
    ProfileSettings s;
    s.epsilon = o.epsilon, s.beta = o.beta;
    s.indenterModulus = o.indenterModulus, s.indenterPoisson = o.indenterPoisson;
    s.samplePoisson = o.poisson;
    s.harmonicFrameStiffness = o.frameStiffness;
    s.from = o.from, s.to = o.to;
    s.corrections.peakLoadAndDepth = o.peak;
    s.corrections.dynamicUnloading = o.dynamicUnloading;
    s.corrections.thermalDrift = o.drift;
    if (!o.ap.empty() && !profiles::ParseCoefficientList(o.ap, s.areaCoefficients)) {
        std::cerr << kProgram << ": --ap: expected up to nine numbers separated by commas, got \""
                  << o.ap << "\"\n";
        return 2;
    }
    std::string error;
    if (!o.tips.empty() && !ReadTipList(o.tips, s.tips, error)) {
        std::cerr << kProgram << ": " << error << '\n';
        return 2;
    }
    if (s.from && s.to && !(*s.from < *s.to)) {
        std::cerr << kProgram << ": --from must be below --to\n";
        return 2;
    }
    if (o.csv) PrintCsvHeader();
    std::vector<TestResult> results;
    bool anyFailed = false;
    std::optional<io::ParsedFile> cached;
    std::filesystem::path cachedPath;
    for (const std::string& name : o.files) {
        const io::Address address = io::ParseAddress(name);
        if (!cached || cachedPath != address.file) {
            cached = io::ReadFile(address.file);
            cachedPath = address.file;
        }
        const io::ParsedFile& file = *cached;
        std::vector<TestResult> found;
        if (!file.status.ok()) {
            TestResult r;
            r.file = name, r.test = address.test;
            r.error = file.status.message();
            found.push_back(std::move(r));
        } else {
            for (const io::ParsedCurve& c : file.curves) {
                if (!address.test.empty() && c.test != address.test) continue;
                TestResult r;
                r.file = io::MakeAddress(address.file, c.test).string();
                r.test = c.test;
                r.profile = profiles::ComputeProfile(c, s);
                r.ok = r.profile.ok();
                if (!r.ok) r.error = r.file + ": " + r.profile.status.reason();
                r.average = profiles::AverageProfile(r.profile);
                if (o.nixGao.size() == 2)
                    r.nixGao = profiles::FitNixGao(r.profile, o.nixGao[0], o.nixGao[1]);
                found.push_back(std::move(r));
            }
            if (found.empty()) {
                TestResult r;
                r.file = name, r.test = address.test;
                r.error = address.file.string() + ": no test \"" + address.test + "\"";
                found.push_back(std::move(r));
            }
        }
        for (TestResult& r : found) {
            if (!r.ok) {
                anyFailed = true;
                std::cerr << kProgram << ": " << r.error << '\n';
            } else {
                for (const std::string& w : r.profile.warnings)
                    std::cerr << kProgram << ": " << r.file << ": " << w << '\n';
            }
            if (o.json)
                PrintJson(r, s);
            else if (o.csv)
                PrintCsvRows(r);
            else
                PrintText(r);
            // The arrays are printed; the summary needs only the averages, the workbook all.
            if (!o.xlsx.empty()) {
                results.push_back(std::move(r));
            } else if (o.summary) {
                r.profile = DepthProfile{};
                results.push_back(std::move(r));
            }
        }
    }
    if (o.summary) PrintSummary(results, o);
    std::cout.flush();
    if (!o.xlsx.empty()) {
        const Status written = WriteWorkbook(results, s, o);
        if (!written.ok()) {
            std::cerr << kProgram << ": " << written.message() << '\n';
            return 1;
        }
    }
    return anyFailed ? 1 : 0;
}

}  // namespace

void AddProfileCommand(CLI::App& app, int& exitStatus) {
    auto o = std::make_shared<ProfileOptions>();
    CLI::App* cmd = app.add_subcommand(
        "profile",
        "Hardness and modulus over depth of continuous-stiffness tests (.xls/.xlsx workbooks), "
        "their averages over a depth window and the statistics of the averages");
    cmd->add_option("--from", o->from,
                    "Averaging window from this depth, nm "
                    "(default: the workbook's, else 100)");
    cmd->add_option("--to", o->to,
                    "Averaging window to this depth, nm "
                    "(default: the workbook's, else 200)");
    auto* format = cmd->add_option_group("format");
    format->add_flag("--json", o->json, "One JSON object per line per test");
    format->add_flag("--csv", o->csv, "The long table: one row per sample");
    format->add_option("--xlsx", o->xlsx,
                       "Write a workbook: the averages, the long table, the statistics of the "
                       "averages and the settings (the text goes to the output as without a "
                       "format)");
    format->require_option(0, 1);
    cmd->add_flag("--summary", o->summary, "Finish with the statistics of the averages");
    cmd->add_option("--ap", o->ap,
                    "Area function C0,C1,... (up to nine); the workbooks record only three");
    cmd->add_option("--tips", o->tips,
                    "Tip list file, one \"NAME C0,C1,...\" a line: the tip named as the "
                    "workbook's gives the area function");
    cmd->add_option("--frame-stiffness", o->frameStiffness,
                    "Harmonic frame stiffness, N/m (for raw harmonic stiffness only)")
        ->check(CLI::PositiveNumber);
    cmd->add_option("--poisson", o->poisson, "Sample Poisson ratio (default: the workbook's)")
        ->check(CLI::Range(-1.0, 0.5));
    cmd->add_option("--nix-gao", o->nixGao, "Nix-Gao fit over depths FROM TO, nm")->expected(2);
    cmd->add_option("--epsilon", o->epsilon, "Epsilon of the contact depth")->capture_default_str();
    cmd->add_option("--beta", o->beta, "Beta of the reduced modulus")
        ->capture_default_str()
        ->check(CLI::PositiveNumber);
    cmd->add_option("--indenter-modulus", o->indenterModulus, "Indenter modulus, GPa")
        ->capture_default_str()
        ->check(CLI::PositiveNumber);
    cmd->add_option("--indenter-poisson", o->indenterPoisson, "Indenter Poisson ratio")
        ->capture_default_str()
        ->check(CLI::Range(-1.0, 0.5));
    cmd->add_flag("--peak-correction", o->peak,
                  "Use the peak load and depth of the oscillation (rms amplitudes x sqrt 2)");
    cmd->add_flag("--dynamic-unloading", o->dynamicUnloading,
                  "Correct the stiffness for the elastic unloading within the oscillation");
    cmd->add_flag("--drift", o->drift, "Correct the depths by the drift rate of the drift hold");
    cmd->add_option("FILE", o->files, "Workbooks or addresses FILE#TEST")->required();
    cmd->callback([o, &exitStatus] { exitStatus = Run(*o); });
}

}  // namespace marvek::cli
