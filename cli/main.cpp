// marvek-cli: the analysis core for scripts and batches.

#include <CLI/CLI.hpp>
#include <iostream>

#include "analyze_command.h"
#include "calibrate_command.h"
#include "export_command.h"
#include "graph_command.h"
#include "list_command.h"
#include "marvek_version.h"
#include "merge_command.h"
#include "split_command.h"

int main(int argc, char** argv) {
    CLI::App app{"Marvek: nanoindentation curve analysis from the command line"};
    app.set_version_flag("--version", std::string("marvek-cli ") + MARVEK_VERSION);
    app.require_subcommand(1);
    int exitStatus = 0;
    marvek::cli::AddAnalyzeCommand(app, exitStatus);
    marvek::cli::AddGraphCommand(app, exitStatus);
    marvek::cli::AddCalibrateCommand(app, exitStatus);
    marvek::cli::AddSplitCommand(app, exitStatus);
    marvek::cli::AddExportCommand(app, exitStatus);
    marvek::cli::AddListCommand(app, exitStatus);
    marvek::cli::AddMergeCommand(app, exitStatus);
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
