#include "analysis_options.h"

#include <cmath>
#include <filesystem>
#include <iostream>

#include "core/io/number_format.h"
#include "core/io/parameter_file.h"
#include "core/io/settings_validation.h"

namespace marvek::cli {

void AddAnalysisOptions(CLI::App& command, AnalysisOptions& o) {
    command.add_option("--params", o.params, "Read the settings from this parameter file");
    command.add_flag("--defaults", o.defaults, "Ignore the parameter file; use built-in defaults");
    command
        .add_option("--method", o.method, "Unload method: op (Oliver-Pharr) or dn (Doerner-Nix)")
        ->check(CLI::IsMember({"op", "dn"}));
    o.epsilon = command.add_option("--epsilon", o.epsilonValue, "Sneddon's epsilon");
    command.add_option("--op-range", o.opRange, "Oliver-Pharr force range MIN MAX, %")
        ->expected(2)
        ->allow_extra_args(false);
    command.add_option("--dn-range", o.dnRange, "Doerner-Nix force range MIN MAX, %")
        ->expected(2)
        ->allow_extra_args(false);
    command
        .add_option("--zero-point", o.zeroPoint,
                    "Zero-point correction on, fit window MIN MAX, % of the maximum load")
        ->expected(2)
        ->allow_extra_args(false);
    command.add_flag("--drift", o.drift, "Thermal-drift correction on");
    o.forceAccuracy =
        command.add_option("--force-accuracy", o.forceAccuracyValue, "Force accuracy, +- mN");
    o.compliance = command.add_option("--compliance", o.complianceValue, "Frame compliance, nm/mN");
    o.poisson = command.add_option("--poisson", o.poissonValue, "Sample Poisson ratio");
    o.indenterModulus =
        command.add_option("--indenter-modulus", o.indenterModulusValue, "Indenter modulus, GPa");
    o.indenterPoisson =
        command.add_option("--indenter-poisson", o.indenterPoissonValue, "Indenter Poisson ratio");
    command.add_option("--ap", o.ap, "Projected-area coefficients C0,C1,... (up to nine)");
    command.add_option("--as", o.as, "Surface-area coefficients C0,C1,... (up to nine)");
}

namespace {

Status ParseCoefficients(const std::string& text, const char* name, AreaCoefficients& coef) {
    AreaCoefficients parsed{};
    std::size_t count = 0, pos = 0;
    for (;;) {
        const std::size_t comma = text.find(',', pos);
        const std::string item = text.substr(pos, comma == std::string::npos ? comma : comma - pos);
        std::size_t used = 0;
        const double value = ParseDouble(item, &used);
        if (used == 0 || used != item.size() || !std::isfinite(value) || count == parsed.size()) {
            return Status::Error(std::string(name) +
                                 ": expected up to nine numbers separated by commas, got \"" +
                                 text + "\"");
        }
        parsed[count++] = value;
        if (comma == std::string::npos) break;
        pos = comma + 1;
    }
    coef = parsed;
    return {};
}

}  // namespace

Status ResolveSettings(const AnalysisOptions& o, Settings& s) {
    s = Settings{};
    if (!o.defaults) {
        const std::filesystem::path file =
            o.params.empty() ? DefaultParameterFilePath() : std::filesystem::path(o.params);
        const ParameterFileResult loaded = LoadParameters(file, s);
        if (!loaded.ok() && !o.params.empty())
            return Status::Error("--params: " + loaded.status.message());
        for (const std::string& warning : loaded.warnings)
            std::cerr << "marvek-cli: " << warning << '\n';
    }
    StrategySettings& st = s.strategy;
    if (!o.method.empty()) st.m_nMethod = o.method == "dn" ? 1 : 0;
    if (*o.epsilon) st.m_fEpsilon = o.epsilonValue;
    if (o.opRange.size() == 2) {
        st.m_fOPMinPercent = o.opRange[0];
        st.m_fOPMaxPercent = o.opRange[1];
    }
    if (o.dnRange.size() == 2) {
        st.m_fDNMinPercent = o.dnRange[0];
        st.m_fDNMaxPercent = o.dnRange[1];
    }
    if (o.zeroPoint.size() == 2) {
        st.m_bZeroPointCorrection = 1;
        st.m_fZeroFitMinPercent = o.zeroPoint[0];
        st.m_fZeroFitMaxPercent = o.zeroPoint[1];
    }
    if (o.drift) st.m_bDriftCorrection = 1;
    if (*o.forceAccuracy) st.m_fForceAccuracy = o.forceAccuracyValue;
    if (*o.compliance) s.compliance.m_fCompliance = o.complianceValue;
    if (*o.poisson) s.m_fPoisson = o.poissonValue;
    AreaFunctionSettings& af = s.areaFunction;
    if (*o.indenterModulus) af.m_fIndenterModulus = o.indenterModulusValue;
    if (*o.indenterPoisson) af.m_fIndenterPoisson = o.indenterPoissonValue;
    if (!o.ap.empty())
        if (Status parsed = ParseCoefficients(o.ap, "--ap", af.m_dApCoef); !parsed.ok())
            return parsed;
    if (!o.as.empty())
        if (Status parsed = ParseCoefficients(o.as, "--as", af.m_dAsCoef); !parsed.ok())
            return parsed;
    CopyStrategyToAreaFunction(st, af);
    CopyComplianceToAreaFunction(s.compliance, af);
    const std::vector<SettingsProblem> problems = Validate(s);
    if (!problems.empty()) return Status::Error(DescribeProblems(problems));
    return {};
}

std::optional<Settings> ResolveSettingsOrReport(const AnalysisOptions& options,
                                                const std::string& program) {
    Settings settings;
    const Status resolved = ResolveSettings(options, settings);
    if (resolved.ok()) return settings;
    std::cerr << program << ": " << resolved.message() << '\n';
    return std::nullopt;
}

}  // namespace marvek::cli
