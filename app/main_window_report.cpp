// File > Export Report: the selected curves under the window's settings as an HTML or PDF
// report, through the same sections and writer as `marvek-cli report`.

#include <QApplication>
#include <QCursor>

#include <cmath>

#include "app/main_window.h"
#include "core/analysis/curve_analysis.h"
#include "core/config/parameter_file.h"
#include "core/report/report_sections.h"
#include "core/series/curve_popins.h"
#include "core/series/graph_series.h"
#include "ui/services.h"

using namespace marvek;
using namespace marvek::ui;

namespace {

// Curves drawn in a report made from the window; the table lists every curve.
constexpr std::size_t kWindowReportPlots = 200;

}  // namespace

report::Input CIndentMainDlg::ReportInput() const {
    report::Input in;
    const Settings settings = CurrentSettings();
    in.program = ProgramVersionText();
    in.date = report::ReportDateNow();
    Settings saved;
    std::string parameterFile;
    if (LoadParameters(m_parameterFile, saved).ok()) parameterFile = m_parameterFile.string();
    in.settings = report::DescribeSettingSources(settings, saved, parameterFile,
                                                 "this window (not in the parameter file)");
    in.settingsNote = parameterFile.empty()
                          ? std::string(
                                "No parameter file was read: values are the defaults "
                                "unless the window's settings gave them.")
                          : "Parameter file: " + parameterFile + ".";
    if (!m_projectFile.empty()) in.sources.push_back("project " + m_projectFile.string());
    in.series.settings = settings;
    // Each curve analysed as `marvek-cli analyze` does: its own analyzer with the window's
    // reading options, the series row from DescribeSeriesCurve.
    CCurveAnalyzer analyzer;
    ConfigureAnalyzer(analyzer, settings.strategy);
    analyzer.m_readOptions = m_analyzer.m_readOptions;
    CurveDisplay display;
    const std::size_t n = static_cast<std::size_t>(std::max(0, m_analyzer.m_nFileCount));
    for (std::size_t k = 0; k < n; ++k) {
        const std::string address = m_analyzer.m_strFiles[k].string();
        if (m_projectFile.empty()) in.sources.push_back(address);
        const io::Address a = io::ParseAddress(address);
        analyzer.SetAddresses({address});
        // A curve with its own fit range is reported as the window and the table analyse it.
        const project::CurveNotes notes = NotesOf(address);
        const Settings used = notes.fitRange ? WithFitRange(settings, *notes.fitRange) : settings;
        const Status outcome = marvek::AnalyzeCurve(analyzer, 0, used, display);
        const bool ok = outcome.ok() && analyzer.m_nPoints > 0;
        SeriesCurve c =
            DescribeSeriesCurve({address, a.file.string(), a.test, notes.fitRange}, ok,
                                ok ? std::string() : outcome.message(), analyzer, display, used);
        c.userExcluded = notes.excluded;
        c.note = notes.note;
        c.userFlag = notes.flag;
        in.series.curves.push_back(std::move(c));
        in.fromFile.emplace_back();
        in.depthProfiles.emplace_back();
        if (ok && std::isfinite(in.series.curves.back().profileAverage.from))
            if (auto profile = CurveDepthProfile(analyzer, address, WindowProfileSettings()))
                in.depthProfiles.back() = report::ReportProfile(std::move(*profile));
        in.xUm.push_back(analyzer.m_fileMeta.positionX.value_or(std::nan("")));
        in.yUm.push_back(analyzer.m_fileMeta.positionY.value_or(std::nan("")));
        if (!ok) continue;
        if (in.curvePlots.size() >= kWindowReportPlots) {
            ++in.curvePlotsLeftOut;
            continue;
        }
        report::CurvePlot p;
        p.caption = std::to_string(k + 1) + ". " + address;
        p.curve = in.series.curves.size() - 1;
        p.display = display;
        const std::size_t points = static_cast<std::size_t>(std::max(0, analyzer.m_nPoints));
        p.segments.assign(analyzer.m_pSegment.data(), std::min(points, analyzer.m_pSegment.size()));
        p.popins = AnalyzeCurvePopins(analyzer, display, settings);
        p.hasPopins = !p.popins.popins.empty();
        in.curvePlots.push_back(std::move(p));
    }
    RefreshSeries(in.series);
    return in;
}

void CIndentMainDlg::OnExportReport() {
    if (m_analyzer.m_nFileCount < 1) return;
    SaveFileRequest request;
    request.owner = this;
    request.filter = "HTML Reports (*.html);;PDF Reports (*.pdf)";
    request.defaultExtension = "html";
    const auto file = GetServices().SaveFile(request);
    if (!file) return;
    if (!report::IsReportFile(file->string())) {
        ShowMessage(
            this,
            "A report is written as .html or .pdf; " + file->filename().string() + " is neither.",
            kApplicationName, MessageButtons::Ok, MessageIcon::Warning);
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    SetStatusText("Writing the report...");
    const report::Document document = report::BuildReport(ReportInput());
    const Status written = report::WriteReport(document, file->string());
    QApplication::restoreOverrideCursor();
    if (written.ok())
        SetStatusText("Report saved to " + file->string());
    else
        ShowMessage(this, "The report could not be written.\n\n" + written.message(),
                    kApplicationName, MessageButtons::Ok, MessageIcon::Error);
}
