#include "core/calibration/compliance_calibration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "core/analysis/curve_analysis.h"
#include "core/io/number_format.h"
#include "support/curve_generator.h"
#include "support/temp_dir.h"

namespace marvek {
namespace {

using testing::IndentModel;
using testing::TempDir;

// The calibration must land within 3 % of the frame compliance, beyond what the unload fit itself
// leaves: a power law fitted to a finite section is not exact, and the frame-free series shows
// how far that alone moves the intercept.
constexpr double kCalibrationTolerance = 0.03;

CCurveAnalyzer AnalyzerFor(const std::vector<std::filesystem::path>& files) {
    CCurveAnalyzer analyzer;
    analyzer.SetFiles(files);
    return analyzer;
}

struct SeriesCase {
    double compliance;  // nm/mN
    int method;
};

class GeneratedSeries : public ::testing::TestWithParam<SeriesCase> {};

ComplianceCalibrationResult CalibrateSeries(double compliance, int method) {
    TempDir folder;
    IndentModel model;
    model.frameCompliance = compliance;
    CCurveAnalyzer analyzer = AnalyzerFor(
        testing::WriteIndentSeries(folder.path(), model, testing::LogSpacedForces(1, 300, 8)));
    ComplianceCalibrationSettings settings;
    settings.m_nMethod = method;
    return CalibrateCompliance(analyzer, settings);
}

TEST_P(GeneratedSeries, CalibratesBackToTheFrameCompliance) {
    const SeriesCase c = GetParam();
    const ComplianceCalibrationResult frameFree = CalibrateSeries(0.0, c.method);
    ASSERT_TRUE(frameFree.ok()) << frameFree.status.message();
    const double fitBias = std::fabs(frameFree.compliance);
    ASSERT_LT(fitBias, 0.01) << "the unload fit alone moves the intercept too far";

    const ComplianceCalibrationResult r = CalibrateSeries(c.compliance, c.method);

    ASSERT_TRUE(r.ok()) << r.status.message();
    EXPECT_NEAR(r.compliance, c.compliance, kCalibrationTolerance * c.compliance + fitBias);
    EXPECT_LE(r.fits.size(), static_cast<std::size_t>(kMaxComplianceFits));
    EXPECT_EQ(r.x.size(), 8u);
    EXPECT_TRUE(r.leftOut.empty());
}

INSTANTIATE_TEST_SUITE_P(Compliances, GeneratedSeries,
                         ::testing::Values(SeriesCase{0.2, 0}, SeriesCase{0.4, 0},
                                           SeriesCase{0.7, 0}, SeriesCase{1.0, 0},
                                           SeriesCase{0.4, 1}),
                         [](const auto& param_info) {
                             return std::string(param_info.param.method == 0 ? "OliverPharr"
                                                                             : "DoernerNix") +
                                    "_" + FormatInt(std::lround(param_info.param.compliance * 10));
                         });

// The frame makes the contact depth found at compliance 0 too deep by (1 - eps)*Cf*Fmax, not
// by the full Cf*Fmax; removing the full amount settled 0.4 nm/mN series near 0.32.
TEST(ComplianceCalibration, ContactDepthCorrectionTakesOnlyOneMinusEpsilon) {
    TempDir folder;
    IndentModel model;
    model.fmax = 100;
    model.frameCompliance = 0.5;
    const testing::IndentTruth truth = testing::WriteIndentCurve(folder.path() / "a.csv", model);
    CCurveAnalyzer analyzer = AnalyzerFor({folder.path() / "a.csv"});
    ASSERT_TRUE(
        FitCurveUnload(analyzer, 0, {AnalysisMethod::OliverPharr, 0.0, model.epsilon, 20, 82})
            .ok());

    const double corrected = CorrectedContactDepth(analyzer.m_dHc, analyzer.m_dFmax,
                                                   model.frameCompliance, model.epsilon);
    const double fullCorrection = analyzer.m_dHc - model.frameCompliance * analyzer.m_dFmax;
    // The power-law fit of the framed curve leaves about a nanometre.
    EXPECT_NEAR(corrected, truth.hc, 0.005 * truth.hc);
    EXPECT_GT(std::fabs(fullCorrection - truth.hc), 5 * std::fabs(corrected - truth.hc));
}

// Points made exactly by the frame model: the iteration alone must find the compliance.
std::vector<CalibrationCurve> ExactPoints(double compliance, double epsilon) {
    std::vector<CalibrationCurve> curves;
    IndentModel model;
    model.epsilon = epsilon;
    int index = 0;
    for (double f : testing::LogSpacedForces(1, 300, 6)) {
        model.fmax = f;
        const testing::IndentTruth t = testing::SolveIndent(model);
        CalibrationCurve c;
        c.index = index;
        c.file = "curve" + FormatInt(index++) + ".csv";
        c.fmax = f;
        c.stiffness = 1.0 / (1.0 / t.stiffness + compliance);
        c.hc = t.hc + (1.0 - epsilon) * compliance * f;
        curves.push_back(c);
    }
    return curves;
}

TEST(ComplianceIteration, FindsTheComplianceOfExactPointsAndStopsWhenSettled) {
    for (double epsilon : {0.72, 0.75, 1.0}) {
        SCOPED_TRACE("epsilon " + FormatFixed(epsilon, 2));
        ComplianceCalibrationSettings settings;
        settings.m_fEpsilon = static_cast<float>(epsilon);
        const ComplianceCalibrationResult r =
            IterateCompliance(ExactPoints(0.6, settings.m_fEpsilon), settings);
        ASSERT_TRUE(r.ok()) << r.status.message();
        EXPECT_NEAR(r.compliance, 0.6, 1e-3);
        ASSERT_GE(r.fits.size(), 1u);
        if (r.fits.size() >= 2 && r.fits.size() < kMaxComplianceFits) {
            const double last = r.fits.back().line.intercept;
            const double before = r.fits[r.fits.size() - 2].line.intercept;
            EXPECT_LE(std::fabs(last - before), kComplianceTolerance);
        }
        for (const ComplianceFit& fit : r.fits) {
            EXPECT_EQ(fit.text, FormatComplianceFit(fit.line));
        }
    }
}

TEST(ComplianceIteration, FirstInterceptNearZeroEndsAfterOneFit) {
    ComplianceCalibrationSettings settings;
    const ComplianceCalibrationResult r = IterateCompliance(ExactPoints(0.0, 0.75), settings);
    ASSERT_TRUE(r.ok()) << r.status.message();
    EXPECT_EQ(r.fits.size(), 1u);
    EXPECT_NEAR(r.compliance, 0.0, kComplianceTolerance);
}

TEST(ComplianceIteration, FitTextHasTheFixedLayout) {
    EXPECT_EQ(FormatComplianceFit({0.25, 1234.5, 0.999}),
              "y = 1234.500000 x + 0.250000  R^2 = 0.999000");
    EXPECT_EQ(FormatComplianceFit({-0.0625, -3, 1}), "y = -3.000000 x + -0.062500  R^2 = 1.000000");
}

TEST(ComplianceIteration, GraphPointsAreTheLastCorrectedDepthsAndUnchangedCompliances) {
    ComplianceCalibrationSettings settings;
    const std::vector<CalibrationCurve> curves = ExactPoints(0.3, 0.75);
    const ComplianceCalibrationResult r = IterateCompliance(curves, settings);
    ASSERT_TRUE(r.ok()) << r.status.message();
    ASSERT_EQ(r.x.size(), curves.size());
    for (std::size_t i = 0; i < curves.size(); ++i) {
        EXPECT_DOUBLE_EQ(r.y[i], 1.0 / curves[i].stiffness);
        // The last correction uses the intercept of the last fit but one or the last one; both
        // are within the tolerance of the result.
        const double h = CorrectedContactDepth(curves[i].hc, curves[i].fmax, r.compliance, 0.75);
        EXPECT_NEAR(r.x[i], 1.0 / std::sqrt(24.5 * h * h), 1e-3 * r.x[i]);
    }
}

// Failures must never hand back a compliance that is not a number, and must say why.
TEST(ComplianceCalibrationFailures, AreReportedWithAReason) {
    ComplianceCalibrationSettings settings;
    {
        SCOPED_TRACE("one curve");
        const ComplianceCalibrationResult r =
            IterateCompliance({ExactPoints(0.4, 0.75).front()}, settings);
        EXPECT_FALSE(r.ok());
        EXPECT_NE(r.status.message().find("at least two"), std::string::npos) << r.status.message();
        EXPECT_TRUE(r.fits.empty());
    }
    {
        SCOPED_TRACE("all curves at one depth");
        std::vector<CalibrationCurve> same(3, ExactPoints(0.4, 0.75)[2]);
        const ComplianceCalibrationResult r = IterateCompliance(same, settings);
        EXPECT_FALSE(r.ok());
        EXPECT_NE(r.status.message().find("no spread"), std::string::npos) << r.status.message();
    }
    {
        SCOPED_TRACE("correction beyond the contact depth");
        // Shallow indents at high force: a large intercept drives the corrected depths negative.
        std::vector<CalibrationCurve> curves = ExactPoints(0.0, 0.75);
        for (CalibrationCurve& c : curves) c.stiffness = 1.0 / (1.0 / c.stiffness + 500.0);
        const ComplianceCalibrationResult r = IterateCompliance(curves, settings);
        EXPECT_FALSE(r.ok());
        EXPECT_NE(r.status.message().find("corrected contact depth"), std::string::npos)
            << r.status.message();
        EXPECT_FALSE(r.fits.empty());
    }
}

TEST(ComplianceCalibrationFailures, TooFewOrTooManyFilesChangeNothing) {
    TempDir folder;
    const auto files = testing::WriteIndentSeries(folder.path(), IndentModel{},
                                                  testing::LogSpacedForces(1, 10, 1));
    ComplianceCalibrationSettings settings;
    {
        CCurveAnalyzer analyzer = AnalyzerFor(files);
        const ComplianceCalibrationResult r = CalibrateCompliance(analyzer, settings);
        EXPECT_FALSE(r.ok());
        EXPECT_NE(r.status.message().find("at least two"), std::string::npos) << r.status.message();
    }
    {
        CCurveAnalyzer analyzer = AnalyzerFor(
            std::vector<std::filesystem::path>(kMaxCalibrationCurves + 1, files.front()));
        const ComplianceCalibrationResult r = CalibrateCompliance(analyzer, settings);
        EXPECT_FALSE(r.ok());
        EXPECT_NE(r.status.message().find("at most 500"), std::string::npos) << r.status.message();
        EXPECT_TRUE(r.fits.empty());
    }
}

// An unreadable curve used to be taken as the previous curve again; it must be left out.
TEST(ComplianceCalibrationFailures, UnreadableCurveIsLeftOutAndNamed) {
    TempDir folder;
    IndentModel model;
    model.frameCompliance = 0.4;
    auto files =
        testing::WriteIndentSeries(folder.path(), model, testing::LogSpacedForces(1, 300, 6));
    const std::filesystem::path missing = folder.path() / "missing.csv";
    const std::filesystem::path garbage = folder.path() / "garbage.csv";
    std::ofstream(garbage) << "Time,Load\n1,2\n";
    files.insert(files.begin() + 2, missing);
    files.push_back(garbage);
    CCurveAnalyzer analyzer = AnalyzerFor(files);

    const ComplianceCalibrationResult r = CalibrateCompliance(analyzer, {});

    ASSERT_TRUE(r.ok()) << r.status.message();
    EXPECT_EQ(r.curves.size(), 6u);
    ASSERT_EQ(r.leftOut.size(), 2u);
    EXPECT_EQ(r.leftOut[0].file, missing);
    EXPECT_EQ(r.leftOut[1].file, garbage);
    EXPECT_NE(r.note.find("missing.csv"), std::string::npos) << r.note;
    EXPECT_NE(r.note.find("garbage.csv"), std::string::npos) << r.note;
    EXPECT_NEAR(r.compliance, 0.4, kCalibrationTolerance * 0.4);
}

TEST(ComplianceCalibration, ProgressSeesEveryCurveAndCanCancel) {
    TempDir folder;
    const auto files = testing::WriteIndentSeries(folder.path(), IndentModel{},
                                                  testing::LogSpacedForces(1, 30, 4));
    CCurveAnalyzer analyzer = AnalyzerFor(files);
    int calls = 0;
    const ComplianceCalibrationResult r =
        CalibrateCompliance(analyzer, {}, [&](int done, int total) {
            ++calls;
            EXPECT_EQ(total, 4);
            return done < 2;
        });
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(r.status.code(), ErrorCode::Cancelled);
    EXPECT_NE(r.status.message().find("cancelled"), std::string::npos);
}

}  // namespace
}  // namespace marvek
