#include "xls_workbook.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace marvek::io::workbook {

namespace {

std::uint16_t U16(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}
std::uint32_t U32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}
std::uint64_t U64(const char* p) {
    return static_cast<std::uint64_t>(U32(p)) | (static_cast<std::uint64_t>(U32(p + 4)) << 32);
}
double F64(const char* p) {
    const std::uint64_t bits = U64(p);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// UTF-16LE code units into UTF-8; a lone surrogate becomes U+FFFD. `pending` carries a high
// surrogate across pieces of one string split over records.
void AppendUtf16(std::string& out, const char* p, std::size_t units, std::uint32_t& pending) {
    for (std::size_t i = 0; i < units; ++i) {
        const std::uint32_t u = U16(p + 2 * i);
        if (u >= 0xD800 && u < 0xDC00) {
            if (pending) AppendUtf8(out, 0xFFFD);
            pending = u;
            continue;
        }
        if (u >= 0xDC00 && u < 0xE000) {
            AppendUtf8(out, pending ? 0x10000 + ((pending - 0xD800) << 10) + (u - 0xDC00) : 0xFFFD);
            pending = 0;
            continue;
        }
        if (pending) AppendUtf8(out, 0xFFFD), pending = 0;
        AppendUtf8(out, u);
    }
}

// Compressed characters are the low bytes of UTF-16 code units, i.e. Latin-1.
void AppendLatin1(std::string& out, const char* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) AppendUtf8(out, static_cast<unsigned char>(p[i]));
}

// ---------------------------------------------------------------------------------------------
// The compound file.

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::size_t kDirEntry = 128;

struct DirEntry {
    std::string name;  // ASCII-lowered; other characters kept as '?'
    int type = 0;      // 1 storage, 2 stream, 5 root
    std::uint32_t start = 0;
    std::uint64_t size = 0;
};

class Compound {
public:
    bool Open(std::string_view file, std::string& error);
    bool Stream(std::string_view name, std::string& out, std::string& error) {
        std::string_view view;
        if (!StreamView(name, out, view, error)) return false;
        if (view.data() != out.data()) out.assign(view);
        return true;
    }
    // The stream in place when its sectors follow each other in the file (as writers lay out
    // large streams), else copied into `storage`; `view` gets it either way.
    bool StreamView(std::string_view name, std::string& storage, std::string_view& view,
                    std::string& error);

private:
    // Sector ids of the chain from `start` through `table`; every id below `limit`. A chain
    // longer than the table must repeat a sector: that is a loop, refused.
    bool Chain(std::uint32_t start, const std::vector<std::uint32_t>& table, std::uint64_t limit,
               const char* what, std::vector<std::uint32_t>& ids, std::string& error) const;
    const char* SectorAt(std::uint32_t id) const {
        return file_.data() + (static_cast<std::uint64_t>(id) + 1) * sectorSize_;
    }
    bool ReadChain(std::uint32_t start, std::uint64_t size, const char* what, std::string& out,
                   std::string& error) const;
    bool ReadMiniChain(std::uint32_t start, std::uint64_t size, const char* what, std::string& out,
                       std::string& error);

    std::string_view file_;
    std::uint32_t sectorSize_ = 512, miniSize_ = 64, cutoff_ = 4096;
    std::uint64_t sectors_ = 0;  // whole sectors after the header
    std::vector<std::uint32_t> fat_, miniFat_;
    std::vector<DirEntry> dir_;
    bool miniLoaded_ = false;
    std::string mini_;
};

bool Compound::Chain(std::uint32_t start, const std::vector<std::uint32_t>& table,
                     std::uint64_t limit, const char* what, std::vector<std::uint32_t>& ids,
                     std::string& error) const {
    ids.clear();
    for (std::uint32_t id = start; id != kEndOfChain;) {
        if (id >= limit || id >= table.size()) {
            error = std::string("the ") + what + " points to sector " + std::to_string(id) +
                    ", outside the file";
            return false;
        }
        if (ids.size() >= table.size()) {
            error = std::string("the sector chain of the ") + what + " loops";
            return false;
        }
        ids.push_back(id);
        id = table[id];
    }
    return true;
}

