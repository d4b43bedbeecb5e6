#include "core/series/graph_series.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <utility>

#include "core/analysis/parallel_map.h"
#include "core/io/csv_field.h"
#include "core/io/number_format.h"
#include "core/io/parsed_curve.h"
#include "core/platform/output_file.h"
#include "core/popins/popins.h"
#include "core/profiles/depth_profile.h"
#include "core/series/graininess.h"

namespace marvek {

namespace {

using C = GraphCommand;
using K = GraphKind;

const std::vector<GraphCommandInfo> kCommands = {
    {C::ModulusDepth, K::CurveList, "modulus-depth", "Modulus - Depth", 32781, "Maximum Depth (nm)",
     " [GPa]"},
    {C::ModulusLoad, K::CurveList, "modulus-load", "Modulus - Load", 32782, "Maximum Force (mN)",
     " [GPa]"},
    {C::ModulusCurve, K::CurveList, "modulus-curve", "Modulus - Curve", 32826, "Curve Number",
     "E (GPa)"},
    {C::HMDepth, K::CurveList, "hm-depth", "HM - Depth", 32785, "Maximum Depth (nm)", "HM (MPa)"},
    {C::HMLoad, K::CurveList, "hm-load", "HM - Load", 32786, "Maximum Force (mN)", "HM (MPa)"},
    {C::HMCurve, K::CurveList, "hm-curve", "HM - Curve", 32827, "Curve Number", "HM (MPa)"},
    {C::HITDepth, K::CurveList, "hit-depth", "H(IT) - Depth", 32799, "Maximum Depth (nm)",
     "H(IH) (MPa)"},
    {C::HITLoad, K::CurveList, "hit-load", "H(IT) - Load", 32800, "Maximum Force (mN)",
     "H(IT) (MPa)"},
    {C::HOPDepth, K::CurveList, "hop-depth", "H(OP) - Depth", 32829, "Depth (nm)", "H(OP) (MPa)"},
    {C::HOPLoad, K::CurveList, "hop-load", "H(OP) - Load", 32828, "Force (mN)", "H(OP) (MPa)"},
    {C::HVDepth, K::CurveList, "hv-depth", "HV - Depth", 32783, "Maximum Depth (nm)", "HV (MPa)"},
    {C::HVLoad, K::CurveList, "hv-load", "HV - Load", 32784, "Maximum Force (mN)", "HV (MPa)"},
    {C::PercentSeries, K::PercentSweep, "percent-series", "Percent Series", 32796,
     "Percentage of Curve", " [GPa]"},
    {C::UnloadSections, K::SectionSweep, "unload-sections", "Unload Sections", 32801, "Force (mN)",
     " [GPa]"},
    {C::PercentM, K::PercentSweep, "percent-m", "Percent - m", 32802, "Percentage of Curve", "m"},
    {C::SectionM, K::SectionSweep, "section-m", "Section - m", 32803, "h", "m"},
    {C::PercentR, K::PercentSweep, "percent-r", "Percent - R", 32804, "Percentage of Curve",
     "Correlation  R"},
    {C::SectionR, K::SectionSweep, "section-r", "Section - R", 32805, "Force (mN)",
     "Correlation  R"},
    {C::LoadR, K::CurveList, "load-r", "Load - R", 32806, "Force (mN)", "Correlation  R"},
    {C::LoadAlpha, K::CurveList, "load-alpha", "Load - Alpha", 32808, "Force (mN)",
     "Power Law  alpha"},
    {C::LoadM, K::CurveList, "load-m", "Load - m", 32809, "Force (mN)", "Power Law  m"},
    {C::GraininessLoad, K::Graininess, "graininess-load", "Graininess - Load", 32831, "Depth (nm)",
     "Loading (dy/dx - dy/dx(Power))"},
    {C::GraininessUnload, K::Graininess, "graininess-unload", "Graininess - Unload", 32830,
     "Depth (nm)", "Unloading (dy/dx - dy/dx(Power))"},
    {C::Graininess2Load, K::Graininess, "graininess2-load", "Graininess 2 - Load", 32832,
     "Depth (nm)", "Loading d2y/dx2"},
    {C::Graininess2Unload, K::Graininess, "graininess2-unload", "Graininess 2 - Unload", 32833,
     "Depth (nm)", "Unloading d2y/dx2"},
    {C::HardnessProfile, K::Profile, "hardness-profile", "Hardness Profile", 32834, "Depth (nm)",
     "Hardness (GPa)"},
    {C::ModulusProfile, K::Profile, "modulus-profile", "Modulus Profile", 32835, "Depth (nm)",
     "Modulus (GPa)"},
    {C::FirstPopinLoads, K::Distribution, "first-popin-loads", "First Pop-in Loads", 32836,
     "First Pop-in Load (mN)", "Cumulative Probability"},
    {C::FirstPopinHistogram, K::Distribution, "first-popin-histogram",
     "First Pop-in Load Histogram", 32837, "First Pop-in Load (mN)", "Curves"},
};

// One analysis of a command: the curve and, for sweeps, the force range it is given.
struct Step {
    int curve = 0;
    float minimum = 0;
    float maximum = 0;
};

struct StepOutcome {
    bool ok = false;
    bool touched = false;  // the analysis changed the analyzer (read the file, even if refused)
    double x = 0, y = 0;
    std::string error;
};

// The force-range pair a sweep varies: the active method's.
struct Pair {
    float StrategySettings::*minimum;
    float StrategySettings::*maximum;
};

bool ActivePair(const StrategySettings& s, Pair& pair) {
    if (s.method() == AnalysisMethod::OliverPharr) {
        pair = {&StrategySettings::m_fOPMinPercent, &StrategySettings::m_fOPMaxPercent};
        return true;
    }
    if (s.method() == AnalysisMethod::DoernerNix) {
        pair = {&StrategySettings::m_fDNMinPercent, &StrategySettings::m_fDNMaxPercent};
        return true;
    }
    return false;
}

// The load of the first pop-in the default detector finds on the analysed loading (as the
// series table's column), NaN without one.
double FirstPopinLoad(const CCurveAnalyzer& a) {
    const std::size_t n = static_cast<std::size_t>(std::max(a.m_nPoints, 0));
    const std::vector<popins::Popin> bursts =
        popins::FindBursts(std::span<const double>(a.m_pDepth.data(), n),
                           std::span<const double>(a.m_pLoad.data(), n), {});
    return bursts.empty() ? std::numeric_limits<double>::quiet_NaN() : bursts.front().load;
}

// The point a command takes from the state one analysis left.
void TakePoint(GraphCommand command, const Step& step, bool oliverPharr, const CCurveAnalyzer& a,
               const CurveDisplay& d, double& x, double& y) {
    const double topForce = static_cast<double>(step.maximum) * a.m_dFmax / 100;
    switch (command) {
        case C::ModulusDepth: x = a.m_dHmax, y = d.m_dEIT; break;
        case C::ModulusLoad: x = a.m_dFmax, y = d.m_dEIT; break;
        case C::ModulusCurve: x = step.curve, y = d.m_dEIT; break;
        case C::HMDepth: x = a.m_dHmax, y = d.m_dHM; break;
        case C::HMLoad: x = a.m_dFmax, y = d.m_dHM; break;
        case C::HMCurve: x = step.curve, y = d.m_dHM; break;
        case C::HITDepth: x = a.m_dHmax, y = d.m_dHIT; break;
        case C::HITLoad: x = a.m_dFmax, y = d.m_dHIT; break;
        case C::HOPDepth: x = a.m_dHmax, y = d.m_dHOP; break;
        case C::HOPLoad: x = a.m_dFmax, y = d.m_dHOP; break;
        case C::HVDepth: x = a.m_dHmax, y = d.m_dHV; break;
        case C::HVLoad: x = a.m_dFmax, y = d.m_dHV; break;
        case C::PercentSeries: x = step.minimum, y = d.m_dEIT; break;
        case C::UnloadSections: x = topForce, y = d.m_dEIT; break;
        case C::PercentM: x = step.minimum, y = oliverPharr ? a.m_dM : 1.0; break;
        // Doerner-Nix leaves m untouched; the x is the first load of the section the
        // analyzer holds afterwards.
        case C::SectionM: x = oliverPharr ? topForce : a.m_pFitLoad[0], y = a.m_dM; break;
        case C::PercentR: x = step.minimum, y = a.m_dRSquared; break;
        case C::SectionR: x = topForce, y = a.m_dRSquared; break;
        case C::LoadR: x = a.m_dFmax, y = a.m_dRSquared; break;
        case C::LoadAlpha: x = a.m_dFmax, y = a.m_dAlpha; break;
        case C::LoadM: x = a.m_dFmax, y = a.m_dM; break;
        case C::FirstPopinLoads:
        case C::FirstPopinHistogram: x = step.curve, y = FirstPopinLoad(a); break;
        default: x = y = std::numeric_limits<double>::quiet_NaN(); break;
    }
}

class StepRunner {
public:
    StepRunner(GraphCommand command, const std::vector<Step>& steps, bool sweep, const Pair& pair,
               const Settings& settings)
        : command_(command),
          steps_(steps),
          sweep_(sweep),
          pair_(pair),
          oliverPharr_(settings.strategy.method() == AnalysisMethod::OliverPharr) {}

