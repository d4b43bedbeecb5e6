#pragma once
// The one way an operation reports failure: ok, or a code, where it happened (the file with its
// line or cell, or the setting) and the reason. message() is the one formatting, shown as it is
// by the command line (after the command's name) and by the windows.

#include <filesystem>
#include <string>
#include <utility>

namespace marvek {

// What kind of failure; callers branch on this, never on the text.
enum class ErrorCode {
    None,           // ok
    CannotOpen,     // missing, unreadable, not a regular file
    UnknownLayout,  // opened, but no known layout found
    Damaged,        // a known layout, but broken (cut short, a part missing)
    BadValue,       // a setting, option or field out of range or not a number
    NoResult,       // the analysis found nothing to report
    WriteFailed,
    Cancelled,
    Other,
};

// Where a failure happened; empty parts are left out of the message.
struct ErrorPlace {
    std::string file;   // as the user named it
    int line = 0;       // 1-based line of a text file; 0 = none
    std::string cell;   // a workbook cell or sheet ("Sheet1!B7")
    std::string field;  // a setting or column ("epsilon", "Depth")
};

class [[nodiscard]] Status {
public:
    Status() = default;  // ok

    // A failure described by a whole message.
    static Status Error(std::string message, ErrorCode code = ErrorCode::Other) {
        return At(code, ErrorPlace{}, std::move(message));
    }
    // A failure of `file`: the message is "FILE: reason".
    static Status FileError(const std::filesystem::path& file, std::string reason,
                            ErrorCode code = ErrorCode::Other) {
        ErrorPlace place;
        place.file = file.string();
        return At(code, std::move(place), std::move(reason));
    }
    // A failure at a line of a text file: "FILE:LINE: reason".
    static Status LineError(ErrorCode code, const std::filesystem::path& file, int line,
                            std::string reason) {
        ErrorPlace place;
        place.file = file.string();
        place.line = line;
        return At(code, std::move(place), std::move(reason));
    }
    // A failure with its code and place: "FILE:LINE: reason", "FILE (cell C): reason",
    // "FILE, FIELD: reason" or "FIELD: reason".
    static Status At(ErrorCode code, ErrorPlace place, std::string reason) {
        return Status(code == ErrorCode::None ? ErrorCode::Other : code, std::move(place),
                      std::move(reason));
    }

    bool ok() const noexcept { return m_code == ErrorCode::None; }
    explicit operator bool() const noexcept { return ok(); }
    ErrorCode code() const noexcept { return m_code; }
    const ErrorPlace& place() const noexcept { return m_place; }
    // Empty when ok.
    const std::string& message() const noexcept { return m_message; }
    // What went wrong without the place (for messages that name it themselves).
    const std::string& reason() const noexcept { return m_reason; }

private:
    Status(ErrorCode code, ErrorPlace place, std::string reason)
        : m_code(code), m_place(std::move(place)), m_reason(std::move(reason)) {
        m_message = Where(m_place);
        if (!m_message.empty()) m_message.append(": ");
        m_message.append(m_reason);
    }
    static std::string Where(const ErrorPlace& p) {
        std::string w = p.file;
        if (!w.empty() && p.line > 0) w.append(":").append(std::to_string(p.line));
        if (!p.cell.empty()) w.append(w.empty() ? "cell " : " (cell ").append(p.cell);
        if (!p.cell.empty() && !p.file.empty()) w.append(")");
        if (!p.field.empty()) w.append(w.empty() ? "" : ", ").append(p.field);
        return w;
    }

    ErrorCode m_code = ErrorCode::None;
    ErrorPlace m_place;
    std::string m_message;
    std::string m_reason;
};

}  // namespace marvek
