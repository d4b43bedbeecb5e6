#include "graphs/graph_window.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>

#include <QImage>
#include <QMenu>
#include <cmath>
#include <fstream>
#include <sstream>

#include "core/io/number_format.h"
#include "core/series/graph_series.h"
#include "ui/test_doubles.h"

namespace {

using marvek::ui::DrawCall;
using marvek::ui::RecordingSurface;

struct Text {
    int x, y;
    std::string text;
    bool operator==(const Text&) const = default;
};

std::vector<Text> Texts(const RecordingSurface& s) {
    std::vector<Text> out;
    for (const DrawCall& c : s.Calls(DrawCall::TextOut)) out.push_back({c.x, c.y, c.text});
    return out;
}

std::vector<std::pair<int, int>> Pixels(const RecordingSurface& s) {
    std::vector<std::pair<int, int>> out;
    for (const DrawCall& c : s.Calls(DrawCall::SetPixel)) out.push_back({c.x, c.y});
    return out;
}

// Client 500 x 300, 8-pixel characters, 11-pixel lines: the x title would meet the xMin label,
// so it takes a line of its own and the frame's foot rises to 276; the y title would meet the
// mean label, so it stands just above it.
TEST(GraphDrawing, FramePointsAndLabelsSitWhereTheLayoutPutsThem) {
    RecordingSurface s({0, 0, 500, 300});
    const double x[] = {1, 2, 3}, y[] = {0, 10, 5};
    DrawGraph(s, x, y, 3, "Maximum Depth (nm)", " [GPa]", '*');
    const auto rects = s.Calls(DrawCall::Rectangle);
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_EQ(std::tie(rects[0].x, rects[0].y, rects[0].x2, rects[0].y2),
              std::make_tuple(0, 0, 500, 300));
    EXPECT_EQ(std::tie(rects[1].x, rects[1].y, rects[1].x2, rects[1].y2),
              std::make_tuple(100, 10, 450, 276));
    // Smallest x on the left edge, largest y on the top edge.
    EXPECT_EQ(Pixels(s), (std::vector<std::pair<int, int>>{{100, 276}, {275, 10}, {450, 143}}));
    EXPECT_EQ(Texts(s), (std::vector<Text>{
                            {97, 271, "*"},
                            {272, 5, "*"},
                            {447, 138, "*"},
                            {36, 2, "10.00000"},               // yMax, ends at the frame
                            {44, 265, "0.00000"},              // yMin
                            {72, 276, "1.00000"},              // xMin, centred under the edge
                            {422, 276, "3.00000"},             // xMax
                            {203, 287, "Maximum Depth (nm)"},  // centred under the frame
                            {1, 122, " [GPa]"},
                            {44, 134, "5.00000"},  // mean, 9 above its height
                        }));
    ASSERT_FALSE(s.Calls(DrawCall::SetTransparentBackground).empty());
}

struct DegenerateCase {
    const char* label;
    std::vector<double> x, y;
    std::vector<std::pair<int, int>> pixels;
    bool meanShown;
};

TEST(GraphDrawing, PointsWithoutNumbersOrSpreadNeverBreakTheDrawing) {
    const double nan = std::nan("");
    const double inf = INFINITY;
    const std::vector<DegenerateCase> cases = {
        {"single point: middle of the frame", {5}, {5}, {{275, 145}}, true},
        {"one x for all", {2, 2}, {0, 1}, {{275, 280}, {275, 10}}, true},
        {"a point without numbers is left out",
         {1, nan, 3},
         {0, 4, 1},
         {{100, 280}, {450, 10}},
         true},
        {"an infinite value is left out", {1, 2, inf}, {0, 1, 1}, {{100, 280}, {450, 10}}, true},
        {"no points", {}, {}, {}, false},
        {"only points without numbers", {nan}, {nan}, {}, false},
    };
    for (const DegenerateCase& tc : cases) {
        SCOPED_TRACE(tc.label);
        RecordingSurface s({0, 0, 500, 300});
        DrawGraph(s, tc.x.data(), tc.y.data(), static_cast<int>(tc.x.size()), "x", "y", '*');
        EXPECT_EQ(Pixels(s), tc.pixels);
        // Titles always; ranges and mean only when some point has numbers.
        const std::size_t labels = 2 + (tc.meanShown ? 5 : 0);
        EXPECT_EQ(s.Calls(DrawCall::TextOut).size(), tc.pixels.size() + labels);
    }
    RecordingSurface empty({0, 0, 500, 300});
    DrawGraph(empty, nullptr, nullptr, 0, "x", "y", '*');
    // The search's start values are never shown as if they were numbers of the series.
    for (const DrawCall& c : empty.Calls(DrawCall::TextOut))
        EXPECT_EQ(c.text.find("9000000"), std::string::npos) << c.text;
    EXPECT_EQ(empty.Calls(DrawCall::TextOut).size(), 2u);
}

class GraphWindowTest : public ::testing::Test {
protected:
    void SetUp() override { marvek::ui::EnsureTestApplication(); }
    std::filesystem::path Folder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const auto folder =
            std::filesystem::path(::testing::TempDir()) /
            ("marvek_graph_window_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        return folder;
    }
    static marvek::GraphSeries Sample() {
        marvek::GraphSeries s{"Maximum Depth (nm)", " [GPa]", {}, {}};
        for (int i = 0; i < 40; ++i) {
            s.x.push_back(100 + 25 * i);
            s.y.push_back(70 + 15 * std::sin(i / 5.0) + 0.3 * i);
        }
        return s;
    }
    marvek::ui::FakeServices services_;
};

TEST_F(GraphWindowTest, MenuHoldsSaveSavePictureAndExit) {
    marvek::ui::ScopedServices scoped(services_);
    CGraphDlg dlg;
    dlg.Create();
    EXPECT_EQ(dlg.windowTitle().toStdString(),
              "Marvek - Graph (Save this data to .csv to make a publication quality graph.)");
    ASSERT_EQ(dlg.MenuPopups().size(), 1u);
    QMenu* file = dlg.MenuPopups()[0];
    EXPECT_EQ(file->title().remove('&').toStdString(), "File");
    std::vector<std::string> items;
    for (QAction* a : file->actions()) items.push_back(a->text().remove('&').toStdString());
    EXPECT_EQ(items, (std::vector<std::string>{"Save as (.CSV)", "Save Picture (.PNG)",
                                               "Explore Plot", "Exit"}));
    EXPECT_TRUE(dlg.TriggerMenuCommand(ID_GRAPH_EXIT));
    EXPECT_TRUE(dlg.IsEnded());
    EXPECT_EQ(dlg.Result(), marvek::ui::IDOK);
}

TEST_F(GraphWindowTest, SaveWritesTheSeriesToTheChosenPath) {
    marvek::ui::ScopedServices scoped(services_);
    const std::filesystem::path file = Folder() / "sub folder" / "graph.csv";
    std::filesystem::create_directories(file.parent_path());
    CGraphDlg dlg;
    dlg.SetSeries(Sample());
    dlg.Create();
    services_.saveAnswers.push_back(file);
    ASSERT_TRUE(dlg.TriggerMenuCommand(ID_GRAPH_SAVE_CSV));
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), marvek::FormatGraphCsv(Sample()));
    EXPECT_TRUE(services_.messages.empty());
    ASSERT_EQ(services_.saveRequests.size(), 1u);
    EXPECT_TRUE(services_.saveRequests[0].promptOverwrite);
    EXPECT_EQ(services_.saveRequests[0].defaultExtension, "csv");
}

