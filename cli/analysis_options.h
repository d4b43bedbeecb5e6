#pragma once
// The analysis options every sub-command shares: where the settings come from and overrides.

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "core/io/parsed_curve.h"
#include "core/settings.h"

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
    float epsilonValue = 0, forceAccuracyValue = 0, complianceValue = 0, poissonValue = 0,
          indenterModulusValue = 0, indenterPoissonValue = 0;
};

void AddAnalysisOptions(CLI::App& command, AnalysisOptions& options);

// The settings of the user's parameter file (or --params, or the defaults with --defaults)
// with the overrides applied. False with a message when a file or a value is unusable.
bool ResolveSettings(const AnalysisOptions& options, Settings& settings, std::string& error);

// The reading choices of --format, --columns and --units. False with a message when one is
// malformed (ResolveSettings checks them too).
bool ResolveReadOptions(const AnalysisOptions& options, io::ReadOptions& read, std::string& error);

}  // namespace marvek::cli
