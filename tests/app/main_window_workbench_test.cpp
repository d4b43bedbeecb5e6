// The main window as a researcher works in it: a clicked table row is the curve shown, settings
// a run would refuse are refused where typed, a failed curve is named before its box, Escape
// keeps the work, notes outlive the table and are undone, projects save and reopen the work.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <fstream>

#include "app/resource_ids.h"
#include "core/config/parameter_file.h"
#include "core/config/settings_validation.h"
#include "core/project/project.h"
#include "main_window_fixture.h"
#include "settings/area_function_dialog.h"
#include "settings/compliance_dialog.h"
#include "settings/strategy_dialog.h"
#include "table/results_table_window.h"

namespace {

using namespace resource;
using marvek::table::ResultsTableWindow;

ResultsTableWindow* OpenTable(CIndentMainDlg& w) {
    w.OnResultsTable();
    auto* table = w.findChild<ResultsTableWindow*>();
    if (!table) return nullptr;
    QSignalSpy spy(table, &ResultsTableWindow::analysisFinished);
    if (table->Running()) spy.wait(60000);
    return table;
}

// The row of the table (in its sorted order) that shows `curve`'s file.
int RowOf(ResultsTableWindow& t, const std::filesystem::path& file) {
    QAbstractItemModel* m = t.Table()->model();
    for (int r = 0; r < m->rowCount(); ++r)
        if (m->data(m->index(r, ResultsTableWindow::kAddressColumn), Qt::ToolTipRole).toString() ==
            QString::fromStdString(file.string()))
            return r;
    return -1;
}

void ClickRow(ResultsTableWindow& t, int row) {
    QTableView* v = t.Table();
    const QRect cell = v->visualRect(v->model()->index(row, ResultsTableWindow::kFlagsColumn));
    QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, cell.center());
}

TEST_F(MainWindowTest, AClickedTableRowIsTheCurveShownWhateverWasSelectedBefore) {
    CIndentMainDlg& w = Open();
    const auto files = Curves({"agilent_nial_t001.csv", "kla_tungsten_3mN_t01.csv",
                               "hysitron_steel_0000.csv", "agilent_fs_calibration_t001.csv"});
    ASSERT_TRUE(w.SelectFiles(files));
    ResultsTableWindow* t = OpenTable(w);
    ASSERT_NE(t, nullptr);
    t->show();
    // Sorted by a quantity, the rows are no longer in list order.
    t->Table()->sortByColumn(ResultsTableWindow::kFirstQuantityColumn, Qt::DescendingOrder);
    for (int curve : {3, 1, 2, 0, 3}) {
        SCOPED_TRACE(curve);
        ClickRow(*t, RowOf(*t, files[static_cast<std::size_t>(curve)]));
        EXPECT_EQ(w.m_nCurrentCurve, curve);
        EXPECT_EQ(w.m_strFileName, files[static_cast<std::size_t>(curve)].string());
        EXPECT_NE(w.windowTitle().toStdString().find(
                      files[static_cast<std::size_t>(curve)].filename().string() + " (" +
                      std::to_string(curve + 1) + " of 4)"),
                  std::string::npos)
            << w.windowTitle().toStdString();
        EXPECT_EQ(w.m_ctlCurveScroll.GetScrollPos(), curve);
    }
}

