// Geometry of the curve plot, checked through the recording surface. Client 700 x 500 gives a
// frame at x 266 (700 - 0.62 * 700 = 266), side 420 (0.84 * 500).
#include <gtest/gtest.h>

#include <cmath>

#include "app/curve_plot.h"
#include "core/io/number_format.h"
#include "ui/test_doubles.h"

using marvek::CurveDisplay;
using marvek::ui::DrawCall;
using marvek::ui::RecordingSurface;
using marvek::ui::Rgb;

namespace {

constexpr marvek::ui::Rect kClient{0, 0, 700, 500};
constexpr int kLeft = 266;
constexpr int kSize = 420;
constexpr Rgb kGreen{0, 180, 0};
constexpr Rgb kRed{255, 0, 0};

// A curve from (0, 0) to 100 nm / 10 mN: tops 105 nm and 10.5 mN, so 1 nm is 4 pixels
// across and 1 mN is 40 pixels up.
CurveDisplay Triangle() {
    CurveDisplay d;
    d.m_pCurveDepth = {0, 50, 100, 80};
    d.m_pCurveLoad = {0, 5, 10, 0};
    return d;
}

TEST(CurvePlot, BeforeAnySelectionOnlyTheFrameAndUnitLabels) {
    RecordingSurface dc(kClient);
    DrawCurvePlot(dc, CurveDisplay{}, 0);
    ASSERT_EQ(dc.calls.size(), 4u);
    EXPECT_EQ(dc.calls[0].kind, DrawCall::Rectangle);
    EXPECT_EQ(dc.calls[0].x, kLeft);
    EXPECT_EQ(dc.calls[0].y, 0);
    EXPECT_EQ(dc.calls[0].x2, kLeft + kSize);
    EXPECT_EQ(dc.calls[0].y2, kSize);
    EXPECT_EQ(dc.calls[1].kind, DrawCall::SetTransparentBackground);
    // " [mN]" is 5 characters of 8 pixels left of the frame, at mid height less 8.
    ASSERT_EQ(dc.Texts(" [mN]").size(), 1u);
    EXPECT_EQ(dc.Texts(" [mN]")[0].x, kLeft - 40);
    EXPECT_EQ(dc.Texts(" [mN]")[0].y, 210 - 8);
    ASSERT_EQ(dc.Texts(" [nm] ").size(), 1u);
    EXPECT_EQ(dc.Texts(" [nm] ")[0].x, kLeft + 210 - 48 + 40);
    EXPECT_EQ(dc.Texts(" [nm] ")[0].y, kSize - 8 + 10);
}

TEST(CurvePlot, FrameFollowsTheClientSize) {
    struct Case {
        marvek::ui::Rect client;
        int left, size;
    };
    const Case cases[] = {{{0, 0, 700, 500}, 266, 420},
                          {{0, 0, 1000, 500}, 380, 420},
                          {{0, 0, 700, 800}, 266, 672},
                          {{0, 0, 100, 10}, 38, 8}};
    for (const Case& c : cases) {
        const CurvePlotFrame f = CurvePlotFrameFor(c.client);
        EXPECT_EQ(f.left, c.left) << c.client.right << "x" << c.client.bottom;
        EXPECT_EQ(f.size, c.size) << c.client.right << "x" << c.client.bottom;
        EXPECT_EQ(f.top, 0);
    }
}

TEST(CurvePlot, MeasuredPointsAreDotsOffsetFromTheirPixel) {
    RecordingSurface dc(kClient);
    DrawCurvePlot(dc, Triangle(), 1);
    const auto dots = dc.Texts(".");
    ASSERT_EQ(dots.size(), 4u);
    // (0, 0) -> (266, 420); (50, 5) -> (466, 220); (100, 10) -> (666, 20); (80, 0) -> (586, 420)
    const int expected[4][2] = {{266, 420}, {466, 220}, {666, 20}, {586, 420}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(dots[static_cast<std::size_t>(i)].x, expected[i][0] - 2) << i;
        EXPECT_EQ(dots[static_cast<std::size_t>(i)].y, expected[i][1] - 12) << i;
    }
}

TEST(CurvePlot, ValueLabelsSitAtTheLargestLoadAndDepth) {
    RecordingSurface dc(kClient);
    DrawCurvePlot(dc, Triangle(), 1);
    const auto load = dc.Texts("10.00");
    ASSERT_EQ(load.size(), 1u);
    EXPECT_EQ(load[0].x, kLeft - 5 * 8);
    EXPECT_EQ(load[0].y, 20 - 8);
    EXPECT_EQ(load[0].colour, marvek::ui::kBlack);
    const auto depth = dc.Texts("100.00");
    ASSERT_EQ(depth.size(), 1u);
    EXPECT_EQ(depth[0].x, 666 - (6 * 8) / 2);
    EXPECT_EQ(depth[0].y, kSize + 11 / 2);
}

TEST(CurvePlot, PolylinesAreClippedStrictlyAndJoinedAcrossGaps) {
    CurveDisplay d = Triangle();
    // Extrapolation: inside, above the frame (load 11 > 10.5), inside again, on the left edge.
    d.m_pExtrapDepth = {90, 95, 85, 0};
    d.m_pExtrapLoad = {5, 11, 2.5, 5};
    // Fit: one point on the right edge (depth 105), then two inside.
    d.m_pFitCurveDepth = {105, 90, 95};
    d.m_pFitCurveLoad = {5, 5, 7.5};
    RecordingSurface dc(kClient);
    DrawCurvePlot(dc, d, 1);

    std::vector<DrawCall> segments;
    for (const DrawCall& c : dc.calls)
        if (c.kind == DrawCall::MoveTo || c.kind == DrawCall::LineTo) segments.push_back(c);
    // Green: starts at (626, 220), jumps straight to (606, 320). Red: back to (0, 0), starts at
    // (626, 220), goes to (646, 120).
    ASSERT_EQ(segments.size(), 7u);
    auto is = [](const DrawCall& c, DrawCall::Kind k, int x, int y, Rgb pen) {
        return c.kind == k && (k == DrawCall::MoveTo ? c.x : c.x2) == x &&
               (k == DrawCall::MoveTo ? c.y : c.y2) == y && c.colour == pen;
    };
    EXPECT_TRUE(is(segments[0], DrawCall::MoveTo, 626, 220, kGreen));
    EXPECT_TRUE(is(segments[1], DrawCall::LineTo, 626, 220, kGreen));
    EXPECT_TRUE(is(segments[2], DrawCall::LineTo, 606, 320, kGreen));
    EXPECT_EQ(segments[2].x, 626);  // joined from the last kept point
    EXPECT_TRUE(is(segments[3], DrawCall::MoveTo, 0, 0, kRed));
    EXPECT_TRUE(is(segments[4], DrawCall::MoveTo, 626, 220, kRed));
    EXPECT_TRUE(is(segments[5], DrawCall::LineTo, 626, 220, kRed));
    EXPECT_TRUE(is(segments[6], DrawCall::LineTo, 646, 120, kRed));
}

TEST(CurvePlot, PointsOutsideTheFrameAreStillDotted) {
    CurveDisplay d = Triangle();
    d.m_pCurveDepth[3] = -20;  // after a zero-point correction; depthMin becomes -20
    RecordingSurface dc(kClient);
    DrawCurvePlot(dc, d, 1);
    EXPECT_EQ(dc.Texts(".").size(), 4u);
}

// The search's start values (-9e99) are no numbers of the curve and are never drawn.
TEST(CurvePlot, EmptySeriesWithFilesDrawNoStartValues) {
    RecordingSurface dc(kClient);
    DrawCurvePlot(dc, CurveDisplay{}, 1);
    EXPECT_TRUE(dc.Texts(".").empty());
    EXPECT_TRUE(dc.Texts(marvek::FormatFixed(-9e99, 2)).empty());
    EXPECT_EQ(dc.Calls(DrawCall::TextOut).size(), 2u);  // the unit labels
}

TEST(CurvePlot, ZeroTopsNeverFailAndDrawNothingWild) {
    CurveDisplay d;
    d.m_pCurveDepth = {0, 0, 0};
    d.m_pCurveLoad = {0, 0, 0};
    d.m_pFitCurveDepth = {0, 0};
    d.m_pFitCurveLoad = {0, 0};
    d.m_pExtrapDepth = {0};
    d.m_pExtrapLoad = {0};
    RecordingSurface dc(kClient);
    DrawCurvePlot(dc, d, 1);
    for (const DrawCall& c : dc.calls) {
        EXPECT_LT(std::abs(c.x), 1000000);
        EXPECT_LT(std::abs(c.y), 1000000);
    }
    EXPECT_TRUE(dc.Calls(DrawCall::LineTo).empty());
}

}  // namespace