// A graph that could not be saved used to pass in silence.
TEST_F(GraphWindowTest, SaveThatCannotWriteSaysSo) {
    marvek::ui::ScopedServices scoped(services_);
    CGraphDlg dlg;
    dlg.SetSeries(Sample());
    dlg.Create();
    services_.saveAnswers.push_back(Folder() / "missing folder" / "graph.csv");
    dlg.TriggerMenuCommand(ID_GRAPH_SAVE_CSV);
    ASSERT_EQ(services_.messages.size(), 1u);
    EXPECT_NE(services_.messages[0].text.find("graph.csv"), std::string::npos);
    EXPECT_NE(services_.messages[0].text.find("No such file"), std::string::npos);
    // Cancelling the dialog writes nothing and says nothing.
    dlg.TriggerMenuCommand(ID_GRAPH_SAVE_CSV);
    EXPECT_EQ(services_.messages.size(), 1u);
    EXPECT_FALSE(dlg.IsEnded());
}

// On screen the series is a plot to explore: stars at the values, the mean at the left edge
// (points without numbers left out of it), the wheel zooms and a double-click goes home.
TEST_F(GraphWindowTest, PlotOnShowZoomsAndMarksTheMean) {
    marvek::ui::ScopedServices scoped(services_);
    CGraphDlg dlg;
    auto series = Sample();
    series.x.push_back(std::nan(""));
    series.y.push_back(1e9);
    dlg.SetSeries(series);
    dlg.Create();
    dlg.show();
    QApplication::processEvents();
    marvek::ui::PlotView* plot = dlg.m_plot;
    ASSERT_NE(plot, nullptr);
    EXPECT_EQ(plot->geometry(), dlg.Client()->rect());
    double sum = 0;
    for (double v : Sample().y) sum += v;
    ASSERT_EQ(plot->Data().marks.size(), 1u);
    EXPECT_EQ(plot->Data().marks[0].text, "mean " + marvek::FormatFixed(sum / 40, 5));
    EXPECT_EQ(plot->xAxis->label().toStdString(), "Maximum Depth (nm)");
    const QPoint at(plot->width() / 2, plot->height() / 2);
    QWheelEvent wheel(QPointF(at), plot->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, 240),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &wheel);
    EXPECT_TRUE(plot->IsZoomed());
    QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(at), plot->mapToGlobal(QPointF(at)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(plot, &click);
    EXPECT_FALSE(plot->IsZoomed());
    EXPECT_LT(plot->yAxis->range().upper, 200);  // the point without an x is no part of it
}

