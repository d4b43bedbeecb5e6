#include "series.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

#include "core/analysis/parallel_map.h"
#include "core/analysis/peak_search.h"
#include "core/analysis/plausibility.h"
#include "core/base/quantity_labels.h"
#include "core/io/number_format.h"
#include "core/io/parsed_curve.h"
#include "core/popins/popins.h"
#include "core/series/graph_series.h"

namespace marvek {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string Num(double v, int digits = 4) { return FormatSignificant(v, digits); }

// The fraction of the peak load the unloading must drop for the curve to count as unloaded.
constexpr double kMinUnloadDrop = 0.1;
// Scale of the median absolute deviation to the standard deviation of a normal sample.
constexpr double kMadScale = 1.482602218505602;

// The unloading's top and bottom as the unload section finds them.
UnloadPeak FindPeak(const CCurveAnalyzer& a) {
    const auto n = static_cast<std::size_t>(std::max(a.m_nPoints, 0));
    return FindUnloadPeak({a.m_pDepth.data(), n}, {a.m_pLoad.data(), n});
}

}  // namespace

const std::vector<SeriesQuantity>& SeriesQuantities() {
    using A = CCurveAnalyzer;
    using D = CurveDisplay;
    static const std::vector<SeriesQuantity> q = {
        {"Fmax", "Fmax [mN]", [](const A& a, const D&) { return a.m_dFmax; }},
        {"hmax", "hmax [nm]", [](const A& a, const D&) { return a.m_dHmax; }},
        {"hc", "hc [nm]", [](const A& a, const D&) { return a.m_dHc; }},
        {"S", "S [mN/nm]", [](const A& a, const D&) { return a.m_dStiffness; }},
        {"EIT", "EIT [GPa]", [](const A&, const D& d) { return d.m_dEIT; }},
        {"HIT", "HIT [MPa]", [](const A&, const D& d) { return d.m_dHIT; }},
        {"HM", "HM [MPa]", [](const A&, const D& d) { return d.m_dHM; }},
        {"HV", "HV [kg/mm^2]", [](const A&, const D& d) { return d.m_dHV; }},
        {"r2", "r2", [](const A& a, const D&) { return a.m_dRSquared; }},
        {"energyLoading", labels::kLoadingEnergyTitle,
         [](const A& a, const D&) { return a.GetLoadingEnergy(); }},
        {"energyUnloading", labels::kUnloadingEnergyTitle,
         [](const A& a, const D&) { return a.GetUnloadingEnergy(); }},
        {"energyReloading", labels::kReloadingEnergyTitle,
         [](const A& a, const D&) { return a.GetReloadingEnergy(); }},
        // The first pop-in of the loading (noise-adaptive detector); DescribeSeriesCurve fills
        // both from one detection, the value here stands for "not looked for".
        {kFirstPopinLoad, "firstPopinLoad [mN]", [](const A&, const D&) { return kNaN; }},
        {kFirstPopinDepth, "firstPopinDepth [nm]", [](const A&, const D&) { return kNaN; }},
        // A continuous-stiffness test's averages over the depth window; DescribeSeriesCurve
        // fills them from the test's depth profile.
        {kProfileHardness, "csmHardness [GPa]", [](const A&, const D&) { return kNaN; }},
        {kProfileModulus, "csmModulus [GPa]", [](const A&, const D&) { return kNaN; }},
    };
    return q;
}

int FindSeriesQuantity(const std::string& key) {
    const auto& q = SeriesQuantities();
    for (std::size_t k = 0; k < q.size(); ++k)
        if (key == q[k].key) return static_cast<int>(k);
    return -1;
}

const std::vector<std::string>& QualityFlagCodes() {
    static const std::vector<std::string> codes = {flag::kNoUnload,
                                                   flag::kNoFit,
                                                   flag::kLowR2,
                                                   flag::kFewFitPoints,
                                                   flag::kNonMonotonic,
                                                   flag::kOutlierHmax,
                                                   flag::kOutlierEIT,
                                                   flag::kOutlierHIT,
                                                   flag::kOutlierProfileHardness,
                                                   flag::kOutlierProfileModulus,
                                                   flag::kDrift,
                                                   flag::kSlip,
                                                   flag::kZeroOffset,
                                                   flag::kTruncated,
                                                   flag::kImplausible,
                                                   flag::kGuessedLayout,
                                                   flag::kCustomRange};
    return codes;
}