    void Run(std::size_t i, CCurveAnalyzer& a, CurveDisplay& d, Settings& s,
             StepOutcome& out) const {
        const Step& step = steps_[i];
        if (sweep_) {
            s.strategy.*pair_.minimum = step.minimum;
            s.strategy.*pair_.maximum = step.maximum;
        }
        const Status r = AnalyzeCurve(a, step.curve, s, d);
        out.ok = r.ok();
        out.touched = out.ok || r.code() == ErrorCode::UnknownLayout;
        if (out.ok)
            TakePoint(command_, step, oliverPharr_, a, d, out.x, out.y);
        else
            out.error = r.message();
    }

private:
    GraphCommand command_;
    const std::vector<Step>& steps_;
    bool sweep_;
    Pair pair_;
    bool oliverPharr_;
};

bool Cancelled(const GraphOptions& o) { return o.cancel && o.cancel->load(); }

// Leaves the window's state as the one-thread run would: an analysis depends only on its own
// step, so replaying the tail from the last analysis that changed the analyzer reproduces the
// final state.
void ReplayFinalState(const StepRunner& runner, const std::vector<StepOutcome>& outcomes,
                      CCurveAnalyzer& analyzer, CurveDisplay& display, const Settings& settings) {
    const std::size_t count = outcomes.size();
    std::size_t from = count - 1;
    for (std::size_t i = count; i-- > 0;) {
        if (outcomes[i].touched) {
            from = i;
            break;
        }
    }
    Settings s = settings;
    for (std::size_t i = from; i < count; ++i) {
        StepOutcome replay;
        runner.Run(i, analyzer, display, s, replay);
    }
}

// Runs every step and collects the points in step order. Each worker starts from the window's
// state, so members an analysis does not write (the power-law parameters under Doerner-Nix) read
// as they would in the one-thread run. Returns false when cancelled, with the caller's state
// untouched.
bool RunSteps(const StepRunner& runner, std::size_t count, CCurveAnalyzer& analyzer,
              CurveDisplay& display, const Settings& settings, const GraphOptions& options,
              std::vector<StepOutcome>& outcomes) {
    outcomes.assign(count, {});
    if (count == 0) return !Cancelled(options);
    struct Worker {
        CCurveAnalyzer analyzer;
        CurveDisplay display;
        Settings settings;
    };
    const int threads = count == 1 ? 1 : ResolveThreads(options.threads);
    WorkerPool<Worker> pool([&] {
        auto w = std::make_unique<Worker>(Worker{analyzer, display, settings});
        if (threads > 1) w->display.withPlotSeries = false;  // a step gives numbers, never a plot
        return w;
    });
    const ParallelOptions parallel{threads, options.progress, options.cancel, 1};
    const bool finished = ParallelForEach(count, parallel, pool, [&](Worker& w, std::size_t i) {
        runner.Run(i, w.analyzer, w.display, w.settings, outcomes[i]);
    });
    if (!finished) return false;
    if (threads <= 1) {
        // The one-thread run used one copy of the window's state, in order: it is the final one.
        Worker& w = pool.Local();
        analyzer = std::move(w.analyzer);
        display = std::move(w.display);
    } else {
        ReplayFinalState(runner, outcomes, analyzer, display, settings);
    }
    return true;
}

void CollectPoints(const std::vector<StepOutcome>& outcomes, const std::vector<Step>& steps,
                   GraphResult& result) {
    std::set<int> reported;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        const StepOutcome& o = outcomes[i];
        if (o.ok) {
            result.series.x.push_back(o.x);
            result.series.y.push_back(o.y);
            result.series.curves.push_back(steps[i].curve);
        } else if (reported.insert(steps[i].curve).second) {
            result.failures.push_back({steps[i].curve, o.error});
        }
    }
}

// The force ranges a sweep analyses, in order, with the float arithmetic of the settings.
std::vector<Step> PlanSweep(GraphCommand command, GraphKind kind, const StrategySettings& s,
                            const Pair& pair, int curve, bool& capped) {
    std::vector<Step> steps;
    capped = false;
    float minimum = s.*pair.minimum;
    float maximum = s.*pair.maximum;
    const float maxSaved = maximum;
    const float size = s.m_fSectionSizePercent;
    if (command == C::PercentSeries || command == C::UnloadSections) {
        minimum = 0;
        maximum = 100;
    }
    auto more = [&] {
        return kind == K::PercentSweep ? maximum - 1.0f > minimum : maxSaved - size > minimum;
    };
    while (more()) {
        if (steps.size() == kMaxSweepPoints) {
            capped = true;
            break;
        }
        if (kind == K::SectionSweep) maximum = minimum + size;
        steps.push_back({curve, minimum, maximum});
        minimum = minimum + 0.5f;
    }
    return steps;
}

std::string FormatSix(double v) { return FormatFixed(v, 6); }

// The sliding-window fits of a graininess command and the power law they are compared with.
struct GraininessFits {
    std::vector<WindowFit> windows;
    bool capped = false;
    double alpha = 0, m = 0, hf = 0;
};

// The loading commands take the curve as the last analysis left it and change nothing.
GraininessFits LoadingWindows(GraphCommand command, const CCurveAnalyzer& a, float size,
                              GraphResult& result) {
    GraininessFits fits;
    int n = 0;
    std::vector<double> depth, load;
    for (int i = 0; i < a.m_nPoints; ++i) {
        if (a.m_pSegment[static_cast<std::size_t>(i)] != 'L') continue;
        ++n;
        if (command == C::GraininessLoad) {
            depth.push_back(a.m_pDepth[static_cast<std::size_t>(i)]);
            load.push_back(a.m_pLoad[static_cast<std::size_t>(i)]);
        }
    }
    if (command == C::GraininessLoad) {
        a.FitPowerLaw(fits.alpha, fits.m, fits.hf, depth.data(), load.data(), n);
        result.resultMessage =
            "a " + FormatSix(fits.alpha) + "  m " + FormatSix(fits.m) + " hf " + FormatSix(fits.hf);
    }
    fits.windows = FitSlidingWindows(a.m_pDepth.data(), a.m_pLoad.data(), n, {0, 0, size},
                                     kMaxGraininessPoints, &fits.capped);
    return fits;
}

// The unloading commands fit the power law over 1-100 % of the load drop with Oliver-Pharr, on
// copies of the settings, and leave the window showing that fit. Nothing when the analysis
// failed or was cancelled (`result` says which).
std::optional<GraininessFits> UnloadingWindows(CCurveAnalyzer& analyzer, CurveDisplay& display,
                                               const Settings& settings, int currentCurve,
                                               const GraphOptions& options, GraphResult& result) {
    CCurveAnalyzer a = analyzer;
    CurveDisplay d = display;
    Settings forced = settings;
    forced.strategy.m_fOPMaxPercent = 100;
    forced.strategy.m_fOPMinPercent = 1;
    forced.strategy.m_nMethod = static_cast<int>(AnalysisMethod::OliverPharr);
    const Status outcome = AnalyzeCurve(a, currentCurve, forced, d);
    if (options.progress) options.progress(1, 1);
    if (Cancelled(options)) {
        result.cancelled = true;
        return std::nullopt;
    }
    if (!outcome.ok()) {
        result.failures.push_back({currentCurve, outcome.message()});
        if (outcome.code() == ErrorCode::UnknownLayout) analyzer = std::move(a);
        return std::nullopt;
    }
    a.SelectUnloadSection(1, 100);
    GraininessFits fits;
    fits.alpha = a.m_dAlpha;
    fits.m = a.m_dM;
    fits.hf = a.m_dHf;
    fits.windows = FitSlidingWindows(a.m_pFitDepth.data(), a.m_pFitLoad.data(), a.m_nFitPoints,
                                     {1, 1, settings.strategy.m_fSectionSizePercent},
                                     kMaxGraininessPoints, &fits.capped);
    analyzer = std::move(a);
    display = std::move(d);
    return fits;
}

// Each window's slope less the power law's slope at its mean depth, or (second derivative) the
// change of the window slopes over the change of their mean depths.
void GraininessSeries(const GraininessFits& fits, bool secondDerivative, double shift,
                      GraphSeries& s) {
    const auto& windows = fits.windows;
    if (!secondDerivative) {
        s.x.reserve(windows.size());
        s.y.reserve(windows.size());
        for (const WindowFit& w : windows) {
            s.x.push_back(w.meanDepth - shift);
            s.y.push_back(w.slope -
                          fits.alpha * fits.m * std::pow(w.meanDepth - fits.hf, fits.m - 1));
        }
        return;
    }
    for (std::size_t i = 1; i < windows.size(); ++i) {
        const double x0 = windows[i - 1].meanDepth - shift;
        const double x1 = windows[i].meanDepth - shift;
        const double dx = x1 - x0;
        // Windows with the same mean depth (or without points) give no point.
        if (dx == 0 || std::isnan(dx)) continue;
        s.x.push_back((x1 + x0) / 2);
        s.y.push_back((windows[i].slope - windows[i - 1].slope) / dx);
    }
}

GraphResult RunGraininess(GraphCommand command, CCurveAnalyzer& analyzer, CurveDisplay& display,
                          const Settings& settings, int currentCurve, const GraphOptions& options) {
    GraphResult result;
    result.ran = true;
    const bool loading = command == C::GraininessLoad || command == C::Graininess2Load;
    const bool secondDerivative = command == C::Graininess2Load || command == C::Graininess2Unload;
    if (Cancelled(options)) {
        result.cancelled = true;
        return result;
    }
    std::optional<GraininessFits> fits =
        loading ? LoadingWindows(command, analyzer, settings.strategy.m_fSectionSizePercent, result)
                : UnloadingWindows(analyzer, display, settings, currentCurve, options, result);
    if (!fits) return result;
    GraininessSeries(*fits, secondDerivative, loading ? 0.0 : fits->hf, result.series);
    if (fits->capped)
        result.note =
            "The section size asks for more windows than the graph can hold; it shows "
            "the first " +
            FormatInt(static_cast<long long>(kMaxGraininessPoints)) + ".";
    return result;
}

// The profile's settings from the analysis settings: the indenter, and the area function
// where the user calibrated one (anything but the ideal 24.5 hc^2, which would replace a
// workbook's own by a worse one); the rest as `marvek-cli profile` has them by default (the
// workbook's Poisson ratio and window).
// A value the user typed into a float setting, as typed: 0.07f is 0.07, not 0.0700000003.
double AsTyped(float v) {
    const std::string text = FormatSignificant(v, 7);
    double out = v;
    std::from_chars(text.data(), text.data() + text.size(), out);
    return out;
}

}  // namespace

