#include "split_command.h"

#include <cmath>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "core/config/settings.h"
#include "core/io/number_format.h"
#include "core/tools/multi_cycle_split.h"

namespace marvek::cli {

namespace {

struct SplitOptions {
    std::string mode;
    float forceAccuracy = StrategySettings{}.m_fForceAccuracy;
    std::vector<std::string> files;
};

int Run(const SplitOptions& o) {
    if (!std::isfinite(o.forceAccuracy) || o.forceAccuracy < 0) {
        std::cerr << "marvek-cli split: --force-accuracy must be a number >= 0\n";
        return 2;
    }
    const SplitKind kind = o.mode == "reload" ? SplitKind::Reload : SplitKind::Unload;
    const char* created = kind == SplitKind::Unload ? " unload curve files created\n"
                                                    : " reload curves files created\n";
    // The split reads the raw curves: no zero-point correction, as with the built-in settings.
    auto reader = std::make_unique<CCurveAnalyzer>();
    const double band = HoldBand(o.forceAccuracy, reader->m_dHoldBandFactor);
    bool anyFailed = false;
    // A workbook splits test by test; each test's files carry its name.
    const std::vector<std::filesystem::path> addresses =
        io::ExpandAddresses(std::vector<std::filesystem::path>(o.files.begin(), o.files.end()));
    for (const std::filesystem::path& address : addresses) {
        const std::string file = address.string();
        const SplitFileReport report = SplitCurveFile(*reader, file, kind, band);
        std::cout << file << ": " << FormatInt(report.CreatedCount()) << created << std::flush;
        if (!report.read.ok())
            std::cerr << "marvek-cli split: skipped " << report.read.message() << '\n';
        for (const auto& [path, reason] : report.failed)
            std::cerr << "marvek-cli split: " << path.string() << ": " << reason << '\n';
        anyFailed = anyFailed || !report.ok();
    }
    return anyFailed ? 1 : 0;
}

}  // namespace

void AddSplitCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<SplitOptions>();
    CLI::App* cmd = app.add_subcommand(
        "split", "Cut multi-cycle curve files into one file per cycle (NAME_ku.csv / NAME_kr.csv)");
    cmd->add_option("MODE", options->mode,
                    "unload: one file per cycle with its unloading; reload: one file per "
                    "reloading")
        ->required()
        ->check(CLI::IsMember({"unload", "reload"}));
    cmd->add_option("--force-accuracy", options->forceAccuracy,
                    "Tool force accuracy, +- mN; the hold band is 6 times this (default 0.02)");
    cmd->add_option("FILE", options->files, "Multi-cycle curve files")->required();
    cmd->callback([options, &exitStatus] { exitStatus = Run(*options); });
}

}  // namespace marvek::cli
