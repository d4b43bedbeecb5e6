#include "export_command.h"

#include <tbb/global_control.h>

#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "analysis_options.h"
#include "core/analysis/curve_analysis.h"
#include "core/analysis/power_law_search.h"
#include "core/analysis/results_text.h"
#include "core/tools/save_curves.h"

namespace marvek::cli {

namespace {

struct ExportOptions {
    AnalysisOptions analysis;
    std::string file;
    std::string output;
};

int Run(const ExportOptions& o) {
    const std::optional<Settings> resolved =
        ResolveSettingsOrReport(o.analysis, "marvek-cli export");
    if (!resolved) return 2;
    Settings settings = *resolved;
    const StrategySettings& st = settings.strategy;
    auto analyzer = std::make_unique<CCurveAnalyzer>();
    ConfigureAnalyzer(*analyzer, st);
    (void)ResolveReadOptions(o.analysis, analyzer->m_readOptions);  // checked above
    analyzer->SetFiles({o.file});

    CurveDisplay display;
    // One curve: starting the thread pool costs more than it saves.
    const tbb::global_control oneThread(tbb::global_control::max_allowed_parallelism, 1);
    const Status outcome = AnalyzeCurve(*analyzer, 0, settings, display);
    if (!outcome.ok()) {
        std::cerr << "marvek-cli export: " << outcome.message() << '\n';
        return 1;
    }
    const std::string results = BuildResultsText(*analyzer, display, st.method());
    const std::string failure =
        WriteSaveCurvesFile(o.output, BuildSaveCurvesText(results, display));
    if (!failure.empty()) {
        std::cerr << "marvek-cli export: " << failure << '\n';
        return 1;
    }
    return 0;
}

}  // namespace

void AddExportCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<ExportOptions>();
    CLI::App* cmd = app.add_subcommand(
        "export", "Write one curve with its fit, extrapolation and results text as CSV");
    AddAnalysisOptions(*cmd, options->analysis);
    cmd->add_option("FILE", options->file, "Curve file (.csv)")->required();
    cmd->add_option("-o,--output", options->output, "Output file (.csv)")->required();
    cmd->callback([options, &exitStatus] { exitStatus = Run(*options); });
}

}  // namespace marvek::cli
