#pragma once
// Warnings a researcher must read beside a curve's results: what the reader guessed (a layout
// without a header, a unit no header states) and values outside physical sense for
// nanoindentation, most often a unit read wrong.

#include <string>
#include <vector>

#include "core/io/parsed_curve.h"

namespace marvek {

struct CurveWarning {
    std::string code;  // "implausible" or "guessed-layout"
    std::string text;  // a sentence without a final full stop
};

// Limits of nanoindentation: forces up to 10 N, depths up to 100 µm.
inline constexpr double kPlausibleFmaxMilliNewton = 10000;
inline constexpr double kPlausibleHmaxNanometre = 100000;

// The guesses among the read's warnings, then one warning for each value out of range: Fmax
// above 10 N, hmax above 100 µm, hmax negative. NaN values give none. `hints` says where the
// columns and units are given.
std::vector<CurveWarning> CurveWarnings(double fmax, double hmax,
                                        const std::vector<io::ReadWarning>& read,
                                        const io::ReadHints& hints = io::CommandLineHints());

}  // namespace marvek