bool Compound::ReadChain(std::uint32_t start, std::uint64_t size, const char* what,
                         std::string& out, std::string& error) const {
    std::vector<std::uint32_t> ids;
    if (size == 0) {
        out.clear();
        return true;
    }
    if (!Chain(start, fat_, sectors_, what, ids, error)) return false;
    if (static_cast<std::uint64_t>(ids.size()) * sectorSize_ < size) {
        error = std::string("the ") + what + " is cut short (" + std::to_string(size) +
                " bytes stated, " + std::to_string(ids.size() * sectorSize_) + " found)";
        return false;
    }
    out.clear();
    out.reserve(static_cast<std::size_t>(size));
    for (std::uint32_t id : ids) {
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(sectorSize_, size - out.size()));
        out.append(SectorAt(id), take);
        if (out.size() == size) break;
    }
    return true;
}

bool Compound::ReadMiniChain(std::uint32_t start, std::uint64_t size, const char* what,
                             std::string& out, std::string& error) {
    if (!miniLoaded_) {
        if (dir_.empty() || dir_[0].type != 5) {
            error = "the compound file has no root entry";
            return false;
        }
        if (!ReadChain(dir_[0].start, dir_[0].size, "mini stream", mini_, error)) return false;
        miniLoaded_ = true;
    }
    std::vector<std::uint32_t> ids;
    if (!Chain(start, miniFat_, mini_.size() / miniSize_, what, ids, error)) return false;
    if (static_cast<std::uint64_t>(ids.size()) * miniSize_ < size) {
        error = std::string("the ") + what + " is cut short in the mini stream";
        return false;
    }
    out.clear();
    out.reserve(static_cast<std::size_t>(size));
    for (std::uint32_t id : ids) {
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(miniSize_, size - out.size()));
        out.append(mini_.data() + static_cast<std::size_t>(id) * miniSize_, take);
        if (out.size() == size) break;
    }
    return true;
}

bool Compound::Open(std::string_view file, std::string& error) {
    static constexpr unsigned char kMagic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    if (file.size() < 512 || std::memcmp(file.data(), kMagic, 8) != 0) {
        error = "not a compound file (no OLE2 header)";
        return false;
    }
    file_ = file;
    const char* h = file.data();
    const std::uint16_t major = U16(h + 0x1A);
    const std::uint16_t shift = U16(h + 0x1E), miniShift = U16(h + 0x20);
    if (!((major == 3 && shift == 9) || (major == 4 && shift == 12)) || miniShift != 6) {
        error = "the compound file header states an unknown version or sector size";
        return false;
    }
    sectorSize_ = 1u << shift;
    miniSize_ = 1u << miniShift;
    cutoff_ = U32(h + 0x38);
    if (file.size() < sectorSize_) {
        error = "the compound file is cut short within its header";
        return false;
    }
    sectors_ = file.size() / sectorSize_ - 1;

    // FAT sector ids: 109 in the header, the rest in the DIFAT chain.
    const std::uint64_t fatCount = U32(h + 0x2C);
    if (fatCount == 0 || fatCount > sectors_) {
        error = "the compound file states " + std::to_string(fatCount) +
                " allocation table sectors, impossible in a file of its size";
        return false;
    }
    std::vector<std::uint32_t> fatIds;
    for (std::size_t i = 0; i < 109 && fatIds.size() < fatCount; ++i)
        fatIds.push_back(U32(h + 0x4C + 4 * i));
    std::uint32_t difat = U32(h + 0x44);
    const std::size_t perDifat = sectorSize_ / 4 - 1;
    for (std::uint64_t steps = 0; fatIds.size() < fatCount; ++steps) {
        if (difat == kEndOfChain || difat == kFreeSector || difat >= sectors_ || steps > sectors_) {
            error = "the compound file's DIFAT chain is broken";
            return false;
        }
        const char* s = SectorAt(difat);
        for (std::size_t i = 0; i < perDifat && fatIds.size() < fatCount; ++i)
            fatIds.push_back(U32(s + 4 * i));
        difat = U32(s + 4 * perDifat);
    }
    fat_.clear();
    fat_.reserve(static_cast<std::size_t>(fatCount) * (sectorSize_ / 4));
    for (std::uint32_t id : fatIds) {
        if (id >= sectors_) {
            error = "an allocation table sector lies outside the file";
            return false;
        }
        const char* s = SectorAt(id);
        for (std::size_t i = 0; i < sectorSize_ / 4; ++i) fat_.push_back(U32(s + 4 * i));
    }

    // The directory.
    std::vector<std::uint32_t> ids;
    if (!Chain(U32(h + 0x30), fat_, sectors_, "directory", ids, error)) return false;
    dir_.clear();
    for (std::uint32_t id : ids) {
        const char* s = SectorAt(id);
        for (std::size_t e = 0; e + kDirEntry <= sectorSize_; e += kDirEntry) {
            const char* d = s + e;
            DirEntry entry;
            const std::size_t nameBytes = std::min<std::size_t>(U16(d + 0x40), 64);
            for (std::size_t i = 0; i + 1 < nameBytes; i += 2) {
                const std::uint16_t u = U16(d + i);
                if (u == 0) break;
                entry.name += u < 0x80 ? static_cast<char>(std::tolower(u)) : '?';
            }
            entry.type = static_cast<unsigned char>(d[0x42]);
            entry.start = U32(d + 0x74);
            entry.size = major == 3 ? U32(d + 0x78) : U64(d + 0x78);
            dir_.push_back(std::move(entry));
        }
    }

    // The mini allocation table (the mini stream itself is read when first needed).
    miniFat_.clear();
    miniLoaded_ = false;
    const std::uint32_t miniStart = U32(h + 0x3C);
    if (miniStart != kEndOfChain && miniStart != kFreeSector) {
        if (!Chain(miniStart, fat_, sectors_, "mini allocation table", ids, error)) return false;
        miniFat_.reserve(ids.size() * (sectorSize_ / 4));
        for (std::uint32_t id : ids) {
            const char* s = SectorAt(id);
            for (std::size_t i = 0; i < sectorSize_ / 4; ++i) miniFat_.push_back(U32(s + 4 * i));
        }
    }
    return true;
}