profiles::ProfileSettings ProfileSettingsFor(const Settings& settings) {
    profiles::ProfileSettings p;
    const AreaFunctionSettings& area = settings.areaFunction;
    p.indenterModulus = AsTyped(area.m_fIndenterModulus);
    p.indenterPoisson = AsTyped(area.m_fIndenterPoisson);
    if (area.m_dApCoef != AreaFunctionSettings{}.m_dApCoef) {
        std::size_t terms = area.m_dApCoef.size();
        while (terms > 1 && area.m_dApCoef[terms - 1] == 0) --terms;
        p.areaCoefficients.assign(area.m_dApCoef.begin(),
                                  area.m_dApCoef.begin() + static_cast<std::ptrdiff_t>(terms));
    }
    return p;
}

namespace {

// The current curve's depth profile over its loading: read from its file again, with the
// channels the analysis does not keep, and computed as `marvek-cli profile` computes it with
// ProfileSettingsFor.
GraphResult RunProfile(GraphCommand command, const CCurveAnalyzer& analyzer,
                       const Settings& settings, int currentCurve, const GraphOptions& options) {
    GraphResult result;
    result.ran = true;
    if (Cancelled(options)) {
        result.cancelled = true;
        return result;
    }
    if (currentCurve < 0 || currentCurve >= analyzer.m_nFileCount) {
        result.error = "No curve is shown, so there is no profile to draw.";
        return result;
    }
    const std::filesystem::path& shown =
        analyzer.m_strFiles[static_cast<std::size_t>(currentCurve)];
    const io::Address address = io::ParseAddress(shown);
    const io::ParsedFile file = io::ReadFile(address.file, analyzer.m_readOptions);
    if (options.progress) options.progress(1, 1);
    if (!file.status.ok()) {
        result.error = file.status.message();
        return result;
    }
    const io::ParsedCurve* curve = nullptr;
    for (const io::ParsedCurve& c : file.curves)
        if (address.test.empty() || c.test == address.test) {
            curve = &c;
            break;
        }
    if (!curve) {
        result.error = shown.string() + ": the file no longer holds this test.";
        return result;
    }
    const profiles::DepthProfile profile =
        profiles::ComputeProfile(*curve, ProfileSettingsFor(settings));
    if (!profile.ok()) {
        result.error = shown.string() + ": no depth profile: " + profile.status.reason() + ".";
        return result;
    }
    const bool hardness = command == C::HardnessProfile;
    const std::vector<double>& values = hardness ? profile.hardness : profile.modulus;
    GraphSeries& s = result.series;
    for (std::size_t i = 0; i < profile.loadingSamples && i < profile.size(); ++i) {
        s.x.push_back(profile.depth[i]);
        s.y.push_back(values[i]);
        s.labels.emplace_back(address.file.string(), address.test);
    }
    s.meanMark = false;
    const profiles::ProfileAverage mean = profiles::AverageProfile(profile);
    s.text = (hardness ? "H" : "E") + std::string(" over ") + FormatSignificant(mean.from, 4) +
             "-" + FormatSignificant(mean.to, 4) + " nm: ";
    if (mean.n > 0) {
        const double value = hardness ? mean.hardness : mean.modulus;
        const double sd = hardness ? mean.hardnessSd : mean.modulusSd;
        s.text += FormatSignificant(value, 4) +
                  (std::isfinite(sd) ? " ± " + FormatSignificant(sd, 2) : std::string()) +
                  " GPa (n = " + FormatInt(static_cast<long long>(mean.n)) + ")";
    } else {
        s.text += mean.reason;
    }
    std::string facts;
    const std::size_t skipped = profile.skipped.Total();
    if (skipped > 0) facts = FormatInt(static_cast<long long>(skipped)) + " samples skipped";
    // The view opens on the profile, not on the spikes of the first samples (the contact not yet
    // established): up to a quarter above the 95th percentile. The points above stay in the
    // graph and its CSV.
    std::vector<double> sorted;
    for (double v : s.y)
        if (std::isfinite(v)) sorted.push_back(v);
    std::sort(sorted.begin(), sorted.end());
    if (!sorted.empty()) {
        const double top = 1.25 * sorted[(sorted.size() - 1) * 95 / 100];
        const auto above = static_cast<long long>(
            sorted.end() - std::upper_bound(sorted.begin(), sorted.end(), top));
        if (above > 0 && top > 0) {
            s.yViewLower = 0;
            s.yViewUpper = top;
            facts += (facts.empty() ? "" : "; ") + FormatInt(above) +
                     (above == 1 ? " sample" : " samples") + " above the view (zoom out to see)";
        }
    }
    if (!facts.empty()) s.text += "\n" + facts;
    // Said once before the graph: the frame keeps to the numbers.
    for (const std::string& w : profile.warnings)
        result.note += (result.note.empty() ? "" : "\n") + shown.string() + ": " + w;
    return result;
}

// The cumulative distribution F_i = (i - 0.5)/n of the first pop-in loads of the curves not
// excluded, with the Weibull line (Schuh & Lund, J. Mater. Res. 19 (2004) 2152).
// The histogram of the same loads: Sturges' 1 + log2 n bins of equal width over their range
// (Sturges, J. Am. Stat. Assoc. 21 (1926) 65), a point per bin at its centre and the bars'
// outline as the line.
void MakeHistogram(const std::vector<std::pair<double, int>>& sorted, GraphSeries& s) {
    s.x.clear(), s.y.clear(), s.curves.clear(), s.lineX.clear(), s.lineY.clear();
    s.meanMark = false;
    const std::size_t n = sorted.size();
    if (n == 0) {
        s.text = "no first pop-ins";
        return;
    }
    const double lo = sorted.front().first, hi = sorted.back().first;
    const int bins =
        hi > lo ? 1 + static_cast<int>(std::ceil(std::log2(static_cast<double>(n)))) : 1;
    const double width = hi > lo ? (hi - lo) / bins : (lo > 0 ? 0.1 * lo : 1.0);
    const double start = hi > lo ? lo : lo - width / 2;
    std::vector<int> count(static_cast<std::size_t>(bins), 0);
    for (const auto& entry : sorted) {
        const int b = std::min(bins - 1, static_cast<int>((entry.first - start) / width));
        ++count[static_cast<std::size_t>(std::max(b, 0))];
    }
    s.lineX.push_back(start), s.lineY.push_back(0);
    for (int b = 0; b < bins; ++b) {
        const double left = start + b * width, c = count[static_cast<std::size_t>(b)];
        s.x.push_back(left + width / 2), s.y.push_back(c);
        s.lineX.push_back(left), s.lineY.push_back(c);
        s.lineX.push_back(left + width), s.lineY.push_back(c);
    }
    s.lineX.push_back(start + bins * width), s.lineY.push_back(0);
    s.text = FormatInt(static_cast<long long>(n)) + " first pop-ins in " + FormatInt(bins) +
             " bin" + (bins == 1 ? "" : "s") + " of " + FormatSignificant(width, 4) + " mN";
}

void MakeDistribution(const std::vector<StepOutcome>& outcomes, const std::vector<Step>& steps,
                      const std::vector<bool>& excluded, bool histogram, GraphResult& result) {
    std::vector<std::pair<double, int>> loads;  // (first pop-in load, curve)
    std::vector<popins::PopinResult> firsts;
    std::size_t without = 0, left = 0;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        const int curve = steps[i].curve;
        if (!outcomes[i].ok) continue;  // listed in the failures
        if (static_cast<std::size_t>(curve) < excluded.size() &&
            excluded[static_cast<std::size_t>(curve)]) {
            ++left;
            continue;
        }
        if (!std::isfinite(outcomes[i].y)) {
            ++without;
            continue;
        }
        loads.emplace_back(outcomes[i].y, curve);
        popins::PopinResult r;
        r.popins.push_back({});
        r.popins.back().load = outcomes[i].y;
        firsts.push_back(std::move(r));
    }
    std::stable_sort(loads.begin(), loads.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    GraphSeries& s = result.series;
    if (histogram) {
        MakeHistogram(loads, s);
    } else {
        const popins::PopinStatistics stats = popins::SummarisePopins(firsts);
        s.x.clear(), s.y.clear(), s.curves.clear();
        for (std::size_t i = 0; i < loads.size(); ++i) {
            s.x.push_back(loads[i].first);
            s.y.push_back(stats.cdfProbability[i]);
            s.curves.push_back(loads[i].second);
        }
        s.lineX = stats.weibullLoad;
        s.lineY = stats.weibullProbability;
        s.meanMark = false;
        s.text = FormatInt(static_cast<long long>(loads.size())) + " first pop-ins";
        if (std::isfinite(stats.weibullModulus) && std::isfinite(stats.weibullScale))
            s.text += ", Weibull modulus " + FormatSignificant(stats.weibullModulus, 4) +
                      ", scale " + FormatSignificant(stats.weibullScale, 4) + " mN (R² " +
                      FormatFixed(stats.weibullR2, 3) + ")";
        else
            s.text += ": no Weibull fit (fewer than two distinct positive loads)";
    }
    if (without > 0)
        s.text += "\n" + FormatInt(static_cast<long long>(without)) + " curve" +
                  (without == 1 ? "" : "s") + " without a pop-in";
    if (left > 0)
        s.text += (without > 0 ? ", " : "\n") + FormatInt(static_cast<long long>(left)) +
                  " excluded curve" + (left == 1 ? "" : "s") + " left out";
}

}  // namespace

