#pragma once
// The instrumented-indentation result set of one curve beyond modulus and hardness: the work of
// indentation, its elastic share, creep and relaxation over the top hold, and Martens hardness
// from the slope of the loading branch. Plain functions over the corrected curve.

#include <cmath>
#include <limits>
#include <span>
#include <string>

#include "core/config/settings.h"

namespace marvek {

class CCurveAnalyzer;

// A corrected curve as spans: depth nm, load mN, time s, segment codes 'L' 'T' 'U' 'B' 'R' 'X'.
struct CurveView {
    std::span<const double> depth;
    std::span<const double> load;
    std::span<const double> time;
    std::span<const char> segment;
};

// The loaded curve of an analyzer (its depths as the last analysis corrected them).
CurveView ViewOfCurve(const CCurveAnalyzer& analyzer);

// A value that may be absent: NaN with the reason it could not be had.
struct Quantity {
    double value = std::numeric_limits<double>::quiet_NaN();
    std::string reason;  // empty when present
    bool present() const { return std::isfinite(value); }
};

struct IsoQuantities {
    Quantity wTotal;    // nJ, work of loading and top hold
    Quantity wElastic;  // nJ, work given back on unloading
    Quantity wPlastic;  // nJ, wTotal - wElastic
    Quantity etaIT;     // %, wElastic / wTotal
    Quantity cIT;       // %, relative depth increase over a top hold at constant force
    Quantity holdTime;  // s, duration of that hold (present with cIT)
    Quantity rIT;       // %, relative force decrease over a top hold at constant depth
    Quantity hMs;       // MPa, Martens hardness from the slope of h against sqrt(F)
    Quantity hMsR2;     // r^2 of that line
};

struct IsoOptions {
    // Leading coefficient of the surface area function As = c*h^2 (Berkovich 26.44).
    double surfaceCoefficient = 26.44;
    // Force accuracy (mN): a hold runs from its first to its last point within this (at least
    // 0.5 % of the hold force) below the hold's largest load; a detected hold also holds the
    // end of the loading and the start of the unloading.
    double holdBand = 0.02;
};

// The segments the quantities read, as index ranges of the curve; -1 where absent.
struct CycleRanges {
    int loadStart = -1;  // first point of the last cycle's loading (or reloading)
    int holdStart = -1;  // first and last point of its top hold
    int holdEnd = -1;
    int unloadStart = -1;  // first and last point of its unloading
    int unloadEnd = -1;
};

CycleRanges FindLastCycle(const CurveView& curve);

IsoQuantities ComputeIsoQuantities(const CurveView& curve, const IsoOptions& options = {});

// The quantities of the curve an analyzer holds after AnalyzeCurve with `settings`: its
// surface area function's h^2 term and its force accuracy.
IsoQuantities ComputeIsoQuantities(const CCurveAnalyzer& analyzer, const Settings& settings);

}  // namespace marvek
