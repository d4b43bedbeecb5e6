#include "core/report/report_sections.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <limits>
#include <map>

#include "core/io/number_format.h"
#include "core/phases/map_data.h"
#include "core/series/curve_overlay.h"

namespace marvek::report {

std::string ReportNumber(double value) {
    if (!std::isfinite(value)) return "\xE2\x80\x93";  // en dash
    return FormatSignificant(value, 6);
}

std::string ReportDateNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &utc);
    return text;
}

namespace {

// SettingsReport with each area function's nine coefficients, mostly 0, on one line: the terms up
// to the last that is not 0.
std::vector<std::pair<std::string, std::string>> CondensedSettings(const Settings& s) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& [name, value] : SettingsReport(s)) {
        if (name == "program") continue;  // the title says it
        out.emplace_back(name, value);
    }
    for (const char* function : {"projected area", "surface area"}) {
        const std::string prefix = std::string(function) + " coefficient ";
        auto named = [&](const auto& line) { return line.first.rfind(prefix, 0) == 0; };
        const auto first = std::find_if(out.begin(), out.end(), named);
        const auto last = std::find_if_not(first, out.end(), named);
        if (first == last) continue;
        const std::size_t count = static_cast<std::size_t>(last - first);
        std::size_t terms = 1;
        for (std::size_t k = 0; k < count; ++k)
            if (first[static_cast<std::ptrdiff_t>(k)].second != "0") terms = k + 1;
        std::string value;
        for (std::size_t k = 0; k < terms; ++k)
            value += (k ? ", C" : "C") + std::to_string(k) + " = " +
                     first[static_cast<std::ptrdiff_t>(k)].second;
        if (terms < count) value += "; C" + std::to_string(terms) + " and up = 0";
        const std::string name =
            std::string(function) + " function: C0 ... C" + std::to_string(count - 1);
        const auto at = out.erase(first, last);
        out.insert(at, {name, value});
    }
    return out;
}

}  // namespace

std::vector<SettingLine> DescribeSettingSources(const Settings& used, const Settings& fromFile,
                                                const std::string& parameterFile,
                                                const std::string& changedBy) {
    const auto now = CondensedSettings(used);
    const auto file = CondensedSettings(fromFile);
    const auto defaults = CondensedSettings(Settings{});
    std::vector<SettingLine> lines;
    for (std::size_t k = 0; k < now.size(); ++k) {
        const auto& [name, value] = now[k];
        std::string source;
        if (k < file.size() && file[k].second != value)
            source = changedBy;
        else if (parameterFile.empty())
            source = "default";
        else if (k < defaults.size() && defaults[k].second == value)
            source = "parameter file (the default)";
        else
            source = "parameter file";
        lines.push_back({name, value, source});
    }
    return lines;
}

