#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "core/analysis/curve_analyzer.h"
#include "core/config/settings.h"
#include "core/popins/popins.h"

namespace marvek::cli {

// `marvek-cli popin [options] FILE[#TEST]...`: the pop-ins of each curve's loading, the Hertz fit
// before the first, tauMax, and with --summary the statistics of the series.
void AddPopinCommand(CLI::App& app, int& exitStatus);

// One curve of `popin`: analysed with `settings` (Er from its unloading), then its pop-ins.
struct PopinCurveRow {
    std::string file, test;
    bool ok = false;
    std::string error;
    popins::PopinResult result;
};
PopinCurveRow AnalyzePopinCurve(CCurveAnalyzer& analyzer, const std::string& file,
                                const Settings& settings, const popins::PopinSettings& popin);

}  // namespace marvek::cli