bool Compound::StreamView(std::string_view name, std::string& out, std::string_view& view,
                          std::string& error) {
    std::string wanted;
    for (char c : name) wanted += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const DirEntry& e : dir_) {
        if (e.type != 2 || e.name != wanted) continue;
        if (e.size > file_.size()) {
            error = "stream \"" + std::string(name) + "\" states " + std::to_string(e.size) +
                    " bytes, more than the file holds";
            return false;
        }
        const std::string what = "stream \"" + std::string(name) + "\"";
        if (e.size >= cutoff_) {
            std::vector<std::uint32_t> ids;
            if (!Chain(e.start, fat_, sectors_, what.c_str(), ids, error)) return false;
            bool inOrder = static_cast<std::uint64_t>(ids.size()) * sectorSize_ >= e.size;
            for (std::size_t i = 1; inOrder && i < ids.size(); ++i) inOrder = ids[i] == ids[0] + i;
            if (inOrder && !ids.empty()) {
                view = file_.substr((static_cast<std::uint64_t>(ids[0]) + 1) * sectorSize_,
                                    static_cast<std::size_t>(e.size));
                return true;
            }
        }
        const bool ok = e.size < cutoff_ ? ReadMiniChain(e.start, e.size, what.c_str(), out, error)
                                         : ReadChain(e.start, e.size, what.c_str(), out, error);
        view = out;
        return ok;
    }
    error = "the compound file holds no \"" + std::string(name) + "\" stream";
    return false;
}

// ---------------------------------------------------------------------------------------------
// BIFF8 records.

enum : std::uint16_t {
    kFormula = 0x0006,
    kEof = 0x000A,
    kDateMode = 0x0022,
    kXf = 0x00E0,
    kFormat = 0x041E,
    kFilePass = 0x002F,
    kContinue = 0x003C,
    kBoundSheet = 0x0085,
    kMulRk = 0x00BD,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kRString = 0x00D6,
    kDimensions = 0x0200,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kString = 0x0207,
    kRk = 0x027E,
    kBof = 0x0809,
};

struct Record {
    std::uint16_t id = 0;
    std::string_view data;
};

// Records one after another; false at the end of the stream or, with `error` set, at a record
// that runs past it.
class Records {
public:
    Records(std::string_view s, std::size_t pos) : s_(s), pos_(pos) {}
    bool Next(Record& r, std::string& error) {
        if (pos_ + 4 > s_.size()) return false;
        const std::size_t len = U16(s_.data() + pos_ + 2);
        if (pos_ + 4 + len > s_.size()) {
            error = "a record at byte " + std::to_string(pos_) +
                    " of the workbook stream runs past its end";
            return false;
        }
        r.id = U16(s_.data() + pos_);
        r.data = s_.substr(pos_ + 4, len);
        pos_ += 4 + len;
        return true;
    }
    // The record after the current one without consuming it (id 0 at the end).
    std::uint16_t PeekId() const { return pos_ + 4 <= s_.size() ? U16(s_.data() + pos_) : 0; }

private:
    std::string_view s_;
    std::size_t pos_;
};

