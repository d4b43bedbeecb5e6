// The "Graphic Comparison of Multiple Indentation Tests" commands of the main window: each runs
// its series in core and shows the graph window; the window then shows the last analysis run.
#include "app/main_window.h"
#include "graphs/graph_command_runner.h"

namespace {

void RunGraph(CIndentMainDlg& w, marvek::GraphCommand command) {
    if (w.m_analyzer.m_nFileCount < 1 || !w.UpdateData(true)) return;
    // The curves excluded by the user are left out of the graph as out of the table's statistics.
    marvek::graphs::GraphContext context;
    for (int k = 0; k < w.m_analyzer.m_nFileCount; ++k)
        context.excluded.push_back(
            w.NotesOf(w.m_analyzer.m_strFiles[static_cast<std::size_t>(k)].string()).excluded);
    if (marvek::graphs::ShowGraphCommand(w, command, w.m_analyzer, w, w.CurrentSettings(),
                                         w.m_nCurrentCurve, context))
        w.RefreshPlot();
}

}  // namespace

void CIndentMainDlg::OnModulusLoad() { RunGraph(*this, marvek::GraphCommand::ModulusLoad); }
void CIndentMainDlg::OnModulusDepth() { RunGraph(*this, marvek::GraphCommand::ModulusDepth); }
void CIndentMainDlg::OnModulusCurve() { RunGraph(*this, marvek::GraphCommand::ModulusCurve); }
void CIndentMainDlg::OnHMLoad() { RunGraph(*this, marvek::GraphCommand::HMLoad); }
void CIndentMainDlg::OnHMDepth() { RunGraph(*this, marvek::GraphCommand::HMDepth); }
void CIndentMainDlg::OnHMCurve() { RunGraph(*this, marvek::GraphCommand::HMCurve); }
void CIndentMainDlg::OnHITLoad() { RunGraph(*this, marvek::GraphCommand::HITLoad); }
void CIndentMainDlg::OnHITDepth() { RunGraph(*this, marvek::GraphCommand::HITDepth); }
void CIndentMainDlg::OnHOPLoad() { RunGraph(*this, marvek::GraphCommand::HOPLoad); }
void CIndentMainDlg::OnHOPDepth() { RunGraph(*this, marvek::GraphCommand::HOPDepth); }
void CIndentMainDlg::OnHVLoad() { RunGraph(*this, marvek::GraphCommand::HVLoad); }
void CIndentMainDlg::OnHVDepth() { RunGraph(*this, marvek::GraphCommand::HVDepth); }
void CIndentMainDlg::OnPercentSeries() { RunGraph(*this, marvek::GraphCommand::PercentSeries); }
void CIndentMainDlg::OnUnloadSections() { RunGraph(*this, marvek::GraphCommand::UnloadSections); }
void CIndentMainDlg::OnLoadAlpha() { RunGraph(*this, marvek::GraphCommand::LoadAlpha); }
void CIndentMainDlg::OnLoadM() { RunGraph(*this, marvek::GraphCommand::LoadM); }
void CIndentMainDlg::OnLoadR() { RunGraph(*this, marvek::GraphCommand::LoadR); }
void CIndentMainDlg::OnPercentM() { RunGraph(*this, marvek::GraphCommand::PercentM); }
void CIndentMainDlg::OnSectionM() { RunGraph(*this, marvek::GraphCommand::SectionM); }
void CIndentMainDlg::OnPercentR() { RunGraph(*this, marvek::GraphCommand::PercentR); }
void CIndentMainDlg::OnSectionR() { RunGraph(*this, marvek::GraphCommand::SectionR); }
void CIndentMainDlg::OnGraininessLoad() { RunGraph(*this, marvek::GraphCommand::GraininessLoad); }
void CIndentMainDlg::OnGraininessUnload() {
    RunGraph(*this, marvek::GraphCommand::GraininessUnload);
}
void CIndentMainDlg::OnGraininess2Load() { RunGraph(*this, marvek::GraphCommand::Graininess2Load); }
void CIndentMainDlg::OnHardnessProfile() { RunGraph(*this, marvek::GraphCommand::HardnessProfile); }
void CIndentMainDlg::OnModulusProfile() { RunGraph(*this, marvek::GraphCommand::ModulusProfile); }
void CIndentMainDlg::OnFirstPopinLoads() { RunGraph(*this, marvek::GraphCommand::FirstPopinLoads); }
void CIndentMainDlg::OnFirstPopinHistogram() {
    RunGraph(*this, marvek::GraphCommand::FirstPopinHistogram);
}
void CIndentMainDlg::OnGraininess2Unload() {
    RunGraph(*this, marvek::GraphCommand::Graininess2Unload);
}