namespace {

constexpr double kAbsentValue = std::numeric_limits<double>::quiet_NaN();

// The folder every curve file lies in ("" when they lie in different ones or none is named):
// the report names it once and the curves by what follows it.
std::string CommonFolder(const Input& in) {
    std::string common;
    bool first = true;
    for (const SeriesCurve& c : in.series.curves) {
        const std::string folder = std::filesystem::path(c.input.file).parent_path().string();
        if (first) {
            common = folder;
            first = false;
        } else if (folder != common) {
            return "";
        }
    }
    return common;
}

std::string WithoutFolder(const std::string& text, const std::string& folder) {
    if (folder.empty()) return text;
    const std::string prefix = folder + "/";
    const std::size_t at = text.find(prefix);
    return at == std::string::npos ? text : text.substr(0, at) + text.substr(at + prefix.size());
}

// True when every curve is a test of one file (a workbook): the tests then name the curves.
bool OneFile(const Input& in) {
    const auto& curves = in.series.curves;
    return !curves.empty() && std::all_of(curves.begin(), curves.end(), [&](const SeriesCurve& c) {
        return !c.input.test.empty() && c.input.file == curves.front().input.file;
    });
}

std::string CurveName(const SeriesCurve& c, const std::string& folder, bool oneFile) {
    if (oneFile) return c.input.test;
    const std::string file = WithoutFolder(c.input.file, folder);
    return c.input.test.empty() ? file : file + " # " + c.input.test;
}

std::string FlagCodes(const SeriesCurve& c) {
    std::string text;
    for (const QualityFlag& f : c.flags) text += (text.empty() ? "" : ", ") + f.code;
    if (!c.userFlag.empty()) text += (text.empty() ? "" : ", ") + c.userFlag;
    return text;
}

// Which settings a curve's own file replaced, counted over the series: "sample Poisson ratio:
// the file's own value for 3 of 5 curves".
std::map<std::string, std::size_t> FileSettingCounts(const Input& in) {
    std::map<std::string, std::size_t> counts;
    for (const auto& taken : in.fromFile)
        for (const std::string& t : taken) ++counts[t];
    return counts;
}

bool SettingTakenFromFile(const std::string& setting, const std::string& taken) {
    if (taken == "poisson") return setting == "sample Poisson ratio";
    if (taken == "compliance") return setting.rfind("frame compliance", 0) == 0;
    if (taken == "area function") return setting.rfind("projected area", 0) == 0;
    return false;
}

}  // namespace

void TitleSection(const Input& in, Document& doc) {
    doc.title = in.title;
    doc.subtitle.push_back("Made " + in.date + " with " + in.program);
    const SeriesSummary& s = in.series.summary;
    doc.subtitle.push_back(FormatInt(static_cast<long long>(s.curves)) + " curves, " +
                           FormatInt(static_cast<long long>(s.included)) +
                           " included in the "
                           "statistics, " +
                           FormatInt(static_cast<long long>(s.failed)) + " without results");
    const char* method = in.series.settings.strategy.method() == AnalysisMethod::DoernerNix
                             ? "Doerner-Nix"
                             : "Oliver-Pharr";
    doc.subtitle.push_back(std::string("Unloading analysed by the ") + method + " method");
    const std::string folder = CommonFolder(in);
    if (!folder.empty()) doc.subtitle.push_back("Folder: " + folder);
    if (!in.sources.empty()) {
        constexpr std::size_t kNamed = 6;
        std::string files = in.sources.size() == 1 ? "File: " : "Files: ";
        for (std::size_t k = 0; k < in.sources.size() && k < kNamed; ++k)
            files += (k ? ", " : "") + WithoutFolder(in.sources[k], folder);
        if (in.sources.size() > kNamed)
            files +=
                " and " + FormatInt(static_cast<long long>(in.sources.size() - kNamed)) + " more";
        doc.subtitle.push_back(files);
    }
}

void SettingsSection(const Input& in, Document& doc) {
    doc.Heading("Settings and calibration");
    if (!in.settingsNote.empty()) doc.Paragraph(in.settingsNote);
    Table t;
    t.header = {"Setting", "Value", "Source"};
    t.numericFrom = 3;  // values are text here ("20 - 82", "on")
    t.widths = {36, 34, 30};
    const auto counts = FileSettingCounts(in);
    const std::size_t curves = in.series.curves.size();
    for (const SettingLine& line : in.settings) {
        std::string source = line.source;
        for (const auto& [taken, n] : counts)
            if (SettingTakenFromFile(line.name, taken))
                source += "; the curve file's own value for " +
                          FormatInt(static_cast<long long>(n)) + " of " +
                          FormatInt(static_cast<long long>(curves)) + " curves";
        t.rows.push_back({line.name, line.value, source});
    }
    doc.AddTable(std::move(t));
}