// A record and its CONTINUE records read as one: characters of a string split between records
// start again with an option byte in the next one.
class Pieces {
public:
    explicit Pieces(std::vector<std::string_view> p) : p_(std::move(p)) {}
    bool AtEnd() {
        Skip0();
        return i_ >= p_.size();
    }
    bool Byte(std::uint8_t& b) {
        Skip0();
        if (i_ >= p_.size()) return false;
        b = static_cast<std::uint8_t>(p_[i_][at_++]);
        return true;
    }
    bool Word(std::uint16_t& w) {
        std::uint8_t a, b;
        if (!Byte(a) || !Byte(b)) return false;
        w = static_cast<std::uint16_t>(a | (b << 8));
        return true;
    }
    bool DWord(std::uint32_t& d) {
        std::uint16_t a, b;
        if (!Word(a) || !Word(b)) return false;
        d = a | (static_cast<std::uint32_t>(b) << 16);
        return true;
    }
    bool Skip(std::uint64_t n) {
        while (n > 0) {
            Skip0();
            if (i_ >= p_.size()) return false;
            const std::size_t take =
                static_cast<std::size_t>(std::min<std::uint64_t>(n, p_[i_].size() - at_));
            at_ += take;
            n -= take;
        }
        return true;
    }
    // `count` characters, starting in the current piece with the given width.
    bool Chars(std::size_t count, bool wide, std::string& out) {
        std::uint32_t pending = 0;
        bool first = true;
        while (count > 0) {
            if (!first || at_ >= Cur().size()) {
                if (at_ < Cur().size()) return false;  // half a character left over
                if (++i_ >= p_.size()) return false;
                at_ = 0;
                if (p_[i_].empty()) return false;
                wide = (p_[i_][at_++] & 1) != 0;  // the option byte sent again
            }
            first = false;
            const std::size_t width = wide ? 2 : 1;
            const std::size_t take = std::min(count, (Cur().size() - at_) / width);
            const char* p = Cur().data() + at_;
            if (wide)
                AppendUtf16(out, p, take, pending);
            else
                AppendLatin1(out, p, take);
            at_ += take * width;
            count -= take;
        }
        if (pending) AppendUtf8(out, 0xFFFD);
        return true;
    }

private:
    std::string_view Cur() const { return i_ < p_.size() ? p_[i_] : std::string_view(); }
    void Skip0() {
        while (i_ < p_.size() && at_ >= p_[i_].size()) ++i_, at_ = 0;
    }
    std::vector<std::string_view> p_;
    std::size_t i_ = 0, at_ = 0;
};

// One string of the shared string table (a rich, extended Unicode string).
bool SharedString(Pieces& in, std::string& s) {
    std::uint16_t count;
    std::uint8_t flags;
    if (!in.Word(count) || !in.Byte(flags)) return false;
    std::uint16_t runs = 0;
    std::uint32_t ext = 0;
    if ((flags & 0x08) && !in.Word(runs)) return false;
    if ((flags & 0x04) && !in.DWord(ext)) return false;
    return in.Chars(count, (flags & 0x01) != 0, s) && in.Skip(4ull * runs) && in.Skip(ext);
}

// A string with a 16-bit (`longCount`) or 8-bit character count, then the option byte, all in
// one record; `used` gets the bytes it took.
bool RecordString(std::string_view d, bool longCount, std::string& s, std::size_t* used = nullptr) {
    const std::size_t head = longCount ? 3 : 2;
    if (d.size() < head) return false;
    const std::size_t count = longCount ? U16(d.data()) : static_cast<unsigned char>(d[0]);
    const std::uint8_t flags = static_cast<std::uint8_t>(d[head - 1]);
    std::size_t at = head;
    std::uint16_t runs = 0;
    std::uint32_t ext = 0;
    if (flags & 0x08) {
        if (d.size() < at + 2) return false;
        runs = U16(d.data() + at), at += 2;
    }
    if (flags & 0x04) {
        if (d.size() < at + 4) return false;
        ext = U32(d.data() + at), at += 4;
    }
    const bool wide = flags & 0x01;
    const std::size_t bytes = count * (wide ? 2 : 1);
    if (d.size() - at < bytes) return false;
    std::uint32_t pending = 0;
    if (wide) {
        AppendUtf16(s, d.data() + at, count, pending);
        if (pending) AppendUtf8(s, 0xFFFD);
    } else {
        AppendLatin1(s, d.data() + at, count);
    }
    if (used) *used = at + bytes + 4ull * runs + ext;
    return true;
}

