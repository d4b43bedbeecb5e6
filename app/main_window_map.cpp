// "Property Map and Phases": the curves of the results table over their positions, with the
// histogram and the phases. Exclusions made in the table reach the map at once; a click on an
// indent shows its curve here.
#include "app/main_window.h"
#include "graphs/map_view.h"
#include "table/results_table_window.h"
#include "ui/plot_export.h"

void CIndentMainDlg::OnPropertyMap() {
    if (m_analyzer.m_nFileCount < 1) return;
    if (!table_) OnResultsTable();
    if (!table_) return;
    if (!map_) {
        auto* view = new marvek::graphs::MapView(this);
        view->setAttribute(Qt::WA_DeleteOnClose);
        view->onShowCurve = [this](int curve) {
            if (curve < 0 || curve >= m_analyzer.m_nFileCount) return;
            DisplayCurve(curve);
        };
        view->onExportFigure = [this](marvek::ui::PlotView& plot) {
            ExportPlotWithOptions(*this, plot, PlotStyleFile());
        };
        map_ = view;
        FollowTable();
    }
    map_->show();
    map_->raise();
}

void CIndentMainDlg::FollowTable() {
    if (!map_ || !table_) return;
    marvek::table::ResultsTableWindow* table = table_;
    QObject::connect(table, &marvek::table::ResultsTableWindow::seriesChanged, map_,
                     [map = map_.data(), table] { map->SetSeries(table->CurrentSeries()); });
    map_->SetSeries(table->CurrentSeries());
}
