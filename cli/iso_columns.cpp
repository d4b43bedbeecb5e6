#include "iso_columns.h"

#include <cmath>
#include <string>

#include "core/base/quantity_labels.h"
#include "core/io/number_format.h"

namespace marvek::cli {

namespace {

struct IsoColumn {
    const char* json;
    const char* csv;
    const Quantity IsoQuantities::*member;
    double scale = 1;  // from the quantity's unit to the column's
};

constexpr IsoColumn kColumns[] = {
    {"Wtotal", labels::kWTotalTitle, &IsoQuantities::wTotal, labels::kMicroJoulePerNanoJoule},
    {"Welast", labels::kWElasticTitle, &IsoQuantities::wElastic, labels::kMicroJoulePerNanoJoule},
    {"Wplast", labels::kWPlasticTitle, &IsoQuantities::wPlastic, labels::kMicroJoulePerNanoJoule},
    {"etaIT", "etaIT [%]", &IsoQuantities::etaIT},
    {"CIT", "CIT [%]", &IsoQuantities::cIT},
    {"CITholdTime", "CITholdTime [s]", &IsoQuantities::holdTime},
    {"RIT", "RIT [%]", &IsoQuantities::rIT},
    {"HMs", "HMs [MPa]", &IsoQuantities::hMs},
    {"HMsR2", "HMsR2", &IsoQuantities::hMsR2},
};

std::string Field(double v) { return std::isfinite(v) ? FormatShortest(v) : std::string(); }

nlohmann::ordered_json Number(double v) {
    return std::isfinite(v) ? nlohmann::ordered_json(v) : nlohmann::ordered_json();
}

}  // namespace

const std::vector<IsoColumnView>& IsoColumnViews() {
    static const std::vector<IsoColumnView> views = [] {
        std::vector<IsoColumnView> out;
        for (const IsoColumn& c : kColumns) {
            const std::string title = c.csv;
            const auto open = title.find('['), close = title.rfind(']');
            out.push_back(
                {c.json, open == std::string::npos ? "" : title.substr(open + 1, close - open - 1),
                 [&c](const IsoResult& r) {
                     const Quantity& q = r.quantities.*c.member;
                     return q.present() ? q.value * c.scale : NAN;
                 }});
        }
        return out;
    }();
    return views;
}

void AddIsoOptions(CLI::App& cmd, IsoOptions& o) {
    cmd.add_flag("--uncertainty", o.uncertainty,
                 "Add the standard uncertainty of EIT and HIT with its budget (Oliver-Pharr)");
    cmd.add_option("--mc-runs", o.u.monteCarloRuns,
                   "Monte Carlo re-fits of the uncertainty's fit check (default 200)")
        ->check(CLI::Range(0, 100000));
    cmd.add_option("--mc-seed", o.u.seed, "Seed of the Monte Carlo (default 1)");
    cmd.add_option("--u-compliance", o.u.complianceU,
                   "Standard uncertainty of the frame compliance, nm/mN (default 0: not included)")
        ->check(CLI::NonNegativeNumber);
    cmd.add_option("--u-area", o.u.areaRelativeU,
                   "Relative standard uncertainty of each area-function coefficient (default 0.01)")
        ->check(CLI::Range(0.0, 1.0));
}

IsoResult ComputeIsoResult(const CCurveAnalyzer& analyzer, const Settings& settings,
                           const IsoOptions& options) {
    IsoResult r;
    r.quantities = ComputeIsoQuantities(analyzer, settings);
    if (options.uncertainty) r.uncertainty = EstimateUncertainty(analyzer, settings, options.u);
    return r;
}

void PrintIsoCsvHeader(std::ostream& out, const IsoOptions& options) {
    for (const IsoColumn& c : kColumns) out << ',' << c.csv;
    if (options.uncertainty) {
        out << ",EIT_u [GPa],HIT_u [MPa]";
        for (const char* name : {"fit", "fitMonteCarlo", "fitWindow", "zeroPoint", "samplePoisson",
                                 "frameCompliance", "areaFunction"})
            out << ",EIT_u_" << name << " [GPa],HIT_u_" << name << " [MPa]";
    }
}

void PrintIsoCsvFields(std::ostream& out, const IsoResult& r, bool ok, const IsoOptions& options) {
    for (const IsoColumn& c : kColumns)
        out << ',' << (ok ? Field((r.quantities.*c.member).value * c.scale) : "");
    if (!options.uncertainty) return;
    const ModulusUncertainty& u = r.uncertainty;
    out << ',' << (ok ? Field(u.uEit) : "") << ',' << (ok ? Field(u.uHit) : "");
    for (const char* name : {"fit", "fitMonteCarlo", "fitWindow", "zeroPoint", "samplePoisson",
                             "frameCompliance", "areaFunction"}) {
        const BudgetEntry* e = ok ? u.Find(name) : nullptr;
        out << ',' << (e ? Field(e->eit) : "") << ',' << (e ? Field(e->hit) : "");
    }
}

void AddIsoJson(nlohmann::ordered_json& j, const IsoResult& r, bool ok, const IsoOptions& options) {
    nlohmann::ordered_json reasons = nlohmann::ordered_json::object();
    for (const IsoColumn& c : kColumns) {
        const Quantity& q = r.quantities.*c.member;
        j[c.json] = ok ? Number(q.value * c.scale) : nlohmann::ordered_json();
        if (ok && !q.present() && !q.reason.empty()) reasons[c.json] = q.reason;
    }
    if (ok) j["absent"] = reasons;
    if (!options.uncertainty) return;
    const ModulusUncertainty& u = r.uncertainty;
    j["EIT_u"] = ok ? Number(u.uEit) : nlohmann::ordered_json();
    j["HIT_u"] = ok ? Number(u.uHit) : nlohmann::ordered_json();
    if (!ok) {
        j["budget"] = nullptr;
        return;
    }
    nlohmann::ordered_json budget = nlohmann::ordered_json::object();
    for (const BudgetEntry& e : u.budget)
        budget[e.name] = {{"EIT", Number(e.eit)}, {"HIT", Number(e.hit)}, {"combined", e.combined}};
    j["budget"] = budget;
    if (!u.present()) j["uncertaintyAbsent"] = u.reason;
}

}  // namespace marvek::cli