// Values the cli refuses, typed where the window asks for them: refused there, with a message
// naming the field, and never written to the parameter file.
TEST_F(MainWindowTest, SettingsTheCliRefusesAreRefusedWhereTypedAndNeverStored) {
    struct Case {
        const char* name;
        int command;  // 0: the main window's Poisson field
        int control;
        const char* typed;
        const char* field;
    } cases[] = {
        {"sample Poisson ratio", 0, IDC_POISSON, "0.7", "sample Poisson ratio"},
        {"indenter Poisson ratio", ID_AREA_FUNCTION, 1002, "-2", "indenter Poisson ratio"},
        {"compliance", ID_COMPLIANCE, 1001, "-3", "frame compliance"},
        {"area-function compliance", ID_AREA_FUNCTION, 1047, "-3", "frame compliance"},
        {"Oliver-Pharr range", ID_STRATEGY, 1016, "90", "Oliver-Pharr force range"},
        {"epsilon", ID_STRATEGY, 1002, "0", "material epsilon"},
        {"not a number", ID_STRATEGY, 1037, "0.02x", "Tool force accuracy"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(parameterFile);
        StoreSettings(marvek::Settings{});
        services.messages.clear();
        CIndentMainDlg& w = Open();
        if (c.command == 0) {
            w.SetDlgItemText(c.control, c.typed);
            EXPECT_FALSE(w.UpdateData(true));
        } else {
            bool stayedOpen = false;
            services.modalScripts.push_back([&](marvek::ui::Dialog& d) {
                d.SetDlgItemText(c.control, c.typed);
                d.SendCommand(marvek::ui::IDOK);
                stayedOpen = !d.IsEnded();
                d.SendCommand(marvek::ui::IDCANCEL);
            });
            ASSERT_TRUE(w.TriggerMenuCommand(c.command));
            EXPECT_TRUE(stayedOpen);
        }
        ASSERT_FALSE(services.messages.empty());
        EXPECT_NE(services.messages[0].text.find(c.field), std::string::npos)
            << services.messages[0].text;
        ASSERT_TRUE(w.TriggerMenuCommand(ID_EXIT));
        // The file the window wrote is one the cli reads without changing a value.
        marvek::Settings read;
        const marvek::ParameterFileResult loaded = marvek::LoadParameters(parameterFile, read);
        ASSERT_TRUE(loaded.status.ok());
        EXPECT_TRUE(loaded.warnings.empty()) << loaded.warnings.front();
        EXPECT_TRUE(marvek::Validate(read).empty());
        marvek::Settings defaults;
        marvek::CopyStrategyToAreaFunction(defaults.strategy, defaults.areaFunction);
        EXPECT_EQ(marvek::FormatParameters(read), marvek::FormatParameters(defaults));
        dlg.reset();
    }
}

TEST_F(MainWindowTest, AnUnreadableCurveIsNamedWithItsReasonAfterTheWindowShowsIt) {
    CIndentMainDlg& w = Open();
    const auto files = Curves({"agilent_nial_t001.csv", "kla_tungsten_3mN_t01.csv"});
    std::ofstream(files[1], std::ios::trunc) << "this is not a curve\n1;2;3\n";
    ASSERT_TRUE(w.SelectFiles(files));
    std::string titleUnderBox, pathUnderBox;
    int thumbUnderBox = -1;
    services.onMessage = [&](const marvek::ui::MessageRequest&) {
        titleUnderBox = w.windowTitle().toStdString();
        pathUnderBox = w.GetDlgItemText(IDC_FILE_NAME);
        thumbUnderBox = w.m_ctlCurveScroll.GetScrollPos();
    };
    w.SendHScroll(IDC_CURVE_SCROLL, marvek::ui::SB_LINERIGHT, 0);
    ASSERT_EQ(services.messages.size(), 1u);
    const std::string& text = services.messages[0].text;
    EXPECT_NE(text.find(files[1].string() + ": 3 columns without a header"), std::string::npos)
        << text;
    EXPECT_NE(titleUnderBox.find("(2 of 2)"), std::string::npos) << titleUnderBox;
    EXPECT_EQ(pathUnderBox, files[1].string());
    EXPECT_EQ(thumbUnderBox, 1);
    // The reason under the results is whole, however narrow the box.
    const std::string results = w.GetDlgItemText(IDC_RESULTS);
    std::string joined;
    for (char ch : results) joined += ch == '\n' ? "" : std::string(1, ch);
    // What to do is said in the window's terms.
    EXPECT_NE(joined.find("3 columns without a header: give them in File > Columns and Units..."),
              std::string::npos)
        << results;
    EXPECT_EQ(results.find("File format example"), std::string::npos);
}

TEST_F(MainWindowTest, EscapeKeepsTheWindowAndUnsavedNotesAreAskedAboutOnExit) {
    CIndentMainDlg& w = Open();
    const auto files = Curves({"agilent_nial_t001.csv", "kla_tungsten_3mN_t01.csv"});
    ASSERT_TRUE(w.SelectFiles(files));
    for (int control : {IDC_POISSON, 0}) {
        QWidget* target = control ? w.GetDlgItem(control) : static_cast<QWidget*>(w.m_plot);
        QTest::keyClick(target, Qt::Key_Escape);
        EXPECT_FALSE(w.IsEnded());
    }
    w.SetCurveNotes(files[0].string(), {true, "", ""}, "exclusion");
    // Cancel keeps the window; No ends it without a project.
    services.messageAnswers = {marvek::ui::IDCANCEL};
    ASSERT_TRUE(w.TriggerMenuCommand(ID_EXIT));
    EXPECT_FALSE(w.IsEnded());
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].buttons, marvek::ui::MessageButtons::YesNoCancel);
    // Yes saves them in a project first.
    const auto project = dir / "work.marvek";
    services.messageAnswers = {marvek::ui::IDYES};
    services.saveAnswers = {project};
    ASSERT_TRUE(w.TriggerMenuCommand(ID_EXIT));
    EXPECT_TRUE(w.IsEnded());
    marvek::project::Project saved;
    ASSERT_TRUE(marvek::project::ReadProject(project, saved).ok());
    ASSERT_EQ(saved.curves.size(), 2u);
    EXPECT_TRUE(saved.curves[0].notes.excluded);
}

