#include "core/platform/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace marvek {

namespace {

std::string ErrnoText(int code, const char* fallback) {
    return code != 0 ? std::string(std::strerror(code)) : std::string(fallback);
}

// Writes all of `content` to `fd` and flushes it to disk; errno of the failure, or 0.
int WriteAll(int fd, std::string_view content) {
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        written += static_cast<std::size_t>(n);
    }
    return ::fsync(fd) == 0 ? 0 : errno;
}

}  // namespace

Status WriteOutputFile(const std::filesystem::path& file, std::string_view content) {
    if (file.empty()) return Status::Error("no file name given", ErrorCode::BadValue);
    std::filesystem::path temp = file;
    temp += ".tmp" + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return Status::FileError(file, ErrnoText(errno, "cannot be created"),
                                 ErrorCode::WriteFailed);
    int code = WriteAll(fd, content);
    if (::close(fd) != 0 && code == 0) code = errno ? errno : EIO;
    std::error_code ec;
    if (code != 0) {
        std::filesystem::remove(temp, ec);
        return Status::FileError(file, ErrnoText(code, "could not be written"),
                                 ErrorCode::WriteFailed);
    }
    std::filesystem::rename(temp, file, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return Status::FileError(file, ec.message(), ErrorCode::WriteFailed);
    }
    return {};
}

}  // namespace marvek
