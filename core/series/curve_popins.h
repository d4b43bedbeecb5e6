#pragma once
// The pop-ins of the curve an analysis left loaded, as the window draws them and `marvek-cli
// popin` prints them: the detector run on the analysed (zero-point corrected) loading, Er from
// the curve's own unloading unless the user gives Er or the tip radius.

#include <string>

#include "core/analysis/curve_analysis.h"
#include "core/analysis/curve_analyzer.h"
#include "core/config/settings.h"
#include "core/popins/popins.h"

namespace marvek {

// Er from the indentation modulus: 1/Er = (1 - vs^2)/E + (1 - vi^2)/Ei (Oliver & Pharr,
// J. Mater. Res. 7 (1992) 1564); NaN when E is not a positive number.
double ReducedModulusFromSample(double sampleModulus, double samplePoisson,
                                const AreaFunctionSettings& indenter);
// The inverse: the sample's modulus from Er; NaN when the indenter alone is more compliant.
double SampleModulusFromReduced(double reducedModulus, double samplePoisson,
                                const AreaFunctionSettings& indenter);

// FindPopins over the analyser's points with `popin`'s detector; when `popin` gives neither Er
// nor the tip radius, Er comes from the unloading's E(IT) in `display`. tauMax/G uses E(IT),
// or the sample modulus from Er where the unloading gave none.
popins::PopinResult AnalyzeCurvePopins(const CCurveAnalyzer& analyzer, const CurveDisplay& display,
                                       const Settings& settings, popins::PopinSettings popin = {});

// The label of the Hertz fit for a plot, in short lines: "Hertz P = K(h - h0)^1.5: K = ...
// mN/nm^1.5", "h0 = ... nm, R² = ..., fitted a-b nm" and "R = ... nm, τmax = ... GPa at P = ...
// mN" (or the fit's reason why R and τmax are missing). Empty when there is no pop-in or no fit.
std::string DescribeHertzFit(const popins::PopinResult& result);

}  // namespace marvek
