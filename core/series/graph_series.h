#pragma once
// The series behind every graph command: curve-list graphs (one point per selected curve),
// force-range sweeps of the current curve and the graininess analyses of one branch. The
// functions take the main window's analysis state and the settings and return two axis titles
// and the points; the windows only show them.

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "core/analysis/curve_analysis.h"
#include "core/analysis/curve_analyzer.h"
#include "core/base/status.h"
#include "core/config/settings.h"
#include "core/profiles/depth_profile.h"

namespace marvek {

enum class GraphCommand {
    ModulusDepth,
    ModulusLoad,
    ModulusCurve,
    HMDepth,
    HMLoad,
    HMCurve,
    HITDepth,
    HITLoad,
    HOPDepth,
    HOPLoad,
    HVDepth,
    HVLoad,
    PercentSeries,
    UnloadSections,
    PercentM,
    SectionM,
    PercentR,
    SectionR,
    LoadR,
    LoadAlpha,
    LoadM,
    GraininessLoad,
    GraininessUnload,
    Graininess2Load,
    Graininess2Unload,
    HardnessProfile,
    ModulusProfile,
    FirstPopinLoads,
    FirstPopinHistogram,
};

enum class GraphKind {
    CurveList,     // one analysis per selected curve, in list order
    PercentSweep,  // the current curve, raising the lower bound of the force range
    SectionSweep,  // the current curve, a window of fixed width sliding along the unloading
    Graininess,    // sliding line fits along one branch of the current curve
    Profile,       // the current curve's continuous-stiffness depth profile
    Distribution,  // one value per selected curve, sorted into a cumulative distribution
};

struct GraphCommandInfo {
    GraphCommand command;
    GraphKind kind;
    const char* name;      // marvek-cli graph NAME
    const char* menuText;  // main-window menu item
    int commandId;         // menu command id
    const char* xTitle;
    const char* yTitle;
};

// All graph commands in menu order.
const std::vector<GraphCommandInfo>& GraphCommands();
const GraphCommandInfo& GetGraphCommandInfo(GraphCommand command);
// nullptr when no command has that cli name.
const GraphCommandInfo* FindGraphCommand(std::string_view name);

// Sweeps stop here (each point costs a full analysis; only a negative section size gets near).
inline constexpr std::size_t kMaxSweepPoints = 8000;
// Graininess series are sized to their branch, which the curve store limits to this many
// points; only a negative section size asks for more windows than that.
inline constexpr std::size_t kMaxGraininessPoints = CCurveAnalyzer::kMaxPoints;

struct GraphSeries {
    std::string xTitle;
    std::string yTitle;
    std::vector<double> x;
    std::vector<double> y;
    // Index in the file list of the curve each point came from (commands over the curve list
    // and sweeps); empty for graininess series.
    std::vector<int> curves;
    // Per point, the curve's file and test, written to the CSV when given (one per point).
    std::vector<std::pair<std::string, std::string>> labels;
    // A model drawn as a line over the points (the Weibull fit of a distribution); not part of
    // the CSV.
    std::vector<double> lineX, lineY;
    // What the graph's frame says besides its points (a fit's parameters, a window's mean);
    // empty for most graphs.
    std::string text;
    // The window marks the mean of the y values (not for profiles and distributions).
    bool meanMark = true;
    // The y range the graph opens at, when the points' own would hide the graph behind a few
    // spikes (a profile's first samples, before the contact is established); NaN: the points'.
    double yViewLower = std::numeric_limits<double>::quiet_NaN();
    double yViewUpper = std::numeric_limits<double>::quiet_NaN();
};

struct CurveFailure {
    int curve = 0;
    std::string message;  // names the file and the reason
};

struct GraphOptions {
    // 1 runs everything on the calling thread; 0 uses every core the process may run on.
    int threads = 0;
    // Called after each analysis with (done, total); may be called from worker threads, never
    // from two at once.
    std::function<void(std::size_t done, std::size_t total)> progress;
    // Checked before each analysis; when it reads true the command ends without a graph.
    const std::atomic<bool>* cancel = nullptr;
    // Curves the user excluded, by index (missing entries are included). Commands that combine
    // the curves into one statistic (First Pop-in Loads) leave them out before combining; the
    // others give every curve's point and the window drops the excluded ones.
    std::vector<bool> excluded;
};

struct GraphResult {
    bool ran = false;        // false: no curves selected, nothing happened
    bool cancelled = false;  // the state passed in was left untouched
    GraphSeries series;
    std::vector<CurveFailure> failures;  // analyses that could not read their curve (no point)
    std::string note;                    // said once after the command (a capped series)
    std::string resultMessage;           // "Graininess Load": shown in a box captioned "Result"
    // Why the command has no graph at all (a profile of a curve without continuous-stiffness
    // channels): said instead of showing an empty graph. Names the curve.
    std::string error;
};

inline constexpr const char* kGraininessResultCaption = "Result";

// Runs one graph command on the main window's analysis state. `analyzer` and `display` end as
// the one-thread run leaves them (results of the command's last analysis); on cancel, or when
// no curve is selected, they are untouched. The settings are never changed: sweeps vary copies.
GraphResult RunGraphCommand(GraphCommand command, CCurveAnalyzer& analyzer, CurveDisplay& display,
                            const Settings& settings, int currentCurve,
                            const GraphOptions& options = {});

// The depth profiles' settings from the analysis settings: the indenter, and the area function
// where the user calibrated one; the rest (Poisson's ratio, window) the workbook's. The profile
// graphs and the window of a workbook's profiles both use it.
profiles::ProfileSettings ProfileSettingsFor(const Settings& settings);

// One message for the curves that gave no point; empty when none failed.
std::string DescribeGraphFailures(const std::vector<CurveFailure>& failures);

// The CSV text of a graph: "xTitle, yTitle" then one "x,y" row per point, 7 significant digits;
// with labels, "xTitle, yTitle, file, test" and the point's file and test after its values.
std::string FormatGraphCsv(const GraphSeries& series);
// Writes FormatGraphCsv to `file` (replacing it whole). A failure's message is a sentence
// naming the file and the reason.
Status WriteGraphCsv(const GraphSeries& series, const std::filesystem::path& file);

}  // namespace marvek
