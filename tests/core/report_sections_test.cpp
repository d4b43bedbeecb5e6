// The report's sections as plain data: where each setting came from, which sections appear for
// which data (a map only with positions, the note on curves not drawn), names from files kept
// as text for the writer to escape.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "core/report/report_sections.h"

namespace marvek::report {
namespace {

const SettingLine* Find(const std::vector<SettingLine>& lines, const std::string& name) {
    for (const SettingLine& l : lines)
        if (l.name == name) return &l;
    return nullptr;
}

TEST(ReportSettings, EachValueNamesWhereItCameFrom) {
    Settings file;  // the parameter file: epsilon and the area function changed from defaults
    file.strategy.m_fEpsilon = 0.72f;
    file.areaFunction.m_dApCoef = {24.5, 410.2, 0, -3.5, 0, 0, 0, 0, 0};
    Settings used = file;  // then the command line changed the Poisson ratio
    used.m_fPoisson = 0.25f;
    struct Case {
        const char* name;
        const char* value;
        const char* withFile;
        const char* withoutFile;
    };
    const Case cases[] = {
        {"sample Poisson ratio", "0.25", "command line", "command line"},
        {"epsilon", "0.72", "parameter file", "command line"},
        {"indenter modulus [GPa]", "1141", "parameter file (the default)", "default"},
        {"projected area function: C0 ... C8",
         "C0 = 24.5, C1 = 410.2, C2 = 0, C3 = -3.5; C4 and up = 0", "parameter file",
         "command line"},
        {"surface area function: C0 ... C8", "C0 = 26.44; C1 and up = 0",
         "parameter file (the default)", "default"},
    };
    const auto withFile = DescribeSettingSources(used, file, "/p/marvek.par", "command line");
    // Without a parameter file every value not the default's came from the command line.
    const auto without = DescribeSettingSources(used, Settings{}, "", "command line");
    for (const Case& c : cases) {
        const SettingLine* a = Find(withFile, c.name);
        const SettingLine* b = Find(without, c.name);
        ASSERT_TRUE(a && b) << c.name;
        EXPECT_EQ(a->value, c.value) << c.name;
        EXPECT_EQ(a->source, c.withFile) << c.name;
        EXPECT_EQ(b->source, c.withoutFile) << c.name;
    }
    EXPECT_EQ(Find(withFile, "projected area coefficient 0"), nullptr);  // merged into one line
    EXPECT_EQ(Find(withFile, "program"), nullptr);                       // the title says it
}

SeriesCurve Curve(const std::string& file, double hit, bool ok = true) {
    SeriesCurve c;
    c.input = {file, file, ""};
    c.ok = ok;
    c.error = ok ? "" : file + ": cannot be opened";
    c.values.assign(SeriesQuantities().size(), std::nan(""));
    if (ok) {
        for (std::size_t k = 0; k < c.values.size(); ++k)
            c.values[k] = 1.0 + static_cast<double>(k);
        c.values[static_cast<std::size_t>(FindSeriesQuantity("HIT"))] = hit;
    }
    return c;
}

Input FourCurves() {
    Input in;
    in.program = "Marvek 1.1.0";
    in.date = "2026-12-10 11:00 UTC";
    for (const char* f : {"/d/a.csv", "/d/b<1>.csv", "/d/c.csv", "/d/d.csv"})
        in.series.curves.push_back(Curve(f, 5000 + static_cast<double>(in.series.curves.size())));
    in.series.curves.push_back(Curve("/d/gone.csv", 0, false));
    in.fromFile.resize(in.series.curves.size());
    RefreshSeries(in.series);
    return in;
}

std::size_t CountBlocks(const Document& d, Block::Kind kind) {
    return static_cast<std::size_t>(std::count_if(d.blocks.begin(), d.blocks.end(),
                                                  [&](const Block& b) { return b.kind == kind; }));
}

const Table* TableAfter(const Document& d, const std::string& heading) {
    for (std::size_t k = 0; k + 1 < d.blocks.size(); ++k)
        if (d.blocks[k].kind == Block::Kind::Heading && d.blocks[k].text == heading)
            for (std::size_t j = k + 1; j < d.blocks.size(); ++j)
                if (d.blocks[j].kind == Block::Kind::Table) return &d.blocks[j].table;
    return nullptr;
}

TEST(ReportSections, TheTableHasEveryCurveAndTheMapNeedsPositions) {
    Input in = FourCurves();
    Document d = BuildReport(in);
    EXPECT_EQ(d.title, "Nanoindentation report");
    EXPECT_EQ(CountBlocks(d, Block::Kind::Map), 0u);  // no positions
    const Table* table = TableAfter(d, "Results per curve");
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->rows.size(), 5u);
    EXPECT_EQ(table->rows[1][1],
              "b<1>.csv");  // the shared folder said once; escaping is the writer's
    EXPECT_NE(table->rows[4].back().find("cannot be opened"), std::string::npos);
    EXPECT_TRUE(table->dimmed[4]);
    EXPECT_NE(std::find(d.subtitle.begin(), d.subtitle.end(), "Folder: /d"), d.subtitle.end());
    const Table* stats = TableAfter(d, "Statistics over the included curves");
    ASSERT_NE(stats, nullptr);
    const auto hit = std::find_if(stats->rows.begin(), stats->rows.end(),
                                  [](const auto& r) { return r[0] == "HIT [MPa]"; });
    ASSERT_NE(hit, stats->rows.end());
    EXPECT_EQ((*hit)[1], "4");       // the failed curve is not counted
    EXPECT_EQ((*hit)[2], "5001.5");  // mean of 5000 ... 5003

