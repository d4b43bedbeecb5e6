// The instrumented-indentation result set and the uncertainty of E(IT) and H(IT), on generated
// curves whose creep, relaxation, work and Martens hardness are known, and on measured curves.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <span>
#include <vector>

#include "core/analysis/curve_analysis.h"
#include "core/analysis/iso_quantities.h"
#include "core/analysis/power_law_search.h"
#include "core/analysis/uncertainty.h"
#include "support/curve_generator.h"

namespace marvek {
namespace {

using testing::CurveShape;

struct Analysed {
    CCurveAnalyzer analyzer;
    CurveDisplay display;
    Settings settings;
};

// Writes the curve with segment keywords and analyses it with the default settings.
void Analyse(const CurveShape& shape, Analysed& out) {
    testing::TempDir dir;
    testing::WriteOptions write;
    write.keywords = true;
    const auto file = dir.Write("c.csv", testing::CurveText(testing::GenerateCurve(shape), write));
    out.analyzer.SetFiles({file});
    ASSERT_TRUE(AnalyzeCurve(out.analyzer, 0, out.settings, out.display).ok());
}

TEST(IsoQuantities, GeneratedCreepCurveGivesItsCreepWorkAndMartensHardness) {
    CurveShape shape;
    shape.topHoldPoints = 51;
    shape.holdCreep = 3.7;
    shape.dt = 0.2;
    Analysed a;
    Analyse(shape, a);
    const IsoQuantities q = ComputeIsoQuantities(a.analyzer, a.settings);
    EXPECT_NEAR(q.cIT.value, 3.7 / 100 * 100, 1e-6 * 3.7);
    EXPECT_NEAR(q.holdTime.value, 50 * 0.2, 1e-9);
    EXPECT_FALSE(q.rIT.present());
    EXPECT_EQ(q.rIT.reason, "the top hold is at constant force");
    // Loading fMax*hMax/3 plus the creep at fMax; unloading back to hf: fMax*(hMax - hf)/(m + 1).
    // nm*mN = 1e-3 nJ; trapezoids on 200 points are within 1e-3.
    const double wTotal = (10.0 * 100 / 3 + 10 * 3.7) * 1e-3;
    const double wElastic = 10.0 * 60 / 2.5 * 1e-3;
    EXPECT_NEAR(q.wTotal.value, wTotal, 1e-3 * wTotal);
    EXPECT_NEAR(q.wElastic.value, wElastic, 1e-3 * wElastic);
    EXPECT_DOUBLE_EQ(q.wPlastic.value, q.wTotal.value - q.wElastic.value);
    EXPECT_NEAR(q.etaIT.value, wElastic / wTotal * 100, 0.2);
    // h = hMax*sqrt(F/fMax) on loading: HM(s) = fMax/(26.44*hMax^2), in MPa.
    EXPECT_NEAR(q.hMs.value, 10 / (26.44 * 100 * 100) * 1e9, 1e-6 * q.hMs.value);
    EXPECT_NEAR(q.hMsR2.value, 1, 1e-12);
}

TEST(IsoQuantities, GeneratedRelaxationCurveGivesItsRelaxation) {
    CurveShape shape;
    shape.topHoldPoints = 40;
    shape.holdRelaxation = 0.6;
    Analysed a;
    Analyse(shape, a);
    const IsoQuantities q = ComputeIsoQuantities(a.analyzer, a.settings);
    EXPECT_NEAR(q.rIT.value, 0.6 / 10 * 100, 1e-6 * 6);
    EXPECT_FALSE(q.cIT.present());
    EXPECT_FALSE(q.holdTime.present());
}

TEST(IsoQuantities, AbsentQuantitiesAreNanWithAReason) {
    // Loading only: no unloading, no hold; too few points for the slope.
    CurveShape shape;
    shape.loadPoints = 5;
    shape.unloadPoints = 0;
    Analysed a;
    Analyse(shape, a);
    const IsoQuantities q = ComputeIsoQuantities(a.analyzer, a.settings);
    for (const Quantity* v : {&q.wTotal, &q.wElastic, &q.wPlastic, &q.etaIT, &q.cIT, &q.rIT,
                              &q.holdTime, &q.hMs, &q.hMsR2}) {
        EXPECT_TRUE(std::isnan(v->value));
        EXPECT_FALSE(v->reason.empty());
    }
}

TEST(IsoQuantities, MeasuredCurvesUseTheLastCycleAndTheRealHold) {
    Analysed a;
    a.analyzer.SetFiles({std::string(MARVEK_EXAMPLES) + "/agilent_fq_5cycle_t001.csv"});
    ASSERT_TRUE(AnalyzeCurve(a.analyzer, 0, a.settings, a.display).ok());
    const CycleRanges r = FindLastCycle(ViewOfCurve(a.analyzer));
    EXPECT_EQ(a.analyzer.m_pSegment[r.loadStart], 'R');
    EXPECT_NE(a.analyzer.m_pSegment[r.loadStart - 1], 'R');
    EXPECT_EQ(r.unloadEnd, a.analyzer.m_nPoints - 1);
    EXPECT_EQ(r.holdStart, -1);

    // Labels from the file: load, top hold, unload, drift hold, then a last unloading after
    // the drift hold, which belongs to the unloading and not to a cycle of its own.
    a.analyzer.SetFiles({std::string(MARVEK_EXAMPLES) + "/agilent_fs_calibration_t001.csv"});
    ASSERT_TRUE(AnalyzeCurve(a.analyzer, 0, a.settings, a.display).ok());
    const CycleRanges fs = FindLastCycle(ViewOfCurve(a.analyzer));
    EXPECT_EQ(fs.loadStart, 0);
    EXPECT_EQ(a.analyzer.m_pSegment[fs.holdStart], 'T');
    EXPECT_EQ(fs.unloadEnd, a.analyzer.m_nPoints - 1);
    const IsoQuantities q = ComputeIsoQuantities(a.analyzer, a.settings);
    EXPECT_GT(q.etaIT.value, 40);
    EXPECT_LT(q.etaIT.value, 80);
    EXPECT_GT(q.cIT.value, 0);

    // A detected hold at 3 mN also holds the last 0.3 mN of loading and the first of unloading;
    // creep is measured from the hold force on, over the hold proper.
    a.analyzer.SetFiles({std::string(MARVEK_EXAMPLES) + "/hysitron_steel_0000.csv"});
    ASSERT_TRUE(AnalyzeCurve(a.analyzer, 0, a.settings, a.display).ok());
    const IsoQuantities steel = ComputeIsoQuantities(a.analyzer, a.settings);
    EXPECT_FALSE(steel.rIT.present());
    EXPECT_GT(steel.cIT.value, 1);
    const CycleRanges hold = FindLastCycle(ViewOfCurve(a.analyzer));
    EXPECT_LT(steel.holdTime.value,
              a.analyzer.m_pTime[hold.holdEnd] - a.analyzer.m_pTime[hold.holdStart] - 1);
}

// A Berkovich-like curve with load noise; the default settings (Oliver-Pharr 20-82 %).
CurveShape Noisy(double noise, int unloadPoints) {
    CurveShape shape;
    shape.topHoldPoints = 20;
    shape.unloadPoints = unloadPoints;
    shape.unloadToFraction = 0.05;
    shape.noiseLoad = noise;
    shape.seed = 7;
    return shape;
}

TEST(Uncertainty, CentreIsTheAnalysisAndTheFitTermsAgree) {
    Analysed a;
    Analyse(Noisy(0.004, 400), a);
    const ModulusUncertainty u = EstimateUncertainty(a.analyzer, a.settings);
    ASSERT_TRUE(u.present()) << u.reason;
    EXPECT_EQ(u.eit, a.display.m_dEIT);
    EXPECT_EQ(u.hit, a.display.m_dHIT);
    const BudgetEntry* fit = u.Find("fit");
    const BudgetEntry* mc = u.Find("fitMonteCarlo");
    ASSERT_TRUE(fit && mc);
    EXPECT_FALSE(mc->combined);
    EXPECT_NEAR(mc->eit / fit->eit, 1, 0.2);
    EXPECT_NEAR(mc->hit / fit->hit, 1, 0.2);
    // Root-sum-square of the combined terms, the Monte Carlo check left out.
    double v = 0;
    for (const BudgetEntry& e : u.budget)
        if (e.combined) v += e.eit * e.eit;
    EXPECT_DOUBLE_EQ(u.uEit, std::sqrt(v));
    // The generated curve's modulus lies within the fit's reach of the value found.
    Analysed exact;
    Analyse(Noisy(0, 400), exact);
    EXPECT_NEAR(a.display.m_dEIT, exact.display.m_dEIT, 3 * fit->eit);
    // The same seed gives the same Monte Carlo; the inputs' terms need no refit and are fixed.
    const ModulusUncertainty again = EstimateUncertainty(a.analyzer, a.settings);
    EXPECT_EQ(again.Find("fitMonteCarlo")->eit, mc->eit);
    EXPECT_EQ(u.Find("samplePoisson")->hit, 0);
}

TEST(Uncertainty, FitTermGrowsWithNoiseAndShrinksWithPoints) {
    const auto fitTerm = [](double noise, int points) {
        Analysed a;
        Analyse(Noisy(noise, points), a);
        UncertaintyOptions o;
        o.monteCarloRuns = 50;
        return EstimateUncertainty(a.analyzer, a.settings, o).Find("fit")->eit;
    };
    const double base = fitTerm(0.004, 400);
    EXPECT_GT(fitTerm(0.016, 400), 2 * base);
    EXPECT_LT(fitTerm(0.004, 1600), 0.75 * base);
}

TEST(Uncertainty, InputsMoveTheCombinedUncertaintyAndOtherMethodsHaveNone) {
    Analysed a;
    Analyse(Noisy(0.004, 400), a);
    UncertaintyOptions o;
    o.monteCarloRuns = 0;
    o.complianceU = 0;
    o.areaRelativeU = 0;
    const ModulusUncertainty small = EstimateUncertainty(a.analyzer, a.settings, o);
    EXPECT_EQ(small.Find("frameCompliance")->eit, 0);
    EXPECT_EQ(small.Find("areaFunction")->hit, 0);
    EXPECT_TRUE(small.present());  // the Monte Carlo check is not needed for the result
    o.areaRelativeU = 0.05;
    const ModulusUncertainty area = EstimateUncertainty(a.analyzer, a.settings, o);
    // H = F/A with A moved by +-5 %: half the difference of F/(0.95 A) and F/(1.05 A).
    EXPECT_NEAR(area.Find("areaFunction")->hit, a.display.m_dHIT * 0.05 / (1 - 0.05 * 0.05),
                1e-9 * a.display.m_dHIT);
    EXPECT_GT(area.uHit, small.uHit);
    // A softer frame than assumed (depths less corrected) lowers the stiffness and E(IT).
    o.complianceU = 0.2;
    const ModulusUncertainty frame = EstimateUncertainty(a.analyzer, a.settings, o);
    EXPECT_GT(frame.Find("frameCompliance")->eit, 0.001 * a.display.m_dEIT);
    EXPECT_GT(frame.uEit, area.uEit);

    Analysed dn;
    dn.settings.strategy.m_nMethod = 1;
    Analyse(Noisy(0.004, 400), dn);
    EXPECT_FALSE(EstimateUncertainty(dn.analyzer, dn.settings).present());
}

// The zero-point scatter against a literal computation: the loading envelope's points strictly
// inside 10-90 % of the largest load, the power law searched on the re-fits' grid of 40, the
// depth residuals' squares shared over n - 3 degrees of freedom (three parameters fitted).
TEST(Uncertainty, ZeroPointScatterIsTheDepthResidualOnItsDegreesOfFreedom) {
    std::mt19937 random(20261210);
    std::normal_distribution<double> noise(0, 0.5);  // nm
    // F = 0.002 (h - 20)^1.5 mN up to 200 mN in 11 points (8 inside the window), a dip that the
    // envelope must skip, then the unloading.
    std::vector<double> depth, load;
    for (int i = 1; i <= 11; ++i) {
        const double f = 200.0 * i / 11;
        load.push_back(f);
        depth.push_back(20 + std::pow(f / 0.002, 1 / 1.5) + noise(random));
        if (i == 5) load.push_back(f - 10), depth.push_back(depth.back() - 1);
    }
    load.push_back(150), depth.push_back(depth.back() - 5);
    const double hMax = *std::max_element(depth.begin(), depth.end());

    std::vector<double> x, y;
    for (std::size_t i = 0; i < load.size(); ++i)
        if (load[i] > 20 && load[i] < 180 && (x.empty() || load[i] > y.back()))
            x.push_back(depth[i]), y.push_back(load[i]);
    ASSERT_EQ(x.size(), 8u);
    double alpha = 0, m = 0, hf = 0;
    const double top = *std::min_element(x.begin(), x.end()) / 2 + hMax / 2;
    FitPowerLawSearchIn(alpha, m, hf, x.data(), y.data(), 8, -top, top, 40);
    double ss = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double r = x[i] - (hf + std::pow(y[i] / alpha, 1 / m));
        ss += r * r;
    }
    EXPECT_DOUBLE_EQ(ZeroPointScatter(depth, load.data(), hMax, 10, 90), std::sqrt(ss / 5));
    // Too few points for three parameters and a scatter: none.
    EXPECT_TRUE(std::isnan(ZeroPointScatter(std::span(depth).first(4), load.data(), hMax, 10, 90)));
}

}  // namespace
}  // namespace marvek
