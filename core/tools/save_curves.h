#pragma once
// Save Curves: the displayed curve with its fit and extrapolation and the results text, as one
// comma-separated file that a spreadsheet reads as three series sharing the depth column.

#include <filesystem>
#include <string>

#include "core/analysis/curve_analysis.h"

namespace marvek {

extern const char* const kSaveCurvesHeader;  // "Displacement(nm), Force(mN), Fit(mN), ..."

// The file's text: the results text and a line break, the column header, then the measured
// curve ("d,F"), the fit ("d,,F") and the extrapolation ("d,,,F"), 7 significant digits,
// depth in nm and force in mN as the display holds them.
std::string BuildSaveCurvesText(const std::string& resultsText, const CurveDisplay& display);

// Writes `content` to `file` (the full path, created or overwritten). Returns an empty string
// on success, otherwise a message naming the file and the reason.
std::string WriteSaveCurvesFile(const std::filesystem::path& file, const std::string& content);

}  // namespace marvek
