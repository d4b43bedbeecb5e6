#pragma once
// The recent curve-file selections (File > Open Recent): the last ten lists of files chosen
// together, newest first, kept in a small text file beside the parameter file.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/status.h"

namespace marvek {

using CurveSelection = std::vector<std::filesystem::path>;

inline constexpr std::size_t kMaxRecentSelections = 10;
// A selection keeps as many files as the window takes.
inline constexpr std::size_t kMaxRecentFiles = 2000;

// marvek.recent in the parameter file's folder.
std::filesystem::path RecentSelectionsPath(const std::filesystem::path& parameterFile);

// The selections in the text, newest first. Any bytes are accepted: lines that are not
// understood are skipped, empty selections and paths are left out, and at most
// kMaxRecentSelections selections of at most kMaxRecentFiles files are kept.
std::vector<CurveSelection> ParseRecentSelections(std::string_view text);
// The file's text (what ParseRecentSelections reads back to the same list). Paths are written
// with '%', line feeds and carriage returns escaped as %25, %0A and %0D.
std::string FormatRecentSelections(const std::vector<CurveSelection>& selections);

// A missing or unreadable file is an empty list; at most 4 MB of it are read.
std::vector<CurveSelection> LoadRecentSelections(const std::filesystem::path& file);
Status SaveRecentSelections(const std::filesystem::path& file,
                            const std::vector<CurveSelection>& selections);

// `selection` put first; an equal selection further down is removed and the list is cut to
// kMaxRecentSelections. An empty selection leaves the list as it is.
std::vector<CurveSelection> AddRecentSelection(std::vector<CurveSelection> list,
                                               CurveSelection selection);

}  // namespace marvek
