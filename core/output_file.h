#pragma once
// Writing a whole output file in one go, with the reason when it fails.

#include <filesystem>
#include <string>
#include <string_view>

namespace marvek {

// Creates or truncates `file` and writes `content` byte for byte. Returns an empty string on
// success, otherwise the system's reason ("Permission denied", ...). A failure after the file
// was opened (disk full) is reported too, so a partial file is never passed off as written.
std::string WriteOutputFile(const std::filesystem::path& file, std::string_view content);

}  // namespace marvek