QualityFlag CustomRangeFlag(const UnloadFitRange& range) {
    return {flag::kCustomRange,
            "Custom range: the unloading was fitted over " + FormatShortest(range.minPercent) +
                "-" + FormatShortest(range.maxPercent) +
                " % of the load drop, set for this curve (not the settings' range).",
            {{"minPercent", range.minPercent}, {"maxPercent", range.maxPercent}}};
}

bool IsOutlierFlag(const std::string& code) { return code.rfind("outlier-", 0) == 0; }

bool SeriesCurve::HasFlag(const std::string& code) const {
    return std::any_of(flags.begin(), flags.end(),
                       [&](const QualityFlag& f) { return f.code == code; });
}

namespace {

// The unloading: points after the peak whose load falls well below it. Returns whether the
// curve is unloaded.
bool CheckUnloading(const CCurveAnalyzer& a, const UnloadPeak& peak,
                    std::vector<QualityFlag>& flags) {
    const double fPeak = peak.peak >= 0 ? a.m_pLoad[peak.peak] : kNaN;
    const double fBottom = peak.bottom >= 0 ? a.m_pLoad[peak.bottom] : kNaN;
    const double drop = fPeak > 0 ? (fPeak - fBottom) / fPeak : 0;
    const bool unloaded = peak.bottom > peak.peak && drop >= kMinUnloadDrop;
    if (!unloaded)
        flags.push_back({flag::kNoUnload,
                         "No unloading segment found: after the peak load of " + Num(fPeak) +
                             " mN the force falls by only " + Num(100 * drop, 3) + " %.",
                         {{"peak load [mN]", fPeak}, {"load drop [%]", 100 * drop}}});
    return unloaded;
}

// The unloading fit: none, poor, or on too few points.
void CheckFit(const CCurveAnalyzer& a, const CurveDisplay& display, const Settings& settings,
              bool unloaded, std::vector<QualityFlag>& flags) {
    const QualitySettings& q = settings.quality;
    const bool op = settings.strategy.method() == AnalysisMethod::OliverPharr;
    const bool fitted = std::isfinite(a.m_dStiffness) && a.m_dStiffness > 0 &&
                        (!op || (std::isfinite(a.m_dAlpha) && std::isfinite(a.m_dM)));
    const int fitPoints = static_cast<int>(display.m_pFitCurveDepth.size());
    if (unloaded && !fitted)
        flags.push_back({flag::kNoFit,
                         op ? "The power-law fit of the unloading accepted no candidate: there "
                              "is no stiffness."
                            : "The line fit of the unloading gave no positive stiffness.",
                         {{"S [mN/nm]", a.m_dStiffness}, {"fit points", fitPoints}}});
    if (fitted && std::isfinite(a.m_dRSquared) && a.m_dRSquared < q.m_dMinRSquared)
        flags.push_back({flag::kLowR2,
                         "The fit is poor: r² = " + Num(a.m_dRSquared, 6) + ", below " +
                             Num(q.m_dMinRSquared, 6) + ".",
                         {{"r2", a.m_dRSquared}, {"threshold", q.m_dMinRSquared}}});
    if (unloaded && fitPoints < q.m_dMinFitPoints)
        flags.push_back({flag::kFewFitPoints,
                         "Only " + labels::Count(fitPoints, "point") +
                             (fitPoints == 1 ? " lies" : " lie") + " in the fit section (" +
                             Num(q.m_dMinFitPoints) + " or more wanted).",
                         {{"fit points", fitPoints}, {"threshold", q.m_dMinFitPoints}}});
}

// Along the unloading the depth should fall as the load falls: a rise above the lowest
// depth reached so far, beyond the slip threshold, means the section is not one branch.
void CheckFitSectionMonotonic(const CurveDisplay& display, const QualitySettings& q,
                              std::vector<QualityFlag>& flags) {
    const std::vector<double>& depth = display.m_pFitCurveDepth;
    double lowest = std::numeric_limits<double>::infinity(), rise = 0;
    int at = -1;
    for (std::size_t j = 0; j < depth.size(); ++j) {
        if (depth[j] - lowest > rise) rise = depth[j] - lowest, at = static_cast<int>(j);
        lowest = std::min(lowest, depth[j]);
    }
    if (rise > q.m_dSlipDepth)
        flags.push_back({flag::kNonMonotonic,
                         "The fit section is not monotonic: the depth rises again by " + Num(rise) +
                             " nm at section point " + std::to_string(at) + ".",
                         {{"rise [nm]", rise}, {"section point", at}}});
}

void CheckDrift(const CCurveAnalyzer& a, const Settings& settings,
                std::vector<QualityFlag>& flags) {
    const QualitySettings& q = settings.quality;
    if (settings.strategy.m_bDriftCorrection == 1 && std::fabs(a.m_dDriftRate) > q.m_dMaxDriftRate)
        flags.push_back({flag::kDrift,
                         "Large thermal drift: " + Num(a.m_dDriftRate) + " nm/s (limit ±" +
                             Num(q.m_dMaxDriftRate) + " nm/s).",
                         {{"drift rate [nm/s]", a.m_dDriftRate}, {"limit", q.m_dMaxDriftRate}}});
}

// Slip on the first loading: the depth goes back while the load still rises. The first
// loading ends where the load first falls clearly (10 %) below its running maximum, so the
// turn of a reloading in a multi-cycle test is not taken for a slip.
void CheckLoadingSlip(const CCurveAnalyzer& a, const UnloadPeak& peak, const QualitySettings& q,
                      std::vector<QualityFlag>& flags) {
    int count = 0;
    double largest = 0, runningMax = -std::numeric_limits<double>::infinity();
    for (int i = 1; i <= peak.peak; ++i) {
        runningMax = std::max(runningMax, a.m_pLoad[i - 1]);
        if (a.m_pLoad[i] < (1 - kMinUnloadDrop) * runningMax) break;
        const double back = a.m_pDepth[i - 1] - a.m_pDepth[i];
        if (a.m_pLoad[i] > a.m_pLoad[i - 1] && back > q.m_dSlipDepth) {
            ++count;
            largest = std::max(largest, back);
        }
    }
    if (count > 0)
        flags.push_back(
            {flag::kSlip,
             "Depth decreases while the load rises on loading (slip): " + std::to_string(count) +
                 (count == 1 ? " event" : " events") + ", the largest " + Num(largest) + " nm.",
             {{"events", count}, {"largest [nm]", largest}}});
}

void CheckZeroOffset(const CCurveAnalyzer& a, const QualitySettings& q,
                     std::vector<QualityFlag>& flags) {
    if (!(a.m_nPoints > 0 && std::isfinite(a.m_dFmax) && a.m_dFmax > 0)) return;
    const double percent = 100 * a.m_pLoad[0] / a.m_dFmax;
    if (percent > q.m_dMaxZeroLoadPercent)
        flags.push_back({flag::kZeroOffset,
                         "First contact far above zero load: the curve starts at " +
                             Num(a.m_pLoad[0]) + " mN, " + Num(percent, 3) +
                             " % of the maximum load.",
                         {{"first load [mN]", a.m_pLoad[0]}, {"of Fmax [%]", percent}}});
}

void CheckTruncated(const CCurveAnalyzer& a, std::vector<QualityFlag>& flags) {
    if (a.m_nPoints == CCurveAnalyzer::kMaxPoints ||
        a.m_nPoints == CCurveAnalyzer::kMaxPointsMarkerLayout)
        flags.push_back({flag::kTruncated,
                         "The curve holds " + std::to_string(a.m_nPoints) +
                             " points, the reader's limit: points after it were not read.",
                         {{"points", a.m_nPoints}}});
}

}  // namespace

