#pragma once
// A report to hand on: the settings with where each came from, the series table with its
// statistics and flags, and each curve's plot with its fit. The document is plain data built
// by a list of sections (report_sections.h); drawing and writing it as HTML or PDF needs Qt, so
// the writer lives in a module (report/report_writer.cpp, marvek_report_writer.so) loaded only
// by the runs that write a report.

#include <cstddef>
#include <string>
#include <vector>

#include "core/analysis/curve_analysis.h"
#include "core/base/status.h"
#include "core/phases/map_picture.h"
#include "core/popins/popins.h"

namespace marvek::report {

struct Table {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
    std::vector<bool> dimmed;  // per row (may be shorter): shown greyed (excluded curves)
    // Columns [numericFrom, numericTo) are numbers, aligned right; they and the first column
    // (a number or a short name) never wrap.
    std::size_t numericFrom = 1, numericTo = static_cast<std::size_t>(-1);
    // Per row and cell (may be shorter): a cell's full value, shown on hover in HTML (the
    // table shows six digits; this is the value to the last digit).
    std::vector<std::vector<std::string>> exact;
    // Each column's share of the page width in % (may be empty: the writer decides).
    std::vector<int> widths;
};

// A curve as the main window draws it: its points, extrapolation, fit and, when found, its
// pop-ins with the Hertz fit.
struct CurvePlot {
    std::string caption;
    std::size_t curve = 0;  // index of the curve in the series
    CurveDisplay display;   // with its plot series
    std::string segments;   // segment code per point (may be empty)
    popins::PopinResult popins;
    bool hasPopins = false;
};

// A plot of plain series, for views that are not one curve (an overlay with mean ± SD, depth
// profiles): lines, dots or markers in a colour, with a band between `y` and `yUpper`.
struct PlotSeries {
    enum class Style { Line, Dots, Markers, Band };
    std::string name;
    std::vector<double> x, y, yUpper;  // yUpper: the band's upper edge (Style::Band only)
    unsigned char r = 0, g = 0, b = 0;
    Style style = Style::Line;
};
struct Plot {
    std::string caption, xTitle, yTitle, note;
    std::vector<PlotSeries> series;
};

struct Block {
    enum class Kind { Heading, Paragraph, Note, Table, CurvePlot, Plot, Map };
    Kind kind = Kind::Paragraph;
    std::string text;       // heading, paragraph or note (plain text; the writer escapes it)
    Table table;            // Kind::Table
    std::size_t index = 0;  // Kind::CurvePlot / Plot / Map: into the document's lists
    bool newPage = false;   // printed: starts a page
};

struct Document {
    std::string title;
    std::vector<std::string> subtitle;  // lines under the title: date, program, files
    std::vector<Block> blocks;
    std::vector<CurvePlot> curvePlots;
    std::vector<Plot> plots;
    std::vector<phases::MapPicture> maps;

    void Heading(std::string text, bool newPage = false) {
        blocks.push_back({Block::Kind::Heading, std::move(text), {}, 0, newPage});
    }
    void Paragraph(std::string text) {
        blocks.push_back({Block::Kind::Paragraph, std::move(text), {}, 0});
    }
    void Note(std::string text) { blocks.push_back({Block::Kind::Note, std::move(text), {}, 0}); }
    void AddTable(Table table) { blocks.push_back({Block::Kind::Table, {}, std::move(table), 0}); }
    void AddCurvePlot(CurvePlot plot);
    void AddPlot(Plot plot);
    void AddMap(phases::MapPicture map);
};

// How the writer draws: picture sizes and, for progress on long reports, a callback.
struct WriteOptions {
    int plotWidthPx = 900, plotHeightPx = 620;  // each plot's picture
    // Called as pictures are drawn (done, total); may be empty.
    void (*progress)(std::size_t done, std::size_t total, void* context) = nullptr;
    void* progressContext = nullptr;
};

// Writes `document` to `file`: HTML (one file, its pictures embedded as PNG data) for .html or
// .htm, PDF for .pdf; any other extension is refused with a message naming the file.
Status WriteReport(const Document& document, const std::string& file,
                   const WriteOptions& options = {});

// True for the extensions WriteReport takes.
bool IsReportFile(const std::string& file);

// HTML-escapes text that came from files (names, tests, notes): & < > " '.
std::string EscapeHtml(const std::string& text);

struct ReportModule {
    std::size_t documentSize;  // a module of another build is refused, not called
    Status (*write)(const Document& document, const std::string& file, const WriteOptions& options);
};
inline constexpr const char* kReportModule = "marvek_report_writer";
inline constexpr const char* kReportEntry = "marvek_report_writer";

}  // namespace marvek::report