TEST_F(MainWindowTest, TableNotesOutliveTheTableAndAreUndoneAndRedone) {
    CIndentMainDlg& w = Open();
    const auto files =
        Curves({"agilent_nial_t001.csv", "kla_tungsten_3mN_t01.csv", "hysitron_steel_0000.csv"});
    ASSERT_TRUE(w.SelectFiles(files));
    ResultsTableWindow* t = OpenTable(w);
    ASSERT_NE(t, nullptr);
    QAbstractItemModel* m = t->Table()->model();
    const int row = RowOf(*t, files[1]);
    ASSERT_TRUE(m->setData(m->index(row, ResultsTableWindow::kIncludeColumn), Qt::Unchecked,
                           Qt::CheckStateRole));
    ASSERT_TRUE(m->setData(m->index(row, ResultsTableWindow::kNoteColumn), "cracked"));
    EXPECT_TRUE(w.NotesOf(files[1].string()).excluded);
    EXPECT_EQ(w.NotesOf(files[1].string()).note, "cracked");
    t->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // A new table starts from them; its export says so.
    t = OpenTable(w);
    ASSERT_NE(t, nullptr);
    const marvek::SeriesCurve& c = t->CurrentSeries().curves[1];
    EXPECT_TRUE(c.userExcluded);
    EXPECT_FALSE(c.included);
    EXPECT_EQ(c.note, "cracked");
    const auto csv = dir / "table.csv";
    ASSERT_TRUE(t->ExportCsv(csv).ok());
    std::ifstream in(csv);
    std::string header, line;
    std::getline(in, header);
    EXPECT_EQ(header.rfind("address,file,test,included,reason,flags,note,userFlag,", 0), 0u)
        << header;
    std::getline(in, line);
    std::getline(in, line);
    EXPECT_NE(line.find(",false,"), std::string::npos) << line;
    EXPECT_NE(line.find(",cracked,"), std::string::npos) << line;

    // Undo takes the note back, then the exclusion; redo puts them again; the table follows.
    ASSERT_TRUE(w.CanUndo());
    w.TriggerMenuCommand(ID_UNDO);
    EXPECT_EQ(w.NotesOf(files[1].string()).note, "");
    EXPECT_TRUE(w.NotesOf(files[1].string()).excluded);
    w.TriggerMenuCommand(ID_UNDO);
    EXPECT_FALSE(w.NotesOf(files[1].string()).excluded);
    EXPECT_FALSE(t->CurrentSeries().curves[1].userExcluded);
    w.TriggerMenuCommand(ID_REDO);
    w.TriggerMenuCommand(ID_REDO);
    EXPECT_TRUE(t->CurrentSeries().curves[1].userExcluded);
    EXPECT_EQ(t->CurrentSeries().curves[1].note, "cracked");
    EXPECT_FALSE(w.CanRedo());
}