std::vector<QualityFlag> CurveFlags(CCurveAnalyzer& a, const CurveDisplay& display,
                                    const Settings& settings) {
    const QualitySettings& q = settings.quality;
    std::vector<QualityFlag> flags;
    const UnloadPeak peak = FindPeak(a);
    const bool unloaded = CheckUnloading(a, peak, flags);
    CheckFit(a, display, settings, unloaded, flags);
    CheckFitSectionMonotonic(display, q, flags);
    CheckDrift(a, settings, flags);
    CheckLoadingSlip(a, peak, q, flags);
    CheckZeroOffset(a, q, flags);
    CheckTruncated(a, flags);
    for (const CurveWarning& w :
         CurveWarnings(a.m_dFmax, a.m_dHmax, a.m_readWarnings, io::HintsOf(a.m_readOptions)))
        flags.push_back({w.code, w.text + ".", {}});
    return flags;
}

SeriesCurve AnalyzeSeriesCurve(CCurveAnalyzer& analyzer, CurveDisplay& display,
                               const SeriesInput& input, const Settings& settings) {
    SeriesCurve row;
    row.input = input;
    row.values.assign(SeriesQuantities().size(), kNaN);
    // A test of a workbook is its address: the file alone would be the file's first test.
    if (input.test.empty())
        analyzer.SetFiles({input.file});
    else
        analyzer.SetAddresses({input.file + "#" + input.test});
    // A range of the curve's own is the settings with that range, nothing else.
    const Settings used = input.fitRange ? WithFitRange(settings, *input.fitRange) : settings;
    const Status outcome = AnalyzeCurve(analyzer, 0, used, display);
    if (!outcome.ok()) {
        // The file and the reason; the layout example belongs in a help text, not in a cell.
        row.error = outcome.message();
        return row;
    }
    if (analyzer.m_nPoints == 0) {
        row.error = input.file + ": no data points";
        return row;
    }
    row = DescribeSeriesCurve(input, true, "", analyzer, display, used);
    if (input.fitRange) row.flags.push_back(CustomRangeFlag(*input.fitRange));
    return row;
}

