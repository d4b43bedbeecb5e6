#include "graphs/graph_window.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <optional>

#include "core/io/number_format.h"
#include "ui/services.h"

using marvek::ui::DrawingSurface;

namespace {

// The layout assumes characters 8 pixels wide and an 11-pixel line step.
constexpr int kCharWidth = 8;
constexpr int kCharHeight = 11;

int TextWidth(const std::string& text) { return static_cast<int>(text.size()) * kCharWidth; }

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

void DrawGraph(DrawingSurface& surface, const double* x, const double* y, int count,
               const std::string& xTitle, const std::string& yTitle, char marker) {
    const marvek::ui::Rect client = surface.GetClientRect();
    const int plotLeft = client.left + 100;
    const int plotTop = client.top + 10;
    const int plotRight = client.right - 50;
    const int plotBottom = client.bottom - 20;

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

    surface.Rectangle(0, 0, client.right, client.bottom);
    surface.Rectangle(plotLeft, plotTop, plotRight, plotBottom);
    surface.SetTransparentBackground();

    // The larger y is drawn higher: y runs from the bottom edge to the top edge.
    const Axis ax{xMin, xMax, plotLeft, plotRight};
    const Axis ay{yMin, yMax, plotBottom, plotTop};
    const std::string markerText(1, marker);
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(x[i]) || !std::isfinite(y[i])) continue;
        const std::optional<int> px = ax.Pixel(x[i]), py = ay.Pixel(y[i]);
        if (!px || !py) continue;
        surface.SetPixel(*px, *py, marvek::ui::kBlack);
        surface.TextOut(*px - 3, *py - 5, markerText);
    }

    auto number = [](double v) { return marvek::FormatFixed(v, 5); };
    std::string text = number(yMax);
    surface.TextOut(plotLeft - TextWidth(text), plotTop - kCharWidth, text);
    text = number(yMin);
    surface.TextOut(plotLeft - TextWidth(text), plotBottom - kCharHeight, text);
    text = number(xMin);
    surface.TextOut(plotLeft - TextWidth(text) / 2, plotBottom, text);
    text = number(xMax);
    surface.TextOut(plotRight - TextWidth(text) / 2, plotBottom, text);
    surface.TextOut((plotRight - plotLeft) / 2 - TextWidth(xTitle) / 2, plotBottom, xTitle);
    surface.TextOut(1, (plotBottom - plotTop) / 2, yTitle);
    // Without a point there is no mean to show.
    if (used > 0) {
        const double mean = sum / used;
        if (const std::optional<int> py = ay.Pixel(mean)) {
            text = number(mean);
            surface.TextOut(plotLeft - TextWidth(text), *py - 9, text);
        }
    }
}

CGraphDlg::CGraphDlg() : Dialog(GraphTemplate()) {
    OnCommand(ID_GRAPH_SAVE_CSV, [this] { OnSaveAsCsv(); });
    OnCommand(ID_GRAPH_SAVE_PICTURE, [this] { OnSavePicture(); });
    OnCommand(ID_GRAPH_EXIT, [this] { OnExit(); });
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
                {"Exit", ID_GRAPH_EXIT}}}};
    return t;
}

void CGraphDlg::SetSeries(const marvek::GraphSeries& series) {
    m_strXLabel = series.xTitle;
    m_strYLabel = series.yTitle;
    const std::size_t n = std::min(series.x.size(), series.y.size());
    m_adX.assign(series.x.begin(), series.x.begin() + static_cast<std::ptrdiff_t>(n));
    m_adY.assign(series.y.begin(), series.y.begin() + static_cast<std::ptrdiff_t>(n));
    m_nCount = static_cast<int>(n);
}

marvek::GraphSeries CGraphDlg::Series() const {
    const std::size_t n =
        std::min({static_cast<std::size_t>(std::max(m_nCount, 0)), m_adX.size(), m_adY.size()});
    marvek::GraphSeries s{m_strXLabel, m_strYLabel, {}, {}};
    s.x.assign(m_adX.begin(), m_adX.begin() + static_cast<std::ptrdiff_t>(n));
    s.y.assign(m_adY.begin(), m_adY.begin() + static_cast<std::ptrdiff_t>(n));
    return s;
}

void CGraphDlg::OnPaint(DrawingSurface& surface) {
    const marvek::GraphSeries s = Series();
    DrawGraph(surface, s.x.data(), s.y.data(), static_cast<int>(s.x.size()), m_strXLabel,
              m_strYLabel, m_chMarker);
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
        OnPaint(surface);
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

void CGraphDlg::OnExit() { EndDialog(marvek::ui::IDOK); }