const std::vector<GraphCommandInfo>& GraphCommands() { return kCommands; }

const GraphCommandInfo& GetGraphCommandInfo(GraphCommand command) {
    for (const GraphCommandInfo& info : kCommands)
        if (info.command == command) return info;
    return kCommands.front();
}

const GraphCommandInfo* FindGraphCommand(std::string_view name) {
    for (const GraphCommandInfo& info : kCommands)
        if (name == info.name) return &info;
    return nullptr;
}

GraphResult RunGraphCommand(GraphCommand command, CCurveAnalyzer& analyzer, CurveDisplay& display,
                            const Settings& settings, int currentCurve,
                            const GraphOptions& options) {
    const GraphCommandInfo& info = GetGraphCommandInfo(command);
    GraphResult result;
    if (analyzer.m_nFileCount < 1) return result;
    if (info.kind == K::Graininess) {
        result = RunGraininess(command, analyzer, display, settings, currentCurve, options);
    } else if (info.kind == K::Profile) {
        result = RunProfile(command, analyzer, settings, currentCurve, options);
    } else {
        result.ran = true;
        std::vector<Step> steps;
        Pair pair{};
        const bool sweep = info.kind != K::CurveList && info.kind != K::Distribution;
        if (!sweep) {
            steps.reserve(static_cast<std::size_t>(analyzer.m_nFileCount));
            for (int i = 0; i < analyzer.m_nFileCount; ++i) steps.push_back({i, 0, 0});
        } else if (ActivePair(settings.strategy, pair)) {
            bool capped = false;
            steps = PlanSweep(command, info.kind, settings.strategy, pair, currentCurve, capped);
            if (capped)
                result.note = "The sweep stopped at " +
                              FormatInt(static_cast<long long>(kMaxSweepPoints)) + " points.";
        }
        const StepRunner runner(command, steps, sweep, pair, settings);
        std::vector<StepOutcome> outcomes;
        // A sweep analyses one curve up to kMaxSweepPoints times: its file is parsed once.
        const bool hold =
            sweep && !steps.empty() && currentCurve >= 0 && currentCurve < analyzer.m_nFileCount;
        // A file that cannot be held fails in the steps, which name it.
        if (hold)
            static_cast<void>(analyzer.HoldCurveFile(
                analyzer.m_strFiles[static_cast<std::size_t>(currentCurve)]));
        const bool finished =
            RunSteps(runner, steps.size(), analyzer, display, settings, options, outcomes);
        if (hold) analyzer.ReleaseHeldCurve();
        if (!finished) {
            result.cancelled = true;
            result.note.clear();
            return result;
        }
        CollectPoints(outcomes, steps, result);
        if (info.kind == K::Distribution)
            MakeDistribution(outcomes, steps, options.excluded, command == C::FirstPopinHistogram,
                             result);
    }
    result.series.xTitle = info.xTitle;
    result.series.yTitle = info.yTitle;
    return result;
}

