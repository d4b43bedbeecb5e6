#pragma once
// Every output file is written through here: whole, or not at all.

#include <filesystem>
#include <string_view>

#include "core/base/status.h"

namespace marvek {

// Writes `content` to a temporary file beside `file`, flushes it to disk and renames it over
// `file`, so a reader never sees a half-written file and a failure (disk full, no permission)
// leaves an existing file as it was. The status names the file and the system's reason.
Status WriteOutputFile(const std::filesystem::path& file, std::string_view content);

}  // namespace marvek
