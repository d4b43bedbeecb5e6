// File > Export Report from the main window, driven through the file-dialog double: the report
// holds the window's curves, its notes and exclusions, and the settings typed in the window
// with that as their source.
#include <gtest/gtest.h>

#include <string>

#include "app/resource_ids.h"
#include "main_window_fixture.h"
#include "support/temp_dir.h"

namespace {

using namespace resource;

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST_F(MainWindowTest, ExportReportWritesTheWindowsCurvesNotesAndSettings) {
    const auto files =
        Curves({"agilent_nial_t001.csv", "kla_tungsten_3mN_t01.csv", "hysitron_steel_0000.csv"});
    CIndentMainDlg& w = Open();
    ASSERT_TRUE(w.SelectFiles(files));
    w.SetCurveNotes(files[2].string(), {true, "tip <contaminated> & re-run", "check"}, "exclusion");
    w.SetDlgItemText(IDC_POISSON, "0.25");
    w.OnKillfocusPoisson();

    const auto html = dir / "report.html";
    services.saveAnswers = {html};
    ASSERT_TRUE(w.TriggerMenuCommand(ID_EXPORT_REPORT));
    ASSERT_TRUE(services.messages.empty()) << services.messages.front().text;
    const std::string text = marvek::testing::ReadWholeFile(html);
    ASSERT_FALSE(text.empty());
    // The Poisson ratio typed in the window, named as the window's.
    EXPECT_NE(text.find(">sample Poisson ratio</td><td>0.25</td><td>this window (not in the "
                        "parameter file)</td>"),
              std::string::npos);
    for (const auto& f : files) EXPECT_NE(text.find(f.filename().string()), std::string::npos);
    // The excluded curve greyed, its note escaped; a picture per curve and the overlay of the
    // two included ones.
    EXPECT_EQ(Count(text, "<tr class=\"excluded\">"), 1u);
    EXPECT_NE(text.find("tip &lt;contaminated&gt; &amp; re-run"), std::string::npos);
    EXPECT_EQ(Count(text, "src=\"data:image/png;base64,iVBORw0KGgo"), 4u);
    EXPECT_NE(w.StatusText().find("Report saved to"), std::string::npos);

    const auto pdf = dir / "report.pdf";
    services.saveAnswers = {pdf};
    ASSERT_TRUE(w.TriggerMenuCommand(ID_EXPORT_REPORT));
    EXPECT_EQ(marvek::testing::ReadWholeFile(pdf).rfind("%PDF-", 0), 0u);

    // A name the writer cannot take is refused in a box, nothing written.
    services.saveAnswers = {dir / "report.txt"};
    ASSERT_TRUE(w.TriggerMenuCommand(ID_EXPORT_REPORT));
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_NE(services.messages.front().text.find("report.txt"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "report.txt"));
}

}  // namespace