SeriesCurve DescribeSeriesCurve(const SeriesInput& input, bool ok, const std::string& error,
                                CCurveAnalyzer& analyzer, const CurveDisplay& display,
                                const Settings& settings) {
    SeriesCurve row;
    row.input = input;
    row.values.assign(SeriesQuantities().size(), kNaN);
    row.ok = ok;
    row.included = ok;
    row.error = error;
    if (!ok) return row;
    const auto& quantities = SeriesQuantities();
    for (std::size_t k = 0; k < quantities.size(); ++k)
        row.values[k] = quantities[k].value(analyzer, display);
    row.x_um = analyzer.m_fileMeta.positionX.value_or(kNaN);
    row.y_um = analyzer.m_fileMeta.positionY.value_or(kNaN);
    const std::size_t n = static_cast<std::size_t>(std::max(analyzer.m_nPoints, 0));
    const std::vector<popins::Popin> bursts =
        popins::FindBursts(std::span<const double>(analyzer.m_pDepth.data(), n),
                           std::span<const double>(analyzer.m_pLoad.data(), n), {});
    if (!bursts.empty()) {
        row.values[static_cast<std::size_t>(FindSeriesQuantity(kFirstPopinLoad))] = bursts[0].load;
        row.values[static_cast<std::size_t>(FindSeriesQuantity(kFirstPopinDepth))] =
            bursts[0].depth;
    }
    const std::filesystem::path address = input.test.empty()
                                              ? std::filesystem::path(input.file)
                                              : io::MakeAddress(input.file, input.test);
    if (const auto profile = CurveDepthProfile(analyzer, address, ProfileSettingsFor(settings))) {
        row.profileAverage = profiles::AverageProfile(*profile);
        row.values[static_cast<std::size_t>(FindSeriesQuantity(kProfileHardness))] =
            row.profileAverage.hardness;
        row.values[static_cast<std::size_t>(FindSeriesQuantity(kProfileModulus))] =
            row.profileAverage.modulus;
    }
    row.flags = CurveFlags(analyzer, display, settings);
    return row;
}

