#pragma once
// The analysis options every sub-command shares: where the settings come from and overrides.

#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "core/base/status.h"
#include "core/config/settings.h"
#include "core/io/parsed_curve.h"

namespace marvek::cli {

struct AnalysisOptions {
    std::string params;     // --params PATH
    bool defaults = false;  // --defaults
    std::string method;     // op | dn
    std::vector<float> opRange, dnRange, zeroPoint;
    std::string ap, as;  // comma-separated coefficients
    bool drift = false;
    CLI::Option* epsilon = nullptr;
    CLI::Option* forceAccuracy = nullptr;
    CLI::Option* compliance = nullptr;
    CLI::Option* poisson = nullptr;
    CLI::Option* indenterModulus = nullptr;
    CLI::Option* indenterPoisson = nullptr;
    // How curve files are read: --format, --columns, --units.
    std::string format, columns, units;
    // Settings to start from instead of the parameter file (a project's); overrides still apply.
    std::optional<Settings> base;
    float epsilonValue = 0, forceAccuracyValue = 0, complianceValue = 0, poissonValue = 0,
          indenterModulusValue = 0, indenterPoissonValue = 0;
};

void AddAnalysisOptions(CLI::App& command, AnalysisOptions& options);

// The settings of the user's parameter file (or --params, or the defaults with --defaults)
// with the overrides applied. False with a message when a file or a value is unusable (every
// problem Validate finds, one per line); values the parameter file held that Validate refuses
// are replaced by their defaults with a warning on stderr.
Status ResolveSettings(const AnalysisOptions& options, Settings& settings);

// ResolveSettings for a sub-command: the settings, or nothing after "PROGRAM: message" on stderr.
std::optional<Settings> ResolveSettingsOrReport(const AnalysisOptions& options,
                                                const std::string& program);

// The reading choices of --format, --columns and --units. False with a message when one is
// malformed (ResolveSettings checks them too).
Status ResolveReadOptions(const AnalysisOptions& options, io::ReadOptions& read);

// Appends the paths listed one per line in `list` ("-" reads them from standard input); false
// when the list cannot be opened.
bool ReadFileList(const std::string& list, std::vector<std::string>& files);

}  // namespace marvek::cli
