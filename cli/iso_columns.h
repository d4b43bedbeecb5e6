#pragma once
// The instrumented-indentation result set and the uncertainty in `marvek-cli analyze`: its
// options, and its columns in CSV and keys in JSON.

#include <CLI/CLI.hpp>
#include <functional>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "core/analysis/curve_analyzer.h"
#include "core/analysis/iso_quantities.h"
#include "core/analysis/uncertainty.h"
#include "core/config/settings.h"

namespace marvek::cli {

struct IsoOptions {
    bool uncertainty = false;
    UncertaintyOptions u;
};

struct IsoResult {
    IsoQuantities quantities;
    ModulusUncertainty uncertainty;  // filled only with --uncertainty
};

void AddIsoOptions(CLI::App& cmd, IsoOptions& options);

// From the analyzer right after its analysis with `settings`.
IsoResult ComputeIsoResult(const CCurveAnalyzer& analyzer, const Settings& settings,
                           const IsoOptions& options);

// The result set's columns: JSON key, unit ("" for none) and value in that unit (NaN where the
// curve has none), for tables built from the same rows (the Python package).
struct IsoColumnView {
    const char* json;
    std::string unit;
    std::function<double(const IsoResult&)> value;
};
const std::vector<IsoColumnView>& IsoColumnViews();

// CSV: ",name [unit]..." after the other columns; a row's fields are empty when absent.
void PrintIsoCsvHeader(std::ostream& out, const IsoOptions& options);
void PrintIsoCsvFields(std::ostream& out, const IsoResult& r, bool ok, const IsoOptions& options);
// JSON: absent values are null.
void AddIsoJson(nlohmann::ordered_json& j, const IsoResult& r, bool ok, const IsoOptions& options);

}  // namespace marvek::cli
