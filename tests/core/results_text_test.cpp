#include "core/analysis/results_text.h"

#include <gtest/gtest.h>

#include <cmath>

namespace marvek {
namespace {

// A curve with loading, hold, unloading and reloading, and results set by hand.
class ResultsText : public ::testing::Test {
protected:
    void SetUp() override {
        const double t[] = {0, 1, 2, 3, 4, 5, 6, 7};
        const double h[] = {10, 20, 30, 30, 25, 20, 22, 24};
        const double f[] = {1, 2, 3, 3, 2, 1, 1.5, 2};
        const char c[] = "LLLTUURR";
        for (int i = 0; i < 8; ++i) {
            a.m_pTime[i] = t[i];
            a.m_pDepth[i] = h[i];
            a.m_pLoad[i] = f[i];
            a.m_pSegment[i] = c[i];
        }
        a.m_nPoints = 8;
        a.m_nFitPoints = 3;
        a.m_dFmax = 3;
        a.m_dHmax = 30;
        a.m_dHc = 22.5;
        a.m_dHr = 20.125;
        a.m_dHf = 15;
        a.m_dAlpha = 0.0123456789;
        a.m_dM = 1.5;
        a.m_dRSquared = 0.99999949;
        a.m_dDriftRate = 0.000125;
        d.m_dEIT = 70.125;
        d.m_dHIT = 9000;
        d.m_dHM = 4000.004;
        d.m_dHOP = 8500.5;
        d.m_dHV = 866.8;
        d.m_dProjectedArea = 12403.125;
        a.ComputeSegmentTimes();  // as AnalyzeCurve does
    }
    CCurveAnalyzer a;
    CurveDisplay d;
};

TEST_F(ResultsText, OliverPharrTextIsExact) {
    const std::string expected =
        "Method :\n Oliver-Pharr\n\nMain Results :\n E(IT) = 70.12 GPa\n H(IT) = 9000.00 MPa\n"
        " HM = 4000.00 MPa\n H(OP) = 8500.50 MPa\n HV = 866.80 kg/mm^2\n"
        " Brinell(500gf,10mm) = 733.07\n\nAdditional Results :\n Force max = 3.00 mN\n"
        " hmax = 30.00 nm\n hc = 22.50 nm\n hr = 20.12 nm\n hf = 15.00 nm\n"
        " Ap = 12403.12 nm^2\n\n alpha = 0.012346 nm/mN^m\n m = 1.500000 \n R = 0.999999 \n"
        "\nDrift Correction = 0.00013 nm/s\nTotal Data Points = 8\nUnload/Reload Points = 3\n"
        "Load = 2.00 s\nTop Hold = 0.00 s\nUnload = 1.00 s\nBottom Hold = 0.00 s\n"
        "\nEnergy Loading = 0.000050 µJ\nEnergy Unloading = -0.000015 µJ\n"
        "Energy Reloading = -0.000007 µJ\n";
    EXPECT_EQ(BuildResultsText(a, d, AnalysisMethod::OliverPharr), expected);
}

TEST_F(ResultsText, MethodDecidesFitLinesAndTitle) {
    const std::string dn = BuildResultsText(a, d, AnalysisMethod::DoernerNix);
    EXPECT_NE(dn.find(" Doerner-Nix\n\n"), std::string::npos);
    EXPECT_EQ(dn.find("alpha"), std::string::npos);
    EXPECT_NE(dn.find(" Ap = 12403.12 nm^2\n\n R = 0.999999 \n\nDrift"), std::string::npos);
    const std::string other = BuildResultsText(a, d, MethodOf(7));
    EXPECT_NE(other.find(" Experimental\n\n"), std::string::npos);
    EXPECT_EQ(other.find(" R = "), std::string::npos);
}

// The longer of unloading and reloading is shown; a tie shows the unloading.
TEST_F(ResultsText, ReloadShownWhenLongerThanUnload) {
    a.m_pTime[7] = 9;
    a.ComputeSegmentTimes();
    const std::string text = BuildResultsText(a, d, AnalysisMethod::OliverPharr);
    EXPECT_NE(text.find("Reload = 3.00 s\n"), std::string::npos);
    EXPECT_EQ(text.find("Unload = "), std::string::npos);
    for (int i = 0; i < 8; ++i) a.m_pSegment[i] = 'L';
    a.ComputeSegmentTimes();
    EXPECT_NE(BuildResultsText(a, d, AnalysisMethod::OliverPharr).find("Unload = 0.00 s\n"),
              std::string::npos);
}

TEST_F(ResultsText, NonFiniteValuesAreShownNotHidden) {
    d.m_dEIT = std::nan("");
    a.m_dHc = -INFINITY;
    const std::string text = BuildResultsText(a, d, AnalysisMethod::OliverPharr);
    EXPECT_NE(text.find(" E(IT) = nan GPa\n"), std::string::npos);
    EXPECT_NE(text.find(" hc = -inf nm\n"), std::string::npos);
}

}  // namespace
}  // namespace marvek