// What a number format shows of a date serial: 'd' date, 't' time of day, 'b' both, 0 neither.
char FormatKind(std::uint16_t id, const std::string& code) {
    if ((id >= 14 && id <= 17)) return 'd';
    if ((id >= 18 && id <= 21) || (id >= 45 && id <= 47)) return 't';
    if (id == 22) return 'b';
    if (id < 164) return 0;
    bool date = false, time = false, quoted = false, bracket = false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(code[i])));
        if (code[i] == '\\') {
            ++i;
        } else if (code[i] == '"') {
            quoted = !quoted;
        } else if (!quoted && code[i] == '[') {
            bracket = true;
        } else if (!quoted && code[i] == ']') {
            bracket = false;
        } else if (!quoted && !bracket) {
            if (c == 'y' || c == 'd') date = true;
            if (c == 'h' || c == 's') time = true;
        }
    }
    return date && time ? 'b' : date ? 'd' : time ? 't' : 0;
}

// What the workbook states for dates: the kind of each cell format, and the 1904 date system.
struct DateStyles {
    std::vector<char> xfKind;
    bool base1904 = false;
};

// A date serial as text: "YYYY-MM-DD", "HH:MM:SS" or both, to the nearest second.
std::string DateText(double serial, char kind, bool base1904) {
    if (!std::isfinite(serial) || serial < 0 || serial > 2958466) return "";
    std::int64_t secs = std::llround(serial * 86400.0);
    std::int64_t days = secs / 86400;
    secs %= 86400;
    char buf[40];
    std::string out;
    if (kind != 't') {
        // Days since 1970-01-01: serial 25569 in the 1900 system, which counts a 29 February
        // 1900 that never was (serials before 61 are a day later than their date).
        std::int64_t z = days - (base1904 ? 24107 : 25569) + (!base1904 && days < 61 ? 1 : 0);
        // Civil date from days (H. Hinnant, "chrono-compatible low-level date algorithms").
        z += 719468;
        const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
        const std::int64_t doe = z - era * 146097;
        const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
        const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
        const std::int64_t mp = (5 * doy + 2) / 153;
        const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
        const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
        const std::int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", static_cast<int>(y), static_cast<int>(m),
                      static_cast<int>(d));
        out = buf;
    }
    if (kind != 'd') {
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", static_cast<int>(secs / 3600),
                      static_cast<int>(secs / 60 % 60), static_cast<int>(secs % 60));
        out += (out.empty() ? "" : " ") + std::string(buf);
    }
    return out;
}

struct BoundSheet {
    std::uint32_t offset = 0;
    int type = 0;  // 0 worksheet, 1 macro sheet, 2 chart, 6 module
    std::string name;
};

bool ReadGlobals(std::string_view stream, std::vector<BoundSheet>& bound,
                 std::vector<std::string>& sst, DateStyles& dates, std::string& error) {
    std::vector<std::pair<std::uint16_t, std::string>> formats;
    std::vector<std::uint16_t> xfFormat;
    Records in(stream, 0);
    Record r;
    if (!in.Next(r, error) || r.id != kBof || r.data.size() < 4) {
        if (error.empty()) error = "the workbook stream does not start with a BOF record";
        return false;
    }
    if (U16(r.data.data()) != 0x0600) {
        error = "a workbook older than Excel 97 (BIFF5 or earlier), not supported";
        return false;
    }
    while (in.Next(r, error)) {
        const std::string_view d = r.data;
        switch (r.id) {
            case kEof:
                for (std::uint16_t f : xfFormat) {
                    std::string code;
                    for (const auto& [id, text] : formats)
                        if (id == f) code = text;
                    dates.xfKind.push_back(FormatKind(f, code));
                }
                return true;
            case kDateMode:
                if (d.size() >= 2) dates.base1904 = U16(d.data()) == 1;
                break;
            case kXf:
                if (d.size() >= 4) xfFormat.push_back(U16(d.data() + 2));
                break;
            case kFormat: {
                std::string code;
                if (d.size() >= 2 && RecordString(d.substr(2), true, code))
                    formats.emplace_back(U16(d.data()), std::move(code));
                break;
            }
            case kFilePass: error = "the workbook is encrypted (password-protected)"; return false;
            case kBoundSheet: {
                BoundSheet b;
                if (d.size() < 6 || !RecordString(d.substr(6), false, b.name)) {
                    error = "a sheet entry of the workbook is damaged";
                    return false;
                }
                b.offset = U32(d.data());
                b.type = static_cast<unsigned char>(d[5]);
                bound.push_back(std::move(b));
                break;
            }
            case kSst: {
                std::vector<std::string_view> pieces{d};
                Record c;
                while (in.PeekId() == kContinue && in.Next(c, error)) pieces.push_back(c.data);
                if (!error.empty()) return false;
                Pieces p(std::move(pieces));
                std::uint32_t total, unique;
                if (!p.DWord(total) || !p.DWord(unique)) {
                    error = "the shared string table is damaged";
                    return false;
                }
                // Each string takes at least 3 bytes: the stated count reserves no more.
                sst.reserve(std::min<std::size_t>(unique, stream.size() / 3));
                for (std::uint32_t i = 0; i < unique && !p.AtEnd(); ++i) {
                    std::string s;
                    if (!SharedString(p, s)) {
                        error = "shared string " + std::to_string(i + 1) + " of " +
                                std::to_string(unique) + " is damaged";
                        return false;
                    }
                    sst.push_back(std::move(s));
                }
                break;
            }
            default: break;
        }
    }
    if (error.empty()) error = "the workbook stream ends without its end record";
    return false;
}

