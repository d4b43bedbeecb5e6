// The main window on files from outside: what File Information says of a file, a layout the
// window must be told (Columns and Units) and the instrument's calibration a workbook records.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include <fstream>

#include "app/resource_ids.h"
#include "core/io/parsed_curve.h"
#include "main_window_fixture.h"
#include "support/xls_writer.h"
#include "table/results_table_window.h"

namespace {

using namespace resource;

// The points of an example curve (depth nm, load mN, time s).
marvek::io::ParsedCurve Example(const std::string& name) {
    marvek::io::ParsedFile f = marvek::io::ReadFile(std::filesystem::path(MARVEK_EXAMPLES) / name);
    EXPECT_TRUE(f.status.ok()) << f.status.message();
    return f.curves.empty() ? marvek::io::ParsedCurve{} : f.curves.front();
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(MainWindowTest, FileInformationNamesTheReaderColumnsAndUnitsOfADelimitedFile) {
    CIndentMainDlg& w = Open();
    const marvek::io::ParsedCurve c = Example("agilent_nial_t001.csv");
    const auto file = dir / "plain.csv";
    {
        std::ofstream out(file);
        out << "time_s,depth_nm,load_micro_N\n";
        for (std::size_t k = 0; k < c.size(); ++k)
            out << c.time[k] << ',' << c.depth[k] << ',' << c.load[k] * 1000 << '\n';
    }
    ASSERT_TRUE(w.SelectFiles({file}));
    ASSERT_TRUE(w.m_lastOutcome.ok()) << w.m_lastOutcome.message();
    const std::string info = w.FileInformationText(0);
    EXPECT_TRUE(Has(info, "File: " + file.string() + "\n")) << info;
    EXPECT_TRUE(Has(info, "Reader: delimited\n")) << info;
    EXPECT_TRUE(Has(info, "Units: depth nm, load uN, time s\n")) << info;
    EXPECT_TRUE(Has(info,
                    "columns: depth: column 2 \"depth_nm\", nm; load: column 3 "
                    "\"load_micro_N\", uN; time: column 1"))
        << info;
    EXPECT_TRUE(Has(info, "none, as the file says")) << info;
    // The command shows that text in its window.
    std::string shown;
    services.modalScripts.push_back([&shown](marvek::ui::Dialog& d) {
        shown = d.GetDlgItemText(1001);
        d.SendCommand(marvek::ui::IDOK);
    });
    ASSERT_TRUE(w.SendCommand(ID_FILE_INFORMATION));
    ASSERT_EQ(services.modalCaptions.size(), 1u);
    EXPECT_EQ(services.modalCaptions[0], "File Information");
    EXPECT_TRUE(Has(shown, "Reader: delimited")) << shown;
}

// Three columns without a header: refused with what to do in the window (not the command
// line's options), then read once the columns are given there, and said so in File Information.
TEST_F(MainWindowTest, AHeaderlessFileIsReadOnceItsColumnsAreGivenInTheWindow) {
    CIndentMainDlg& w = Open();
    const marvek::io::ParsedCurve c = Example("agilent_nial_t001.csv");
    const auto file = dir / "bare.txt";
    {
        std::ofstream out(file);
        for (std::size_t k = 0; k < c.size(); ++k)
            out << c.depth[k] << '\t' << c.load[k] << '\t' << c.time[k] << '\n';
    }
    ASSERT_TRUE(w.SelectFiles({file}));
    ASSERT_FALSE(w.m_lastOutcome.ok());
    ASSERT_EQ(services.messages.size(), 1u);
    const std::string refused = services.messages[0].text;
    EXPECT_TRUE(Has(refused,
                    "3 columns without a header: give them in File > Columns and "
                    "Units..."))
        << refused;
    EXPECT_FALSE(Has(refused, "--columns")) << refused;
    EXPECT_FALSE(Has(refused, "File format example")) << refused;
    EXPECT_FALSE(Has(w.m_strResults, "--columns")) << w.m_strResults;

    // A column alone is refused where typed; both columns and a unit are taken.
    services.modalScripts.push_back([](marvek::ui::Dialog& d) {
        d.SetDlgItemText(1011, "1");
        d.SendCommand(marvek::ui::IDOK);  // no load column: stays open
        EXPECT_FALSE(d.IsEnded());
        d.SetDlgItemText(1012, "2");
        d.SetDlgItemText(1013, "3");
        d.SetDlgItemText(1015, "parsec");
        d.SendCommand(marvek::ui::IDOK);  // not a load unit
        EXPECT_FALSE(d.IsEnded());
        d.SetDlgItemText(1015, "mN");
        d.SendCommand(marvek::ui::IDOK);
    });
    const std::size_t before = services.messages.size();
    ASSERT_TRUE(w.SendCommand(ID_COLUMNS_UNITS));
    EXPECT_EQ(services.messages.size(), before + 2);  // the two refusals, nothing after
    EXPECT_EQ(w.m_analyzer.m_readOptions.depthColumn, 1);
    EXPECT_EQ(w.m_analyzer.m_readOptions.loadColumn, 2);
    EXPECT_EQ(w.m_analyzer.m_readOptions.timeColumn, 3);
    EXPECT_EQ(w.m_analyzer.m_readOptions.loadUnit, "mN");
    ASSERT_TRUE(w.m_lastOutcome.ok()) << w.m_lastOutcome.message();
    EXPECT_EQ(w.m_analyzer.m_nPoints, static_cast<int>(c.size()));
    EXPECT_GT(w.m_dEIT, 0);
    const std::string info = w.FileInformationText(0);
    EXPECT_TRUE(Has(info, "depth: column 1")) << info;
    EXPECT_TRUE(Has(info, "load: column 2")) << info;
    EXPECT_TRUE(Has(info, "depth column 1, load column 2, time column 3; load in mN")) << info;
    // The results table reads the file as the window does.
    w.OnResultsTable();
    auto* table = w.findChild<marvek::table::ResultsTableWindow*>();
    ASSERT_NE(table, nullptr);
    QSignalSpy finished(table, &marvek::table::ResultsTableWindow::analysisFinished);
    if (table->Running()) finished.wait(60000);
    ASSERT_EQ(table->CurrentSeries().curves.size(), 1u);
    EXPECT_TRUE(table->CurrentSeries().curves[0].ok) << table->CurrentSeries().curves[0].error;
    table->close();

    // "As the Files Say" takes them back: refused again.
    services.modalScripts.push_back([](marvek::ui::Dialog& d) {
        d.SendCommand(1016);
        d.SendCommand(marvek::ui::IDOK);
    });
    ASSERT_TRUE(w.SendCommand(ID_COLUMNS_UNITS));
    EXPECT_EQ(w.m_analyzer.m_readOptions.depthColumn, 0);
    EXPECT_FALSE(w.m_lastOutcome.ok());
}

// Read as the NanoTest layout (no header) with loads a million times too large: both are said
// above the results, what to do in the window's terms.
TEST_F(MainWindowTest, AGuessedLayoutAndAnAbsurdLoadAreSaidAboveTheResults) {
    CIndentMainDlg& w = Open();
    const marvek::io::ParsedCurve c = Example("agilent_nial_t001.csv");
    const auto file = dir / "guessed.txt";
    {
        std::ofstream out(file);
        for (std::size_t k = 0; k < c.size(); ++k)
            out << c.time[k] << '\t' << c.depth[k] << '\t' << c.load[k] * 1e6 << '\n';
    }
    ASSERT_TRUE(w.SelectFiles({file}));
    ASSERT_TRUE(w.m_lastOutcome.ok()) << w.m_lastOutcome.message();
    std::string joined;  // the results box's lines joined again
    for (char ch : w.m_strResults) joined += ch == '\n' ? "" : std::string(1, ch);
    EXPECT_EQ(joined.rfind("Warning: Fmax = ", 0), 0u) << w.m_strResults;
    EXPECT_TRUE(Has(joined, "check the load column and its unit (File > Columns and Units...)"))
        << w.m_strResults;
    EXPECT_TRUE(Has(joined, "Warning: the layout or units were guessed")) << w.m_strResults;
    EXPECT_FALSE(Has(joined, "--")) << w.m_strResults;
    EXPECT_TRUE(Has(w.FileInformationText(0),
                    "set them in File > Columns and Units... if they "
                    "are otherwise"));
}

// A workbook test whose inputs sheet records the sample's Poisson's ratio: the toggle analyses
// with it (another modulus), the results say it came from the file, and off again gives back
// the window's ratio.
TEST_F(MainWindowTest, TheInstrumentsCalibrationChangesTheModulusOfAWorkbookTest) {
    using marvek::test::XlsSheet;
    CIndentMainDlg& w = Open();
    const marvek::io::ParsedCurve c = Example("agilent_nial_t001.csv");
    XlsSheet test("Test 001");
    test.Label(0, 0, "Displacement Into Surface", false)
        .Label(0, 1, "Load On Sample", false)
        .Label(0, 2, "Time On Sample", false)
        .Label(1, 0, "nm", false)
        .Label(1, 1, "mN", false)
        .Label(1, 2, "s", false);
    for (std::size_t k = 0; k < c.size(); ++k) {
        const auto r = static_cast<std::uint16_t>(k + 2);
        test.Number(r, 0, c.depth[k]).Number(r, 1, c.load[k]).Number(r, 2, c.time[k]);
    }
    XlsSheet inputs("Required Inputs");
    inputs.Label(0, 0, "Test", false)
        .Label(0, 1, "Poissons Ratio", false)
        .Number(2, 0, 1)
        .Number(2, 1, 0.07);
    const auto file = dir / "recorded.xls";
    std::ofstream(file, std::ios::binary)
        << marvek::test::CompoundFile(marvek::test::XlsStream({inputs, test}, {}));

    ASSERT_TRUE(w.SelectFiles({file}));
    ASSERT_TRUE(w.m_lastOutcome.ok()) << w.m_lastOutcome.message();
    const double own = w.m_dEIT;
    ASSERT_GT(own, 0);
    EXPECT_TRUE(Has(w.FileInformationText(0), "Poisson's ratio: 0.07"));
    EXPECT_FALSE(Has(w.m_strResults, "From the file"));

    ASSERT_TRUE(w.SendCommand(ID_USE_FILE_CALIBRATION));
    EXPECT_TRUE(w.m_lastOutcome.ok());
    // E = (1 - v^2) / (1/Er - ...): the file's 0.07 against the window's 0.3.
    EXPECT_NEAR(w.m_dEIT / own, (1 - 0.07 * 0.07) / (1 - 0.3 * 0.3), 1e-6);
    EXPECT_TRUE(Has(w.m_strResults, "From the file:\n Poisson's ratio 0.07\n")) << w.m_strResults;
    EXPECT_TRUE(Has(w.FileInformationText(0), "(Analysis Setup): used"));
    EXPECT_NEAR(w.m_fPoisson, 0.3, 1e-6);  // the window's own ratio stays

    ASSERT_TRUE(w.SendCommand(ID_USE_FILE_CALIBRATION));
    EXPECT_DOUBLE_EQ(w.m_dEIT, own);
    EXPECT_FALSE(Has(w.m_strResults, "From the file"));
}

}  // namespace
