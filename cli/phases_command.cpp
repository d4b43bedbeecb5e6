#include "phases_command.h"

#include <cmath>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>

#include "core/io/csv_field.h"
#include "core/io/number_format.h"
#include "core/phases/mixture.h"
#include "core/platform/output_file.h"
#include "grid_input.h"

namespace marvek::cli {
namespace {

struct PhasesOptions {
    GridInputOptions input;
    std::string columns;
    int maxK = 5;
    std::uint64_t seed = 1;
    bool json = false;
    std::string labels;  // --labels OUT.csv
};

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, ',');)
        if (!part.empty()) out.push_back(part);
    return out;
}

nlohmann::ordered_json Number(double v) {
    return std::isfinite(v) ? nlohmann::ordered_json(v) : nlohmann::ordered_json(nullptr);
}

std::string LabelsCsv(const phases::Table& table, const phases::Samples& samples,
                      const phases::MixtureFit& fit) {
    const int file = phases::FindColumn(table, "file"), test = phases::FindColumn(table, "test");
    std::string out = "row,file,test,phase,probability\n";
    for (std::size_t i = 0; i < samples.values.size(); ++i) {
        const auto& row = table.rows[static_cast<std::size_t>(samples.rowOfSample[i])];
        out += FormatInt(samples.rowOfSample[i] + 1) + ',' + CsvField(file >= 0 ? row[file] : "") +
               ',' + CsvField(test >= 0 ? row[test] : "") + ',' + FormatInt(fit.label[i] + 1) +
               ',' + FormatShortest(fit.probability[i]) + '\n';
    }
    return out;
}

int Run(const PhasesOptions& o) {
    const std::vector<std::string> columns = SplitList(o.columns);
    if (columns.empty() || o.maxK < 1) {
        std::cerr
            << "marvek-cli phases: --columns names one or more columns, --max-k is at least 1\n";
        return 2;
    }
    phases::Table table;
    std::string note;
    if (const Status s = LoadGridTable(o.input, columns, table, note); !s.ok()) {
        std::cerr << "marvek-cli phases: " << s.message() << '\n';
        return 1;
    }
    phases::Samples samples;
    if (const Status s = phases::SelectColumns(table, columns, samples); !s.ok()) {
        std::cerr << "marvek-cli phases: " << s.message() << '\n';
        return 1;
    }
    phases::PhaseSettings settings;
    settings.maxK = o.maxK;
    settings.seed = o.seed;
    const phases::MixtureFit fit = phases::FitPhases(samples.values, settings);
    if (!fit.status.ok()) {
        std::cerr << "marvek-cli phases: " << fit.status.reason() << " (" << samples.leftOut
                  << " rows without a value left out)\n";
        return 1;
    }
    if (!o.labels.empty()) {
        if (const Status s = WriteOutputFile(o.labels, LabelsCsv(table, samples, fit)); !s.ok()) {
            std::cerr << "marvek-cli phases: " << s.message() << '\n';
            return 1;
        }
    }
    if (o.json) {
        nlohmann::ordered_json j;
        j["k"] = fit.k;
        j["n"] = fit.samples;
        j["leftOut"] = samples.leftOut;
        j["columns"] = samples.columns;
        j["bic"] = nlohmann::ordered_json::array();
        for (double b : fit.bic) j["bic"].push_back(Number(b));
        j["phases"] = nlohmann::ordered_json::array();
        for (const auto& p : fit.phases) {
            nlohmann::ordered_json ph;
            ph["weight"] = p.weight;
            for (std::size_t c = 0; c < columns.size(); ++c) {
                ph["mean"][columns[c]] = Number(p.mean[c]);
                ph["sd"][columns[c]] = Number(p.sd[c]);
            }
            if (columns.size() >= 2) ph["correlation"] = Number(p.correlation);
            j["phases"].push_back(ph);
        }
        std::cout << j.dump() << '\n';
        return 0;
    }
    std::cout << "Phases of " << fit.samples << " indents (" << note << "; " << samples.leftOut
              << " rows without a value left out)\n";
    std::cout << "BIC by number of phases:";
    for (std::size_t k = 0; k < fit.bic.size(); ++k)
        std::cout << "  k=" << k + 1 << ": " << FormatSignificant(fit.bic[k], 7);
    std::cout << "\nChosen: " << fit.k << (fit.k == 1 ? " phase\n" : " phases\n");
    for (std::size_t p = 0; p < fit.phases.size(); ++p) {
        const auto& ph = fit.phases[p];
        std::cout << "Phase " << p + 1 << ": weight " << FormatFixed(ph.weight, 3);
        for (std::size_t c = 0; c < samples.columns.size(); ++c)
            std::cout << ", " << samples.columns[c] << " " << FormatSignificant(ph.mean[c], 5)
                      << " ± " << FormatSignificant(ph.sd[c], 3);
        if (samples.columns.size() >= 2)
            std::cout << ", correlation " << FormatFixed(ph.correlation, 2);
        std::cout << '\n';
    }
    return 0;
}

}  // namespace

void AddPhasesCommand(CLI::App& app, int& exitStatus) {
    auto o = std::make_shared<PhasesOptions>();
    CLI::App* cmd = app.add_subcommand(
        "phases",
        "Phases of a grid of indents: a Gaussian mixture over result columns, the "
        "number of phases chosen by BIC");
    AddGridInputOptions(*cmd, o->input);
    cmd->add_option("--columns", o->columns,
                    "Result columns, comma-separated, named by header without unit (EIT,HIT)")
        ->required();
    cmd->add_option("--max-k", o->maxK, "Largest number of phases tried (default 5)");
    cmd->add_option("--seed", o->seed, "Seed of the mixture's starts (default 1)");
    cmd->add_flag("--json", o->json, "One JSON object: k, bic, phases");
    cmd->add_option("--labels", o->labels,
                    "Write each indent's likeliest phase and its probability to this CSV");
    cmd->callback([o, &exitStatus] { exitStatus = Run(*o); });
}

}  // namespace marvek::cli