bool ReadWorksheet(std::string_view stream, const BoundSheet& b, std::size_t sharedCount,
                   const DateStyles& dates, SheetCells& sheet, std::string& error) {
    Records in(stream, b.offset);
    Record r;
    const std::string where = "sheet \"" + b.name + "\"";
    if (!in.Next(r, error) || r.id != kBof || r.data.size() < 4) {
        if (error.empty()) error = where + " does not start where the workbook says";
        return false;
    }
    int depth = 0;             // embedded substreams (charts) inside the sheet are skipped whole
    bool formulaText = false;  // a STRING record gives the text of the formula at (fRow, fCol)
    std::uint32_t fRow = 0, fCol = 0;
    // A number shown as a date or time reads as that text.
    auto setNumber = [&](std::uint32_t row, std::uint32_t col, double v, std::uint16_t xf) {
        const char kind = xf < dates.xfKind.size() ? dates.xfKind[xf] : 0;
        if (kind)
            if (std::string text = DateText(v, kind, dates.base1904); !text.empty())
                return sheet.SetText(row, col, std::move(text), error);
        return sheet.SetNumber(row, col, v, error);
    };
    auto damaged = [&](const char* what) {
        error = where + " has a damaged " + what + " record";
        return false;
    };
    while (in.Next(r, error)) {
        const std::string_view d = r.data;
        if (r.id == kBof) {
            ++depth;
            continue;
        }
        if (r.id == kEof) {
            if (depth-- == 0) return true;
            continue;
        }
        if (depth > 0) continue;
        if (r.id != kString && r.id != kContinue) formulaText = false;
        const std::uint32_t row = d.size() >= 4 ? U16(d.data()) : 0;
        const std::uint32_t col = d.size() >= 4 ? U16(d.data() + 2) : 0;
        switch (r.id) {
            case kDimensions:
                if (d.size() < 12) return damaged("DIMENSIONS");
                if (!sheet.Dimensions(U32(d.data() + 4), U16(d.data() + 10), error)) return false;
                break;
            case kNumber:
                if (d.size() < 14) return damaged("NUMBER");
                if (!setNumber(row, col, F64(d.data() + 6), U16(d.data() + 4))) return false;
                break;
            case kRk:
                if (d.size() < 10) return damaged("RK");
                if (!setNumber(row, col, RkValue(U32(d.data() + 6)), U16(d.data() + 4)))
                    return false;
                break;
            case kMulRk: {
                if (d.size() < 6 || (d.size() - 6) % 6 != 0) return damaged("MULRK");
                const std::size_t n = (d.size() - 6) / 6;
                if (U16(d.data() + d.size() - 2) + 1u != col + n) return damaged("MULRK");
                for (std::size_t i = 0; i < n; ++i)
                    if (!setNumber(row, col + static_cast<std::uint32_t>(i),
                                   RkValue(U32(d.data() + 4 + 6 * i + 2)),
                                   U16(d.data() + 4 + 6 * i)))
                        return false;
                break;
            }
            case kLabelSst: {
                if (d.size() < 10) return damaged("LABELSST");
                const std::uint32_t k = U32(d.data() + 6);
                if (k >= sharedCount) {
                    error = where + " refers to shared string " + std::to_string(k + 1) + " of " +
                            std::to_string(sharedCount);
                    return false;
                }
                if (!sheet.SetShared(row, col, k, error)) return false;
                break;
            }
            case kLabel:
            case kRString: {
                std::string s;
                if (d.size() < 6 || !RecordString(d.substr(6), true, s)) return damaged("LABEL");
                if (!sheet.SetText(row, col, std::move(s), error)) return false;
                break;
            }
            case kBoolErr:
                if (d.size() < 8) return damaged("BOOLERR");
                // A boolean reads as 0 or 1; an error value (#N/A, #DIV/0!) as an empty cell.
                if (!(d[7] == 0 ? sheet.SetNumber(row, col, static_cast<unsigned char>(d[6]), error)
                                : sheet.Touch(row, col, error)))
                    return false;
                break;
            case kFormula: {
                if (d.size() < 20) return damaged("FORMULA");
                const char* v = d.data() + 6;
                bool ok = true;
                if (U16(v + 6) != 0xFFFF) {
                    ok = setNumber(row, col, F64(v), U16(d.data() + 4));
                } else if (v[0] == 0) {
                    ok = sheet.Touch(row, col, error);  // the text follows in a STRING record
                    formulaText = true, fRow = row, fCol = col;
                } else if (v[0] == 1) {
                    ok = sheet.SetNumber(row, col, static_cast<unsigned char>(v[2]), error);
                } else {
                    ok = sheet.Touch(row, col, error);
                }
                if (!ok) return false;
                break;
            }
            case kString:
                if (formulaText) {
                    std::string s;
                    if (!RecordString(d, true, s)) return damaged("STRING");
                    if (!sheet.SetText(fRow, fCol, std::move(s), error)) return false;
                    formulaText = false;
                }
                break;
            default: break;
        }
    }
    if (error.empty()) error = where + " ends without its end record";
    return false;
}

}  // namespace

