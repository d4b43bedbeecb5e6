// What the main window's plot shows and where its frame lies.
#include <gtest/gtest.h>

#include <cmath>

#include "app/curve_plot.h"
#include "core/io/number_format.h"

using marvek::CurveDisplay;
using marvek::ui::PlotMark;
using marvek::ui::PlotSeries;

namespace {

// A curve from (0, 0) to 100 nm / 10 mN.
CurveDisplay Triangle() {
    CurveDisplay d;
    d.m_pCurveDepth = {0, 50, 100, 80};
    d.m_pCurveLoad = {0, 5, 10, 0};
    d.m_pFitCurveDepth = {95, 90};
    d.m_pFitCurveLoad = {8, 4};
    d.m_pExtrapDepth = {100, 80};
    d.m_pExtrapLoad = {10, 0};
    return d;
}

const PlotSeries* Find(const marvek::ui::PlotData& p, const std::string& name) {
    for (const PlotSeries& s : p.series)
        if (s.name == name) return &s;
    return nullptr;
}

// The frame keeps its 38 % left edge; its side is 84 % of the height unless the axes' room
// below it would reach the path field, or the frame the right edge.
TEST(CurvePlot, FrameFollowsTheClientSizeAndLeavesRoomForTheAxes) {
    struct Case {
        marvek::ui::Rect client;
        int bottom, left, size;
    };
    const Case cases[] = {{{0, 0, 700, 500}, 500, 266, 420},
                          {{0, 0, 700, 500}, 440, 266, 440 - kPlotRoomBelow - kPlotRoomAbove},
                          {{0, 0, 1000, 500}, 500, 380, 420},
                          {{0, 0, 500, 800}, 800, 190, 500 - 190 - kPlotRoomRight},
                          {{0, 0, 100, 10}, 10, 38, 0}};
    for (const Case& c : cases) {
        const CurvePlotFrame f = CurvePlotFrameFor(c.client, c.bottom);
        EXPECT_EQ(f.left, c.left) << c.client.right << "x" << c.client.bottom;
        EXPECT_EQ(f.size, c.size) << c.client.right << "x" << c.client.bottom;
        EXPECT_EQ(f.top, kPlotRoomAbove);
    }
}

// Black points, green extrapolation, red fit drawn last; the largest load and depth at the
// frame's edges; home from the smallest values to 5 % above the largest.
TEST(CurvePlot, DefaultLookAndHomeView) {
    const auto p = CurvePlotData(Triangle(), 1, "LLUU", "c");
    ASSERT_GE(p.series.size(), 3u);
    EXPECT_EQ(p.series.front().name, "measured");
    EXPECT_EQ(p.series.front().colour, marvek::ui::kBlack);
    EXPECT_EQ(p.series.back().name, "fit");
    EXPECT_EQ(p.series.back().colour, (marvek::ui::Rgb{255, 0, 0}));
    EXPECT_EQ(Find(p, "extrapolation")->colour, (marvek::ui::Rgb{0, 180, 0}));
    // The segment series wait for "Segment Colours" and split the points between them.
    EXPECT_EQ(Find(p, "loading")->x, (std::vector<double>{0, 50}));
    EXPECT_EQ(Find(p, "unloading")->segments, PlotSeries::Segments::WithSegments);
    EXPECT_EQ(Find(p, "measured")->segments, PlotSeries::Segments::WithoutSegments);
    ASSERT_TRUE(p.home);
    EXPECT_DOUBLE_EQ(p.home->xUpper, 105);
    EXPECT_DOUBLE_EQ(p.home->yUpper, 10.5);
    EXPECT_EQ(p.home->xLower, 0);
    ASSERT_EQ(p.marks.size(), 2u);
    EXPECT_EQ(p.marks[0].axis, PlotMark::Axis::Y);
    EXPECT_EQ(p.marks[0].text, marvek::FormatFixed(10, 2));
    EXPECT_EQ(p.marks[1].axis, PlotMark::Axis::X);
    EXPECT_EQ(p.marks[1].text, marvek::FormatFixed(100, 2));
    EXPECT_EQ(p.xTitle, "Depth [nm]");
    EXPECT_EQ(p.yTitle, "Load [mN]");
}

// Nothing selected: the empty frame. Selected but nothing read, or values that are not
// numbers: no label, no home made of start values or NaN.
TEST(CurvePlot, NoCurveOrNoNumbersGiveNoWildLabels) {
    EXPECT_TRUE(CurvePlotData(Triangle(), 0, "", "c").series.empty());
    const auto empty = CurvePlotData(CurveDisplay{}, 1, "", "c");
    EXPECT_TRUE(empty.marks.empty());
    EXPECT_FALSE(empty.home);
    CurveDisplay d = Triangle();
    d.m_pCurveDepth[2] = std::nan("");
    d.m_pCurveLoad[1] = INFINITY;
    const auto p = CurvePlotData(d, 1, "LL", "c");  // codes not one per point: no segments
    EXPECT_EQ(Find(p, "loading"), nullptr);
    ASSERT_TRUE(p.home);
    EXPECT_DOUBLE_EQ(p.home->xUpper, 84);  // from 0 to 80 only
    EXPECT_EQ(p.marks[0].text, marvek::FormatFixed(0, 2));
}

}  // namespace

// Pop-ins: a circle at each, the Hertz fit under them, the label; the view that shows them
// reaches half as far again beyond the end of the last burst.
TEST(CurvePlot, PopinsAreMarkedAndHaveAViewOfTheirOwn) {
    CurveDisplay d;
    for (int i = 0; i <= 100; ++i) {
        d.m_pCurveDepth.push_back(i);
        d.m_pCurveLoad.push_back(i / 10.0);
    }
    marvek::popins::PopinResult r;
    EXPECT_FALSE(PopinsView(d, r));
    EXPECT_FALSE(Find(CurvePlotData(d, 1, "", "c", &r), "pop-ins"));
    r.popins.push_back({1.2, 12, 3, 12, 13});
    r.popins.push_back({2.0, 20, 10, 20, 21});
    r.hertz.K = 0.02, r.hertz.h0 = 1, r.hertz.r2 = 0.999;
    r.hertz.curveDepth = {1, 6, 12};
    r.hertz.curveLoad = {0, 0.2, 1.2};
    const auto p = CurvePlotData(d, 1, "", "c", &r);
    ASSERT_TRUE(Find(p, "pop-ins") && Find(p, "Hertz fit"));
    EXPECT_EQ(Find(p, "pop-ins")->x, (std::vector<double>{12, 20}));
    EXPECT_EQ(Find(p, "pop-ins")->y, (std::vector<double>{1.2, 2.0}));
    EXPECT_EQ(Find(p, "pop-ins")->style, PlotSeries::Style::Markers);
    EXPECT_EQ(Find(p, "Hertz fit")->x, r.hertz.curveDepth);
    EXPECT_EQ(p.note.rfind("2 pop-ins, the first at 1.2 mN, 12 nm, 3 nm wide\nHertz P = ", 0), 0u)
        << p.note;
    const auto view = PopinsView(d, r);
    ASSERT_TRUE(view);
    EXPECT_DOUBLE_EQ(view->xLower, 0);
    EXPECT_DOUBLE_EQ(view->xUpper, 45);  // 1.5 x the end of the last burst at 30 nm
    EXPECT_DOUBLE_EQ(view->yLower, 0);
    EXPECT_DOUBLE_EQ(view->yUpper, 1.1 * 4.5);
}
