#include "xls_writer.h"

#include <cstring>
#include <stdexcept>

namespace marvek::test {

namespace {

constexpr std::uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFatSector = 0xFFFFFFFD;

std::string Wide(std::string_view latin1) {
    std::string out;
    for (char c : latin1) out += c, out += '\0';
    return out;
}

// A string with a 16-bit count and its option byte, all in one record.
std::string UnicodeString(std::string_view latin1, bool wide) {
    return Le16(static_cast<std::uint32_t>(latin1.size())) + std::string(1, wide ? 1 : 0) +
           (wide ? Wide(latin1) : std::string(latin1));
}

std::string Cell(std::uint16_t r, std::uint16_t c, std::uint16_t xf = 15) {
    return Le16(r) + Le16(c) + Le16(xf);
}

std::string Bof(std::uint16_t type) {
    return BiffRecord(0x0809, Le16(0x0600) + Le16(type) + Le16(0x0DBB) + Le16(0x07CC) +
                                  Le32(0x000100C1) + Le32(0x00000406));
}

// The SST and its CONTINUE records: no record holds more than `limit` bytes of data; a string's
// characters cut by a record's end go on after a fresh option byte.
std::string SstRecords(const std::vector<SharedText>& sst, std::size_t limit) {
    std::vector<std::string> records(1, Le32(static_cast<std::uint32_t>(sst.size())) +
                                            Le32(static_cast<std::uint32_t>(sst.size())));
    auto room = [&] { return limit - records.back().size(); };
    auto raw = [&](std::string bytes) {  // headers and runs go on across records as they are
        for (char b : bytes) {
            if (room() == 0) records.emplace_back();
            records.back() += b;
        }
    };
    for (const SharedText& s : sst) {
        if (room() < 4 + (s.runs ? 2 : 0)) records.emplace_back();  // the header stays whole
        raw(Le16(static_cast<std::uint32_t>(s.text.size())) +
            std::string(1, static_cast<char>((s.wide ? 1 : 0) | (s.runs ? 8 : 0))) +
            (s.runs ? Le16(static_cast<std::uint32_t>(s.runs)) : ""));
        bool wide = s.wide;
        for (std::size_t i = 0; i < s.text.size();) {
            std::size_t width = wide ? 2 : 1;
            if (room() < width) {
                wide = s.wideAfterSplit;
                width = wide ? 2 : 1;
                records.emplace_back(1, wide ? 1 : 0);
            }
            const std::size_t n = std::min(s.text.size() - i, room() / width);
            const std::string part = s.text.substr(i, n);
            records.back() += wide ? Wide(part) : part;
            i += n;
        }
        for (int k = 0; k < s.runs; ++k) raw(Le16(static_cast<std::uint32_t>(k)) + Le16(0));
    }
    std::string out = BiffRecord(0x00FC, records[0]);
    for (std::size_t i = 1; i < records.size(); ++i) out += BiffRecord(0x003C, records[i]);
    return out;
}

}  // namespace

std::string BiffRecord(std::uint16_t id, std::string_view data) {
    if (data.size() > 0xFFFF) throw std::length_error("record too long");
    return Le16(id) + Le16(static_cast<std::uint32_t>(data.size())) + std::string(data);
}

std::string Le16(std::uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
std::string Le32(std::uint32_t v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }
std::string LeDouble(double v) {
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return Le32(static_cast<std::uint32_t>(b)) + Le32(static_cast<std::uint32_t>(b >> 32));
}

std::uint32_t RkInteger(std::int32_t v, bool divideBy100) {
    return (static_cast<std::uint32_t>(v) << 2) | 2u | (divideBy100 ? 1u : 0u);
}
std::uint32_t RkDouble(double v, bool divideBy100) {
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return (static_cast<std::uint32_t>(b >> 32) & ~3u) | (divideBy100 ? 1u : 0u);
}

XlsSheet& XlsSheet::Dimensions(std::uint32_t rows, std::uint16_t cols) {
    return Raw(BiffRecord(0x0200, Le32(0) + Le32(rows) + Le16(0) + Le16(cols) + Le16(0)));
}
XlsSheet& XlsSheet::Number(std::uint16_t r, std::uint16_t c, double v) {
    return Raw(BiffRecord(0x0203, Cell(r, c) + LeDouble(v)));
}
XlsSheet& XlsSheet::Rk(std::uint16_t r, std::uint16_t c, std::uint32_t rk) {
    return Raw(BiffRecord(0x027E, Cell(r, c) + Le32(rk)));
}
XlsSheet& XlsSheet::MulRk(std::uint16_t r, std::uint16_t first,
                          const std::vector<std::uint32_t>& rks) {
    std::string d = Le16(r) + Le16(first);
    for (std::uint32_t rk : rks) d += Le16(15) + Le32(rk);
    return Raw(BiffRecord(0x00BD, d + Le16(first + static_cast<std::uint32_t>(rks.size()) - 1)));
}
XlsSheet& XlsSheet::LabelSst(std::uint16_t r, std::uint16_t c, std::uint32_t index) {
    return Raw(BiffRecord(0x00FD, Cell(r, c) + Le32(index)));
}
XlsSheet& XlsSheet::Label(std::uint16_t r, std::uint16_t c, std::string_view latin1, bool wide) {
    return Raw(BiffRecord(0x0204, Cell(r, c) + UnicodeString(latin1, wide)));
}
XlsSheet& XlsSheet::Formula(std::uint16_t r, std::uint16_t c, double cached) {
    // The formula's tokens: one "reference to A1" (tRef) is enough for a reader that keeps the
    // cached value only.
    const std::string tokens = std::string(1, '\x24') + Le16(0) + Le16(0xC000);
    return Raw(BiffRecord(0x0006, Cell(r, c) + LeDouble(cached) + Le16(0) + Le32(0) +
                                      Le16(static_cast<std::uint32_t>(tokens.size())) + tokens));
}
XlsSheet& XlsSheet::FormulaText(std::uint16_t r, std::uint16_t c, std::string_view latin1) {
    const std::string tokens = std::string(1, '\x24') + Le16(0) + Le16(0xC000);
    const std::string result = std::string(6, '\0') + Le16(0xFFFF);
    Raw(BiffRecord(0x0006, Cell(r, c) + result + Le16(0) + Le32(0) +
                               Le16(static_cast<std::uint32_t>(tokens.size())) + tokens));
    return Raw(BiffRecord(0x0207, UnicodeString(latin1, false)));
}
XlsSheet& XlsSheet::Bool(std::uint16_t r, std::uint16_t c, bool v) {
    return Raw(BiffRecord(0x0205, Cell(r, c) + std::string(1, v ? 1 : 0) + std::string(1, 0)));
}
XlsSheet& XlsSheet::EmbeddedChart(std::uint16_t r, std::uint16_t c, double v) {
    Raw(BiffRecord(0x00EC, std::string(16, '\0')));  // the drawing that anchors the chart
    Raw(Bof(0x0020));
    Raw(BiffRecord(0x1001, Le16(1)));  // chart units
    Raw(BiffRecord(0x0200, Le32(0) + Le32(60000) + Le16(0) + Le16(200) + Le16(0)));
    Raw(BiffRecord(0x0203, Cell(r, c) + LeDouble(v)));
    Raw(Bof(0x0020));  // substreams may nest
    Raw(BiffRecord(0x000A, ""));
    return Raw(BiffRecord(0x000A, ""));
}
XlsSheet& XlsSheet::Raw(std::string record) {
    records_ += record;
    return *this;
}

std::string XlsSheet::Substream() const {
    return Bof(type_ == 2 ? 0x0020 : 0x0010) + records_ + BiffRecord(0x000A, "");
}

std::string XlsStream(const std::vector<XlsSheet>& sheets, const std::vector<SharedText>& sst,
                      std::size_t sstRecordBytes) {
    auto bound = [](const XlsSheet& s, std::uint32_t offset) {
        return BiffRecord(0x0085, Le32(offset) + std::string(1, 0) +
                                      std::string(1, static_cast<char>(s.type())) +
                                      std::string(1, static_cast<char>(s.name().size())) +
                                      std::string(1, 0) + s.name());
    };
    const std::string tail = SstRecords(sst, sstRecordBytes) + BiffRecord(0x000A, "");
    std::size_t globals = Bof(0x0005).size() + tail.size();
    for (const XlsSheet& s : sheets) globals += bound(s, 0).size();
    std::string out = Bof(0x0005), body;
    for (const XlsSheet& s : sheets) {
        out += bound(s, static_cast<std::uint32_t>(globals + body.size()));
        body += s.Substream();
    }
    return out + tail + body;
}

std::string CompoundFile(const std::string& stream, const std::string& name, bool scatter) {
    constexpr std::size_t S = 512;
    std::vector<std::string> sectors;
    std::vector<std::uint32_t> fat;
    // Appends `data` as a chain; with `reverse` its sectors are laid out last to first.
    auto chain = [&](const std::string& data, bool reverse) -> std::uint32_t {
        const std::size_t n = (data.size() + S - 1) / S;
        if (n == 0) return kEnd;
        const auto base = static_cast<std::uint32_t>(sectors.size());
        auto at = [&](std::size_t i) {
            return base + static_cast<std::uint32_t>(reverse ? n - 1 - i : i);
        };
        sectors.resize(sectors.size() + n);
        fat.resize(fat.size() + n);
        for (std::size_t i = 0; i < n; ++i) {
            std::string part = data.substr(i * S, S);
            part.resize(S, '\0');
            sectors[at(i)] = part;
            fat[at(i)] = i + 1 < n ? at(i + 1) : kEnd;
        }
        return at(0);
    };
    std::uint32_t start, rootStart = kEnd, rootSize = 0, miniFatStart = kEnd, miniFatCount = 0;
    if (stream.size() < 4096) {
        std::string mini = stream;
        mini.resize((mini.size() + 63) / 64 * 64, '\0');
        std::string miniFat;
        const std::size_t n = mini.size() / 64;
        for (std::size_t i = 0; i < n; ++i)
            miniFat += Le32(i + 1 < n ? static_cast<std::uint32_t>(i + 1) : kEnd);
        while (miniFat.size() % S) miniFat += Le32(kFree);
        start = n ? 0 : kEnd;
        rootStart = chain(mini, scatter);
        rootSize = static_cast<std::uint32_t>(mini.size());
        miniFatStart = chain(miniFat, false);
        miniFatCount = static_cast<std::uint32_t>(miniFat.size() / S);
    } else {
        start = chain(stream, scatter);
    }
    auto entry = [](const std::string& n, int type, std::uint32_t child, std::uint32_t first,
                    std::uint32_t size) {
        std::string e = Wide(n) + std::string(2, '\0');
        const auto nameBytes = static_cast<std::uint32_t>(e.size());
        e.resize(64, '\0');
        e += Le16(nameBytes) + std::string(1, static_cast<char>(type)) + std::string(1, 1);
        e += Le32(kFree) + Le32(kFree) + Le32(child);  // left, right, child
        e += std::string(16 + 4 + 16, '\0');           // class id, state bits, times
        return e + Le32(first) + Le32(size) + Le32(0);
    };
    std::string dir = entry("Root Entry", 5, 1, rootStart, rootSize) +
                      entry(name, 2, kFree, start, static_cast<std::uint32_t>(stream.size()));
    dir.resize(S, '\0');
    const std::uint32_t dirStart = chain(dir, false);
    std::size_t fatCount = 1;
    while ((sectors.size() + fatCount) > fatCount * (S / 4)) ++fatCount;
    if (fatCount > 109) throw std::length_error("the writer keeps its FAT in the header");
    const auto firstFat = static_cast<std::uint32_t>(sectors.size());
    for (std::size_t i = 0; i < fatCount; ++i) fat.push_back(kFatSector);
    fat.resize(fatCount * (S / 4), kFree);

    static const unsigned char magic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::string h(reinterpret_cast<const char*>(magic), 8);
    h += std::string(16, '\0') + Le16(0x3E) + Le16(3) + Le16(0xFFFE) + Le16(9) + Le16(6);
    h += std::string(6, '\0') + Le32(0) + Le32(static_cast<std::uint32_t>(fatCount)) +
         Le32(dirStart) + Le32(0) + Le32(4096) + Le32(miniFatStart) + Le32(miniFatCount) +
         Le32(kEnd) + Le32(0);
    for (std::size_t i = 0; i < 109; ++i)
        h += Le32(i < fatCount ? firstFat + static_cast<std::uint32_t>(i) : kFree);
    h.resize(S, '\0');
    std::string out = h;
    for (const std::string& s : sectors) out += s;
    for (std::uint32_t v : fat) out += Le32(v);
    return out;
}

}  // namespace marvek::test