TEST_F(MainWindowTest, SettingsChangesAreUndoneWithTheirReanalysis) {
    CIndentMainDlg& w = Open();
    ASSERT_TRUE(w.SelectFiles(Curves({"agilent_nial_t001.csv"})));
    const double eit = w.m_dEIT;
    w.SetDlgItemText(IDC_POISSON, "0.2");
    w.OnKillfocusPoisson();
    ASSERT_NE(w.m_dEIT, eit);
    services.modalScripts.push_back([](marvek::ui::Dialog& d) {
        d.SetDlgItemText(1001, "0.5");
        d.SendCommand(marvek::ui::IDOK);
    });
    ASSERT_TRUE(w.TriggerMenuCommand(ID_COMPLIANCE));
    EXPECT_FLOAT_EQ(g_dlgCompliance.m_fCompliance, 0.5f);
    w.TriggerMenuCommand(ID_UNDO);
    EXPECT_FLOAT_EQ(g_dlgCompliance.m_fCompliance, 0.0f);
    EXPECT_FLOAT_EQ(w.m_fPoisson, 0.2f);
    w.TriggerMenuCommand(ID_UNDO);
    EXPECT_FLOAT_EQ(w.m_fPoisson, 0.3f);
    EXPECT_EQ(w.GetDlgItemText(IDC_POISSON), "0.3");
    EXPECT_DOUBLE_EQ(w.m_dEIT, eit);
    EXPECT_FALSE(w.CanUndo());
}

TEST_F(MainWindowTest, ASavedProjectReopensTheWorkAndNamesChangedFiles) {
    const auto files =
        Curves({"agilent_nial_t001.csv", "kla_tungsten_3mN_t01.csv", "hysitron_steel_0000.csv"});
    const auto project = dir / "work.marvek";
    marvek::ui::PlotRange zoom{};
    {
        CIndentMainDlg& w = Open();
        ASSERT_TRUE(w.SelectFiles(files));
        w.SetCurveNotes(files[2].string(), {true, "pop-in at 40 nm", "check"}, "exclusion");
        w.SetDlgItemText(IDC_POISSON, "0.25");
        w.OnKillfocusPoisson();
        w.DisplayCurve(1);
        w.m_plot->SetView({10, 60, 0.5, 2.5});
        zoom = {10, 60, 0.5, 2.5};
        services.saveAnswers = {project};
        ASSERT_TRUE(w.TriggerMenuCommand(ID_SAVE_PROJECT));
        EXPECT_NE(w.windowTitle().toStdString().find("work.marvek"), std::string::npos);
        ASSERT_TRUE(w.TriggerMenuCommand(ID_EXIT));
        EXPECT_TRUE(w.IsEnded());
        dlg.reset();
    }
    StoreSettings(marvek::Settings{});
    std::ofstream(files[0], std::ios::app) << "\n";  // changed since
    services.messages.clear();
    CIndentMainDlg& w = Open();
    services.openAnswers = {std::vector<std::filesystem::path>{project}};
    ASSERT_TRUE(w.TriggerMenuCommand(ID_OPEN_PROJECT));
    ASSERT_EQ(w.m_analyzer.m_nFileCount, 3);
    EXPECT_EQ(w.m_nCurrentCurve, 1);
    EXPECT_EQ(w.m_strFileName, files[1].string());
    EXPECT_FLOAT_EQ(w.m_fPoisson, 0.25f);
    EXPECT_EQ(w.NotesOf(files[2].string()).note, "pop-in at 40 nm");
    EXPECT_TRUE(w.NotesOf(files[2].string()).excluded);
    const auto view = w.m_plot->View();
    EXPECT_DOUBLE_EQ(view.xLower, zoom.xLower);
    EXPECT_DOUBLE_EQ(view.yUpper, zoom.yUpper);
    ASSERT_FALSE(services.messages.empty());
    const std::string& said = services.messages[0].text;
    EXPECT_NE(said.find(files[0].string()), std::string::npos) << said;
    EXPECT_NE(said.find("was"), std::string::npos) << said;
    EXPECT_EQ(said.find(files[1].string()), std::string::npos) << said;
}

}  // namespace