TEST_F(GraphWindowTest, PictureIsTheWindowsDrawing) {
    marvek::ui::ScopedServices scoped(services_);
    const std::filesystem::path folder = Folder();
    CGraphDlg dlg;
    dlg.SetSeries(Sample());
    dlg.Create();
    dlg.resize(640, 420);
    services_.saveAnswers.push_back(folder / "graph.png");
    ASSERT_TRUE(dlg.TriggerMenuCommand(ID_GRAPH_SAVE_PICTURE));
    QImage image(QString::fromStdString((folder / "graph.png").string()));
    ASSERT_FALSE(image.isNull());
    const marvek::ui::Rect r = dlg.GetClientRect();
    EXPECT_EQ(image.width(), r.Width());
    EXPECT_EQ(image.height(), r.Height());
    // The frame's top-left corner is black, the space left of it white.
    EXPECT_EQ(image.pixelColor(100, 10), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(95, 50), QColor(Qt::white));
    services_.saveAnswers.push_back(folder / "missing" / "graph.png");
    dlg.TriggerMenuCommand(ID_GRAPH_SAVE_PICTURE);
    EXPECT_EQ(services_.messages.size(), 1u);
}

}  // namespace

#include "graphs/graph_command_runner.h"

namespace {

// What the window makes of a curve-list series: numbers as the main window counts, excluded
// curves out (so the mean is the table's), each point named in the CSV.
TEST(GraphSeriesShown, CountsFromOneLeavesOutExcludedCurvesAndNamesEachPoint) {
    marvek::CCurveAnalyzer analyzer;
    analyzer.SetFiles({"/d/a.csv", "/d/book.xlsx#Test 2", "/d/c.csv"});
    struct Case {
        const char* name;
        const char* xTitle;
        std::vector<bool> excluded;
        std::vector<double> x;
        std::size_t left;
    } cases[] = {
        {"curve number, none excluded", "Curve Number", {}, {1, 2, 3}, 0},
        {"curve number, second excluded", "Curve Number", {false, true, false}, {1, 3}, 1},
        {"load, first excluded", "Maximum Force (mN)", {true}, {20, 30}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        marvek::GraphSeries s{c.xTitle, "E (GPa)", {}, {}, {}, {}};
        const bool numbered = std::string(c.xTitle) == "Curve Number";
        for (int k = 0; k < 3; ++k) {
            s.x.push_back(numbered ? k : 10.0 * (k + 1));
            s.y.push_back(100.0 + k);
            s.curves.push_back(k);
        }
        marvek::graphs::GraphContext context;
        context.excluded = c.excluded;
        std::size_t left = 0;
        const marvek::GraphSeries shown =
            marvek::graphs::PrepareGraphSeries(s, analyzer, context, left);
        EXPECT_EQ(shown.x, c.x);
        EXPECT_EQ(left, c.left);
        ASSERT_EQ(shown.labels.size(), shown.x.size());
        const std::string csv = marvek::FormatGraphCsv(shown);
        EXPECT_EQ(csv.substr(0, csv.find('\n')), std::string(c.xTitle) + ", E (GPa), file, test");
        const bool secondShown = c.excluded.size() < 2 || !c.excluded[1];
        EXPECT_EQ(csv.find(",/d/book.xlsx,Test 2\n") != std::string::npos, secondShown) << csv;
    }
}

}  // namespace
