#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "core/analysis/curve_analyzer.h"
#include "support/curve_generator.h"

namespace marvek {
namespace {

using testing::CurveShape;
using testing::GenerateCurve;
using testing::WriteOptions;

void Load(CCurveAnalyzer& analyzer, const std::string& text) {
    std::istringstream in(text);
    ASSERT_TRUE(analyzer.ReadCurveStream(in).ok());
}

std::string Codes(const CCurveAnalyzer& a) {
    return std::string(a.m_pSegment.begin(), a.m_pSegment.begin() + a.m_nPoints);
}

// A single cycle without keywords: loading, top hold, unloading and a final hold are found.
TEST(DetectSegments, LabelsSingleCycleWithHolds) {
    CurveShape shape;
    shape.loadPoints = 50;
    shape.topHoldPoints = 10;
    shape.unloadPoints = 40;
    shape.unloadToFraction = 0.1;
    shape.bottomHoldPoints = 20;
    CCurveAnalyzer a;
    Load(a, testing::CurveText(GenerateCurve(shape), WriteOptions{}));
    ASSERT_EQ(a.m_nPoints, 120);
    const std::string codes = Codes(a);
    // The band is 10 +- 0.3 mN. The hold starts on the last loading point outside it
    // (10*(49/50)^2 = 9.604) and ends before the second unloading point (9.55).
    EXPECT_EQ(codes.substr(0, 48), std::string(48, 'L'));
    EXPECT_EQ(codes.substr(48, 13), std::string(13, 'T'));
    // The final hold (1 mN) takes the unloading points down from 1.45 mN, the first outside
    // its band, at index 97.
    EXPECT_EQ(codes.substr(61, 36), std::string(36, 'U'));
    EXPECT_EQ(codes.substr(97), std::string(23, 'B'));
}

TEST(DetectSegments, ElevenPointsOrFewerStayUnlabelled) {
    std::string text = "Depth (nm),F,T\n";
    const double loads[] = {1, 2, 3, 4, 5, 6, 5, 4, 1, 0.5, 0.5};
    for (int i = 0; i < 11; ++i)
        text +=
            std::to_string(i + 1) + "," + std::to_string(loads[i]) + "," + std::to_string(i) + "\n";
    CCurveAnalyzer a;
    Load(a, text);
    EXPECT_EQ(Codes(a), std::string(11, 'X'));
}

TEST(DetectSegments, CurveThatNeverUnloadsGetsBottomHoldAtItsMinimum) {
    std::string text = "Depth (nm),F\n";
    for (int i = 1; i <= 20; ++i) text += std::to_string(i) + "," + std::to_string(i) + "\n";
    CCurveAnalyzer a;
    Load(a, text);
    // The minimum is the first point: it alone lies in its band and becomes the hold.
    EXPECT_EQ(Codes(a), "B" + std::string(19, 'X'));
}

TEST(ZeroPoint, ShiftsEveryDepthByTheFittedContactOffset) {
    CurveShape shape;
    shape.loadPoints = 100;
    shape.unloadPoints = 50;
    CCurveAnalyzer a;
    a.m_bZeroPointCorrection = 1;
    a.m_dZeroFitMinPercent = 10;
    a.m_dZeroFitMaxPercent = 90;
    auto points = GenerateCurve(shape);
    for (auto& p : points) p.depth += 25;  // the surface was met 25 nm late
    Load(a, testing::CurveText(points, WriteOptions{}));
    // Loading is F = 10*(h/100)^2 after the shift: a power law with offset 25 nm.
    EXPECT_NEAR(a.m_dZeroPointOffset, 25, 0.05);  // within a grid step of the search
    EXPECT_NEAR(a.GetMaxDepth() + a.m_dZeroPointOffset, 125, 1e-9);
}

TEST(ZeroPoint, EmptyWindowLeavesDepthsAlone) {
    CCurveAnalyzer a;
    a.m_bZeroPointCorrection = 1;
    a.m_dZeroFitMinPercent = 90;
    a.m_dZeroFitMaxPercent = 10;
    Load(a, "Depth (nm),F\n1,1\n2,2\n3,3\n");
    EXPECT_EQ(a.m_dZeroPointOffset, 0);
    EXPECT_EQ(a.m_pDepth[2], 3);
}

CurveShape DriftingCurve() {
    CurveShape shape;
    shape.topHoldPoints = 10;
    shape.unloadToFraction = 0.1;
    shape.bottomHoldPoints = 100;
    shape.driftRate = 0.05;
    shape.dt = 0.5;
    return shape;
}

TEST(DriftRate, RecoversGeneratedDriftFromLabelledHold) {
    CCurveAnalyzer a;
    WriteOptions options;
    options.keywords = true;
    Load(a, testing::CurveText(GenerateCurve(DriftingCurve()), options));
    a.ComputeDriftRate();
    EXPECT_NEAR(a.m_dDriftRate, 0.05, 1e-9);
}

// Without keywords the detected hold also takes the last unloading points inside its band, so
// the rate is close to, not exactly, the generated one.
TEST(DriftRate, UsesTheDetectedHoldOfAnUnlabelledCurve) {
    CCurveAnalyzer a;
    Load(a, testing::CurveText(GenerateCurve(DriftingCurve()), WriteOptions{}));
    a.ComputeDriftRate();
    EXPECT_NEAR(a.m_dDriftRate, 0.05, 0.015);
}

// A curve whose first point keeps 'X' has its drift pairs found by walking back from the end.
TEST(DriftRate, TailWalkOfACurveWithoutLabels) {
    std::string text = "Depth (nm),F,T\n";
    for (int i = 0; i < 11; ++i) {  // too short for segment detection
        const double load = i < 5 ? 5.0 - i : 1.0;
        text += std::to_string(10 + 0.2 * i) + "," + std::to_string(load) + "," +
                std::to_string(i) + "\n";
    }
    CCurveAnalyzer a;
    a.m_dForceAccuracy = 0.01;
    Load(a, text);
    ASSERT_EQ(a.m_pSegment[0], 'X');
    a.ComputeDriftRate();
    EXPECT_NEAR(a.m_dDriftRate, 0.2, 1e-12);  // points 4..10 all lie on depth = 10 + 0.2 t
}

TEST(DriftRateEdges, NoTimeFewPointsOrNoHoldGiveZero) {
    CCurveAnalyzer a;
    Load(a, "Depth (nm),F,T\n1,1,0\n2,2,0\n3,1,0\n4,1,0\n5,1,0\n6,1,0\n");
    a.m_dDriftRate = 7;
    a.ComputeDriftRate();
    EXPECT_EQ(a.m_dDriftRate, 0);
    Load(a, "Depth (nm),F,T\n1,1,1\n2,2,2\n3,1,3\n");
    a.ComputeDriftRate();
    EXPECT_EQ(a.m_dDriftRate, 0);
    Load(a, "Depth (nm),F,T\n1,1,1,LOAD\n2,2,2,LOAD\n3,1,3,UNLOAD\n4,1,4,UNLOAD\n5,1,5,UNLOAD\n");
    a.ComputeDriftRate();
    EXPECT_EQ(a.m_dDriftRate, 0);
}

}  // namespace
}  // namespace marvek
