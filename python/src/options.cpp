#include "options.h"

#include <CLI/CLI.hpp>
#include <algorithm>

#include "cli/analysis_options.h"
#include "cli/series_output.h"
#include "core/config/settings_validation.h"

namespace marvek::python {

namespace {

// The options of `marvek-cli analyze` that change numbers or rows; output choices (--json,
// --summary, --xlsx, --shard, ...) have no meaning for a table returned to Python.
struct Parser {
    CLI::App app{"marvek"};
    cli::AnalysisOptions analysis;
    cli::IsoOptions iso;
    cli::SeriesCliOptions series;
    bool useFileSettings = false;
    int threads = 0;
    Parser() {
        cli::AddAnalysisOptions(app, analysis);
        cli::AddIsoOptions(app, iso);
        cli::AddSeriesOptions(app, series);
        for (const char* output : {"--summary", "--xlsx"})
            app.remove_option(app.get_option(output));
        app.add_option("--threads", threads)->check(CLI::PositiveNumber);
        app.add_flag("--use-file-settings", useFileSettings);
    }
};

std::string FirstOption(const std::string& message) {
    const std::size_t at = message.find("--");
    if (at == std::string::npos) return "";
    std::size_t end = at + 2;
    while (end < message.size() &&
           (std::isalnum(static_cast<unsigned char>(message[end])) || message[end] == '-'))
        ++end;
    return message.substr(at, end - at);
}

}  // namespace

std::vector<std::string> KnownOptions() {
    Parser p;
    std::vector<std::string> names;
    for (const CLI::Option* o : p.app.get_options()) {
        for (const std::string& n : o->get_lnames()) names.push_back(n);
    }
    return names;
}

Resolution ResolveCallSettings(std::vector<std::string> args) {
    Parser p;
    Resolution r;
    const bool hasParams = std::find(args.begin(), args.end(), "--params") != args.end();
    if (!hasParams) args.push_back("--defaults");
    std::reverse(args.begin(), args.end());  // CLI11 takes its vector last argument first
    try {
        p.app.parse(args);
    } catch (const CLI::ParseError& e) {
        r.message = e.what();
        r.option = FirstOption(r.message);
        return r;
    }
    CallSettings s;
    const Status resolved = cli::ResolveSettings(p.analysis, s.settings);
    if (!resolved.ok()) {
        r.message = resolved.message();
        r.option = FirstOption(r.message);
        const std::vector<SettingsProblem> problems = Validate(s.settings);
        if (r.option.empty() && !problems.empty()) r.setting = problems.front().setting;
        return r;
    }
    if (const Status read = cli::ResolveReadOptions(p.analysis, s.read); !read.ok()) {
        r.message = read.message();
        r.option = FirstOption(r.message);
        return r;
    }
    std::string error;
    if (!cli::ResolveSeriesOptions(p.series, s.settings, error)) {
        r.message = error;
        r.option = FirstOption(error);
        return r;
    }
    s.iso = p.iso;
    s.excludeCodes = p.series.codes;
    s.useFileSettings = p.useFileSettings;
    s.threads = p.threads;
    r.settings = std::move(s);
    return r;
}

}  // namespace marvek::python
