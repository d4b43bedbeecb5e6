#pragma once
// The one way an operation reports failure: ok, or a message naming the file (or setting) and
// what went wrong. Callers decide how to show it.

#include <filesystem>
#include <string>
#include <utility>

namespace marvek {

class [[nodiscard]] Status {
public:
    Status() = default;  // ok

    // A failure described by a whole message.
    static Status Error(std::string message) { return Status(std::move(message), {}); }
    // A failure of `file`: the message is "FILE: reason".
    static Status FileError(const std::filesystem::path& file, std::string reason) {
        return Status(file.string() + ": " + reason, reason);
    }

    bool ok() const noexcept { return !m_failed; }
    explicit operator bool() const noexcept { return ok(); }
    // Empty when ok.
    const std::string& message() const noexcept { return m_message; }
    // What went wrong without the file's name (for messages that place the name themselves).
    const std::string& reason() const noexcept { return m_reason.empty() ? m_message : m_reason; }

private:
    Status(std::string message, std::string reason)
        : m_failed(true), m_message(std::move(message)), m_reason(std::move(reason)) {}

    bool m_failed = false;
    std::string m_message;
    std::string m_reason;
};

}  // namespace marvek
