#include "analysis_options.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "core/config/parameter_file.h"
#include "core/config/settings_validation.h"
#include "core/io/number_format.h"

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
    command.add_option("--format", o.format,
                       "Read every file as this format instead of detecting it (see `list`)");
    command.add_option("--columns", o.columns,
                       "Columns of text files, 1-based: depth=N,load=N[,time=N]");
    command.add_option("--units", o.units, "Units of text files: depth=nm|um|mm,load=nN|uN|mN|N");
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

namespace {

bool ReadOptionsOrError(const AnalysisOptions& o, io::ReadOptions& read, std::string& error) {
    read = io::ReadOptions{};
    if (!o.format.empty()) {
        const auto& names = io::FormatNames();
        if (std::find(names.begin(), names.end(), o.format) == names.end()) {
            error = "--format: unknown format \"" + o.format + "\" (known:";
            for (const std::string& n : names) error += " " + n;
            error += ")";
            return false;
        }
        read.format = o.format;
    }
    // "key=value,key=value" into pairs.
    auto pairs = [&error](const std::string& text, const char* option,
                          std::vector<std::pair<std::string, std::string>>& out) {
        std::size_t pos = 0;
        while (pos <= text.size()) {
            std::size_t comma = text.find(',', pos);
            if (comma == std::string::npos) comma = text.size();
            const std::string item = text.substr(pos, comma - pos);
            const std::size_t eq = item.find('=');
            if (eq == std::string::npos || eq == 0 || eq + 1 == item.size()) {
                error = std::string(option) + ": expected key=value, got \"" + item + "\"";
                return false;
            }
            out.emplace_back(item.substr(0, eq), item.substr(eq + 1));
            pos = comma + 1;
        }
        return true;
    };
    std::vector<std::pair<std::string, std::string>> items;
    if (!o.columns.empty()) {
        if (!pairs(o.columns, "--columns", items)) return false;
        for (const auto& [key, value] : items) {
            std::size_t used = 0;
            const int n = ParseInt(value, &used);
            if (used != value.size() || n < 1 || n > 1000) {
                error =
                    "--columns: " + key + " must be a column number from 1, got \"" + value + "\"";
                return false;
            }
            if (key == "depth")
                read.depthColumn = n;
            else if (key == "load" || key == "force")
                read.loadColumn = n;
            else if (key == "time")
                read.timeColumn = n;
            else
                return error = "--columns: unknown column \"" + key + "\" (depth, load, time)",
                       false;
        }
        if (read.depthColumn == 0 || read.loadColumn == 0)
            return error = "--columns: both depth=N and load=N are needed", false;
    }
    items.clear();
    if (!o.units.empty()) {
        if (!pairs(o.units, "--units", items)) return false;
        for (const auto& [key, value] : items) {
            if (key == "depth")
                read.depthUnit = value;
            else if (key == "load" || key == "force")
                read.loadUnit = value;
            else
                return error = "--units: unknown quantity \"" + key + "\" (depth, load)", false;
        }
    }
    return true;
}

}  // namespace

Status ResolveReadOptions(const AnalysisOptions& o, io::ReadOptions& read) {
    std::string error;
    if (!ReadOptionsOrError(o, read, error)) return Status::Error(error);
    return {};
}

Status ResolveSettings(const AnalysisOptions& o, Settings& s) {
    io::ReadOptions read;
    if (Status checked = ResolveReadOptions(o, read); !checked.ok()) return checked;
    s = o.base ? *o.base : Settings{};
    if (!o.defaults && !o.base) {
        const std::filesystem::path file =
            o.params.empty() ? DefaultParameterFilePath() : std::filesystem::path(o.params);
        const ParameterFileResult loaded = LoadParameters(file, s);
        if (!loaded.ok() && !o.params.empty())
            return Status::Error("--params: " + loaded.status.message());
        for (const std::string& warning : loaded.warnings)
            std::cerr << "marvek-cli: " << warning << '\n';
    }
    StrategySettings& st = s.strategy;
    if (!o.method.empty()) {
        st.m_nMethod = static_cast<int>(o.method == "dn" ? AnalysisMethod::DoernerNix
                                                         : AnalysisMethod::OliverPharr);
    }
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

}  // namespace marvek::cli
