#include "series_output.h"

#include <cmath>
#include <ostream>
#include <sstream>

#include "core/io/csv_field.h"
#include "core/io/number_format.h"

namespace marvek::cli {

void AddSeriesOptions(CLI::App& cmd, SeriesCliOptions& o) {
    cmd.add_flag("--summary", o.summary,
                 "After the curves: statistics of the included curves (n, mean, sd, cov, se, "
                 "ci95, median, min, max) and the excluded curves with their reasons");
    cmd.add_option("--exclude-flagged", o.excludeFlagged,
                   "Leave curves with any of these flags out of the statistics (CODE,CODE,...)");
    cmd.add_option("--xlsx", o.xlsx,
                   "Write the workbook (curves, summary, settings used) to this .xlsx file");
    o.minR2 = cmd.add_option("--min-r2", o.values.m_dMinRSquared, "Flag low-r2 below this r²");
    o.minFitPoints = cmd.add_option("--min-fit-points", o.values.m_dMinFitPoints,
                                    "Flag few-fit-points below this many section points");
    o.outlierMads = cmd.add_option("--outlier-mads", o.values.m_dOutlierMads,
                                   "Flag outliers beyond this many scaled MADs from the median");
    o.maxDrift = cmd.add_option("--max-drift-rate", o.values.m_dMaxDriftRate,
                                "Flag drift above this |rate| (nm/s, drift correction on)");
    o.maxZeroLoad = cmd.add_option("--max-zero-load", o.values.m_dMaxZeroLoadPercent,
                                   "Flag zero-offset when the first load exceeds this % of Fmax");
    o.slipDepth = cmd.add_option("--slip-depth", o.values.m_dSlipDepth,
                                 "Flag slip / non-monotonic steps larger than this (nm)");
}

bool ResolveSeriesOptions(SeriesCliOptions& o, Settings& settings, std::string& error) {
    QualitySettings& q = settings.quality;
    const std::pair<CLI::Option*, std::pair<double*, double>> overrides[] = {
        {o.minR2, {&q.m_dMinRSquared, o.values.m_dMinRSquared}},
        {o.minFitPoints, {&q.m_dMinFitPoints, o.values.m_dMinFitPoints}},
        {o.outlierMads, {&q.m_dOutlierMads, o.values.m_dOutlierMads}},
        {o.maxDrift, {&q.m_dMaxDriftRate, o.values.m_dMaxDriftRate}},
        {o.maxZeroLoad, {&q.m_dMaxZeroLoadPercent, o.values.m_dMaxZeroLoadPercent}},
        {o.slipDepth, {&q.m_dSlipDepth, o.values.m_dSlipDepth}},
    };
    for (const auto& [option, target] : overrides) {
        if (!option || option->count() == 0) continue;
        if (!std::isfinite(target.second)) {
            error = option->get_name() + ": not a finite number";
            return false;
        }
        *target.first = target.second;
    }
    o.codes.clear();
    std::stringstream list(o.excludeFlagged);
    for (std::string code; std::getline(list, code, ',');) {
        if (code.empty()) continue;
        const auto& known = QualityFlagCodes();
        if (std::find(known.begin(), known.end(), code) == known.end()) {
            error = "--exclude-flagged: unknown flag code \"" + code + "\" (known: ";
            for (std::size_t k = 0; k < known.size(); ++k) error += (k ? ", " : "") + known[k];
            error += ")";
            return false;
        }
        o.codes.push_back(code);
    }
    return true;
}

void AddSeriesJson(nlohmann::ordered_json& line, const SeriesCurve& curve) {
    nlohmann::ordered_json flags = nlohmann::ordered_json::array();
    for (const QualityFlag& f : curve.flags) flags.push_back(f.code);
    line["flags"] = flags;
    line["included"] = curve.included;
}

std::string SeriesCsvFields(const SeriesCurve& curve) {
    return std::string(",") + (curve.included ? "true" : "false") + "," + FlagCodesText(curve);
}

namespace {

nlohmann::ordered_json JsonNumber(double v) {
    return std::isfinite(v) ? nlohmann::ordered_json(v) : nlohmann::ordered_json();
}

}  // namespace

void PrintSummaryCsv(std::ostream& out, const Series& series,
                     const std::vector<std::string>& columns, const char* method,
                     std::size_t emptyColumnsAfter) {
    // The rows keep the curves' columns: file, test, format, ok, error (the statistic), method,
    // the quantities, the columns after them, included and flags.
    const std::string after(emptyColumnsAfter, ',');
    for (const StatisticRow& row : StatisticRows()) {
        out << "summary,,,," << row.name << ',' << method;
        for (const std::string& column : columns) {
            const int k = FindSeriesQuantity(column);
            out << ',';
            const QuantityStatistics* stats =
                k >= 0 ? &series.summary.quantities[static_cast<std::size_t>(k)] : nullptr;
            if (!stats) continue;
            const double v = row.value(*stats);
            if (std::isfinite(v)) out << FormatShortest(v);
        }
        out << after << ",,\n";
    }
    for (const ExcludedCurve& e : series.summary.excluded) {
        out << CsvField(e.input.address) << ",,,excluded," << CsvField(e.reason) << ',' << method;
        for (std::size_t k = 0; k < columns.size(); ++k) out << ',';
        out << after << ",false,\n";
    }
}

namespace {

nlohmann::ordered_json StatisticsJson(const QuantityStatistics& s) {
    nlohmann::ordered_json q;
    q["n"] = s.n;
    q["mean"] = JsonNumber(s.mean);
    q["sd"] = JsonNumber(s.sd);
    q["cov"] = JsonNumber(s.cov);
    q["se"] = JsonNumber(s.se);
    q["ci95"] = std::isfinite(s.ciLow) && std::isfinite(s.ciHigh)
                    ? nlohmann::ordered_json::array({s.ciLow, s.ciHigh})
                    : nlohmann::ordered_json();
    q["median"] = JsonNumber(s.median);
    q["min"] = JsonNumber(s.min);
    q["max"] = JsonNumber(s.max);
    return q;
}

}  // namespace

void PrintSummaryJson(std::ostream& out, const Series& series) {
    nlohmann::ordered_json summary = nlohmann::ordered_json::object();
    const auto& quantities = SeriesQuantities();
    for (std::size_t k = 0; k < quantities.size(); ++k)
        summary[quantities[k].key] = StatisticsJson(series.summary.quantities[k]);
    nlohmann::ordered_json excluded = nlohmann::ordered_json::array();
    for (const ExcludedCurve& e : series.summary.excluded)
        excluded.push_back({{"file", e.input.file},
                            {"test", e.input.test.empty() ? nlohmann::ordered_json()
                                                          : nlohmann::ordered_json(e.input.test)},
                            {"reason", e.reason}});
    nlohmann::ordered_json line;
    line["summary"] = summary;
    line["excluded"] = excluded;
    out << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

}  // namespace marvek::cli