void SeriesTableSection(const Input& in, Document& doc) {
    const std::string folder = CommonFolder(in);
    const bool oneFile = OneFile(in);
    doc.Heading("Results per curve");
    std::vector<int> columns;
    for (const std::string& key : in.tableColumns)
        if (const int k = FindSeriesQuantity(key); k >= 0) columns.push_back(k);
    Table t;
    t.header = {"#", "Curve"};
    for (int k : columns) t.header.push_back(SeriesQuantities()[static_cast<std::size_t>(k)].title);
    t.header.push_back("Flags");
    t.numericFrom = 2;
    t.widths = {3, 19};
    for (std::size_t k = 0; k < columns.size(); ++k)
        t.widths.push_back(static_cast<int>(66 / std::max<std::size_t>(1, columns.size())));
    t.widths.push_back(12);
    t.numericTo = t.header.size() - 1;
    std::size_t number = 0;
    bool anyNote = false;
    for (const SeriesCurve& c : in.series.curves) {
        std::vector<std::string> row = {FormatInt(static_cast<long long>(++number)),
                                        CurveName(c, folder, oneFile)};
        std::vector<std::string> exact(2);
        for (int k : columns) {
            const double v = c.ok ? c.values[static_cast<std::size_t>(k)] : kAbsentValue;
            row.push_back(c.ok ? ReportNumber(v) : "");
            exact.push_back(std::isfinite(v) ? FormatShortest(v) : "");
        }
        t.exact.push_back(std::move(exact));
        std::string flags = FlagCodes(c);
        if (!c.ok)
            flags = "no results: " + c.error;
        else if (!c.included)
            flags += (flags.empty() ? "" : "; ") + ("excluded: " + c.exclusionReason);
        row.push_back(flags);
        t.rows.push_back(std::move(row));
        t.dimmed.push_back(!c.included);
        anyNote = anyNote || !c.note.empty();
    }
    doc.AddTable(std::move(t));
    doc.Note(
        "Greyed rows are not counted in the statistics. Values carry six significant digits; "
        "the machine-readable values are those of marvek-cli analyze.");
    if (anyNote) {
        Table notes;
        notes.header = {"#", "Curve", "Note"};
        notes.numericFrom = 3;
        notes.widths = {4, 30, 66};
        number = 0;
        for (const SeriesCurve& c : in.series.curves) {
            ++number;
            if (!c.note.empty())
                notes.rows.push_back({FormatInt(static_cast<long long>(number)),
                                      CurveName(c, folder, oneFile), c.note});
        }
        doc.Heading("Notes");
        doc.AddTable(std::move(notes));
    }
}

void StatisticsSection(const Input& in, Document& doc) {
    doc.Heading("Statistics over the included curves");
    const SeriesSummary& s = in.series.summary;
    if (s.included == 0) {
        doc.Paragraph("No curve is included, so there are no statistics.");
        return;
    }
    Table t;
    // The interval last, as text that may wrap at its dots: nine columns of six digits do not
    // fit a portrait page otherwise.
    t.header = {"Quantity",           "n", "Mean", "SD", "CoV [%]", "Median", "Min", "Max",
                "95 % CI of the mean"};
    t.widths = {18, 4, 10, 10, 7, 10, 10, 10, 21};
    t.numericTo = 8;
    for (std::size_t k = 0; k < SeriesQuantities().size() && k < s.quantities.size(); ++k) {
        const QuantityStatistics& q = s.quantities[k];
        if (q.n == 0) continue;  // a quantity no curve has (pop-ins where none were found)
        t.rows.push_back({SeriesQuantities()[k].title, FormatInt(static_cast<long long>(q.n)),
                          ReportNumber(q.mean), ReportNumber(q.sd),
                          std::isfinite(q.cov) ? FormatSignificant(q.cov, 4) : ReportNumber(q.cov),
                          ReportNumber(q.median), ReportNumber(q.min), ReportNumber(q.max),
                          q.n > 1
                              ? ReportNumber(q.ciLow) + " \xE2\x80\xA6 " + ReportNumber(q.ciHigh)
                              : ReportNumber(q.ciLow)});
    }
    doc.AddTable(std::move(t));
    doc.Note(
        "SD: sample standard deviation; 95 % CI: the mean's confidence interval from "
        "Student's t.");
}

