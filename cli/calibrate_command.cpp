#include "calibrate_command.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis_options.h"
#include "core/calibration/area_function_calibration.h"
#include "core/calibration/compliance_calibration.h"
#include "core/config/parameter_file.h"
#include "core/io/number_format.h"
#include "core/series/graph_series.h"

namespace marvek::cli {

namespace {

struct CalibrateOptions {
    AnalysisOptions analysis;
    std::vector<std::string> files;
    bool save = false;
    std::string points;
    // Area function only.
    CLI::Option* terms = nullptr;
    int termsValue = 2;
    bool fixLeading = false;
    bool freeLeading = false;
    CLI::Option* sampleModulus = nullptr;
    float sampleModulusValue = 0;
    CLI::Option* samplePoisson = nullptr;
    float samplePoissonValue = 0;
};

std::vector<std::filesystem::path> Paths(const std::vector<std::string>& files) {
    return {files.begin(), files.end()};
}

std::filesystem::path ParameterFile(const AnalysisOptions& analysis) {
    return analysis.params.empty() ? DefaultParameterFilePath()
                                   : std::filesystem::path(analysis.params);
}

bool WritePoints(const std::string& file, const char* xTitle, const char* yTitle,
                 const std::vector<double>& x, const std::vector<double>& y) {
    if (file.empty()) return true;
    GraphSeries series;
    series.xTitle = xTitle;
    series.yTitle = yTitle;
    series.x = x;
    series.y = y;
    if (const Status written = WriteGraphCsv(series, file); !written.ok()) {
        std::cerr << "marvek-cli: " << written.message() << '\n';
        return false;
    }
    return true;
}

// Reads the parameter file as it stands (without this command's overrides), lets `apply` set
// the calibrated values and writes it back atomically.
template <typename Apply>
bool SaveResult(const AnalysisOptions& analysis, Apply apply) {
    const std::filesystem::path file = ParameterFile(analysis);
    Settings stored;
    LoadParameters(file, stored);  // a missing file starts from the defaults
    apply(stored);
    const Status saved = SaveParameters(file, stored);
    if (!saved.ok()) {
        std::cerr << "marvek-cli: " << saved.message() << '\n';
        return false;
    }
    std::cout << "Saved to " << file.string() << '\n';
    return true;
}

int RunCompliance(const CalibrateOptions& o) {
    const std::optional<Settings> resolved = ResolveSettingsOrReport(o.analysis, "marvek-cli");
    if (!resolved) return 2;
    Settings settings = *resolved;
    CCurveAnalyzer analyzer;
    (void)ResolveReadOptions(o.analysis, analyzer.m_readOptions);  // checked above
    analyzer.SetFiles(Paths(o.files));
    PrepareComplianceAnalyzer(analyzer, settings.strategy);
    const ComplianceCalibrationResult r = CalibrateCompliance(
        analyzer,
        MakeComplianceCalibrationSettings(settings.strategy, settings.areaFunction.m_dApCoef));
    for (const ComplianceFit& fit : r.fits) std::cout << fit.text << '\n';
    if (!r.note.empty()) std::cerr << r.note << '\n';
    if (!r.ok()) {
        std::cerr << "marvek-cli: calibration failed: " << r.status.message() << '\n';
        return 1;
    }
    const float compliance = static_cast<float>(r.compliance);
    std::cout << "Frame compliance: " << FormatFixed(compliance, 6) << " nm/mN\n";
    if (!WritePoints(o.points, kComplianceGraphXTitle, kComplianceGraphYTitle, r.x, r.y)) return 1;
    if (o.save &&
        !SaveResult(o.analysis, [&](Settings& s) { s.compliance.m_fCompliance = compliance; })) {
        return 1;
    }
    return 0;
}

int RunArea(const CalibrateOptions& o) {
    const std::optional<Settings> resolved = ResolveSettingsOrReport(o.analysis, "marvek-cli");
    if (!resolved) return 2;
    Settings settings = *resolved;
    AreaFunctionSettings& af = settings.areaFunction;
    af.m_fFrameCompliance = settings.compliance.m_fCompliance;
    if (*o.terms) af.m_nFunctionTerms = o.termsValue;
    if (o.fixLeading) af.m_bFixLeadingTerm = 1;
    if (o.freeLeading) af.m_bFixLeadingTerm = 0;
    if (*o.sampleModulus) af.m_fSampleModulus = o.sampleModulusValue;
    if (*o.samplePoisson) af.m_fSamplePoisson = o.samplePoissonValue;

    CCurveAnalyzer analyzer;
    (void)ResolveReadOptions(o.analysis, analyzer.m_readOptions);  // checked above
    analyzer.SetFiles(Paths(o.files));
    PrepareAreaFunctionAnalyzer(analyzer, settings.strategy);
    const AreaFunctionCalibrationResult r = CalibrateAreaFunction(analyzer, af);
    if (!r.note.empty()) std::cerr << r.note << '\n';
    if (!r.ok()) {
        std::cerr << "marvek-cli: calibration failed: " << r.status.message() << '\n';
        return 1;
    }
    for (std::size_t k = 0; k < r.apCoef.size(); ++k) {
        std::cout << "Ap_" << FormatInt(static_cast<long long>(k)) << " = "
                  << FormatSignificant(r.apCoef[k], 17) << '\n';
    }
    std::cout << "R^2 = " << FormatSignificant(r.rSquared, 17) << '\n';
    if (!WritePoints(o.points, kAreaFunctionGraphXTitle, kAreaFunctionGraphYTitle, r.hc, r.ap)) {
        return 1;
    }
    if (o.save && !SaveResult(o.analysis, [&](Settings& s) {
            s.areaFunction.m_dApCoef = r.apCoef;
            s.areaFunction.m_dFitRSquared = r.rSquared;
            s.areaFunction.m_nFunctionTerms = af.m_nFunctionTerms;
            s.areaFunction.m_bFixLeadingTerm = af.m_bFixLeadingTerm;
            s.areaFunction.m_fSampleModulus = af.m_fSampleModulus;
        })) {
        return 1;
    }
    return 0;
}

void AddCommonOptions(CLI::App& cmd, CalibrateOptions& o) {
    AddAnalysisOptions(cmd, o.analysis);
    cmd.add_flag("--save", o.save,
                 "Write the result into the parameter file (--params or the user's)");
    cmd.add_option("--points", o.points, "Write the calibration graph's points to this CSV file");
    cmd.add_option("FILE", o.files, "Curve files (.csv) of the calibration indents")->required();
}

}  // namespace

void AddCalibrateCommand(CLI::App& app, int& exitStatus) {
    CLI::App* calibrate = app.add_subcommand("calibrate", "Calibrate from a series of indents");
    calibrate->require_subcommand(1);

    auto compliance = std::make_shared<CalibrateOptions>();
    CLI::App* cmd = calibrate->add_subcommand(
        "compliance",
        "Frame compliance from indents of different maximum force; prints every "
        "fit of the iteration");
    AddCommonOptions(*cmd, *compliance);
    cmd->callback([compliance, &exitStatus] { exitStatus = RunCompliance(*compliance); });

    auto area = std::make_shared<CalibrateOptions>();
    cmd = calibrate->add_subcommand(
        "area", "Projected area function from indents into a material of known modulus");
    AddCommonOptions(*cmd, *area);
    area->terms = cmd->add_option("--terms", area->termsValue, "Number of terms to fit, 1 to 9")
                      ->check(CLI::Range(1, 9));
    auto* lead = cmd->add_option_group("leading term");
    lead->add_flag("--fix-leading", area->fixLeading, "Keep the h^2 coefficient (Ap_0) fixed");
    lead->add_flag("--free-leading", area->freeLeading, "Fit the h^2 coefficient too");
    lead->require_option(0, 1);
    area->sampleModulus = cmd->add_option("--sample-modulus", area->sampleModulusValue,
                                          "Modulus of the reference sample, GPa");
    area->samplePoisson = cmd->add_option("--sample-poisson", area->samplePoissonValue,
                                          "Poisson's ratio of the reference sample");
    cmd->callback([area, &exitStatus] { exitStatus = RunArea(*area); });
}

}  // namespace marvek::cli