std::optional<profiles::DepthProfile> CurveDepthProfile(const CCurveAnalyzer& analyzer,
                                                        const std::filesystem::path& address,
                                                        const profiles::ProfileSettings& settings) {
    if (analyzer.m_strFormat != "xls" && analyzer.m_strFormat != "xlsx") return std::nullopt;
    io::ParsedCurve curve;
    if (!io::ReadCurve(address, analyzer.m_readOptions, curve, nullptr, nullptr,
                       analyzer.m_fileCache.get())
             .ok() ||
        curve.channels.empty())
        return std::nullopt;
    profiles::DepthProfile profile = profiles::ComputeProfile(curve, settings);
    if (!profile.ok()) return std::nullopt;
    return profile;
}

bool RunSeries(const std::vector<SeriesInput>& inputs, const Settings& settings,
               const std::vector<std::string>& excludeCodes, Series& series,
               const SeriesOptions& options) {
    series.settings = settings;
    series.excludeCodes = excludeCodes;
    series.curves.assign(inputs.size(), {});
    series.summary = {};
    struct Worker {
        CCurveAnalyzer analyzer;
        CurveDisplay display;
        Worker() { display.withPlotSeries = false; }  // a row needs no plot
    };
    // Each row depends only on its own curve (every reported value is written by its analysis),
    // so the workers' reuse of their analyzer gives the rows of a one-thread run.
    WorkerPool<Worker> pool([&options] {
        auto w = std::make_unique<Worker>();
        w->analyzer.m_readOptions = options.read;
        return w;
    });
    ParallelOptions parallel;
    parallel.threads = options.threads;
    parallel.cancel = options.cancel;
    parallel.progress = options.progress;
    const bool finished = ParallelForEach(
        inputs.size(), parallel, pool,
        [&](Worker& w, std::size_t i) {
            series.curves[i] = AnalyzeSeriesCurve(w.analyzer, w.display, inputs[i], settings);
        },
        [&](std::size_t i) {
            if (options.curveDone) options.curveDone(i, series.curves[i]);
        });
    if (!finished) return false;
    RefreshSeries(series);
    return true;
}

