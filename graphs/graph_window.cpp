#include "graphs/graph_window.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <optional>

#include "core/io/number_format.h"
#include "ui/plot_explorer.h"
#include "ui/services.h"

using marvek::ui::DrawingSurface;

namespace {

// Truncation toward zero, for positions that fit a pixel coordinate.
std::optional<int> ToPixel(double v) {
    if (!std::isfinite(v) || std::fabs(v) > 1e9) return std::nullopt;
    return static_cast<int>(v);
}

struct Axis {
    double lo, hi;  // value range
    int from, to;   // pixel of lo, pixel of hi
    std::optional<int> Pixel(double v) const {
        if (!(hi > lo)) return (from + to) / 2;  // no spread: the middle of the frame
        return ToPixel(from + (to - from) * ((v - lo) / (hi - lo)));
    }
};

}  // namespace

namespace {

struct Box {
    int left, top, right, bottom;
    bool Overlaps(const Box& o) const {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
};

}  // namespace

void DrawGraph(DrawingSurface& surface, const double* x, const double* y, int count,
               const std::string& xTitle, const std::string& yTitle, char marker) {
    const marvek::ui::Rect client = surface.GetClientRect();
    double xMin = 9e99, yMin = 9e99, xMax = -9e99, yMax = -9e99, sum = 0;
    int used = 0;
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(x[i]) || !std::isfinite(y[i])) continue;
        if (x[i] < xMin) xMin = x[i];
        if (x[i] > xMax) xMax = x[i];
        if (y[i] < yMin) yMin = y[i];
        if (y[i] > yMax) yMax = y[i];
        sum += y[i];
        ++used;
    }
    // Without a drawable point there are no ranges to label (the search's start values are
    // not numbers of the series).
    auto number = [](double v) { return marvek::FormatFixed(v, 5); };
    const std::string yMaxText = used ? number(yMax) : "", yMinText = used ? number(yMin) : "";
    const std::string xMinText = used ? number(xMin) : "", xMaxText = used ? number(xMax) : "";
    const std::string meanText = used ? number(sum / used) : "";
    const int line = surface.LineHeight();
    const int yLabelWidth = std::max(
        {surface.TextWidth(yMaxText), surface.TextWidth(yMinText), surface.TextWidth(meanText)});

    // The frame leaves room for every label in the surface's font: the y labels end at its
    // left edge, x labels are centred under its edges, the x title goes on a second line when
    // it would meet them.
    int plotLeft = client.left + std::max(100, yLabelWidth + 4);
    const int plotTop = client.top + 10;
    int plotRight = client.right - std::max(50, surface.TextWidth(xMaxText) / 2 + 2);
    int plotBottom = client.bottom - std::max(20, line + 2);
    int xTitleX = (plotRight - plotLeft) / 2 - surface.TextWidth(xTitle) / 2;
    auto xLabelBoxes = [&] {
        const int wMin = surface.TextWidth(xMinText), wMax = surface.TextWidth(xMaxText);
        return std::vector<Box>{
            {plotLeft - wMin / 2, plotBottom, plotLeft - wMin / 2 + wMin, plotBottom + line},
            {plotRight - wMax / 2, plotBottom, plotRight - wMax / 2 + wMax, plotBottom + line}};
    };
    int xTitleY = plotBottom;
    {
        const Box title{xTitleX, plotBottom, xTitleX + surface.TextWidth(xTitle),
                        plotBottom + line};
        bool meets = false;
        if (used)
            for (const Box& b : xLabelBoxes()) meets = meets || b.Overlaps(title);
        if (meets || title.left < client.left || title.right > client.right) {
            plotBottom = client.bottom - std::max(20, 2 * line + 2);
            xTitleY = plotBottom + line;
            xTitleX = std::max(client.left + 1,
                               (plotLeft + plotRight) / 2 - surface.TextWidth(xTitle) / 2);
        }
    }

    // The y title stands at half the frame's height unless a y label is there; then it moves
    // just above or below that label, or, failing both, the frame moves right.
    const Axis ay{yMin, yMax, plotBottom, plotTop};
    std::vector<Box> yLabels;
    auto yLabelBox = [&](const std::string& t, int top) {
        return Box{plotLeft - surface.TextWidth(t), top, plotLeft, top + line};
    };
    if (used) {
        yLabels.push_back(yLabelBox(yMaxText, plotTop - 8));
        yLabels.push_back(yLabelBox(yMinText, plotBottom - 11));
        if (const std::optional<int> py = ay.Pixel(sum / used))
            yLabels.push_back(yLabelBox(meanText, *py - 9));
    }
    const int yTitleWidth = surface.TextWidth(yTitle);
    int yTitleY = (plotBottom - plotTop) / 2;
    auto free = [&](int top) {
        const Box b{1, top, 1 + yTitleWidth, top + line};
        if (top < client.top || top + line > client.bottom) return false;
        for (const Box& l : yLabels)
            if (b.Overlaps(l)) return false;
        return true;
    };
    if (!free(yTitleY)) {
        std::vector<int> candidates;
        for (const Box& l : yLabels) {
            candidates.push_back(l.top - line - 1);
            candidates.push_back(l.bottom + 1);
        }
        std::sort(candidates.begin(), candidates.end(),
                  [&](int a, int b) { return std::abs(a - yTitleY) < std::abs(b - yTitleY); });
        const auto it = std::find_if(candidates.begin(), candidates.end(), free);
        if (it != candidates.end()) {
            yTitleY = *it;
        } else {
            const int shift = 1 + yTitleWidth + 4 + yLabelWidth - (plotLeft - client.left);
            if (shift > 0) plotLeft += shift;
        }
    }
    plotLeft = std::min(plotLeft, std::max(client.left + 1, plotRight - 20));

    surface.Rectangle(0, 0, client.right, client.bottom);
    surface.Rectangle(plotLeft, plotTop, plotRight, plotBottom);
    surface.SetTransparentBackground();

    // The larger y is drawn higher: y runs from the bottom edge to the top edge.
    const Axis ax{xMin, xMax, plotLeft, plotRight};
    const std::string markerText(1, marker);
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(x[i]) || !std::isfinite(y[i])) continue;
        const std::optional<int> px = ax.Pixel(x[i]), py = ay.Pixel(y[i]);
        if (!px || !py) continue;
        surface.SetPixel(*px, *py, marvek::ui::kBlack);
        surface.TextOut(*px - 3, *py - 5, markerText);
    }

    if (used) {
        surface.TextOut(plotLeft - surface.TextWidth(yMaxText), plotTop - 8, yMaxText);
        surface.TextOut(plotLeft - surface.TextWidth(yMinText), plotBottom - 11, yMinText);
        surface.TextOut(plotLeft - surface.TextWidth(xMinText) / 2, plotBottom, xMinText);
        surface.TextOut(plotRight - surface.TextWidth(xMaxText) / 2, plotBottom, xMaxText);
    }
    surface.TextOut(xTitleX, xTitleY, xTitle);
    surface.TextOut(1, yTitleY, yTitle);
    if (used) {
        if (const std::optional<int> py = ay.Pixel(sum / used))
            surface.TextOut(plotLeft - surface.TextWidth(meanText), *py - 9, meanText);
    }
}

