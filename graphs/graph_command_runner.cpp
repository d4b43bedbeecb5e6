#include "graphs/graph_command_runner.h"

#include "core/io/number_format.h"
#include "core/io/parsed_curve.h"
#include "graphs/graph_progress.h"
#include "graphs/graph_window.h"
#include "ui/services.h"

namespace marvek::graphs {

bool ShowGraphCommand(ui::Dialog& owner, GraphCommand command, CCurveAnalyzer& analyzer,
                      CurveDisplay& display, const Settings& settings, int currentCurve,
                      const GraphContext& context) {
    if (analyzer.m_nFileCount < 1) return false;
    // The work runs on copies; the window takes them over only when the command completes.
    CCurveAnalyzer workAnalyzer = analyzer;
    CurveDisplay workDisplay = display;
    const GraphResult result = RunWithProgress(&owner, [&](const GraphOptions& options) {
        GraphOptions withExclusions = options;
        withExclusions.excluded = context.excluded;
        return RunGraphCommand(command, workAnalyzer, workDisplay, settings, currentCurve,
                               withExclusions);
    });
    if (!result.ran || result.cancelled) return false;
    if (!result.error.empty()) {
        // Said once; no graph window opens empty behind it.
        ui::ShowMessage(&owner, result.error, ui::kApplicationName, ui::MessageButtons::Ok,
                        ui::MessageIcon::Warning);
        return false;
    }
    analyzer = std::move(workAnalyzer);
    display = std::move(workDisplay);
    if (!result.failures.empty())
        ui::ShowMessage(&owner, DescribeGraphFailures(result.failures), ui::kApplicationName,
                        ui::MessageButtons::Ok, ui::MessageIcon::Warning);
    if (!result.note.empty()) ui::ShowMessage(&owner, result.note, ui::kApplicationName);
    if (!result.resultMessage.empty())
        ui::ShowMessage(&owner, result.resultMessage, kGraininessResultCaption);
    std::size_t left = 0;
    GraphSeries shown = PrepareGraphSeries(result.series, analyzer, context, left);
    const GraphCommandInfo& info = GetGraphCommandInfo(command);
    std::string caption = std::string("Marvek - ") + info.menuText + " - " +
                          DescribeGraphSource(analyzer, settings, info.kind, currentCurve);
    if (left > 0)
        caption += " - " + std::to_string(left) + " point" + (left == 1 ? "" : "s") +
                   " of excluded curves left out";
    CGraphDlg graph;
    graph.SetSeries(shown);
    graph.m_strCaption = caption;
    graph.DoModal();
    return true;
}

GraphSeries PrepareGraphSeries(GraphSeries s, const CCurveAnalyzer& analyzer,
                               const GraphContext& context, std::size_t& left) {
    left = 0;
    const std::size_t n = std::min(s.x.size(), s.y.size());
    if (s.curves.size() != n) return s;
    const bool numbered = s.xTitle == "Curve Number";
    GraphSeries out = s;
    out.x.clear(), out.y.clear(), out.curves.clear(), out.labels.clear();
    const std::size_t files = static_cast<std::size_t>(std::max(0, analyzer.m_nFileCount));
    for (std::size_t i = 0; i < n; ++i) {
        const int curve = s.curves[i];
        const std::size_t c = static_cast<std::size_t>(curve);
        if (curve >= 0 && c < context.excluded.size() && context.excluded[c]) {
            ++left;
            continue;
        }
        out.x.push_back(numbered ? s.x[i] + 1 : s.x[i]);
        out.y.push_back(s.y[i]);
        out.curves.push_back(curve);
        if (curve >= 0 && c < files) {
            const io::Address a = io::ParseAddress(analyzer.m_strFiles[c]);
            out.labels.emplace_back(a.file.string(), a.test);
        } else {
            out.labels.emplace_back();
        }
    }
    return out;
}

std::string DescribeGraphSource(const CCurveAnalyzer& analyzer, const Settings& settings,
                                GraphKind kind, int currentCurve) {
    std::string text;
    const int n = analyzer.m_nFileCount;
    if (kind == GraphKind::CurveList || kind == GraphKind::Distribution) {
        text = std::to_string(n) + " curve" + (n == 1 ? "" : "s");
        if (n > 0)
            text += " in " + io::ParseAddress(analyzer.m_strFiles[0]).file.parent_path().string();
    } else if (currentCurve >= 0 && currentCurve < n) {
        text = analyzer.m_strFiles[static_cast<std::size_t>(currentCurve)].filename().string();
    }
    // A profile comes from the instrument's stiffness, not from the unloading fit.
    if (kind == GraphKind::Profile)
        return text + "; continuous stiffness, the workbook's calibration";
    const StrategySettings& st = settings.strategy;
    const bool op = st.method() == AnalysisMethod::OliverPharr;
    text += std::string("; ") + (op ? "Oliver-Pharr " : "Doerner-Nix ") +
            FormatSignificant(op ? st.m_fOPMinPercent : st.m_fDNMinPercent, 4) + "-" +
            FormatSignificant(op ? st.m_fOPMaxPercent : st.m_fDNMaxPercent, 4) + " %, Poisson " +
            FormatSignificant(settings.m_fPoisson, 4) + ", compliance " +
            FormatSignificant(settings.compliance.m_fCompliance, 4) + " nm/mN";
    if (kind == GraphKind::Distribution) text += "; pop-ins by the noise-adaptive detector";
    return text;
}

}  // namespace marvek::graphs
