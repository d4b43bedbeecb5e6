#pragma once
// A series of indents: the results of many curves under one settings set, the quality flags of
// each curve, which curves are included and why not, and the statistics of the included ones.
// Flags only inform; excluding a curve is the user's choice or an explicit rule.

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/analysis/curve_analysis.h"
#include "core/analysis/curve_analyzer.h"
#include "core/base/status.h"
#include "core/config/settings.h"
#include "core/profiles/depth_profile.h"

namespace marvek {

// One column of the table and of the summary. Adding a quantity is one row in
// SeriesQuantities(); everything else (table, summary, CSV, JSON, workbook) follows it.
struct SeriesQuantity {
    const char* key;    // JSON key, same as marvek-cli analyze's column
    const char* title;  // column title with its unit
    double (*value)(const CCurveAnalyzer& analyzer, const CurveDisplay& display);
};
const std::vector<SeriesQuantity>& SeriesQuantities();
// Index of `key` in SeriesQuantities(), or -1.
int FindSeriesQuantity(const std::string& key);
// Keys of the first pop-in's load and depth (NaN for a curve without one).
inline constexpr const char* kFirstPopinLoad = "firstPopinLoad";
inline constexpr const char* kFirstPopinDepth = "firstPopinDepth";
// Keys of a continuous-stiffness test's depth-profile averages of hardness and modulus (NaN for
// other curves).
inline constexpr const char* kProfileHardness = "csmHardness";
inline constexpr const char* kProfileModulus = "csmModulus";

// Stable flag codes.
namespace flag {
inline constexpr const char* kNoUnload = "no-unload";
inline constexpr const char* kNoFit = "no-fit";
inline constexpr const char* kLowR2 = "low-r2";
inline constexpr const char* kFewFitPoints = "few-fit-points";
inline constexpr const char* kNonMonotonic = "non-monotonic";
inline constexpr const char* kOutlierHmax = "outlier-hmax";
inline constexpr const char* kOutlierEIT = "outlier-EIT";
inline constexpr const char* kOutlierHIT = "outlier-HIT";
inline constexpr const char* kOutlierProfileHardness = "outlier-csmHardness";
inline constexpr const char* kOutlierProfileModulus = "outlier-csmModulus";
inline constexpr const char* kDrift = "drift";
inline constexpr const char* kSlip = "slip";
inline constexpr const char* kZeroOffset = "zero-offset";
inline constexpr const char* kTruncated = "truncated";
inline constexpr const char* kImplausible = "implausible";       // beyond nanoindentation
inline constexpr const char* kGuessedLayout = "guessed-layout";  // columns or units guessed
inline constexpr const char* kCustomRange = "custom-range";  // the user's own unloading fit range
}  // namespace flag
// Every code, in the order flags are listed.
const std::vector<std::string>& QualityFlagCodes();
bool IsOutlierFlag(const std::string& code);

struct QualityFlag {
    std::string code;
    std::string sentence;                                 // what a researcher reads
    std::vector<std::pair<std::string, double>> numbers;  // the values behind it
};

struct SeriesInput {
    std::string address;  // how the curve is named in lists (for now the file path)
    std::string file;     // path of the curve file
    std::string test;     // test inside the file; empty for one-test files
    // The user's unloading fit range for this curve; none: the settings'.
    std::optional<UnloadFitRange> fitRange;
};

struct SeriesCurve {
    SeriesInput input;
    bool ok = false;
    std::string error;           // why the curve has no results
    std::vector<double> values;  // per SeriesQuantities(); NaN where there is no value
    // Where the indent was, as its file records it (µm; NaN when the file does not say).
    double x_um = std::numeric_limits<double>::quiet_NaN();
    double y_um = std::numeric_limits<double>::quiet_NaN();
    // A continuous-stiffness test's depth-profile average over the workbook's window (n = 0 for
    // other curves); its hardness and modulus are also the values of kProfileHardness and
    // kProfileModulus.
    profiles::ProfileAverage profileAverage;
    std::vector<QualityFlag> flags;
    bool userExcluded = false;    // the window's include box
    std::string note;             // the user's note on the curve (exported, never judged)
    std::string userFlag;         // the user's own flag, beside the computed ones
    bool included = false;        // counted in the statistics
    std::string exclusionReason;  // empty when included
    bool HasFlag(const std::string& code) const;
};

// Statistics of one quantity over the included curves whose value is a finite number. A
// statistic that does not exist is NaN (n = 0: all; n = 1: sd, cov, se, ci).
struct QuantityStatistics {
    std::size_t n = 0;
    double mean = std::numeric_limits<double>::quiet_NaN();
    double sd = std::numeric_limits<double>::quiet_NaN();
    double cov = std::numeric_limits<double>::quiet_NaN();  // % of the mean
    double se = std::numeric_limits<double>::quiet_NaN();
    double ciLow = std::numeric_limits<double>::quiet_NaN();  // 95 %, Student t
    double ciHigh = std::numeric_limits<double>::quiet_NaN();
    double median = std::numeric_limits<double>::quiet_NaN();
    double min = std::numeric_limits<double>::quiet_NaN();
    double max = std::numeric_limits<double>::quiet_NaN();
};
QuantityStatistics ComputeStatistics(std::vector<double> values);
// Two-sided quantile of Student's t with `dof` degrees of freedom: P(T <= t) = p.
double StudentTQuantile(double p, double dof);

// The rows of the summary table: name and the member it shows.
struct StatisticRow {
    const char* name;
    double (*value)(const QuantityStatistics& s);
};
const std::vector<StatisticRow>& StatisticRows();

struct ExcludedCurve {
    SeriesInput input;
    std::string reason;
};

struct SeriesSummary {
    std::vector<QuantityStatistics> quantities;  // per SeriesQuantities()
    std::size_t curves = 0, included = 0, failed = 0;
    std::vector<ExcludedCurve> excluded;  // every curve not included, with its reason
};

struct Series {
    Settings settings;
    std::vector<std::string> excludeCodes;  // rule: curves with any of these flags are left out
    std::vector<SeriesCurve> curves;
    SeriesSummary summary;
};

struct SeriesOptions {
    int threads = 0;  // 1: calling thread only; 0: every core
    // Called after each curve with (done, total); never from two threads at once.
    std::function<void(std::size_t done, std::size_t total)> progress;
    // Called with each finished curve (index into the inputs); never from two threads at once.
    std::function<void(std::size_t index, const SeriesCurve& curve)> curveDone;
    const std::atomic<bool>* cancel = nullptr;  // checked before each curve
    // How the curve files are read: the columns and units given, and how messages say what to
    // do (the window's words in its results table).
    io::ReadOptions read;
};

// The flag of a curve analysed with its own unloading fit range, naming the range.
QualityFlag CustomRangeFlag(const UnloadFitRange& range);

// The flags a curve earns on its own, from the analyzer and display its analysis left.
std::vector<QualityFlag> CurveFlags(CCurveAnalyzer& analyzer, const CurveDisplay& display,
                                    const Settings& settings);

// Analyses curve `curve` of the analyzer's list into a series row (values and own flags).
SeriesCurve AnalyzeSeriesCurve(CCurveAnalyzer& analyzer, CurveDisplay& display,
                               const SeriesInput& input, const Settings& settings);

// The row of a curve whose analysis has just run on `analyzer`/`display` (for callers that run
// the analysis themselves); `ok` false gives a row without values naming `error`. A workbook's
// continuous-stiffness test gets its depth-profile average with ProfileSettingsFor(settings),
// as the window's profiles and graphs compute it.
SeriesCurve DescribeSeriesCurve(const SeriesInput& input, bool ok, const std::string& error,
                                CCurveAnalyzer& analyzer, const CurveDisplay& display,
                                const Settings& settings);

// The depth profile of the test at `address` (FILE#TEST) that `analyzer` has just read, read
// again with its channels through the analyzer's options and cache; none unless it is a
// workbook's continuous-stiffness test.
std::optional<profiles::DepthProfile> CurveDepthProfile(const CCurveAnalyzer& analyzer,
                                                        const std::filesystem::path& address,
                                                        const profiles::ProfileSettings& settings);

// Analyses every input (in parallel; the rows equal a one-thread run's) and refreshes the
// series. Returns false when cancelled (`series` is then left with the rows done so far
// unrefreshed and should not be shown as complete).
bool RunSeries(const std::vector<SeriesInput>& inputs, const Settings& settings,
               const std::vector<std::string>& excludeCodes, Series& series,
               const SeriesOptions& options = {});

// Recomputes the outlier flags, the included state and the summary from the rows as they stand
// (after the user toggled a curve or the rules changed). No curve is analysed again.
// Outliers are judged against the median and scaled MAD of the curves that neither the user
// nor a rule on the other flags left out; every analysed curve is tested against them.
void RefreshSeries(Series& series);

// "flag-a; flag-b" list and the full sentences of a row.
std::string FlagCodesText(const SeriesCurve& curve, const char* separator = ";");
std::string FlagSentencesText(const SeriesCurve& curve);

// CSV of the table (one row per curve) followed by the summary rows; numbers 10 significant
// digits, names quoted when needed.
std::string FormatSeriesCsv(const Series& series);
// The summary rows alone, as tab-separated text (what the window copies).
std::string FormatSummaryTsv(const Series& series);

// The workbook: sheet "Curves" (the table), "Summary" and "Settings" (everything needed to
// reproduce it and the program version). A failure names the file and the reason.
Status WriteSeriesWorkbook(const Series& series, const std::filesystem::path& file);
// "Marvek 0.1.0": the program and version written into the workbook.
std::string ProgramVersionText();
// The settings used, as (name, value) text pairs: the workbook's third sheet.
std::vector<std::pair<std::string, std::string>> SettingsReport(const Settings& settings);

}  // namespace marvek