void FlagsSection(const Input& in, Document& doc) {
    const std::string folder = CommonFolder(in);
    const bool oneFile = OneFile(in);
    Table t;
    t.header = {"#", "Curve", "Flag", "What it means"};
    t.numericFrom = 4;
    t.widths = {4, 26, 14, 56};
    std::size_t number = 0;
    for (const SeriesCurve& c : in.series.curves) {
        ++number;
        for (const QualityFlag& f : c.flags)
            t.rows.push_back({FormatInt(static_cast<long long>(number)),
                              CurveName(c, folder, oneFile), f.code, f.sentence});
    }
    doc.Heading("Quality flags");
    if (t.rows.empty()) {
        doc.Paragraph("No curve earned a quality flag.");
        return;
    }
    doc.AddTable(std::move(t));
    if (!in.series.excludeCodes.empty()) {
        std::string codes;
        for (const std::string& c : in.series.excludeCodes)
            codes += (codes.empty() ? "" : ", ") + c;
        doc.Note("Curves with these flags are left out of the statistics: " + codes + ".");
    }
}

void MapSection(const Input& in, Document& doc) {
    const int hit = FindSeriesQuantity("HIT");
    std::vector<phases::MapPoint> points;
    for (std::size_t k = 0; k < in.series.curves.size() && k < in.xUm.size() && k < in.yUm.size();
         ++k) {
        const SeriesCurve& c = in.series.curves[k];
        if (!c.ok || !c.included || hit < 0) continue;
        const double v = c.values[static_cast<std::size_t>(hit)];
        if (std::isfinite(in.xUm[k]) && std::isfinite(in.yUm[k]) && std::isfinite(v))
            points.push_back({in.xUm[k], in.yUm[k], v});
    }
    if (points.size() < 3) return;  // a map needs a surface
    phases::MapPicture map;
    map.points = points;
    map.grid = phases::InterpolateMap(points);
    map.valueLabel = "HIT [MPa]";
    map.title = "HIT over " + FormatInt(static_cast<long long>(points.size())) + " indents";
    map.width = 900;
    map.height = 720;
    doc.Heading("Map of the indentation hardness", true);
    doc.AddMap(std::move(map));
    doc.Note(
        "Positions as the instrument recorded them; the surface is interpolated between "
        "the included indents.");
}

void OverlaySection(const Input& in, Document& doc) {
    std::vector<OverlayCurve> curves;
    for (const CurvePlot& p : in.curvePlots) {
        if (p.curve >= in.series.curves.size() || !in.series.curves[p.curve].included) continue;
        curves.push_back({p.caption, p.display.m_pCurveDepth, p.display.m_pCurveLoad});
    }
    if (curves.size() < 2) return;
    const OverlayResult overlay = ComputeOverlay(curves, OverlaySettings{});
    if (!overlay.reason.empty()) return;
    Plot plot;
    plot.caption = "The curves overlaid with their mean and \u00b1 SD";
    plot.xTitle = "Depth [nm]";
    plot.yTitle = "Load [mN]";
    for (const OverlayCurve& c : overlay.curves) {
        PlotSeries s{c.label, c.depth, c.load, {}, 190, 190, 190, PlotSeries::Style::Line};
        plot.series.push_back(std::move(s));
    }
    // Each branch's band and mean where at least half the curves, and two, reach the depth (as
    // the overlay window draws them); a stretch with fewer ends a line rather than bridging it.
    const int least = std::max<int>(2, static_cast<int>((overlay.curves.size() + 1) / 2));
    for (const OverlayBranch* branch : {&overlay.loading, &overlay.unloading}) {
        PlotSeries band{"\u00b1 SD", {}, {}, {}, 120, 150, 200, PlotSeries::Style::Band};
        PlotSeries mean{"mean", {}, {}, {}, 0, 0, 0, PlotSeries::Style::Line};
        auto finish = [&] {
            if (mean.x.size() > 1) {
                plot.series.push_back(band);
                plot.series.push_back(mean);
            }
            band.x.clear(), band.y.clear(), band.yUpper.clear();
            mean.x.clear(), mean.y.clear();
        };
        for (std::size_t g = 0; g < overlay.grid.size() && g < branch->mean.size(); ++g) {
            if (branch->n[g] < least || !std::isfinite(branch->mean[g]) ||
                !std::isfinite(branch->sd[g])) {
                finish();
                continue;
            }
            mean.x.push_back(overlay.grid[g]);
            mean.y.push_back(branch->mean[g]);
            band.x.push_back(overlay.grid[g]);
            band.y.push_back(branch->mean[g] - branch->sd[g]);
            band.yUpper.push_back(branch->mean[g] + branch->sd[g]);
        }
        finish();
    }
    plot.note = FormatInt(static_cast<long long>(overlay.curves.size())) +
                " included curves of those drawn below; the mean and SD of loading and unloading "
                "at each depth over the curves that reach it.";
    doc.Heading("Overlay", true);
    doc.AddPlot(std::move(plot));
}

