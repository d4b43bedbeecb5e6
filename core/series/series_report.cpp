// The series as text (CSV of the table and summary, tab-separated summary) and as a workbook.

#include <cmath>

#include "core/io/csv_field.h"
#include "core/io/number_format.h"
#include "core/platform/module_loader.h"
#include "series.h"
#include "series_workbook.h"

namespace marvek {

namespace {

std::string Number(double v) { return std::isfinite(v) ? FormatSignificant(v, 10) : ""; }

std::string Tsv(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return text;
}

}  // namespace

std::string FormatSeriesCsv(const Series& series) {
    const auto& quantities = SeriesQuantities();
    std::string out = "address,file,test,included,reason,flags,note,userFlag";
    for (const SeriesQuantity& q : quantities) out += "," + CsvField(q.title);
    out += "\n";
    for (const SeriesCurve& c : series.curves) {
        out += CsvField(c.input.address) + "," + CsvField(c.input.file) + "," +
               CsvField(c.input.test) + "," + (c.included ? "true" : "false") + "," +
               CsvField(c.exclusionReason) + "," + CsvField(FlagCodesText(c)) + "," +
               CsvField(c.note) + "," + CsvField(c.userFlag);
        for (double v : c.values) out += "," + Number(v);
        out += "\n";
    }
    for (const StatisticRow& row : StatisticRows()) {
        out += std::string("summary,,,,") + CsvField(row.name) + ",,,";
        for (const QuantityStatistics& s : series.summary.quantities)
            out += "," + Number(row.value(s));
        out += "\n";
    }
    return out;
}

std::string FormatSummaryTsv(const Series& series) {
    std::string out = "statistic";
    for (const SeriesQuantity& q : SeriesQuantities()) out += std::string("\t") + q.title;
    out += "\n";
    for (const StatisticRow& row : StatisticRows()) {
        out += row.name;
        for (const QuantityStatistics& s : series.summary.quantities)
            out += "\t" + Number(row.value(s));
        out += "\n";
    }
    for (const ExcludedCurve& e : series.summary.excluded)
        out += "excluded\t" + Tsv(e.input.address) + "\t" + Tsv(e.reason) + "\n";
    return out;
}

std::string ProgramVersionText() { return std::string("Marvek ") + MARVEK_VERSION; }

std::vector<std::pair<std::string, std::string>> SettingsReport(const Settings& s) {
    const StrategySettings& st = s.strategy;
    const AreaFunctionSettings& af = s.areaFunction;
    const QualitySettings& q = s.quality;
    auto f = [](double v) { return FormatSignificant(v, 7); };
    // The shortest text that reads back as the same double: 26.44, not 26.440000000000001.
    auto d = [](double v) { return FormatShortest(v); };
    std::vector<std::pair<std::string, std::string>> r = {
        {"program", ProgramVersionText()},
        {"method", FitsUnloading(st.method()) ? std::string(MethodTitle(st.method()))
                                              : "other (" + std::to_string(st.m_nMethod) + ")"},
        {"epsilon", f(st.m_fEpsilon)},
        {"fit range Oliver-Pharr [% of load drop]",
         f(st.m_fOPMinPercent) + " - " + f(st.m_fOPMaxPercent)},
        {"fit range Doerner-Nix [% of load drop]",
         f(st.m_fDNMinPercent) + " - " + f(st.m_fDNMaxPercent)},
        {"sample Poisson ratio", f(s.m_fPoisson)},
        {"indenter modulus [GPa]", f(af.m_fIndenterModulus)},
        {"indenter Poisson ratio", f(af.m_fIndenterPoisson)},
        {"frame compliance [nm/mN]", f(s.compliance.m_fCompliance)},
    };
    for (int k = 0; k < 9; ++k)
        r.push_back({"projected area coefficient " + std::to_string(k), d(af.m_dApCoef[k])});
    for (int k = 0; k < 9; ++k)
        r.push_back({"surface area coefficient " + std::to_string(k), d(af.m_dAsCoef[k])});
    r.push_back({"zero-point correction", st.m_bZeroPointCorrection == 1 ? "on" : "off"});
    r.push_back({"zero-point window [% of Fmax]",
                 f(st.m_fZeroFitMinPercent) + " - " + f(st.m_fZeroFitMaxPercent)});
    r.push_back({"thermal-drift correction", st.m_bDriftCorrection == 1 ? "on" : "off"});
    r.push_back({"force accuracy [mN]", f(st.m_fForceAccuracy)});
    r.push_back({"flag low-r2 below", d(q.m_dMinRSquared)});
    r.push_back({"flag few-fit-points below", d(q.m_dMinFitPoints)});
    r.push_back({"flag outliers beyond [scaled MADs]", d(q.m_dOutlierMads)});
    r.push_back({"flag drift above [nm/s]", d(q.m_dMaxDriftRate)});
    r.push_back({"flag zero-offset above [% of Fmax]", d(q.m_dMaxZeroLoadPercent)});
    r.push_back({"flag slip / non-monotonic above [nm]", d(q.m_dSlipDepth)});
    return r;
}

namespace {

// The writers live in a module (series_workbook.cpp) so that only runs that write a workbook
// load libxlsxwriter.
const SeriesWorkbookWriter* WorkbookWriter(std::string& error) {
    const auto* writer = static_cast<const SeriesWorkbookWriter*>(
        io::LoadModuleTable(kSeriesWorkbookModule, kSeriesWorkbookEntry, error));
    if (writer && writer->seriesSize != sizeof(Series))
        error = std::string("the module ") + kSeriesWorkbookModule +
                ".so belongs to another build of Marvek";
    return writer && error.empty() ? writer : nullptr;
}

}  // namespace

Status WriteSeriesWorkbook(const Series& series, const std::filesystem::path& file) {
    std::string error;
    const SeriesWorkbookWriter* writer = WorkbookWriter(error);
    if (!writer) return Status::FileError(file, "cannot be written: " + error);
    return writer->write(series, file);
}

Status WriteTableWorkbook(const std::vector<WorkbookSheet>& sheets,
                          const std::filesystem::path& file) {
    std::string error;
    const SeriesWorkbookWriter* writer = WorkbookWriter(error);
    if (!writer) return Status::FileError(file, "cannot be written: " + error);
    return writer->writeTables(sheets, file);
}

}  // namespace marvek