    // Positions for four of the five, one of them excluded: a map of the others' hardness.
    in.series.curves[3].userExcluded = true;
    RefreshSeries(in.series);
    in.xUm = {0, 10, 0, 20, 5};
    in.yUm = {0, 0, 10, 20, std::nan("")};
    d = BuildReport(in);
    ASSERT_EQ(d.maps.size(), 1u);
    EXPECT_EQ(d.maps[0].points.size(), 3u);
    EXPECT_EQ(d.maps[0].valueLabel, "HIT [MPa]");
}

TEST(ReportSections, CurvesLeftOutOfThePlotsAreCounted) {
    Input in = FourCurves();
    in.curvePlots.resize(2);
    in.curvePlots[0].caption = "1. /d/a.csv";
    in.curvePlotsLeftOut = 2;
    const Document d = BuildReport(in);
    ASSERT_EQ(d.curvePlots.size(), 2u);
    EXPECT_EQ(d.curvePlots[0].caption, "1. a.csv");
    const auto note = std::find_if(d.blocks.begin(), d.blocks.end(), [](const Block& b) {
        return b.kind == Block::Kind::Note && b.text.find("further curves") != std::string::npos;
    });
    ASSERT_NE(note, d.blocks.end());
    EXPECT_EQ(note->text.rfind("2 further curves are not drawn (the report draws the first 2", 0),
              0u);
    // A section a later view adds runs after the standard ones.
    std::vector<Section> sections = StandardSections();
    sections.push_back([](const Input&, Document& doc) {
        Plot overlay;
        overlay.caption = "overlay";
        overlay.series.push_back({"mean", {1, 2}, {3, 4}, {}, 0, 0, 0, PlotSeries::Style::Line});
        doc.AddPlot(std::move(overlay));
    });
    const Document extended = BuildReport(in, sections);
    ASSERT_EQ(extended.plots.size(), 1u);
    EXPECT_EQ(extended.blocks.back().kind, Block::Kind::Plot);
}

TEST(ReportText, EscapesEveryCharacterHtmlGivesMeaningTo) {
    EXPECT_EQ(EscapeHtml("a<b>&\"c\"'d'"), "a&lt;b&gt;&amp;&quot;c&quot;&#39;d&#39;");
    EXPECT_EQ(EscapeHtml("µm plain"), "µm plain");
    EXPECT_TRUE(IsReportFile("r.HTML"));
    EXPECT_TRUE(IsReportFile("dir.x/r.pdf"));
    EXPECT_FALSE(IsReportFile("r.pdf.txt"));
    const Status refused = WriteReport(Document{}, "r.docx");
    EXPECT_FALSE(refused.ok());
    EXPECT_NE(refused.message().find("r.docx"), std::string::npos);
}

}  // namespace
// The overlay takes the drawn curves that are included, and needs two of them.
TEST(ReportSections, OverlayOfTheIncludedDrawnCurves) {
    Input in = FourCurves();
    for (std::size_t k = 0; k < 3; ++k) {
        CurvePlot p;
        p.caption = in.series.curves[k].input.address;
        p.curve = k;
        const double scale = 1.0 + static_cast<double>(k);
        for (int i = 0; i <= 20; ++i) {  // loading to 100 nm, unloading to 60 nm
            const double h = i <= 10 ? 10.0 * i : 100 - 4.0 * (i - 10);
            p.display.m_pCurveDepth.push_back(h);
            p.display.m_pCurveLoad.push_back(i <= 10 ? scale * h / 10 : scale * (h - 60) / 4);
        }
        in.curvePlots.push_back(std::move(p));
    }
    in.series.curves[1].userExcluded = true;
    RefreshSeries(in.series);
    Document d = BuildReport(in);
    ASSERT_EQ(d.plots.size(), 1u);
    const Plot& overlay = d.plots.front();
    const auto named = [&](const std::string& name) {
        return std::count_if(overlay.series.begin(), overlay.series.end(),
                             [&](const PlotSeries& s) { return s.name == name; });
    };
    EXPECT_EQ(named("/d/a.csv") + named("/d/c.csv"), 2);
    EXPECT_EQ(named("/d/b<1>.csv"), 0);
    EXPECT_EQ(named("mean"), 2);  // loading and unloading
    EXPECT_EQ(overlay.note.rfind("2 included curves", 0), 0u);
    in.series.curves[2].userExcluded = true;
    RefreshSeries(in.series);
    EXPECT_TRUE(BuildReport(in).plots.empty());
}

}  // namespace marvek::report