profiles::DepthProfile ReportProfile(profiles::DepthProfile p) {
    const std::size_t n = p.loadingSamples;
    for (std::vector<double>* v : {&p.depth, &p.hardness, &p.modulus}) {
        v->resize(std::min(n, v->size()));
        v->shrink_to_fit();
    }
    for (std::vector<double>* v :
         {&p.load, &p.stiffness, &p.contactDepth, &p.area, &p.reducedModulus})
        std::vector<double>().swap(*v);
    std::vector<std::size_t>().swap(p.index);
    return p;
}

void DepthProfilesSection(const Input& in, Document& doc) {
    std::vector<profiles::DepthProfile> shown;
    std::vector<std::size_t> curve;
    for (std::size_t k = 0; k < in.depthProfiles.size() && k < in.series.curves.size(); ++k)
        if (in.depthProfiles[k].ok() && in.series.curves[k].included) {
            shown.push_back(in.depthProfiles[k]);
            curve.push_back(k);
        }
    if (shown.empty()) return;
    doc.Heading("Depth profiles", true);
    const profiles::MeanProfile mean = profiles::ComputeMeanProfile(shown, {}, 300);
    const auto plotOf = [&](bool hardness) {
        Plot plot;
        plot.caption = hardness ? "Hardness over depth" : "Modulus over depth";
        plot.xTitle = "Depth [nm]";
        plot.yTitle = hardness ? "H [GPa]" : "E [GPa]";
        // The first samples, before the contact is established, spike far above the rest: the
        // picture leaves out what lies a quarter above the 95th percentile.
        std::vector<double> all;
        for (const profiles::DepthProfile& p : shown) {
            const auto& v = hardness ? p.hardness : p.modulus;
            all.insert(
                all.end(), v.begin(),
                v.begin() + static_cast<std::ptrdiff_t>(std::min(p.loadingSamples, v.size())));
        }
        const double top = profiles::ProfileViewTop(std::move(all));
        for (const profiles::DepthProfile& p : shown) {
            PlotSeries line{p.test, {}, {}, {}, 190, 190, 190, PlotSeries::Style::Line};
            const auto& v = hardness ? p.hardness : p.modulus;
            for (std::size_t j = 0; j < p.loadingSamples && j < v.size(); ++j)
                if (!(v[j] > top)) line.x.push_back(p.depth[j]), line.y.push_back(v[j]);
            plot.series.push_back(std::move(line));
        }
        const auto& m = hardness ? mean.hardness : mean.modulus;
        const auto& sd = hardness ? mean.hardnessSd : mean.modulusSd;
        PlotSeries band{"\u00b1 SD", {}, {}, {}, 120, 150, 200, PlotSeries::Style::Band};
        PlotSeries line{"mean", {}, {}, {}, 0, 0, 0, PlotSeries::Style::Line};
        for (std::size_t g = 0; g < mean.depth.size(); ++g) {
            if (!std::isfinite(m[g]) || m[g] > top) continue;
            line.x.push_back(mean.depth[g]), line.y.push_back(m[g]);
            if (std::isfinite(sd[g]) && mean.n[g] >= 2) {
                band.x.push_back(mean.depth[g]);
                band.y.push_back(m[g] - sd[g]);
                band.yUpper.push_back(m[g] + sd[g]);
            }
        }
        if (band.x.size() > 1) plot.series.push_back(std::move(band));
        if (line.x.size() > 1) plot.series.push_back(std::move(line));
        if (std::isfinite(top))
            plot.note = "Values above " + ReportNumber(top) +
                        " GPa (the first samples, before the contact is established) are not "
                        "drawn.";
        return plot;
    };
    doc.Paragraph(FormatInt(static_cast<long long>(shown.size())) +
                  " included continuous-stiffness tests, each over its loading, with the mean "
                  "and \u00b1 SD at each depth over the tests that reach it.");
    doc.AddPlot(plotOf(true));
    doc.AddPlot(plotOf(false));
    const std::string folder = CommonFolder(in);
    Table t;
    t.header = {"Test", "Window [nm]", "n", "H [GPa]", "E [GPa]", "Poisson ratio", "Stiffness"};
    t.numericFrom = 2, t.numericTo = 6;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const SeriesCurve& c = in.series.curves[curve[i]];
        const profiles::ProfileAverage& a = c.profileAverage;
        t.rows.push_back({WithoutFolder(c.input.address, folder),
                          ReportNumber(a.from) + "\u2013" + ReportNumber(a.to),
                          a.n > 0 ? FormatInt(static_cast<long long>(a.n)) : a.reason,
                          ReportNumber(a.hardness), ReportNumber(a.modulus),
                          ReportNumber(shown[i].samplePoisson),
                          profiles::StiffnessSourceName(shown[i].stiffnessSource)});
    }
    doc.AddTable(std::move(t));
    // Each warning once (an incomplete area function is the workbook's, not the test's).
    std::vector<std::string> warnings;
    for (const profiles::DepthProfile& p : shown)
        for (const std::string& w : p.warnings)
            if (std::find(warnings.begin(), warnings.end(), w) == warnings.end())
                warnings.push_back(w);
    for (const std::string& w : warnings) doc.Note(w);
}

