#pragma once
// Splits a stream into lines at LF, CR LF or a lone CR; lines may be of any length. A line that
// lies whole in the buffer is handed out in place; only one that straddles a refill is copied.
// A UTF-8 byte-order mark at the start is skipped.

#include <cstddef>
#include <istream>
#include <string>
#include <string_view>

namespace marvek::io {

class LineReader {
public:
    explicit LineReader(std::istream& in) : in_(in) {}
    bool Next(std::string_view& line);
    int LineNumber() const { return lineNumber_; }

private:
    std::size_t LineEnd(std::size_t from) const;
    void Consume(std::size_t i);
    bool Fill();

    std::istream& in_;
    char buffer_[1 << 16];
    std::size_t pos_ = 0, end_ = 0;
    bool skipLf_ = false;
    bool firstFill_ = true;
    int lineNumber_ = 0;
    std::string long_;
};

// The same over a buffer in memory, with no copies. The next LF and the next CR are each found
// once with memchr and remembered, so a file of bare CRs (or bare LFs) is still read in one pass.
class BufferLines {
public:
    explicit BufferLines(std::string_view text);
    bool Next(std::string_view& line);
    int LineNumber() const { return lineNumber_; }

private:
    std::size_t NextOf(char c, std::size_t& cached) const;

    std::string_view text_;
    std::size_t pos_ = 0;
    // Where the next LF and CR were found (text_.size() when none); npos before the first search.
    std::size_t nextLf_ = std::string_view::npos, nextCr_ = std::string_view::npos;
    int lineNumber_ = 0;
};

}  // namespace marvek::io
