// marvek-cli: the analysis core for scripts and batches.

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <iterator>
#include <string_view>
#include <utility>

#include "analyze_command.h"
#include "calibrate_command.h"
#include "export_command.h"
#include "graph_command.h"
#include "list_command.h"
#include "map_command.h"
#include "marvek_version.h"
#include "merge_command.h"
#include "phases_command.h"
#include "popin_command.h"
#include "profile_command.h"
#include "report_command.h"
#include "split_command.h"

int main(int argc, char** argv) {
    CLI::App app{"Marvek: nanoindentation curve analysis from the command line"};
    app.set_version_flag("--version", std::string("marvek-cli ") + MARVEK_VERSION);
    app.require_subcommand(1);
    int exitStatus = 0;
    // Only the subcommand named is built when one is: building them all took a millisecond of
    // every run. Help and errors without one still see them all.
    using Adder = void (*)(CLI::App&, int&);
    static constexpr std::pair<std::string_view, Adder> kCommands[] = {
        {"analyze", &marvek::cli::AddAnalyzeCommand},
        {"graph", &marvek::cli::AddGraphCommand},
        {"calibrate", &marvek::cli::AddCalibrateCommand},
        {"split", &marvek::cli::AddSplitCommand},
        {"export", &marvek::cli::AddExportCommand},
        {"list", &marvek::cli::AddListCommand},
        {"merge", &marvek::cli::AddMergeCommand},
        {"phases", &marvek::cli::AddPhasesCommand},
        {"map", &marvek::cli::AddMapCommand},
        {"profile", &marvek::cli::AddProfileCommand},
        {"popin", &marvek::cli::AddPopinCommand},
        {"report", &marvek::cli::AddReportCommand}};
    const std::string_view named = argc > 1 ? argv[1] : "";
    const bool known = std::any_of(std::begin(kCommands), std::end(kCommands),
                                   [&](const auto& c) { return c.first == named; });
    for (const auto& [name, add] : kCommands)
        if (!known || name == named) add(app, exitStatus);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);  // printing the version is a success, not a usage error
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return 2;
    }
    return exitStatus;
}
