#pragma once
// The report as a list of sections, each a small function that appends its headings, tables and
// pictures to the document. A view that has something to show for a run (an overlay of curves,
// depth profiles, pop-ins) adds its section to the list; one that has nothing for the run's data
// appends nothing.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "core/profiles/depth_profile.h"
#include "core/report/report.h"
#include "core/series/series.h"

namespace marvek::report {

// One setting as shown: its name and value (from SettingsReport) and where it came from.
struct SettingLine {
    std::string name, value, source;
};

// Where the values of `used` came from: `fromFile` holds the values of the parameter file read
// (equal to `defaults` when none was read), `parameterFile` its path ("" when none was read).
// A value that differs from the parameter file's came from the command line (or the window's
// dialogs: `changedBy` names which).
std::vector<SettingLine> DescribeSettingSources(const Settings& used, const Settings& fromFile,
                                                const std::string& parameterFile,
                                                const std::string& changedBy);

// What the sections draw from. The series rows are the ones `marvek-cli analyze` prints (the
// same analysis and the same flags); `RefreshSeries` has judged them.
struct Input {
    std::string title = "Nanoindentation report";
    std::string program;               // name and version
    std::string date;                  // when the report was made, UTC
    std::vector<std::string> sources;  // the files or project as given
    std::vector<SettingLine> settings;
    std::string settingsNote;  // a sentence under the settings (where the parameter file is)
    // Per curve: the settings its own file supplied (Poisson's ratio, compliance, area function),
    // parallel to series.curves; empty where none.
    std::vector<std::vector<std::string>> fromFile;
    Series series;
    // Per series curve: its position in µm where the file records it (NaN otherwise).
    std::vector<double> xUm, yUm;
    // The per-curve plots (in series order, up to the cap) and how many were left out.
    std::vector<CurvePlot> curvePlots;
    std::size_t curvePlotsLeftOut = 0;
    // Per series curve (or empty): the depth profile of a continuous-stiffness test, as the
    // series computed its average (ProfileSettingsFor); not ok for other curves. Only the
    // loading's depth, hardness and modulus are drawn (see ReportProfile).
    std::vector<profiles::DepthProfile> depthProfiles;
    // Keys of SeriesQuantities() shown in the series table.
    std::vector<std::string> tableColumns = {"Fmax", "hmax", "S", "r2", "EIT", "HIT"};
};

using Section = std::function<void(const Input&, Document&)>;

void TitleSection(const Input& input, Document& document);
void SettingsSection(const Input& input, Document& document);
void SeriesTableSection(const Input& input, Document& document);
void StatisticsSection(const Input& input, Document& document);
void FlagsSection(const Input& input, Document& document);
void MapSection(const Input& input, Document& document);  // only when positions exist
// The drawn curves that are included, overlaid with their mean and ± SD (two or more).
void OverlaySection(const Input& input, Document& document);
// Hardness and modulus over depth of the included continuous-stiffness tests with their mean and
// ± SD, and each test's average over its window.
void DepthProfilesSection(const Input& input, Document& document);
// What the report keeps of a profile: the loading's depth, hardness and modulus (a thousand
// tests of a grid would otherwise hold every channel until the report is written).
profiles::DepthProfile ReportProfile(profiles::DepthProfile profile);
void CurvePlotsSection(const Input& input, Document& document);

// The sections in the order a reader expects them.
std::vector<Section> StandardSections();

Document BuildReport(const Input& input, const std::vector<Section>& sections = StandardSections());

// A value as the report's tables show it: six significant digits, "–" for a missing one.
std::string ReportNumber(double value);

// The date and time now, UTC, as "2026-12-10 11:02 UTC".
std::string ReportDateNow();

}  // namespace marvek::report
