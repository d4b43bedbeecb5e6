#include "core/calibration/area_function_calibration.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/io/number_format.h"
#include "support/curve_generator.h"
#include "support/temp_dir.h"

namespace marvek {
namespace {

using testing::IndentModel;
using testing::TempDir;

// Exact data leave only rounding; the elimination has no pivoting, so allow a little.
constexpr double kExactRelative = 1e-6;

struct ExactCase {
    const char* name;
    AreaCoefficients truth;
    int terms;
};

std::vector<double> Depths() {
    std::vector<double> h;
    for (double d = 40; d <= 2000; d *= 1.35) h.push_back(d);
    return h;
}

class ExactAreaData : public ::testing::TestWithParam<ExactCase> {};

TEST_P(ExactAreaData, FreeFitRecoversTheCoefficients) {
    const ExactCase c = GetParam();
    const std::vector<double> h = Depths();
    std::vector<double> ap;
    for (double d : h) ap.push_back(EvaluateAreaFunction(c.truth, d));
    AreaCoefficients fitted{};
    const double quality =
        FitAreaFunction(fitted, h.data(), ap.data(), static_cast<int>(h.size()), c.terms - 1);
    for (int k = 0; k < c.terms; ++k) {
        const double scale = std::max(std::fabs(c.truth[static_cast<std::size_t>(k)]), 1.0);
        EXPECT_NEAR(fitted[static_cast<std::size_t>(k)], c.truth[static_cast<std::size_t>(k)],
                    1e-4 * scale)
            << "term " << k;
    }
    EXPECT_NEAR(quality, 1.0, kExactRelative);
}

TEST_P(ExactAreaData, FixedLeadFitRecoversTheOtherCoefficients) {
    const ExactCase c = GetParam();
    const std::vector<double> h = Depths();
    std::vector<double> ap;
    for (double d : h) ap.push_back(EvaluateAreaFunction(c.truth, d));
    AreaCoefficients fitted{};
    const double quality = FitAreaFunctionFixedLead(
        fitted, h.data(), ap.data(), static_cast<int>(h.size()), c.terms - 1, c.truth[0]);
    EXPECT_EQ(fitted[0], c.truth[0]);
    for (int k = 1; k < c.terms; ++k) {
        const double scale = std::max(std::fabs(c.truth[static_cast<std::size_t>(k)]), 1.0);
        EXPECT_NEAR(fitted[static_cast<std::size_t>(k)], c.truth[static_cast<std::size_t>(k)],
                    1e-4 * scale)
            << "term " << k;
    }
    EXPECT_NEAR(quality, 1.0, kExactRelative);
}

INSTANTIATE_TEST_SUITE_P(
    Functions, ExactAreaData,
    ::testing::Values(ExactCase{"IdealBerkovich", {24.5, 0, 0, 0, 0, 0, 0, 0, 0}, 2},
                      ExactCase{"BluntedTip", {24.5, 800, 0, 0, 0, 0, 0, 0, 0}, 2},
                      ExactCase{"ThreeTerms", {24.2, 650, 4000, 0, 0, 0, 0, 0, 0}, 3}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// The free fit's equations weight with x^(0.5^l), not the least-squares x^(0.5^(l-1)): on data
// no single term describes, one term gives sum(x*y)/sum(x^3), not sum(x^2*y)/sum(x^4).
TEST(FitAreaFunction, OneTermUsesItsOwnWeighting) {
    const std::vector<double> x = {50, 120, 300, 700};
    const std::vector<double> y = {200000, 500000, 2500000, 10000000};
    AreaCoefficients c{};
    FitAreaFunction(c, x.data(), y.data(), 4, 0);
    double sxy = 0, sx3 = 0, sx2y = 0, sx4 = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        sxy += x[i] * y[i];
        sx3 += x[i] * x[i] * x[i];
        sx2y += x[i] * x[i] * y[i];
        sx4 += x[i] * x[i] * x[i] * x[i];
    }
    EXPECT_NEAR(c[0], sxy / sx3, 1e-12 * c[0]);
    EXPECT_GT(std::fabs(c[0] - sx2y / sx4), 1e-3 * c[0]);
}

TEST(FitAreaFunction, QualityIsTheRootOfTheCoefficientOfDetermination) {
    const std::vector<double> x = {1, 2, 3, 4};
    const std::vector<double> y = {1.5, 3.5, 9.5, 15.5};     // mean 7.5, SStot 120
    const AreaCoefficients c = {1, 0, 0, 0, 0, 0, 0, 0, 0};  // model x^2: residuals .5 -.5 .5 -.5
    EXPECT_NEAR(AreaFitQuality(c, x.data(), y.data(), 4, 0), std::sqrt((120.0 - 1.0) / 120.0),
                1e-12);
}

TEST(FitAreaFunctionFixedLead, OneTermKeepsTheLeadAndOnlyRatesIt) {
    const std::vector<double> h = Depths();
    std::vector<double> ap;
    for (double d : h) ap.push_back(24.5 * d * d + 900 * d);
    AreaCoefficients c{};
    c.fill(7);
    const double quality =
        FitAreaFunctionFixedLead(c, h.data(), ap.data(), static_cast<int>(h.size()), 0, 24.5);
    EXPECT_EQ(c[0], 24.5);
    EXPECT_GT(quality, 0.9);
    EXPECT_LT(quality, 1.0);
}

// Curves of a material of known modulus, made with a known area function, calibrate back to it.
struct SeriesCase {
    const char* name;
    AreaCoefficients truth;
    int terms;
    bool fixLead;
    double frameCompliance;
    double tolerance;  // relative, on Ap over the calibrated depths
};

class GeneratedAreaSeries : public ::testing::TestWithParam<SeriesCase> {};

TEST_P(GeneratedAreaSeries, CalibratesBackToTheAreaFunction) {
    const SeriesCase c = GetParam();
    TempDir folder;
    IndentModel model;
    model.apCoef = c.truth;
    model.frameCompliance = c.frameCompliance;
    model.reducedModulus = 1.0 / ((1 - 0.17 * 0.17) / 72.0 + (1 - 0.07 * 0.07) / 1141.0);
    const auto files =
        testing::WriteIndentSeries(folder.path(), model, testing::LogSpacedForces(1, 300, 10));
    CCurveAnalyzer analyzer;
    analyzer.SetFiles(files);
    AreaFunctionSettings settings;
    settings.m_fEpsilon = 0.75f;
    settings.m_fOPMinPercent = 20;
    settings.m_fOPMaxPercent = 82;
    settings.m_fFrameCompliance = static_cast<float>(c.frameCompliance);
    settings.m_nFunctionTerms = c.terms;
    settings.m_bFixLeadingTerm = c.fixLead;
    settings.m_dApCoef = {24.5, 1, 2, 3, 4, 5, 6, 7, 8};

    const AreaFunctionCalibrationResult r = CalibrateAreaFunction(analyzer, settings);

    ASSERT_TRUE(r.ok()) << r.status.message();
    ASSERT_EQ(r.hc.size(), 10u);
    for (int k = c.terms; k < 9; ++k) EXPECT_EQ(r.apCoef[static_cast<std::size_t>(k)], 0.0);
    for (double h : {80.0, 200.0, 500.0, 1000.0}) {
        const double want = EvaluateAreaFunction(c.truth, h);
        EXPECT_NEAR(EvaluateAreaFunction(r.apCoef, h), want, c.tolerance * want) << "h " << h;
    }
    EXPECT_GT(r.rSquared, 0.999);
    EXPECT_LE(r.rSquared, 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Series, GeneratedAreaSeries,
    ::testing::Values(
        SeriesCase{"IdealFree", {24.5, 0, 0, 0, 0, 0, 0, 0, 0}, 2, false, 0.0, 0.02},
        SeriesCase{"BluntedFree", {24.5, 700, 0, 0, 0, 0, 0, 0, 0}, 2, false, 0.0, 0.02},
        SeriesCase{"BluntedFixedLead", {24.5, 700, 0, 0, 0, 0, 0, 0, 0}, 2, true, 0.0, 0.02},
        SeriesCase{"BluntedWithFrame", {24.5, 700, 0, 0, 0, 0, 0, 0, 0}, 2, false, 0.5, 0.02}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(AreaFunctionCalibrationFailures, AreReportedAndNothingNonFiniteComesBack) {
    AreaFunctionSettings settings;
    settings.m_nFunctionTerms = 3;
    {
        SCOPED_TRACE("fewer curves than terms");
        const AreaFunctionCalibrationResult r =
            FitAreaFunctionPoints({100, 200}, {245000, 980000}, settings);
        EXPECT_FALSE(r.ok());
        EXPECT_NE(r.status.message().find("at least 3"), std::string::npos) << r.status.message();
    }
    {
        SCOPED_TRACE("all curves at one depth");
        const AreaFunctionCalibrationResult r =
            FitAreaFunctionPoints({100, 100, 100}, {245000, 250000, 240000}, settings);
        EXPECT_FALSE(r.ok());
        EXPECT_NE(r.status.message().find("singular"), std::string::npos) << r.status.message();
    }
    {
        SCOPED_TRACE("fixed lead far off: residuals above the spread");
        settings.m_nFunctionTerms = 1;
        settings.m_bFixLeadingTerm = 1;
        settings.m_dApCoef[0] = 100;
        const AreaFunctionCalibrationResult r =
            FitAreaFunctionPoints({100, 200, 300}, {245000, 980000, 2205000}, settings);
        EXPECT_FALSE(r.ok());
        EXPECT_NE(r.status.message().find("worse than their mean"), std::string::npos)
            << r.status.message();
    }
    {
        SCOPED_TRACE("terms out of range");
        settings.m_nFunctionTerms = 10;
        const AreaFunctionCalibrationResult r =
            FitAreaFunctionPoints({100, 200, 300}, {245000, 980000, 2205000}, settings);
        EXPECT_FALSE(r.ok());
        EXPECT_NE(r.status.message().find("between 1 and 9"), std::string::npos)
            << r.status.message();
    }
}

TEST(AreaFunctionCalibration, ReducedModulusOfFusedSilicaOnDiamond) {
    // 1/Er = (1 - 0.17^2)/72 + (1 - 0.07^2)/1141 GPa^-1 -> Er = 69.64 GPa = 69.64e-6 mN/nm^2.
    EXPECT_NEAR(CalibrationReducedModulus(72, 0.17f, 1141, 0.07f), 69.64e-6, 0.005e-6);
}

}  // namespace
}  // namespace marvek
