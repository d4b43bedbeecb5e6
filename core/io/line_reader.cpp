#include "line_reader.h"

#include <algorithm>
#include <cstring>

namespace marvek::io {

bool LineReader::Next(std::string_view& line) {
    if (pos_ == end_ && !Fill()) return false;
    ++lineNumber_;
    std::size_t i = LineEnd(pos_);
    if (i < end_) {
        line = std::string_view(buffer_ + pos_, i - pos_);
        Consume(i);
        return true;
    }
    long_.assign(buffer_ + pos_, end_ - pos_);
    pos_ = end_;
    while (Fill()) {
        i = LineEnd(pos_);
        long_.append(buffer_ + pos_, i - pos_);
        if (i < end_) {
            Consume(i);
            break;
        }
        pos_ = end_;
    }
    line = long_;
    return true;
}

// The first LF or CR at or after `from`, or end_.
std::size_t LineReader::LineEnd(std::size_t from) const {
    const char* begin = buffer_ + from;
    const char* lf = static_cast<const char*>(std::memchr(begin, '\n', end_ - from));
    const std::size_t limit = lf ? static_cast<std::size_t>(lf - begin) : end_ - from;
    const char* cr = static_cast<const char*>(std::memchr(begin, '\r', limit));
    return from + (cr ? static_cast<std::size_t>(cr - begin) : limit);
}

// Steps past the line break at i (a CR LF split by a refill included).
void LineReader::Consume(std::size_t i) {
    pos_ = i + 1;
    if (buffer_[i] == '\r') {
        if (pos_ < end_) {
            if (buffer_[pos_] == '\n') ++pos_;
        } else {
            skipLf_ = true;
        }
    }
}

bool LineReader::Fill() {
    in_.read(buffer_, sizeof buffer_);
    end_ = static_cast<std::size_t>(in_.gcount());
    pos_ = 0;
    if (end_ == 0) return false;
    if (skipLf_) {
        skipLf_ = false;
        if (buffer_[0] == '\n') pos_ = 1;
    }
    if (firstFill_) {
        firstFill_ = false;
        // Spreadsheets put a UTF-8 byte-order mark before the header.
        if (end_ - pos_ >= 3 && std::string_view(buffer_ + pos_, 3) == "\xEF\xBB\xBF") pos_ += 3;
    }
    return pos_ < end_ || Fill();
}

BufferLines::BufferLines(std::string_view text) : text_(text) {
    if (text_.starts_with("\xEF\xBB\xBF")) pos_ = 3;
}

// The first `c` at or after pos_ (text_.size() when none), searching again only once the one
// remembered in `cached` lies behind.
std::size_t BufferLines::NextOf(char c, std::size_t& cached) const {
    if (cached != std::string_view::npos && cached >= pos_) return cached;
    const void* hit = std::memchr(text_.data() + pos_, c, text_.size() - pos_);
    cached =
        hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data()) : text_.size();
    return cached;
}

bool BufferLines::Next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    ++lineNumber_;
    const std::size_t i = std::min(NextOf('\n', nextLf_), NextOf('\r', nextCr_));
    line = text_.substr(pos_, i - pos_);
    pos_ = i + 1;
    if (i < text_.size() && text_[i] == '\r' && pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
    return true;
}

}  // namespace marvek::io
