#pragma once
// The parameter file: 40 settings, one per line, read at start and rewritten at exit.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/status.h"
#include "core/config/settings.h"

namespace marvek {

struct ParameterFileResult {
    Status status;  // why the file could not be read
    // Values of a file that was read but that Validate refused: each was replaced by its default.
    std::vector<std::string> warnings;
    bool ok() const { return status.ok(); }
};

// $XDG_CONFIG_HOME/marvek/marvek.par, by default ~/.config/marvek/marvek.par.
std::filesystem::path DefaultParameterFilePath();

// Reads the values over `settings` (a missing or unusable value keeps what `settings` holds;
// non-finite values are never taken; a value Validate refuses is replaced by its default and
// named in `warnings`). Not ok when the file could not be opened.
ParameterFileResult LoadParameters(const std::filesystem::path& file, Settings& settings);

// The reading rules of LoadParameters applied to the file's text.
void ParseParameters(std::string_view text, Settings& settings);

// Writes all 40 values to a temporary file beside `file` and renames it over `file`, creating
// the folder when needed. A failed save leaves the old file as it was.
Status SaveParameters(const std::filesystem::path& file, const Settings& settings);

// The file's text for `settings` (what SaveParameters writes).
std::string FormatParameters(const Settings& settings);

}  // namespace marvek
