// The depth-profile window of a continuous-stiffness workbook, driven as a researcher would:
// open it on the fused-silica workbook, drag the averaging window's edges with the mouse,
// exclude an indent, pick another, switch to modulus on a log depth axis and export.
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>

#include <cmath>
#include <fstream>
#include <sstream>

#include "app/resource_ids.h"
#include "core/io/number_format.h"
#include "graphs/profile_view.h"
#include "main_window_fixture.h"
#include "table/results_table_window.h"

using namespace resource;
using marvek::FindSeriesQuantity;
using marvek::kProfileHardness;
using marvek::kProfileModulus;
using marvek::graphs::ProfileView;
using marvek::table::ResultsTableWindow;

namespace {

void SendMouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    QMouseEvent e(type, at, w->mapToGlobal(at),
                  type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// Presses on an edge of the shaded window, moves it to `depth` nm in two steps and lets go.
void DragEdge(ProfileView& view, int edge, double depth) {
    marvek::graphs::ProfilePlot* plot = view.Plot();
    const int y = plot->axisRect()->center().y();
    const int from = plot->EdgePixel(edge);
    const int to = static_cast<int>(std::lround(plot->xAxis->coordToPixel(depth)));
    SendMouse(plot, QEvent::MouseButtonPress, {from, y}, Qt::LeftButton);
    SendMouse(plot, QEvent::MouseMove, {(from + to) / 2, y}, Qt::LeftButton);
    SendMouse(plot, QEvent::MouseMove, {to, y}, Qt::LeftButton);
    SendMouse(plot, QEvent::MouseButtonRelease, {to, y}, Qt::NoButton);
}

// The view's averages are those of core for its window, indent by indent and over the indents.
void ExpectCoreAverages(const ProfileView& view) {
    const auto& shown = view.Averages();
    const auto core =
        marvek::profiles::AverageProfiles(view.Profiles(), view.Included(), view.From(), view.To());
    ASSERT_EQ(shown.indents.size(), view.Profiles().size());
    EXPECT_EQ(shown.n, core.n);
    EXPECT_DOUBLE_EQ(shown.hardness, core.hardness);
    EXPECT_DOUBLE_EQ(shown.modulus, core.modulus);
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t k = 0; k < view.Profiles().size(); ++k) {
        if (!view.Included()[k]) continue;
        const auto one =
            marvek::profiles::AverageProfile(view.Profiles()[k], view.From(), view.To());
        EXPECT_EQ(shown.indents[k].n, one.n);
        EXPECT_DOUBLE_EQ(shown.indents[k].hardness, one.hardness);
        sum += one.hardness, ++n;
    }
    EXPECT_NEAR(shown.hardness, sum / static_cast<double>(n), 1e-12);
    // The label says the same numbers.
    EXPECT_NE(view.AveragesText().find(marvek::FormatSignificant(shown.hardness, 4)),
              std::string::npos)
        << view.AveragesText();
}

bool Drawn(marvek::ui::PlotView& plot, const std::string& name, double* width = nullptr) {
    for (int i = 0; i < plot.plottableCount(); ++i)
        if (plot.plottable(i)->name().toStdString() == name) {
            if (width) *width = plot.plottable(i)->pen().widthF();
            return true;
        }
    return false;
}

std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TEST_F(MainWindowTest, ProfileViewFollowsTheDraggedWindowExclusionsAndTheShownCurve) {
    const auto book = dir / "FS_XP.xls";
    std::filesystem::copy_file(MARVEK_TEST_DATA "/vendor/FS_XP.xls", book);
    CIndentMainDlg& w = Open();
    ASSERT_TRUE(w.SelectFiles({book}));
    ASSERT_TRUE(w.SendCommand(ID_PROFILE_VIEW));
    auto* view = w.findChild<ProfileView*>();
    ASSERT_NE(view, nullptr);
    view->resize(1100, 700);
    view->show();
    QApplication::processEvents();

    // Every test of the workbook, each drawn, averaged over the workbook's 100-200 nm.
    ASSERT_EQ(view->Indents().size(), 9u);
    EXPECT_EQ(view->From(), 100);
    EXPECT_EQ(view->To(), 200);
    for (const auto& indent : view->Indents()) EXPECT_TRUE(Drawn(*view->Plot(), indent.test));
    EXPECT_TRUE(Drawn(*view->Plot(), "mean"));
    EXPECT_TRUE(Drawn(*view->Plot(), "mean ± SD"));
    EXPECT_EQ(view->Averages().n, 9u);
    ExpectCoreAverages(*view);
    // The instrument's own mean over its window: 10.2 GPa on fused silica with this tip's
    // recorded (incomplete) area function is what the profile graph shows too.
    EXPECT_NEAR(view->Averages().hardness, 10.2, 0.3);

    // The upper edge dragged out to 400 nm: the lower stays, the averages are core's for the
    // new window and take more samples.
    const double before = view->Averages().hardness;
    const std::size_t samplesBefore = view->Averages().indents[0].n;
    DragEdge(*view, 1, 400);
    EXPECT_EQ(view->From(), 100);
    const double pixelNm =
        std::abs(view->Plot()->xAxis->pixelToCoord(1) - view->Plot()->xAxis->pixelToCoord(0));
    EXPECT_NEAR(view->To(), 400, 1.5 * pixelNm);
    EXPECT_GT(view->Averages().indents[0].n, samplesBefore);
    EXPECT_NE(view->Averages().hardness, before);
    ExpectCoreAverages(*view);
    // Then the lower edge in to 250 nm.
    DragEdge(*view, 0, 250);
    EXPECT_NEAR(view->From(), 250, 1.5 * pixelNm);
    EXPECT_NEAR(view->To(), 400, 1.5 * pixelNm);
    ExpectCoreAverages(*view);
    // An edge dragged past the other stops there: the window never turns inside out.
    DragEdge(*view, 0, 600);
    EXPECT_LE(view->From(), view->To());
    // A press away from the edges pans, as on every plot: the window stays.
    view->SetWindow(100, 200);
    const auto range = view->Plot()->xAxis->range();
    const int y = view->Plot()->axisRect()->center().y();
    const int x = static_cast<int>(view->Plot()->xAxis->coordToPixel(700));
    SendMouse(view->Plot(), QEvent::MouseButtonPress, {x, y}, Qt::LeftButton);
    SendMouse(view->Plot(), QEvent::MouseMove, {x - 50, y}, Qt::LeftButton);
    SendMouse(view->Plot(), QEvent::MouseButtonRelease, {x - 50, y}, Qt::NoButton);
    EXPECT_EQ(view->From(), 100);
    EXPECT_EQ(view->To(), 200);
    EXPECT_NE(view->Plot()->xAxis->range().lower, range.lower);
    view->Plot()->ResetView();

    // An indent excluded in the main window (as the results table does) leaves the plot, the
    // mean and the averages; its row says so.
    const auto& third = view->Indents()[2];
    w.SetCurveNotes(third.address, {true, "", ""}, "exclusion");
    EXPECT_FALSE(Drawn(*view->Plot(), third.test));
    EXPECT_FALSE(view->Included()[2]);
    EXPECT_EQ(view->Averages().n, 8u);
    EXPECT_EQ(view->IndentList()->item(2, 1)->text().toStdString(), "excluded");
    ExpectCoreAverages(*view);
    // Undone, it is back.
    w.OnUndo();
    EXPECT_TRUE(Drawn(*view->Plot(), third.test));
    EXPECT_EQ(view->Averages().n, 9u);

    // The main window's shown curve is drawn thick; picking a row shows that curve there.
    double width = 0;
    ASSERT_TRUE(Drawn(*view->Plot(), view->Indents()[0].test, &width));
    const int shown = w.m_nCurrentCurve;
    EXPECT_EQ(view->Indents()[0].curve, shown);
    EXPECT_GT(width, 3);
    view->IndentList()->selectRow(4);
    EXPECT_EQ(w.m_nCurrentCurve, view->Indents()[4].curve);
    ASSERT_TRUE(Drawn(*view->Plot(), view->Indents()[4].test, &width));
    EXPECT_GT(width, 3);
    ASSERT_TRUE(Drawn(*view->Plot(), view->Indents()[0].test, &width));
    EXPECT_LT(width, 2);

    // Modulus on a log depth axis.
    view->SetQuantity(ProfileView::Quantity::Modulus);
    view->SetLogDepth(true);
    EXPECT_EQ(view->Plot()->xAxis->scaleType(), QCPAxis::stLogarithmic);
    EXPECT_NE(view->Plot()->Data().yTitle.find("Modulus"), std::string::npos);
    EXPECT_GT(view->Plot()->xAxis->range().lower, 0);
    ExpectCoreAverages(*view);

    // Exports: the long table (every shown indent's loading, then the mean) and the figure.
    ASSERT_TRUE(view->ExportCsv(dir / "profiles.csv").ok());
    const std::string csv = ReadText(dir / "profiles.csv");
    EXPECT_EQ(csv.rfind("indent,depth_nm,hardness_GPa,modulus_GPa", 0), 0u);
    EXPECT_NE(csv.find("\nTest 005,"), std::string::npos);
    EXPECT_NE(csv.find("\nmean,"), std::string::npos);
    std::size_t rows = 0;
    for (std::size_t k = 0; k < 9; ++k) rows += view->Profiles()[k].loadingSamples;
    EXPECT_EQ(static_cast<std::size_t>(std::count(csv.begin(), csv.end(), '\n')), 1 + rows + 300);
    for (const char* name : {"profiles.png", "profiles.svg"}) {
        std::string error;
        EXPECT_TRUE(view->ExportFigure(dir / name, error)) << error;
        EXPECT_GT(std::filesystem::file_size(dir / name), 1000u) << name;
    }
}

TEST_F(MainWindowTest, ProfileViewOfACurveWithoutContinuousStiffnessSaysWhy) {
    const auto curve = dir / "agilent_nial_t001.csv";
    std::filesystem::copy_file(MARVEK_TEST_DATA "/real/agilent_nial_t001.csv", curve);
    CIndentMainDlg& w = Open();
    ASSERT_TRUE(w.SelectFiles({curve}));
    services.messages.clear();
    ASSERT_TRUE(w.SendCommand(ID_PROFILE_VIEW));
    EXPECT_EQ(w.findChild<ProfileView*>(), nullptr);
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_NE(services.messages[0].text.find("agilent_nial_t001.csv: no depth profile"),
              std::string::npos)
        << services.messages[0].text;
}

// The results table shows every test's average over the workbook's window, as the view does,
// and follows the window the user drags there; its statistics follow too.
TEST_F(MainWindowTest, ResultsTableAveragesFollowTheProfileWindow) {
    const auto book = dir / "FS_XP.xls";
    std::filesystem::copy_file(MARVEK_TEST_DATA "/vendor/FS_XP.xls", book);
    CIndentMainDlg& w = Open();
    ASSERT_TRUE(w.SelectFiles({book}));
    w.OnResultsTable();
    auto* table = w.findChild<ResultsTableWindow*>();
    ASSERT_NE(table, nullptr);
    QSignalSpy finished(table, &ResultsTableWindow::analysisFinished);
    if (table->Running()) {
        ASSERT_TRUE(finished.wait(60000));
    }
    ASSERT_TRUE(w.SendCommand(ID_PROFILE_VIEW));
    // The view is no QObject of its own class: look for it among the dialogs.
    ProfileView* view = nullptr;
    for (QDialog* d : w.findChildren<QDialog*>())
        if (auto* v = dynamic_cast<ProfileView*>(d)) view = v;
    ASSERT_NE(view, nullptr);
    view->resize(1100, 700);
    view->show();
    QApplication::processEvents();

    const auto hardness = static_cast<std::size_t>(FindSeriesQuantity(kProfileHardness));
    const auto modulus = static_cast<std::size_t>(FindSeriesQuantity(kProfileModulus));
    const auto expectTableFollows = [&] {
        const marvek::Series& s = table->CurrentSeries();
        ASSERT_EQ(s.curves.size(), view->Indents().size());
        for (std::size_t k = 0; k < view->Indents().size(); ++k) {
            const auto& row = s.curves[static_cast<std::size_t>(view->Indents()[k].curve)];
            const auto& shown = view->Averages().indents[k];
            EXPECT_EQ(row.values[hardness], shown.hardness) << k;
            EXPECT_EQ(row.values[modulus], shown.modulus) << k;
            EXPECT_EQ(row.profileAverage.n, shown.n) << k;
        }
        EXPECT_DOUBLE_EQ(s.summary.quantities[hardness].mean, view->Averages().hardness);
        EXPECT_EQ(s.summary.quantities[modulus].n, view->Averages().n);
    };
    // The workbook's incomplete area function is named with the window's remedy, not a flag's.
    bool warned = false;
    for (const QLabel* label : view->findChildren<QLabel*>()) {
        const std::string text = label->text().toStdString();
        if (text.find("is incomplete") == std::string::npos) continue;
        warned = true;
        EXPECT_NE(text.find("Analysis Setup > Indenter Area Function"), std::string::npos);
        EXPECT_EQ(text.find("--"), std::string::npos) << text;
    }
    EXPECT_TRUE(warned);
    // The columns are there for a continuous-stiffness workbook.
    EXPECT_FALSE(table->Table()->isColumnHidden(ResultsTableWindow::kFirstQuantityColumn +
                                                static_cast<int>(hardness)));
    expectTableFollows();
    DragEdge(*view, 1, 400);
    EXPECT_GT(view->To(), 390);
    expectTableFollows();
    // A spin box sets the window as well.
    view->SetWindow(150, 300);
    expectTableFollows();
}