void CurvePlotsSection(const Input& in, Document& doc) {
    if (in.curvePlots.empty() && in.curvePlotsLeftOut == 0) return;
    doc.Heading("Curves with their fits", true);
    doc.Note(
        "Measured points in black, the unloading fit in red, its extrapolation in green; "
        "pop-ins, where found, as orange circles with the Hertz fit in blue.");
    const std::string folder = CommonFolder(in);
    for (CurvePlot plot : in.curvePlots) {
        plot.caption = WithoutFolder(plot.caption, folder);
        doc.AddCurvePlot(std::move(plot));
    }
    if (in.curvePlotsLeftOut > 0)
        doc.Note(FormatInt(static_cast<long long>(in.curvePlotsLeftOut)) +
                 " further curves are not drawn (the report draws the first " +
                 FormatInt(static_cast<long long>(in.curvePlots.size())) +
                 "; marvek-cli report --max-curve-plots N draws more).");
}

std::vector<Section> StandardSections() {
    return {TitleSection, SettingsSection, SeriesTableSection,   StatisticsSection, FlagsSection,
            MapSection,   OverlaySection,  DepthProfilesSection, CurvePlotsSection};
}

Document BuildReport(const Input& input, const std::vector<Section>& sections) {
    Document doc;
    for (const Section& section : sections) section(input, doc);
    return doc;
}

}  // namespace marvek::report
