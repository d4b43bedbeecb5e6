#include "output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace marvek {

namespace {

std::string LastErrorText(const char* fallback) {
    const int code = errno;
    return code != 0 ? std::string(std::strerror(code)) : std::string(fallback);
}

}  // namespace

std::string WriteOutputFile(const std::filesystem::path& file, std::string_view content) {
    if (file.empty()) return "no file name given";
    errno = 0;
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) return LastErrorText("cannot be created");
    errno = 0;
    const bool written = std::fwrite(content.data(), 1, content.size(), out) == content.size();
    std::string reason = written ? std::string() : LastErrorText("could not be written");
    errno = 0;
    if (std::fclose(out) != 0 && reason.empty()) reason = LastErrorText("could not be written");
    return reason;
}

}  // namespace marvek
