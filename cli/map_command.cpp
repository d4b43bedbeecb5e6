#include "map_command.h"

#include <iostream>
#include <memory>
#include <sstream>

#include "core/phases/map_data.h"
#include "core/phases/map_picture.h"
#include "core/phases/mixture.h"
#include "grid_input.h"

namespace marvek::cli {
namespace {

struct MapOptions {
    GridInputOptions input;
    std::string x = "x_um", y = "y_um", value;
    std::string columns;  // with --value phase: the columns the phases are found in
    std::string png, svg;
    int maxK = 5;
    std::uint64_t seed = 1;
};

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, ',');)
        if (!part.empty()) out.push_back(part);
    return out;
}

int Fail(const std::string& message, int status = 1) {
    std::cerr << "marvek-cli map: " << message << '\n';
    return status;
}

int Run(const MapOptions& o) {
    if (o.png.empty() && o.svg.empty()) return Fail("give --png OUT.png and/or --svg OUT.svg", 2);
    const bool phaseMap = o.value == "phase";
    const std::vector<std::string> phaseColumns = SplitList(o.columns);
    if (phaseMap && phaseColumns.empty())
        return Fail("--value phase needs --columns naming the columns the phases are found in", 2);
    std::vector<std::string> needed = {o.x, o.y};
    if (phaseMap)
        needed.insert(needed.end(), phaseColumns.begin(), phaseColumns.end());
    else
        needed.push_back(o.value);
    phases::Table table;
    std::string note;
    if (const Status s = LoadGridTable(o.input, needed, table, note); !s.ok())
        return Fail(s.message());
    phases::Samples samples;
    if (const Status s = phases::SelectColumns(table, needed, samples); !s.ok())
        return Fail(s.message());
    if (samples.values.empty())
        return Fail("no row has " + o.x + ", " + o.y + " and the value (" +
                    std::to_string(samples.leftOut) +
                    " rows lack one): give positions with "
                    "--positions or --grid");
    phases::MapPicture picture;
    if (phaseMap) {
        std::vector<std::vector<double>> properties;
        for (const auto& v : samples.values) properties.emplace_back(v.begin() + 2, v.end());
        phases::PhaseSettings settings;
        settings.maxK = o.maxK;
        settings.seed = o.seed;
        const phases::MixtureFit fit = phases::FitPhases(properties, settings);
        if (!fit.status.ok()) return Fail(fit.status.reason());
        for (std::size_t i = 0; i < samples.values.size(); ++i)
            picture.points.push_back({samples.values[i][0], samples.values[i][1],
                                      static_cast<double>(fit.label[i] + 1)});
        picture.categories = fit.k;
        picture.valueLabel = "phase (of " + std::to_string(fit.k) + ")";
        picture.grid = phases::InterpolateMap(picture.points);
    } else {
        for (const auto& v : samples.values) picture.points.push_back({v[0], v[1], v[2]});
        picture.valueLabel = samples.columns[2];
        picture.grid = phases::InterpolateMap(picture.points);
    }
    picture.title =
        picture.valueLabel + " over " + std::to_string(picture.points.size()) + " indents" +
        (samples.leftOut > 0 ? " (" + std::to_string(samples.leftOut) + " without a value)" : "");
    if (const Status s = phases::WriteMapPicture(picture, o.png, o.svg); !s.ok())
        return Fail(s.message());
    return 0;
}

}  // namespace

void AddMapCommand(CLI::App& app, int& exitStatus) {
    auto o = std::make_shared<MapOptions>();
    CLI::App* cmd = app.add_subcommand(
        "map",
        "A map of a result over the indent positions: interpolated surface, indents, "
        "colour bar");
    AddGridInputOptions(*cmd, o->input);
    cmd->add_option("--x", o->x, "Column of the x positions in µm (default x_um)");
    cmd->add_option("--y", o->y, "Column of the y positions in µm (default y_um)");
    cmd->add_option("--value", o->value, "Column to map (e.g. HIT), or phase")->required();
    cmd->add_option("--columns", o->columns, "With --value phase: the columns of the mixture");
    cmd->add_option("--max-k", o->maxK, "With --value phase: largest number of phases (default 5)");
    cmd->add_option("--seed", o->seed, "With --value phase: seed of the mixture (default 1)");
    cmd->add_option("--png", o->png, "Write the map as PNG");
    cmd->add_option("--svg", o->svg, "Write the map as SVG");
    cmd->callback([o, &exitStatus] { exitStatus = Run(*o); });
}

}  // namespace marvek::cli
