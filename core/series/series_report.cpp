// The series as text (CSV of the table and summary, tab-separated summary) and as a workbook.

#include <xlsxwriter.h>

#include <cmath>

#include "core/io/csv_field.h"
#include "core/io/number_format.h"
#include "series.h"

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
    std::string out = "address,test,included,reason,flags";
    for (const SeriesQuantity& q : quantities) out += "," + CsvField(q.title);
    out += "\n";
    for (const SeriesCurve& c : series.curves) {
        out += CsvField(c.input.address) + "," + CsvField(c.input.test) + "," +
               (c.included ? "true" : "false") + "," + CsvField(c.exclusionReason) + "," +
               CsvField(FlagCodesText(c));
        for (double v : c.values) out += "," + Number(v);
        out += "\n";
    }
    for (const StatisticRow& row : StatisticRows()) {
        out += std::string("summary,,,") + CsvField(row.name) + ",";
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
    auto d = [](double v) { return FormatSignificant(v, 17); };
    std::vector<std::pair<std::string, std::string>> r = {
        {"program", ProgramVersionText()},
        {"method", st.m_nMethod == 0   ? "Oliver-Pharr"
                   : st.m_nMethod == 1 ? "Doerner-Nix"
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

// Names are always written as text: a name starting with '=' must never become a formula.
void TextCell(lxw_worksheet* ws, lxw_row_t r, lxw_col_t c, const std::string& s,
              lxw_format* fmt = nullptr) {
    worksheet_write_string(ws, r, c, s.c_str(), fmt);
}

void NumberCell(lxw_worksheet* ws, lxw_row_t r, lxw_col_t c, double v) {
    if (std::isfinite(v)) worksheet_write_number(ws, r, c, v, nullptr);
}

void WriteCurvesSheet(lxw_workbook* book, lxw_format* bold, const Series& series) {
    lxw_worksheet* table = workbook_add_worksheet(book, "Curves");
    const char* heads[] = {"address", "file", "test", "included", "reason", "flags"};
    lxw_col_t col = 0;
    for (const char* h : heads) TextCell(table, 0, col++, h, bold);
    for (const SeriesQuantity& q : SeriesQuantities()) TextCell(table, 0, col++, q.title, bold);
    lxw_row_t row = 1;
    for (const SeriesCurve& c : series.curves) {
        col = 0;
        TextCell(table, row, col++, c.input.address);
        TextCell(table, row, col++, c.input.file);
        TextCell(table, row, col++, c.input.test);
        worksheet_write_boolean(table, row, col++, c.included, nullptr);
        TextCell(table, row, col++, c.exclusionReason);
        TextCell(table, row, col++, FlagCodesText(c, "; "));
        for (double v : c.values) NumberCell(table, row, col++, v);
        ++row;
    }
}

void WriteSummarySheet(lxw_workbook* book, lxw_format* bold, const Series& series) {
    lxw_worksheet* summary = workbook_add_worksheet(book, "Summary");
    TextCell(summary, 0, 0, "statistic", bold);
    lxw_col_t col = 1;
    for (const SeriesQuantity& q : SeriesQuantities()) TextCell(summary, 0, col++, q.title, bold);
    lxw_row_t row = 1;
    for (const StatisticRow& r : StatisticRows()) {
        TextCell(summary, row, 0, r.name);
        col = 1;
        for (const QuantityStatistics& s : series.summary.quantities)
            NumberCell(summary, row, col++, r.value(s));
        ++row;
    }
    ++row;
    TextCell(summary, row, 0, "curves", bold);
    worksheet_write_number(summary, row++, 1, static_cast<double>(series.summary.curves), nullptr);
    TextCell(summary, row, 0, "included", bold);
    worksheet_write_number(summary, row++, 1, static_cast<double>(series.summary.included),
                           nullptr);
    TextCell(summary, row, 0, "failed", bold);
    worksheet_write_number(summary, row++, 1, static_cast<double>(series.summary.failed), nullptr);
    ++row;
    TextCell(summary, row, 0, "excluded", bold);
    TextCell(summary, row, 1, "test", bold);
    TextCell(summary, row++, 2, "reason", bold);
    for (const ExcludedCurve& e : series.summary.excluded) {
        TextCell(summary, row, 0, e.input.address);
        TextCell(summary, row, 1, e.input.test);
        TextCell(summary, row++, 2, e.reason);
    }
}

void WriteSettingsSheet(lxw_workbook* book, lxw_format* bold, const Series& series) {
    lxw_worksheet* used = workbook_add_worksheet(book, "Settings");
    TextCell(used, 0, 0, "setting", bold);
    TextCell(used, 0, 1, "value", bold);
    lxw_row_t row = 1;
    for (const auto& [name, value] : SettingsReport(series.settings)) {
        TextCell(used, row, 0, name);
        TextCell(used, row++, 1, value);
    }
    std::string rules;
    for (const std::string& code : series.excludeCodes) rules += (rules.empty() ? "" : ",") + code;
    TextCell(used, row, 0, "excluded when flagged");
    TextCell(used, row++, 1, rules);
}

}  // namespace

Status WriteSeriesWorkbook(const Series& series, const std::filesystem::path& file) {
    // Written beside the file and renamed over it, as every output file is: a failed write
    // leaves an older workbook whole.
    std::filesystem::path temp = file;
    temp += ".tmp" + std::to_string(::getpid());
    lxw_workbook* book = workbook_new(temp.c_str());
    if (!book) return Status::FileError(file, "cannot be created");
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    WriteCurvesSheet(book, bold, series);
    WriteSummarySheet(book, bold, series);
    WriteSettingsSheet(book, bold, series);

    const lxw_error status = workbook_close(book);
    std::error_code ec;
    if (status != LXW_NO_ERROR) {
        std::filesystem::remove(temp, ec);
        return Status::FileError(file, std::string("cannot be written: ") + lxw_strerror(status));
    }
    std::filesystem::rename(temp, file, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return Status::FileError(file, "cannot be written: " + ec.message());
    }
    return {};
}

}  // namespace marvek