double RkValue(std::uint32_t rk) {
    double v;
    if (rk & 0x02) {
        v = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, sizeof v);
    }
    return (rk & 0x01) ? v / 100 : v;
}

bool ReadCompoundStream(std::string_view file, std::string_view name, std::string& stream,
                        std::string& error) {
    Compound c;
    return c.Open(file, error) && c.Stream(name, stream, error);
}

// ---------------------------------------------------------------------------------------------
// The flat cell store.

bool SheetCells::Grow(std::uint64_t rows, std::uint64_t cols, std::string& error) {
    rows = std::max<std::uint64_t>(rows, rows_);
    cols = std::max<std::uint64_t>(cols, cols_);
    if (rows == rows_ && cols == cols_) return true;
    if (rows * cols > kMaxCells) {
        error = "sheet \"" + name + "\" holds more cells than a curve sheet";
        return false;
    }
    if (cols > stride_) {
        // Widening copies every row: the stride at least doubles so that a sheet whose cells
        // widen it one column at a time is copied a few times only.
        std::uint64_t stride =
            std::min<std::uint64_t>(std::max<std::uint64_t>(cols, 2 * stride_), maxCols_);
        if (rows * stride > kMaxCells) stride = cols;
        ZeroedVector<double> value(static_cast<std::size_t>(rows * stride));
        ZeroedVector<std::uint8_t> kind(value.size());
        for (std::size_t r = 0; r < rows_; ++r) {
            std::copy_n(value_.begin() + static_cast<std::ptrdiff_t>(r * stride_), stride_,
                        value.begin() + static_cast<std::ptrdiff_t>(r * stride));
            std::copy_n(kind_.begin() + static_cast<std::ptrdiff_t>(r * stride_), stride_,
                        kind.begin() + static_cast<std::ptrdiff_t>(r * stride));
        }
        value_ = std::move(value);
        kind_ = std::move(kind);
        stride_ = static_cast<std::size_t>(stride);
    } else if (rows > rows_) {
        value_.resize(static_cast<std::size_t>(rows) * stride_);
        kind_.resize(value_.size());
    }
    rows_ = static_cast<std::size_t>(rows);
    cols_ = static_cast<std::size_t>(cols);
    return true;
}

bool SheetCells::Dimensions(std::uint64_t rows, std::uint64_t cols, std::string& error) {
    if (rows > maxRows_ || cols > maxCols_ || rows * cols > kMaxCells) {
        error = "sheet \"" + name + "\" declares " + std::to_string(rows) + " x " +
                std::to_string(cols) + " cells, more than a curve sheet holds";
        return false;
    }
    return Grow(rows, cols, error);
}