namespace {

bool RuleHits(const Series& series, const SeriesCurve& c, bool outliers, std::string& code) {
    for (const std::string& rule : series.excludeCodes) {
        if (IsOutlierFlag(rule) != outliers) continue;
        if (c.HasFlag(rule)) {
            code = rule;
            return true;
        }
    }
    return false;
}

struct OutlierRule {
    const char* code;
    const char* quantity;
    const char* what;
    const char* unit;
};

// The reference set: analysed, kept by the user and by rules on the curve's own flags. The
// outlier flags of an earlier refresh are dropped on the way.
std::vector<bool> ReferenceCurves(Series& series) {
    std::vector<bool> reference(series.curves.size(), false);
    for (std::size_t i = 0; i < series.curves.size(); ++i) {
        SeriesCurve& c = series.curves[i];
        std::erase_if(c.flags, [](const QualityFlag& f) { return IsOutlierFlag(f.code); });
        std::string code;
        reference[i] = c.ok && !c.userExcluded && !RuleHits(series, c, false, code);
    }
    return reference;
}

// One quantity's outliers against the reference set's median and scaled MAD.
void FlagOutliersOf(Series& series, const std::vector<bool>& reference, const OutlierRule& rule) {
    const double mads = series.settings.quality.m_dOutlierMads;
    const int k = FindSeriesQuantity(rule.quantity);
    std::vector<double> values;
    for (std::size_t i = 0; i < series.curves.size(); ++i)
        if (reference[i] && std::isfinite(series.curves[i].values[k]))
            values.push_back(series.curves[i].values[k]);
    if (values.size() < 3) return;
    const QuantityStatistics stats = ComputeStatistics(values);
    for (double& v : values) v = std::fabs(v - stats.median);
    const double scaledMad = kMadScale * ComputeStatistics(values).median;
    if (!(scaledMad > 0)) return;  // most curves agree exactly: no scale to judge by
    for (SeriesCurve& c : series.curves) {
        const double v = c.ok ? c.values[k] : kNaN;
        if (!std::isfinite(v)) continue;
        const double distance = std::fabs(v - stats.median) / scaledMad;
        if (distance > mads)
            c.flags.push_back({rule.code,
                               std::string("Outlier of the series: ") + rule.what + " " +
                                   Num(v, 5) + " " + rule.unit + " lies " + Num(distance, 3) +
                                   " scaled median absolute deviations from the median " +
                                   Num(stats.median, 5) + " " + rule.unit + " (limit " +
                                   Num(mads, 3) + ").",
                               {{rule.quantity, v},
                                {"median", stats.median},
                                {"scaled MAD", scaledMad},
                                {"deviations", distance}}});
    }
}

void FlagOutliers(Series& series, const std::vector<bool>& reference) {
    static const OutlierRule rules[] = {
        {flag::kOutlierHmax, "hmax", "maximum depth", "nm"},
        {flag::kOutlierEIT, "EIT", "modulus EIT", "GPa"},
        {flag::kOutlierHIT, "HIT", "hardness HIT", "MPa"},
        // A continuous-stiffness test's averages are judged as its unload results are.
        {flag::kOutlierProfileHardness, kProfileHardness, "depth-profile hardness", "GPa"},
        {flag::kOutlierProfileModulus, kProfileModulus, "depth-profile modulus", "GPa"},
    };
    for (const OutlierRule& rule : rules) FlagOutliersOf(series, reference, rule);
}

// Flags in their fixed order, whatever order they were found in.
void SortFlags(Series& series) {
    const auto& codes = QualityFlagCodes();
    for (SeriesCurve& c : series.curves)
        std::stable_sort(c.flags.begin(), c.flags.end(),
                         [&](const QualityFlag& x, const QualityFlag& y) {
                             return std::find(codes.begin(), codes.end(), x.code) <
                                    std::find(codes.begin(), codes.end(), y.code);
                         });
}

// Inclusion of each curve with its reason, counted into the summary.
void DecideInclusion(Series& series) {
    SeriesSummary& summary = series.summary;
    for (std::size_t i = 0; i < series.curves.size(); ++i) {
        SeriesCurve& c = series.curves[i];
        std::string code;
        if (!c.ok) {
            c.included = false;
            c.exclusionReason = "failed: " + c.error;
            ++summary.failed;
        } else if (c.userExcluded) {
            c.included = false;
            c.exclusionReason = "excluded by the user";
        } else if (RuleHits(series, c, false, code) || RuleHits(series, c, true, code)) {
            c.included = false;
            c.exclusionReason = "flagged " + code;
        } else {
            c.included = true;
            c.exclusionReason.clear();
        }
        if (c.included)
            ++summary.included;
        else
            summary.excluded.push_back({c.input, c.exclusionReason});
    }
}

void SummarizeQuantities(Series& series) {
    SeriesSummary& summary = series.summary;
    const std::size_t count = SeriesQuantities().size();
    summary.quantities.resize(count);
    for (std::size_t k = 0; k < count; ++k) {
        std::vector<double> values;
        for (const SeriesCurve& c : series.curves)
            if (c.included) values.push_back(c.values[k]);
        summary.quantities[k] = ComputeStatistics(std::move(values));
    }
}

}  // namespace

void RefreshSeries(Series& series) {
    const std::vector<bool> reference = ReferenceCurves(series);
    FlagOutliers(series, reference);
    SortFlags(series);
    series.summary = {};
    series.summary.curves = series.curves.size();
    DecideInclusion(series);
    SummarizeQuantities(series);
}

std::string FlagCodesText(const SeriesCurve& curve, const char* separator) {
    std::string text;
    for (const QualityFlag& f : curve.flags) {
        if (!text.empty()) text += separator;
        text += f.code;
    }
    return text;
}

std::string FlagSentencesText(const SeriesCurve& curve) {
    std::string text;
    for (const QualityFlag& f : curve.flags) {
        if (!text.empty()) text += "\n";
        text += f.code + ": " + f.sentence;
    }
    return text;
}

}  // namespace marvek