CGraphDlg::CGraphDlg() : Dialog(GraphTemplate()) {
    OnCommand(ID_GRAPH_SAVE_CSV, [this] { OnSaveAsCsv(); });
    OnCommand(ID_GRAPH_SAVE_PICTURE, [this] { OnSavePicture(); });
    OnCommand(ID_GRAPH_EXIT, [this] { OnExit(); });
    OnCommand(ID_GRAPH_EXPLORE, [this] { OnExplorePlot(); });
}

marvek::ui::DialogTemplate CGraphDlg::GraphTemplate() {
    marvek::ui::DialogTemplate t;
    t.id = IDD_GRAPH;
    t.caption = "Marvek - Graph (Save this data to .csv to make a publication quality graph.)";
    t.width = 344;
    t.height = 238;
    t.resizable = true;
    t.menu = {{"File",
               {{"Save as (.CSV)", ID_GRAPH_SAVE_CSV},
                {"Save Picture (.PNG)", ID_GRAPH_SAVE_PICTURE},
                {"Explore Plot", ID_GRAPH_EXPLORE},
                {"Exit", ID_GRAPH_EXIT}}}};
    return t;
}

bool CGraphDlg::OnInitDialog() {
    Dialog::OnInitDialog();
    if (!m_strCaption.empty()) setWindowTitle(QString::fromStdString(m_strCaption));
    m_plot = new marvek::ui::PlotView(Client());
    m_plot->onCoordinates = [this](const std::string& text) { SetStatusText(text); };
    SetStatusText("Wheel zooms, drag pans, Ctrl+drag zooms to a rectangle, double-click resets");
    // The status line is added to the window, not taken from the plot.
    if (StatusBarWidget()) resize(width(), height() + StatusBarWidget()->sizeHint().height());
    m_plot->SetData(PlotContent());
    m_plot->show();
    return true;
}

void CGraphDlg::OnSize(int width, int height) {
    if (m_plot) m_plot->setGeometry(0, 0, width, height);
}

marvek::ui::PlotData CGraphDlg::PlotContent() const {
    const marvek::GraphSeries s = Series();
    marvek::ui::PlotData plot;
    plot.caption = windowTitle().toStdString();
    plot.xTitle = s.xTitle;
    plot.yTitle = s.yTitle;
    plot.series.push_back(
        {"points", s.x, s.y, marvek::ui::kBlack, marvek::ui::PlotSeries::Style::Stars});
    if (!s.lineX.empty())
        plot.series.push_back({"fit", s.lineX, s.lineY, marvek::ui::Rgb{220, 0, 0},
                               marvek::ui::PlotSeries::Style::Line});
    plot.note = s.text;
    if (std::isfinite(s.yViewLower) && std::isfinite(s.yViewUpper) && !s.x.empty()) {
        const auto [lo, hi] = std::minmax_element(s.x.begin(), s.x.end());
        const double pad = 0.03 * (*hi - *lo);
        plot.home = marvek::ui::PlotRange{*lo - pad, *hi + pad, s.yViewLower, s.yViewUpper};
    }
    if (!s.meanMark) return plot;
    double sum = 0;
    int used = 0;
    for (std::size_t i = 0; i < s.x.size(); ++i)
        if (std::isfinite(s.x[i]) && std::isfinite(s.y[i])) {
            sum += s.y[i];
            ++used;
        }
    if (used > 0)
        plot.marks.push_back({marvek::ui::PlotMark::Axis::Y, sum / used,
                              "mean " + marvek::FormatFixed(sum / used, 5)});
    return plot;
}

