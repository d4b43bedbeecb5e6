// The result-set block under the results text of the main window.

#include "app/main_window_fixture.h"
#include "app/resource_ids.h"

using namespace resource;

TEST_F(MainWindowTest, ResultSetBlockShowsUnderTheResultsTextAndClearsOnFailure) {
    CIndentMainDlg& w = Open();
    const auto files = Curves({"hysitron_steel_0000.csv"});
    ASSERT_TRUE(w.SelectFiles(files));
    EXPECT_NE(w.GetDlgItemText(IDC_ISO_RESULTS).find("computing"), std::string::npos);
    w.WaitForResultSet();
    const std::string block = w.GetDlgItemText(IDC_ISO_RESULTS);
    EXPECT_EQ(block, w.m_strIsoResults);
    EXPECT_EQ(block.rfind("ISO 14577 (W by trapezoids) :\n E(IT) = 317.22 \xC2\xB1 ", 0), 0u)
        << block;
    // Energies in the results' unit, so the two rules can be compared at a glance.
    EXPECT_NE(block.find(" W(total) = "), std::string::npos);
    EXPECT_NE(block.find(" \xC2\xB5J\n W(elast) = "), std::string::npos) << block;
    EXPECT_NE(block.find(" R(IT) = -\n"), std::string::npos);  // a creep hold, no relaxation
    EXPECT_EQ(w.m_strResults.find("ISO"), std::string::npos);  // the results text is its own

    // A block still on its way when the next analysis fails is never shown.
    w.DisplayCurve(0);
    std::filesystem::remove(files[0]);
    w.DisplayCurve(0);
    w.WaitForResultSet();
    EXPECT_EQ(w.GetDlgItemText(IDC_ISO_RESULTS), "");
}
