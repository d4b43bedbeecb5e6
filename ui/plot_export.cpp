#include "ui/plot_export.h"

#include <QPdfWriter>
#include <QSettings>
#include <QSvgGenerator>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "ui/data_exchange.h"
#include "ui/plot_view.h"
#include "ui/services.h"

namespace marvek::ui {

namespace {

constexpr double kMmPerInch = 25.4;
constexpr double kScreenDpi = 96;

enum : int {
    IDC_FONT = 1101,
    IDC_LINE = 1102,
    IDC_WIDTH = 1103,
    IDC_HEIGHT = 1104,
    IDC_DPI = 1105,
};

// Sets fonts and pens of `view` for the export and puts the old ones back when it goes.
class StyleScope {
public:
    StyleScope(PlotView& view, const PlotStyle& style) : view_(view) {
        for (QCPAxis* axis : {view.xAxis, view.yAxis}) {
            saved_.push_back({axis->tickLabelFont(), axis->labelFont()});
            QFont tick = axis->tickLabelFont();
            tick.setPointSizeF(style.fontPoints);
            QFont label = axis->labelFont();
            label.setPointSizeF(style.fontPoints + 1);
            axis->setTickLabelFont(tick);
            axis->setLabelFont(label);
        }
        for (int i = 0; i < view.plottableCount(); ++i) {
            QCPAbstractPlottable* p = view.plottable(i);
            pens_.push_back(p->pen());
            if (qobject_cast<QCPCurve*>(p)) {
                QPen pen = p->pen();
                pen.setWidthF(style.lineWidth);
                p->setPen(pen);
            }
        }
    }
    ~StyleScope() {
        int k = 0;
        for (QCPAxis* axis : {view_.xAxis, view_.yAxis}) {
            axis->setTickLabelFont(saved_[static_cast<std::size_t>(k)].first);
            axis->setLabelFont(saved_[static_cast<std::size_t>(k)].second);
            ++k;
        }
        for (int i = 0; i < view_.plottableCount() && i < static_cast<int>(pens_.size()); ++i)
            view_.plottable(i)->setPen(pens_[static_cast<std::size_t>(i)]);
        view_.replot(QCustomPlot::rpImmediateRefresh);
    }

private:
    PlotView& view_;
    std::vector<std::pair<QFont, QFont>> saved_;
    std::vector<QPen> pens_;
};

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

class PlotStyleWindow : public Dialog {
public:
    explicit PlotStyleWindow(const PlotStyle& style)
        : Dialog(PlotStyleTemplate()), m_style(style) {}
    PlotStyle m_style;

protected:
    void DoDataExchange(DataExchange& dx) override {
        dx.Text(IDC_FONT, m_style.fontPoints);
        dx.MinMax(m_style.fontPoints, 4.0, 36.0);
        dx.Text(IDC_LINE, m_style.lineWidth);
        dx.MinMax(m_style.lineWidth, 0.1, 10.0);
        dx.Text(IDC_WIDTH, m_style.widthMm);
        dx.MinMax(m_style.widthMm, 20.0, 1000.0);
        dx.Text(IDC_HEIGHT, m_style.heightMm);
        dx.MinMax(m_style.heightMm, 20.0, 1000.0);
        dx.Text(IDC_DPI, m_style.dpi);
        dx.MinMax(m_style.dpi, 72, 2400);
    }
};

}  // namespace

PlotStyle LoadPlotStyle(const std::filesystem::path& file) {
    PlotStyle s;
    QSettings ini(QStringFromPath(file), QSettings::IniFormat);
    auto number = [&](const char* key, double& value, double low, double high) {
        bool ok = false;
        const double v = ini.value(key).toDouble(&ok);
        if (ok && std::isfinite(v) && v >= low && v <= high) value = v;
    };
    number("figure/fontPoints", s.fontPoints, 4, 36);
    number("figure/lineWidth", s.lineWidth, 0.1, 10);
    number("figure/widthMm", s.widthMm, 20, 1000);
    number("figure/heightMm", s.heightMm, 20, 1000);
    double dpi = s.dpi;
    number("figure/dpi", dpi, 72, 2400);
    s.dpi = static_cast<int>(dpi);
    s.grid = ini.value("view/grid", s.grid).toBool();
    s.segments = ini.value("view/segments", s.segments).toBool();
    s.popins = ini.value("view/popins", s.popins).toBool();
    return s;
}

void SavePlotStyle(const std::filesystem::path& file, const PlotStyle& s) {
    QSettings ini(QStringFromPath(file), QSettings::IniFormat);
    ini.setValue("figure/fontPoints", s.fontPoints);
    ini.setValue("figure/lineWidth", s.lineWidth);
    ini.setValue("figure/widthMm", s.widthMm);
    ini.setValue("figure/heightMm", s.heightMm);
    ini.setValue("figure/dpi", s.dpi);
    ini.setValue("view/grid", s.grid);
    ini.setValue("view/segments", s.segments);
    ini.setValue("view/popins", s.popins);
    ini.sync();
}

bool ExportStyledPlot(PlotView& view, const PlotStyle& style, const std::filesystem::path& file,
                      std::string& error) {
    // Laid out at the figure's size in screen pixels (96 per inch), then scaled to the
    // resolution: fonts given in points keep their size on paper.
    const int w = static_cast<int>(std::lround(style.widthMm / kMmPerInch * kScreenDpi));
    const int h = static_cast<int>(std::lround(style.heightMm / kMmPerInch * kScreenDpi));
    const std::string ext = Lower(file.extension().string());
    const QString name = QStringFromPath(file);
    StyleScope scope(view, style);
    bool ok = false;
    if (ext == ".svg") {
        QSvgGenerator svg;
        svg.setFileName(name);
        svg.setSize(QSize(w, h));
        svg.setViewBox(QRect(0, 0, w, h));
        svg.setTitle(QString::fromStdString(view.Data().caption));
        QCPPainter painter;
        if (painter.begin(&svg)) {
            view.toPainter(&painter, w, h);
            ok = painter.end();
        }
    } else if (ext == ".pdf") {
        ok = view.savePdf(name, w, h, QCP::epNoCosmetic, "Marvek",
                          QString::fromStdString(view.Data().caption));
    } else {
        ok = view.savePng(name, w, h, style.dpi / kScreenDpi, -1, style.dpi, QCP::ruDotsPerInch);
    }
    if (!ok) error = "Could not write " + file.string() + ": the figure could not be saved there.";
    return ok;
}

DialogTemplate PlotStyleTemplate() {
    DialogTemplate t;
    t.id = 150;
    t.caption = "Marvek - Figure Options";
    t.width = 200;
    t.height = 104;
    using K = ControlKind;
    t.controls = {
        {K::Static, kNoId, "Font size (pt) :", 7, 9, 90, 8, kAlignRight},
        {K::Edit, IDC_FONT, "", 100, 7, 40, 12},
        {K::Static, kNoId, "Line width (pt) :", 7, 25, 90, 8, kAlignRight},
        {K::Edit, IDC_LINE, "", 100, 23, 40, 12},
        {K::Static, kNoId, "Figure width (mm) :", 7, 41, 90, 8, kAlignRight},
        {K::Edit, IDC_WIDTH, "", 100, 39, 40, 12},
        {K::Static, kNoId, "Figure height (mm) :", 7, 57, 90, 8, kAlignRight},
        {K::Edit, IDC_HEIGHT, "", 100, 55, 40, 12},
        {K::Static, kNoId, "PNG resolution (dpi) :", 7, 73, 90, 8, kAlignRight},
        {K::Edit, IDC_DPI, "", 100, 71, 40, 12},
        {K::PushButton, IDOK, "OK", 146, 7, 47, 14, kDefault},
        {K::PushButton, IDCANCEL, "Cancel", 146, 25, 47, 14},
        {K::Static, kNoId, "Kept for the next figure. PDF and SVG are drawn as lines and text.", 7,
         89, 186, 10},
    };
    return t;
}

bool AskPlotStyle(Dialog* owner, PlotStyle& style) {
    (void)owner;
    PlotStyleWindow window(style);
    if (GetServices().RunModal(window) != IDOK) return false;
    style = window.m_style;
    return true;
}

void ExportPlotWithOptions(Dialog& owner, PlotView& view, const std::filesystem::path& styleFile) {
    PlotStyle style = LoadPlotStyle(styleFile);
    if (!AskPlotStyle(&owner, style)) return;
    SaveFileRequest request;
    request.owner = &owner;
    request.filter = "PNG Images (*.png);;PDF Documents (*.pdf);;SVG Drawings (*.svg)";
    request.defaultExtension = "png";
    const auto file = GetServices().SaveFile(request);
    if (!file) return;
    style.grid = view.Grid();
    style.segments = view.Segments();
    SavePlotStyle(styleFile, style);
    std::string error;
    if (ExportStyledPlot(view, style, *file, error))
        owner.SetStatusText("Figure saved to " + file->string());
    else
        ShowMessage(&owner, error, kApplicationName, MessageButtons::Ok, MessageIcon::Error);
}

}  // namespace marvek::ui