void CGraphDlg::SetSeries(const marvek::GraphSeries& series) {
    m_strXLabel = series.xTitle;
    m_strYLabel = series.yTitle;
    const std::size_t n = std::min(series.x.size(), series.y.size());
    m_adX.assign(series.x.begin(), series.x.begin() + static_cast<std::ptrdiff_t>(n));
    m_adY.assign(series.y.begin(), series.y.begin() + static_cast<std::ptrdiff_t>(n));
    m_nCount = static_cast<int>(n);
    m_labels = series.labels.size() == n ? series.labels
                                         : std::vector<std::pair<std::string, std::string>>{};
    const std::size_t line = std::min(series.lineX.size(), series.lineY.size());
    m_lineX.assign(series.lineX.begin(), series.lineX.begin() + static_cast<std::ptrdiff_t>(line));
    m_lineY.assign(series.lineY.begin(), series.lineY.begin() + static_cast<std::ptrdiff_t>(line));
    m_strText = series.text;
    m_bMeanMark = series.meanMark;
    m_dViewYLower = series.yViewLower;
    m_dViewYUpper = series.yViewUpper;
    if (m_plot) m_plot->SetData(PlotContent());
}

marvek::GraphSeries CGraphDlg::Series() const {
    const std::size_t n =
        std::min({static_cast<std::size_t>(std::max(m_nCount, 0)), m_adX.size(), m_adY.size()});
    marvek::GraphSeries s;
    s.xTitle = m_strXLabel;
    s.yTitle = m_strYLabel;
    s.x.assign(m_adX.begin(), m_adX.begin() + static_cast<std::ptrdiff_t>(n));
    s.y.assign(m_adY.begin(), m_adY.begin() + static_cast<std::ptrdiff_t>(n));
    if (m_labels.size() >= n)
        s.labels.assign(m_labels.begin(), m_labels.begin() + static_cast<std::ptrdiff_t>(n));
    s.lineX = m_lineX;
    s.lineY = m_lineY;
    s.text = m_strText;
    s.meanMark = m_bMeanMark;
    s.yViewLower = m_dViewYLower;
    s.yViewUpper = m_dViewYUpper;
    return s;
}

void CGraphDlg::OnSaveAsCsv() {
    marvek::ui::SaveFileRequest request;
    request.owner = this;
    request.filter = "Text Files (*.CSV)";
    request.defaultExtension = "csv";
    request.promptOverwrite = true;
    const std::optional<std::filesystem::path> file = marvek::ui::GetServices().SaveFile(request);
    if (!file) return;
    const marvek::Status written = marvek::WriteGraphCsv(Series(), *file);
    if (!written.ok())
        marvek::ui::ShowMessage(this, written.message(), marvek::ui::kApplicationName,
                                marvek::ui::MessageButtons::Ok, marvek::ui::MessageIcon::Error);
}

bool CGraphDlg::SavePicture(const std::filesystem::path& file, std::string& error) {
    const marvek::ui::Rect r = GetClientRect();
    QImage image(std::max(r.right - r.left, 1), std::max(r.bottom - r.top, 1),
                 QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setFont(Client() ? Client()->font() : font());
        marvek::ui::PainterSurface surface(painter, r);
        const marvek::GraphSeries s = Series();
        DrawGraph(surface, s.x.data(), s.y.data(), static_cast<int>(s.x.size()), m_strXLabel,
                  m_strYLabel, m_chMarker);
    }
    if (!image.save(marvek::ui::QStringFromPath(file), "PNG")) {
        error = "Could not write " + file.string() + ": the picture could not be saved there.";
        return false;
    }
    return true;
}

void CGraphDlg::OnSavePicture() {
    marvek::ui::SaveFileRequest request;
    request.owner = this;
    request.filter = "PNG Images (*.PNG)";
    request.defaultExtension = "png";
    request.promptOverwrite = true;
    const std::optional<std::filesystem::path> file = marvek::ui::GetServices().SaveFile(request);
    if (!file) return;
    std::string error;
    if (!SavePicture(*file, error))
        marvek::ui::ShowMessage(this, error, marvek::ui::kApplicationName,
                                marvek::ui::MessageButtons::Ok, marvek::ui::MessageIcon::Error);
}

void CGraphDlg::OnExplorePlot() {
    auto* explorer = new marvek::ui::PlotExplorer(PlotContent(), this);
    explorer->setAttribute(Qt::WA_DeleteOnClose);
    explorer->show();
}

void CGraphDlg::OnExit() { EndDialog(marvek::ui::IDOK); }
