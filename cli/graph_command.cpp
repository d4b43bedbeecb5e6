#include "graph_command.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>

#include "analysis_options.h"
#include "core/analysis/curve_analysis.h"
#include "core/config/settings_validation.h"
#include "core/series/graph_series.h"

namespace marvek::cli {

namespace {

struct GraphOptionsCli {
    AnalysisOptions analysis;
    std::string name;
    std::vector<std::string> files;
    std::string output;
    int curve = 0;
    CLI::Option* sectionSize = nullptr;
    float sectionSizeValue = 10;
    int threads = 0;
};

int Run(const GraphOptionsCli& o) {
    const GraphCommandInfo* info = FindGraphCommand(o.name);
    if (!info) {
        std::cerr << "marvek-cli graph: unknown graph '" << o.name << "'; one of:";
        for (const GraphCommandInfo& c : GraphCommands()) std::cerr << ' ' << c.name;
        std::cerr << '\n';
        return 2;
    }
    const std::optional<Settings> resolved =
        ResolveSettingsOrReport(o.analysis, "marvek-cli graph");
    if (!resolved) return 2;
    Settings settings = *resolved;
    if (o.sectionSize && *o.sectionSize) {
        settings.strategy.m_fSectionSizePercent = o.sectionSizeValue;
        if (const auto problems = Validate(settings); !problems.empty()) {
            std::cerr << "marvek-cli graph: " << DescribeProblems(problems) << '\n';
            return 2;
        }
    }

    CCurveAnalyzer analyzer;
    const StrategySettings& st = settings.strategy;
    ConfigureAnalyzer(analyzer, st);
    (void)ResolveReadOptions(o.analysis, analyzer.m_readOptions);  // checked above
    std::vector<std::filesystem::path> files(o.files.begin(), o.files.end());
    analyzer.SetFiles(files);
    // Counted over the curves: a workbook names one curve per test.
    if (o.curve < 0 || o.curve >= analyzer.m_nFileCount) {
        std::cerr << "marvek-cli graph: --curve " << o.curve << " is not in the list of "
                  << analyzer.m_nFileCount << " curves\n";
        return 2;
    }
    // The window analyses the current curve as soon as it is shown; the commands on the
    // current curve start from that state.
    CurveDisplay display;
    const Status current = AnalyzeCurve(analyzer, o.curve, settings, display);
    const bool overTheList =
        info->kind == GraphKind::CurveList || info->kind == GraphKind::Distribution;
    if (!current.ok() && !overTheList) {
        std::cerr << "marvek-cli graph: " << current.message() << '\n';
        return 1;
    }

    GraphOptions options;
    options.threads = o.threads;
    const GraphResult result =
        RunGraphCommand(info->command, analyzer, display, settings, o.curve, options);
    if (!result.error.empty()) {
        std::cerr << "marvek-cli graph: " << result.error << '\n';
        return 1;
    }
    if (!result.resultMessage.empty())
        std::cerr << kGraininessResultCaption << ": " << result.resultMessage << '\n';
    if (!result.note.empty()) std::cerr << "marvek-cli graph: " << result.note << '\n';
    // What the window writes in the graph's frame (a fit, a window's mean), line by line.
    std::size_t from = 0;
    while (from < result.series.text.size()) {
        const std::size_t end =
            std::min(result.series.text.find('\n', from), result.series.text.size());
        std::cerr << "marvek-cli graph: " << result.series.text.substr(from, end - from) << '\n';
        from = end + 1;
    }
    if (!result.failures.empty())
        std::cerr << "marvek-cli graph: " << DescribeGraphFailures(result.failures) << '\n';

    if (o.output.empty()) {
        std::cout << FormatGraphCsv(result.series) << std::flush;
        if (!std::cout) {
            std::cerr << "marvek-cli graph: could not write to standard output\n";
            return 1;
        }
    } else if (const Status written = WriteGraphCsv(result.series, o.output); !written.ok()) {
        std::cerr << "marvek-cli graph: " << written.message() << '\n';
        return 1;
    }
    return result.failures.empty() ? 0 : 1;
}

}  // namespace

void AddGraphCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<GraphOptionsCli>();
    std::string names;
    for (const GraphCommandInfo& c : GraphCommands())
        names += std::string(names.empty() ? "" : ", ") + c.name;
    CLI::App* cmd = app.add_subcommand(
        "graph", "Write the series of one graph as CSV (as the graph window saves it)");
    cmd->add_option("NAME", options->name, "The graph: " + names)->required();
    AddAnalysisOptions(*cmd, options->analysis);
    cmd->add_option("-o,--output", options->output, "Write the CSV here instead of to stdout");
    cmd->add_option("--curve", options->curve,
                    "Index of the current curve for the sweeps, graininess and profile graphs "
                    "(default 0)");
    options->sectionSize = cmd->add_option("--section-size", options->sectionSizeValue,
                                           "Section size in % (sweeps and graininess windows)");
    cmd->add_option("--threads", options->threads, "Worker threads (default: all cores)")
        ->check(CLI::PositiveNumber);
    cmd->add_option("FILE", options->files, "Curve files (.csv), in list order")->required();
    cmd->callback([options, &exitStatus] { exitStatus = Run(*options); });
}

}  // namespace marvek::cli