std::string DescribeGraphFailures(const std::vector<CurveFailure>& failures) {
    if (failures.empty()) return {};
    constexpr std::size_t kListed = 20;
    std::string text = failures.size() == 1
                           ? std::string("1 curve could not be read and has no point in the graph:")
                           : FormatInt(static_cast<long long>(failures.size())) +
                                 " curves could not be read and have no point in the graph:";
    for (std::size_t i = 0; i < failures.size() && i < kListed; ++i)
        text += "\n" + failures[i].message;
    if (failures.size() > kListed)
        text +=
            "\n... and " + FormatInt(static_cast<long long>(failures.size() - kListed)) + " more.";
    return text;
}

std::string FormatGraphCsv(const GraphSeries& series) {
    const std::size_t n = std::min(series.x.size(), series.y.size());
    const bool labelled = series.labels.size() == n && n > 0;
    std::string text =
        series.xTitle + ", " + series.yTitle + (labelled ? ", file, test" : "") + "\n";
    text.reserve(text.size() + n * 28);
    for (std::size_t i = 0; i < n; ++i) {
        text += FormatSignificant(series.x[i], 7);
        text += ',';
        text += FormatSignificant(series.y[i], 7);
        if (labelled)
            text +=
                "," + CsvField(series.labels[i].first) + "," + CsvField(series.labels[i].second);
        text += '\n';
    }
    return text;
}

Status WriteGraphCsv(const GraphSeries& series, const std::filesystem::path& file) {
    const Status status = WriteOutputFile(file, FormatGraphCsv(series));
    if (status.ok()) return status;
    return Status::Error("Could not write " + file.string() + ": " + status.reason() + ".");
}

}  // namespace marvek
