#include "list_command.h"

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "analysis_options.h"
#include "core/io/curve_description.h"
#include "core/io/parsed_curve.h"

namespace marvek::cli {

namespace {

struct ListOptions {
    AnalysisOptions analysis;  // only its reading options are used
    std::vector<std::string> files;
};

int Run(const ListOptions& o) {
    io::ReadOptions read;
    if (const Status checked = ResolveReadOptions(o.analysis, read); !checked.ok()) {
        std::cerr << "marvek-cli list: " << checked.message() << '\n';
        return 2;
    }
    bool anyFailed = false;
    for (const std::string& name : o.files) {
        const io::Address address = io::ParseAddress(name);
        const io::ParsedFile file = io::ReadFile(address.file, read);
        if (!file.status.ok()) {
            std::cerr << "marvek-cli list: " << file.status.message() << '\n';
            anyFailed = true;
            continue;
        }
        bool found = false;
        for (const io::ParsedCurve& c : file.curves) {
            if (!address.test.empty() && c.test != address.test) continue;
            found = true;
            std::cout << io::MakeAddress(address.file, c.test).string() << '\t' << c.format << '\t'
                      << c.size() << " points\t" << c.units << '\n';
            for (const std::string& line : io::DescribeCurve(file, c))
                std::cout << "  " << line << '\n';
        }
        if (address.test.empty())
            for (const io::SkippedPart& skipped : file.skipped)
                std::cout << address.file.string() << "\tskipped\t" << skipped.reason << '\n';
        if (!found) {
            std::cerr << "marvek-cli list: " << address.file.string() << ": no test \""
                      << address.test << "\"\n";
            anyFailed = true;
        }
    }
    return anyFailed ? 1 : 0;
}

}  // namespace

void AddListCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<ListOptions>();
    CLI::App* cmd = app.add_subcommand(
        "list", "List the curves of files: address, format, points, units read and warnings");
    cmd->add_option("--format", options->analysis.format, "Read every file as this format");
    cmd->add_option("--columns", options->analysis.columns,
                    "Columns of text files, 1-based: depth=N,load=N[,time=N]");
    cmd->add_option("--units", options->analysis.units,
                    "Units of text files: depth=nm|um|mm,load=nN|uN|mN|N");
    cmd->add_option("FILE", options->files, "Curve files or addresses FILE#TEST")->required();
    cmd->callback([options, &exitStatus] { exitStatus = Run(*options); });
}

}  // namespace marvek::cli
