#pragma once
// One field of a comma-separated line, quoted only when it must be.

#include <string>
#include <string_view>

namespace marvek {

// `text` as a CSV field: as it is, or in double quotes (inner quotes doubled) when it holds a
// comma, a quote or a line break.
inline std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\n\r") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace marvek
