// The plot explorer driven with the mouse and keys as a user would.
#include "ui/plot_explorer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <qcustomplot.h>
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>
#include <fstream>
#include <sstream>

#include "ui/test_doubles.h"

using namespace marvek::ui;

namespace {

PlotData Line() {
    PlotData d{"explore", "Depth (nm)", "Force (mN)", {}};
    PlotSeries s{"points", {}, {}, kBlack, PlotSeries::Style::Dots};
    for (int i = 0; i <= 100; ++i) {
        s.x.push_back(i);
        s.y.push_back(i / 10.0);
    }
    d.series.push_back(s);
    d.series.push_back({"segment",
                        {0, 50},
                        {0, 5},
                        {255, 0, 0},
                        PlotSeries::Style::Line,
                        PlotSeries::Segments::WithSegments});
    return d;
}

void Send(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button,
          Qt::MouseButtons buttons, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, buttons, mods);
    QApplication::sendEvent(w, &e);
}

void Drag(QWidget* w, QPoint from, QPoint to, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    Send(w, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton, mods);
    Send(w, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton, mods);
    Send(w, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, mods);
    Send(w, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton, mods);
}

class PlotExplorerTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureTestApplication();
        explorer = std::make_unique<PlotExplorer>(Line());
        explorer->show();
        QApplication::processEvents();
        plot = explorer->Plot();
        full = {plot->xAxis->range(), plot->yAxis->range()};
    }
    QPoint Pixel(double x, double y) const {
        return {static_cast<int>(plot->xAxis->coordToPixel(x)),
                static_cast<int>(plot->yAxis->coordToPixel(y))};
    }
    std::unique_ptr<PlotExplorer> explorer;
    QCustomPlot* plot = nullptr;
    std::pair<QCPRange, QCPRange> full;
};

}  // namespace

TEST_F(PlotExplorerTest, StartsWithEveryPointInsideAndTheTitlesCarryUnits) {
    EXPECT_LT(full.first.lower, 0);
    EXPECT_GT(full.first.upper, 100);
    EXPECT_LT(full.second.lower, 0);
    EXPECT_GT(full.second.upper, 10);
    EXPECT_EQ(plot->xAxis->label().toStdString(), "Depth (nm)");
    EXPECT_EQ(plot->plottableCount(), 1);  // the segment series waits for "Segments"
    explorer->SetSegments(true);
    EXPECT_EQ(plot->plottableCount(), 2);
    explorer->SetGrid(true);
    EXPECT_TRUE(plot->xAxis->grid()->visible());
}

// The wheel zooms about the cursor: the value under it stays under it.
TEST_F(PlotExplorerTest, WheelZoomsAboutTheCursorAndHomeResets) {
    const QPoint at = Pixel(70, 2);
    QWheelEvent wheel(QPointF(at), plot->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, 240),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &wheel);
    EXPECT_LT(plot->xAxis->range().size(), full.first.size() * 0.9);
    EXPECT_NEAR(plot->xAxis->pixelToCoord(at.x()), 70, 1.0);
    EXPECT_NEAR(plot->yAxis->pixelToCoord(at.y()), 2, 0.1);
    QTest::keyClick(explorer.get(), Qt::Key_Home);
    EXPECT_EQ(plot->xAxis->range(), full.first);
    EXPECT_EQ(plot->yAxis->range(), full.second);
}

TEST_F(PlotExplorerTest, DragPansCtrlDragZoomsToTheRectangleDoubleClickResets) {
    Drag(plot, Pixel(50, 5), Pixel(40, 5));
    EXPECT_NEAR(plot->xAxis->range().center(), full.first.center() + 10, 1.0);
    EXPECT_NEAR(plot->xAxis->range().size(), full.first.size(), 1e-9);

    QTest::keyClick(explorer.get(), Qt::Key_Home);
    Drag(plot, Pixel(20, 6), Pixel(60, 1), Qt::ControlModifier);
    EXPECT_NEAR(plot->xAxis->range().lower, 20, 1.0);
    EXPECT_NEAR(plot->xAxis->range().upper, 60, 1.0);
    EXPECT_NEAR(plot->yAxis->range().lower, 1, 0.1);
    EXPECT_NEAR(plot->yAxis->range().upper, 6, 0.1);

    Send(plot, QEvent::MouseButtonDblClick, Pixel(30, 3), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(plot->xAxis->range(), full.first);

    Send(plot, QEvent::MouseMove, Pixel(25, 2.5), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(explorer->CoordinatesText(), explorer->CoordinatesAt(Pixel(25, 2.5)));
    EXPECT_NE(explorer->CoordinatesText().find("Depth (nm) = 2"), std::string::npos)
        << explorer->CoordinatesText();
}

TEST_F(PlotExplorerTest, ExportsPngAtTheChosenSizeAndSvg) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("marvek-explore-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string error;
    explorer->SetExportSize(640, 480);
    ASSERT_TRUE(explorer->ExportPng(dir / "p.png", error)) << error;
    const QImage png(QString::fromStdString((dir / "p.png").string()));
    EXPECT_EQ(png.size(), QSize(640, 480));
    ASSERT_TRUE(explorer->ExportSvg(dir / "p.svg", error)) << error;
    std::stringstream svg;
    svg << std::ifstream(dir / "p.svg").rdbuf();
    EXPECT_NE(svg.str().find("<svg"), std::string::npos);
    EXPECT_FALSE(explorer->ExportPng(dir / "missing" / "p.png", error));
    EXPECT_NE(error.find("p.png"), std::string::npos);
    std::filesystem::remove_all(dir);
}