bool SheetCells::Touch(std::uint32_t r, std::uint32_t c, std::string& error) {
    if (r >= maxRows_ || c >= maxCols_) {
        error = "sheet \"" + name + "\" has a cell outside the sheet's range";
        return false;
    }
    return (r < rows_ && c < cols_) || Grow(r + 1ull, c + 1ull, error);
}

bool SheetCells::SetNumber(std::uint32_t r, std::uint32_t c, double v, std::string& error) {
    if (!Touch(r, c, error)) return false;
    const std::size_t i = r * stride_ + c;
    kind_[i] = kNumber;
    value_[i] = v;
    return true;
}

bool SheetCells::SetText(std::uint32_t r, std::uint32_t c, std::string text, std::string& error) {
    if (!Touch(r, c, error)) return false;
    const std::size_t i = r * stride_ + c;
    kind_[i] = text.empty() ? kEmpty : kOwn;
    if (!text.empty()) {
        value_[i] = static_cast<double>(own_.size());
        own_.push_back(std::move(text));
    }
    return true;
}

bool SheetCells::SetShared(std::uint32_t r, std::uint32_t c, std::uint32_t k, std::string& error) {
    if (!shared_ || k >= shared_->size()) {
        error = "sheet \"" + name + "\" refers to shared string " + std::to_string(k + 1) + " of " +
                std::to_string(shared_ ? shared_->size() : 0);
        return false;
    }
    if (!Touch(r, c, error)) return false;
    const std::size_t i = r * stride_ + c;
    kind_[i] = kShared;
    value_[i] = k;
    return true;
}

bool SheetCells::empty() const {
    for (std::size_t r = 0; r < rows_; ++r)
        for (std::size_t c = 0; c < cols_; ++c)
            if (!at(r, c).empty()) return false;
    return true;
}

Sheet SheetCells::Materialize() const {
    Sheet s;
    s.name = name;
    s.rows.assign(rows_, Row(cols_));
    for (std::size_t r = 0; r < rows_; ++r)
        for (std::size_t c = 0; c < cols_; ++c) {
            const CellView v = at(r, c);
            s.rows[r][c] = Cell{v.number, v.value, std::string(v.text)};
        }
    return s;
}

bool ReadBiffCells(std::string_view stream, const std::function<void(SheetCells&&)>& take,
                   std::vector<OtherSheet>& others, std::string& error) {
    std::vector<BoundSheet> bound;
    auto sst = std::make_shared<std::vector<std::string>>();
    DateStyles dates;
    if (!ReadGlobals(stream, bound, *sst, dates, error)) return false;
    const SheetCells::SharedStrings shared = std::move(sst);
    for (const BoundSheet& b : bound) {
        if (b.type != 0) {
            others.push_back({b.name, b.type == 2   ? "a chart sheet"
                                      : b.type == 1 ? "a macro sheet"
                                                    : "a code module"});
            continue;
        }
        SheetCells sheet(b.name, shared);
        if (!ReadWorksheet(stream, b, shared->size(), dates, sheet, error)) return false;
        take(std::move(sheet));
    }
    return true;
}

bool ReadXlsCells(std::string_view file, const std::function<void(SheetCells&&)>& take,
                  std::vector<OtherSheet>& others, std::string& error) {
    std::string storage;
    std::string_view stream;
    Compound c;
    if (!c.Open(file, error)) return false;
    if (!c.StreamView("Workbook", storage, stream, error)) {
        std::string old;
        if (c.Stream("Book", storage, old))
            error = "a workbook older than Excel 97 (BIFF5 or earlier), not supported";
        return false;
    }
    return ReadBiffCells(stream, take, others, error);
}

bool ReadBiffWorkbook(std::string_view stream, std::vector<Sheet>& sheets,
                      std::vector<OtherSheet>& others, std::string& error) {
    return ReadBiffCells(
        stream, [&](SheetCells&& s) { sheets.push_back(s.Materialize()); }, others, error);
}

bool ReadXlsWorkbook(std::string_view file, std::vector<Sheet>& sheets,
                     std::vector<OtherSheet>& others, std::string& error) {
    return ReadXlsCells(
        file, [&](SheetCells&& s) { sheets.push_back(s.Materialize()); }, others, error);
}

}  // namespace marvek::io::workbook
