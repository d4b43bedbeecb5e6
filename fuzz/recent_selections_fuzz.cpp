// Any bytes in the recent-selections file give at most ten non-empty selections of usable
// paths, and what is written from them reads back to the same list.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/platform/recent_selections.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto list =
        marvek::ParseRecentSelections(std::string_view(reinterpret_cast<const char*>(data), size));
    if (list.size() > marvek::kMaxRecentSelections) std::abort();
    for (const auto& s : list) {
        if (s.empty() || s.size() > marvek::kMaxRecentFiles) std::abort();
        for (const auto& f : s)
            if (f.empty() || f.string().find('\0') != std::string::npos) std::abort();
    }
    if (marvek::ParseRecentSelections(marvek::FormatRecentSelections(list)) != list) std::abort();
    return 0;
}
