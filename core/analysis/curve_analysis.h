#pragma once
// The per-curve analysis the main window runs: the chosen unload method, the three plot
// series and the derived modulus and hardness numbers.

#include <string>
#include <vector>

#include "core/analysis/curve_analyzer.h"
#include "core/analysis/unload_method.h"
#include "core/config/settings.h"

namespace marvek {

// What the main window stores of the displayed curve. Members keep their values when an
// analysis does not write them (AnalysisMethod::Other builds no new fit series).
struct CurveDisplay {
    double m_dProjectedArea = 0;  // Ap(hc), nm^2
    double m_dSurfaceArea = 0;    // As(hmax) after the analysis, nm^2
    double m_dEIT = 0;            // GPa
    double m_dHIT = 0;            // MPa
    double m_dHOP = 0;            // MPa
    double m_dHV = 0;             // kg/mm^2
    double m_dHM = 0;             // MPa
    // Series in nm / mN: the measured curve, the fit over the method's force range, and the fit
    // extrapolated over the whole unloading branch.
    std::vector<double> m_pCurveDepth, m_pCurveLoad;
    std::vector<double> m_pFitCurveDepth, m_pFitCurveLoad;
    std::vector<double> m_pExtrapDepth, m_pExtrapLoad;
    // False where nothing is drawn (batch runs): the measured curve, the extrapolation and the
    // fit's loads are then left empty; the numbers and the fit's depths are filled as always.
    bool withPlotSeries = true;
};

// Modulus and hardness numbers of one unload result; see ComputeDerivedQuantities.
struct DerivedQuantities {
    double projectedArea = 0;         // Ap(hc), nm^2
    double surfaceArea = 0;           // As(hmax), nm^2
    double eit = 0;                   // GPa
    double hit = 0, hop = 0, hm = 0;  // MPa
    double hv = 0;                    // kg/mm^2
};

// E(IT), H(IT), H(OP), HV and HM from S, hc, hmax and Fmax of an unload analysis, the area
// functions and indenter of `area` and the sample's Poisson ratio.
DerivedQuantities ComputeDerivedQuantities(const UnloadResult& unload,
                                           const AreaFunctionSettings& area, double samplePoisson);

// What AnalyzeCurve does after the unload analysis of `method` (only the methods that fit the
// unloading build the fit and extrapolation series): the plot series, the derived quantities and
// the segment durations.
void CompleteCurveDisplay(CCurveAnalyzer& analyzer, AnalysisMethod method, const Settings& settings,
                          CurveDisplay& display);

// Sets the analyzer's zero-point correction (switch and fit window) from the strategy; the
// reader applies it on every read. AnalyzeCurve does this itself: it is for reads outside an
// analysis (the file's own settings, the split, the calibrations).
void ConfigureAnalyzer(CCurveAnalyzer& analyzer, const StrategySettings& strategy);

// Curve `curve` of the analyzer's file list read (with the corrections the analyzer is set up
// with) and its unloading fitted by `method`: the one fit every analysis of a file's curve runs,
// AnalyzeCurve's and the calibrations'. On a failed read, or a method that fits no unloading,
// nothing else is touched and the status says why.
Status FitCurveUnload(CCurveAnalyzer& analyzer, int curve, const UnloadMethod& method);

// Analyses curve `curve` of the analyzer's file list with `settings` (strategy, compliance,
// area functions and the sample Poisson ratio m_fPoisson) and writes the results into
// `display`. The analyzer is configured from the strategy first (zero point, drift switch,
// force accuracy), so no earlier call decides how the curve is read.
// On a failed read `display` is left untouched and the status says why (the read's codes;
// NoResult without files).
Status AnalyzeCurve(CCurveAnalyzer& analyzer, int curve, const Settings& settings,
                    CurveDisplay& display);
// The same with another Oliver-Pharr step (the benchmarks' plain reference passes its own).
using OliverPharrStep = Status (*)(CCurveAnalyzer&, int curve, double compliance, double epsilon,
                                   float minPercent, float maxPercent);
Status AnalyzeCurve(CCurveAnalyzer& analyzer, int curve, const Settings& settings,
                    CurveDisplay& display, OliverPharrStep oliverPharr);

// One curve analysed from its points and the settings alone: nothing but the arguments goes in,
// nothing but the result comes out. The result's analyzer is a value owned by the result: it
// holds the corrected points, the fit and the segment times (what the results text, the ISO
// quantities and the pop-ins read); `display` the derived quantities and the plot series.
struct CurveAnalysis {
    AnalysisMethod method = AnalysisMethod::OliverPharr;
    CCurveAnalyzer analyzer;
    CurveDisplay display;
    // Why the curve has no modulus and hardness (empty when it has them); see NoResultReason.
    std::string noResult;
};
// The numbers are bit-identical to the analyzer's own run over the file the curve was read from.
CurveAnalysis AnalyzeCurve(const io::ParsedCurve& curve, const Settings& settings,
                           bool withPlotSeries = true);

}  // namespace marvek
