// The report's writer: one HTML text for both outputs. HTML gets its pictures as PNG data: URIs
// so that the file stands alone; PDF lays the same text out with Qt's text document on A4 pages
// (with page numbers), the pictures given to the document as resources.

#include <sys/stat.h>
#include <unistd.h>
#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QPageSize>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QUrl>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/curve_plot.h"
#include "core/report/report.h"
#include "ui/plot_export.h"
#include "ui/plot_view.h"

namespace marvek::report {
namespace {

using marvek::ui::PlotView;

// Drawing a plot needs a widget application; marvek-cli has none, and no display either.
bool EnsureApplication(std::string& error) {
    if (QCoreApplication::instance()) {
        if (qobject_cast<QApplication*>(QCoreApplication::instance())) return true;
        error = "drawing plots needs a widget application";
        return false;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt would pick the same folder with a warning on stderr that says nothing to the user.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const std::string dir = "/tmp/runtime-" + std::to_string(::getuid());
        if (::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST)
            qputenv("XDG_RUNTIME_DIR", dir.c_str());
    }
    static int argc = 1;
    static char name[] = "marvek-cli";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
    return true;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

QByteArray ReadAll(const std::filesystem::path& file) {
    QFile f(QString::fromStdString(file.string()));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

ui::PlotData ToPlotData(const Plot& plot) {
    ui::PlotData data;
    data.caption = plot.caption;
    data.xTitle = plot.xTitle;
    data.yTitle = plot.yTitle;
    data.note = plot.note;
    using S = ui::PlotSeries::Style;
    for (const PlotSeries& s : plot.series) {
        const ui::Rgb colour{s.r, s.g, s.b};
        switch (s.style) {
            case PlotSeries::Style::Line:
                data.series.push_back({s.name, s.x, s.y, colour, S::Line});
                break;
            case PlotSeries::Style::Dots:
                data.series.push_back({s.name, s.x, s.y, colour, S::Dots});
                break;
            case PlotSeries::Style::Markers:
                data.series.push_back({s.name, s.x, s.y, colour, S::Markers});
                break;
            case PlotSeries::Style::Band:  // its two edges
                data.series.push_back({s.name, s.x, s.y, colour, S::Line});
                data.series.push_back({s.name + " (upper)", s.x, s.yUpper, colour, S::Line});
                break;
        }
    }
    return data;
}

// Draws every picture of the document as PNG bytes, in block order.
class Pictures {
public:
    Pictures(const Document& doc, const WriteOptions& options) : doc_(doc), options_(options) {}

    bool Draw(std::vector<QByteArray>& out, std::string& error) {
        if (!dir_.isValid()) return error = "no temporary folder for the pictures", false;
        std::size_t total = 0;
        for (const Block& b : doc_.blocks)
            total += b.kind == Block::Kind::CurvePlot || b.kind == Block::Kind::Plot ||
                     b.kind == Block::Kind::Map;
        ui::PlotStyle style;
        style.widthMm = options_.plotWidthPx * 25.4 / 150;
        style.heightMm = options_.plotHeightPx * 25.4 / 150;
        style.dpi = 150;
        style.fontPoints = 9;
        style.lineWidth = 1.5;
        PlotView view;
        view.SetGrid(true);
        view.setBackground(QBrush(Qt::white));  // paper, not the window's grey
        const std::filesystem::path file = dir_.filePath("picture.png").toStdString();
        for (const Block& b : doc_.blocks) {
            bool ok = true;
            if (b.kind == Block::Kind::CurvePlot) {
                const CurvePlot& p = doc_.curvePlots[b.index];
                view.SetData(CurvePlotData(p.display, 1, p.segments, p.caption,
                                           p.hasPopins ? &p.popins : nullptr));
                ok = ui::ExportStyledPlot(view, style, file, error);
            } else if (b.kind == Block::Kind::Plot) {
                view.SetData(ToPlotData(doc_.plots[b.index]));
                ok = ui::ExportStyledPlot(view, style, file, error);
            } else if (b.kind == Block::Kind::Map) {
                const Status s = phases::WriteMapPicture(doc_.maps[b.index], file.string(), "");
                if (!s.ok()) error = s.message();
                ok = s.ok();
            } else {
                continue;
            }
            if (!ok) return false;
            out.push_back(ReadAll(file));
            if (out.back().isEmpty()) return error = "a picture could not be read back", false;
            if (options_.progress) options_.progress(out.size(), total, options_.progressContext);
        }
        return true;
    }

private:
    const Document& doc_;
    const WriteOptions& options_;
    QTemporaryDir dir_;
};

constexpr const char* kStyle =
    "body { font-family: 'DejaVu Sans', 'Liberation Sans', Arial, sans-serif; font-size: 10pt;"
    " color: #1a1a1a; max-width: 200mm; margin: 12mm auto; }\n"
    "h1 { font-size: 18pt; margin-bottom: 2pt; }\n"
    "p.sub { color: #444; margin: 1pt 0; }\n"
    "h2 { font-size: 13pt; margin-top: 18pt; border-bottom: 1px solid #888; }\n"
    "h3 { font-size: 10.5pt; margin: 12pt 0 2pt 0; }\n"
    "table { border-collapse: collapse; margin-top: 4pt; margin-bottom: 4pt; font-size: 8pt; }\n"
    "th { background-color: #e6e9ef; text-align: left; padding-left: 4pt; padding-right: 4pt;"
    " padding-top: 2pt; padding-bottom: 2pt; border-bottom: 1px solid #555; }\n"
    "td { padding-left: 4pt; padding-right: 4pt; padding-top: 1pt; padding-bottom: 1pt;"
    " border-bottom: 1px solid #ddd; vertical-align: top; }\n"
    "p.note { color: #555; font-size: 8.5pt; }\n"
    "img { max-width: 100%; }\n";

// Qt's text document takes a subset of CSS; cell padding comes from the table's attribute.
constexpr const char* kPdfStyle =
    "body { font-family: 'DejaVu Sans', 'Liberation Sans', sans-serif; font-size: 9.5pt; }\n"
    "h1 { font-size: 18pt; }\n"
    "h2 { font-size: 13pt; margin-top: 14pt; }\n"
    "h3 { font-size: 10pt; margin-top: 10pt; }\n"
    "p.sub { color: #444444; margin-top: 0; margin-bottom: 0; }\n"
    "table { font-size: 8pt; }\n"
    "p.note { color: #555555; font-size: 8pt; }\n";

// The document as HTML; `image(k)` gives the k-th picture's source.
template <class ImageSource>
std::string Html(const Document& doc, ImageSource image, bool forPdf) {
    std::string h;
    h += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
         EscapeHtml(doc.title) + "</title>\n<style>\n" + (forPdf ? kPdfStyle : kStyle) +
         "</style>\n</head>\n<body>\n";
    h += "<h1>" + EscapeHtml(doc.title) + "</h1>\n";
    for (const std::string& line : doc.subtitle)
        h += "<p class=\"sub\">" + EscapeHtml(line) + "</p>\n";
    std::size_t picture = 0, curvePlot = 0;
    const int imageWidth = forPdf ? 520 : 760;  // printed: two curves and their captions a page
    for (const Block& b : doc.blocks) {
        switch (b.kind) {
            case Block::Kind::Heading:
                h += std::string(b.newPage ? "<h2 style=\"page-break-before: always\">" : "<h2>") +
                     EscapeHtml(b.text) + "</h2>\n";
                break;
            case Block::Kind::Paragraph: h += "<p>" + EscapeHtml(b.text) + "</p>\n"; break;
            case Block::Kind::Note:
                h += "<p class=\"note\"><font color=\"#555555\">" + EscapeHtml(b.text) +
                     "</font></p>\n";
                break;
            case Block::Kind::Table: {
                const Table& t = b.table;
                h += forPdf ? "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"3\" "
                              "border=\"0\">\n<thead><tr>"
                            : "<table>\n<thead><tr>";
                for (std::size_t c = 0; c < t.header.size(); ++c)
                    h += std::string("<th bgcolor=\"#e6e9ef\"") +
                         (c < t.widths.size() ? " width=\"" + std::to_string(t.widths[c]) + "%\""
                                              : std::string()) +
                         (c >= t.numericFrom && c < t.numericTo ? " align=\"right\""
                                                                : " align=\"left\"") +
                         ">" + EscapeHtml(t.header[c]) + "</th>";
                h += "</tr></thead>\n<tbody>\n";
                for (std::size_t r = 0; r < t.rows.size(); ++r) {
                    const bool dim = r < t.dimmed.size() && t.dimmed[r];
                    h += dim ? "<tr class=\"excluded\">" : "<tr>";
                    for (std::size_t c = 0; c < t.rows[r].size(); ++c) {
                        h += "<td";
                        if (c >= t.numericFrom && c < t.numericTo)
                            h += " align=\"right\" style=\"white-space: nowrap\"";
                        else if (c == 0)
                            h += " style=\"white-space: nowrap\"";
                        if (r < t.exact.size() && c < t.exact[r].size() && !t.exact[r][c].empty())
                            h += " title=\"" + EscapeHtml(t.exact[r][c]) + "\"";
                        h += ">";
                        h += dim ? "<font color=\"#8a8a8a\">" + EscapeHtml(t.rows[r][c]) + "</font>"
                                 : EscapeHtml(t.rows[r][c]);
                        h += "</td>";
                    }
                    h += "</tr>\n";
                }
                h += "</tbody></table>\n";
                break;
            }
            case Block::Kind::CurvePlot:
            case Block::Kind::Plot:
            case Block::Kind::Map: {
                std::string caption;
                if (b.kind == Block::Kind::CurvePlot) caption = doc.curvePlots[b.index].caption;
                if (b.kind == Block::Kind::Plot) caption = doc.plots[b.index].caption;
                if (b.kind == Block::Kind::Map) caption = doc.maps[b.index].title;
                // Printed, curves go two to a page, each caption on the page of its picture.
                const bool breakBefore =
                    b.kind == Block::Kind::CurvePlot && curvePlot > 0 && curvePlot % 2 == 0;
                if (b.kind == Block::Kind::CurvePlot) ++curvePlot;
                h += breakBefore ? "<h3 style=\"page-break-before: always\">" : "<h3>";
                h += EscapeHtml(caption) + "</h3>\n";
                h += "<p><img src=\"" + image(picture++) + "\" width=\"" +
                     std::to_string(imageWidth) + "\" alt=\"" + EscapeHtml(caption) + "\"></p>\n";
                break;
            }
        }
    }
    h += "</body>\n</html>\n";
    return h;
}

Status WriteHtml(const Document& doc, const std::vector<QByteArray>& pictures,
                 const std::string& file) {
    const std::string html = Html(
        doc,
        [&](std::size_t k) {
            return "data:image/png;base64," + pictures[k].toBase64().toStdString();
        },
        false);
    const std::filesystem::path target(file);
    const std::filesystem::path temporary = target.string() + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << html;
        out.flush();
        if (!out) {
            std::error_code ec;
            std::filesystem::remove(temporary, ec);
            return Status::FileError(file, "cannot be written");
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, target, ec);
    if (ec) return Status::FileError(file, "cannot be written: " + ec.message());
    return {};
}

Status WritePdf(const Document& doc, const std::vector<QByteArray>& pictures,
                const std::string& file) {
    QTextDocument text;
    const std::string html = Html(
        doc, [](std::size_t k) { return "report-picture:" + std::to_string(k); }, true);
    // The PNG bytes, not decoded images: a few hundred curves decoded at once would take
    // hundreds of megabytes.
    for (std::size_t k = 0; k < pictures.size(); ++k)
        text.addResource(QTextDocument::ImageResource,
                         QUrl(QString::fromStdString("report-picture:" + std::to_string(k))),
                         pictures[k]);
    text.setHtml(QString::fromStdString(html));
    const std::string temporary = file + ".part";
    {
        QPdfWriter pdf(QString::fromStdString(temporary));
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setResolution(300);
        pdf.setTitle(QString::fromStdString(doc.title));
        pdf.setCreator(QStringLiteral("Marvek"));
        text.print(&pdf);
    }
    std::error_code ec;
    if (!std::filesystem::exists(temporary, ec) || std::filesystem::file_size(temporary, ec) == 0)
        return Status::FileError(file, "cannot be written");
    std::filesystem::rename(temporary, file, ec);
    if (ec) return Status::FileError(file, "cannot be written: " + ec.message());
    return {};
}

Status Write(const Document& doc, const std::string& file, const WriteOptions& options) {
    std::string error;
    if (!EnsureApplication(error)) return Status::FileError(file, "cannot be written: " + error);
    std::vector<QByteArray> pictures;
    Pictures drawer(doc, options);
    if (!drawer.Draw(pictures, error))
        return Status::FileError(file, "cannot be written: " + error);
    const std::string ext = Lower(std::filesystem::path(file).extension().string());
    if (ext == ".pdf") return WritePdf(doc, pictures, file);
    return WriteHtml(doc, pictures, file);
}

}  // namespace
}  // namespace marvek::report

extern "C" __attribute__((visibility("default"))) const void* marvek_report_writer() {
    static const marvek::report::ReportModule module{sizeof(marvek::report::Document),
                                                     &marvek::report::Write};
    return &module;
}
