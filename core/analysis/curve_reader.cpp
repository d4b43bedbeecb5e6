#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <istream>
#include <string>
#include <string_view>
#include <system_error>

#include "core/analysis/curve_analyzer.h"
#include "core/io/number_format.h"

namespace marvek {

const char* const kFileFormatCaption = "Error Required File Format";
const char* const kFileFormatMessage =
    "Try\n\nFile format example (.CSV): \nDisplacement (nm), Force (mN) \n17.26392, 0.112508\n"
    "20.6317, 0.128736\n...\n\n OR \n\nDisplacement (nm), Force (mN), Time (s) \n"
    "17.26392, 0.112508, 0.010\n20.6317, 0.128736, 0.015\n...";

std::string DescribeReadFailure(ReadStatus status, const std::filesystem::path& file) {
    switch (status) {
        case ReadStatus::Ok: return "";
        case ReadStatus::CannotOpen: return file.string() + ": cannot be opened";
        case ReadStatus::UnknownLayout:
            return file.string() +
                   ": not a recognised curve file (no \"Depth\"/\"Disp\" header "
                   "line and no \",1, \" marker line)";
    }
    return file.string() + ": unknown read failure";
}

namespace {

// Splits a stream into lines at LF, CR LF or a lone CR; lines may be of any length. A line that
// lies whole in the buffer is handed out in place; only one that straddles a refill is copied.
class LineReader {
public:
    explicit LineReader(std::istream& in) : in_(in) {}

    bool Next(std::string_view& line) {
        if (pos_ == end_ && !Fill()) return false;
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

private:
    // The first LF or CR at or after `from`, or end_.
    std::size_t LineEnd(std::size_t from) const {
        const char* begin = buffer_ + from;
        const char* lf = static_cast<const char*>(std::memchr(begin, '\n', end_ - from));
        const std::size_t limit = lf ? static_cast<std::size_t>(lf - begin) : end_ - from;
        const char* cr = static_cast<const char*>(std::memchr(begin, '\r', limit));
        return from + (cr ? static_cast<std::size_t>(cr - begin) : limit);
    }

    // Steps past the line break at i (a CR LF split by a refill included).
    void Consume(std::size_t i) {
        pos_ = i + 1;
        if (buffer_[i] == '\r') {
            if (pos_ < end_) {
                if (buffer_[pos_] == '\n') ++pos_;
            } else {
                skipLf_ = true;
            }
        }
    }

    bool Fill() {
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
            if (end_ - pos_ >= 3 && std::string_view(buffer_ + pos_, 3) == "\xEF\xBB\xBF")
                pos_ += 3;
        }
        return pos_ < end_ || Fill();
    }

    std::istream& in_;
    char buffer_[1 << 16];
    std::size_t pos_ = 0, end_ = 0;
    bool skipLf_ = false;
    bool firstFill_ = true;
    std::string long_;
};

bool Contains(std::string_view text, std::string_view what) {
    return text.find(what) != std::string_view::npos;
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "nm" in a line sets nanometres, "um" micrometres (which wins when both appear). One scan for
// the 'm's: a data line usually has none.
void UpdateDepthFactor(std::string_view line, double& factor) {
    bool nm = false, um = false;
    for (std::size_t at = line.find('m', 1); at != std::string_view::npos;
         at = line.find('m', at + 1)) {
        nm = nm || line[at - 1] == 'n';
        um = um || line[at - 1] == 'u';
    }
    if (nm) factor = 1;
    if (um) factor = 1000;
}

// The segment a data line's keyword names; the later keyword of this list wins when a line
// holds several: LOAD, TOP_HOLD, UNLOAD, BOTTOM_HOLD, RELOAD. `tail` starts at a comma.
char SegmentKeyword(std::string_view tail) {
    bool load = false, top = false, unload = false, bottom = false, reload = false;
    for (std::size_t at = tail.find(','); at != std::string_view::npos;
         at = tail.find(',', at + 1)) {
        const std::string_view word = tail.substr(at + 1);
        if (word.empty()) break;
        switch (word[0]) {
            case 'L': load = load || word.starts_with("LOAD"); break;
            case 'T': top = top || word.starts_with("TOP_HOLD"); break;
            case 'U': unload = unload || word.starts_with("UNLOAD"); break;
            case 'B': bottom = bottom || word.starts_with("BOTTOM_HOLD"); break;
            case 'R': reload = reload || word.starts_with("RELOAD"); break;
            default: break;
        }
    }
    return reload ? 'R' : bottom ? 'B' : unload ? 'U' : top ? 'T' : load ? 'L' : 'X';
}

// Position just after the k-th comma (k >= 1) at or after `from`, or npos.
std::size_t AfterComma(std::string_view line, std::size_t from) {
    const std::size_t comma = line.find(',', from);
    return comma == std::string_view::npos ? comma : comma + 1;
}

struct Point {
    double depth = 0, load = 0, time = 0;
    char code = 'X';
};

// A point is stored only with a positive, finite depth and finite load and time.
bool Usable(const Point& p) {
    return p.depth > 0 && std::isfinite(p.depth) && std::isfinite(p.load) && std::isfinite(p.time);
}

// One data line of the header layout; false when the line holds no point. `scratch` holds the
// rewritten line of a semicolon-separated file.
bool ParseHeaderLayoutLine(std::string_view line, double& depthFactor, Point& p,
                           std::string& scratch) {
    UpdateDepthFactor(line, depthFactor);
    if (line.empty() || IsLetter(line[0])) return false;
    std::string_view text = line;
    if (Contains(line, ";")) {
        // Semicolon-separated files use decimal commas.
        scratch.assign(line);
        for (char& c : scratch) {
            if (c == ',')
                c = '.';
            else if (c == ';')
                c = ',';
        }
        text = scratch;
    }
    p = Point{};
    p.depth = ParseDouble(text) * depthFactor;
    const std::size_t loadAt = AfterComma(text, 0);
    if (loadAt == std::string_view::npos) return false;  // no load field
    p.load = ParseDouble(text.substr(loadAt));
    const std::size_t timeAt = AfterComma(text, loadAt);
    if (timeAt != std::string_view::npos) {
        p.time = ParseDouble(text.substr(timeAt));
        const std::size_t thirdComma = text.find(',', timeAt);
        if (thirdComma != std::string_view::npos) p.code = SegmentKeyword(text.substr(thirdComma));
    }
    return Usable(p);
}

// One line of the marker layout: any, integer, depth in um, load in mN, any, time in s.
bool ParseMarkerLayoutLine(std::string_view line, Point& p) {
    std::size_t field[6] = {0};
    for (int k = 1; k < 6; ++k) {
        field[k] = AfterComma(line, field[k - 1]);
        if (field[k] == std::string_view::npos) return false;  // fields missing
    }
    p = Point{};
    p.depth = ParseDouble(line.substr(field[2])) * 1000;
    p.load = ParseDouble(line.substr(field[3]));
    p.time = ParseDouble(line.substr(field[5]));
    return Usable(p);
}

// Where a parse stores its points; each array holds at least kMaxPoints.
struct PointArrays {
    double* depth;
    double* load;
    double* time;
    char* segment;
};

// The points as the file holds them, before segment detection and corrections.
ReadStatus ParsePoints(std::istream& in, const PointArrays& out, int& count) {
    enum class Layout { None, Header, Marker } layout = Layout::None;
    LineReader reader(in);
    std::string_view line;
    std::string scratch;
    double depthFactor = 1000;
    count = 0;
    while (reader.Next(line)) {
        if (line.substr(0, 5) == "Depth" || line.substr(0, 4) == "Disp") {
            layout = Layout::Header;
            UpdateDepthFactor(line, depthFactor);
            break;
        }
        if (Contains(line, ",1, ")) {
            layout = Layout::Marker;
            break;
        }
    }
    if (layout == Layout::None) return ReadStatus::UnknownLayout;
    const int capacity = layout == Layout::Header ? CCurveAnalyzer::kMaxPoints
                                                  : CCurveAnalyzer::kMaxPointsMarkerLayout;
    int n = 0;
    Point p;
    while (n < capacity && reader.Next(line)) {
        const bool stored = layout == Layout::Header
                                ? ParseHeaderLayoutLine(line, depthFactor, p, scratch)
                                : ParseMarkerLayoutLine(line, p);
        if (!stored) continue;
        out.depth[n] = p.depth;
        out.load[n] = p.load;
        out.time[n] = p.time;
        out.segment[n] = p.code;
        ++n;
    }
    count = n;
    return ReadStatus::Ok;
}

bool OpenCurveFile(const std::filesystem::path& file, std::ifstream& in) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return false;
    in.open(file, std::ios::binary);
    return static_cast<bool>(in);
}

}  // namespace

struct CCurveAnalyzer::HeldCurve {
    std::filesystem::path file;
    std::vector<double> depth, load, time;
    std::vector<char> segment;
};

ReadStatus CCurveAnalyzer::ReadCurveStream(std::istream& in) {
    int n = 0;
    const ReadStatus status =
        ParsePoints(in, {m_pDepth.data(), m_pLoad.data(), m_pTime.data(), m_pSegment.data()}, n);
    m_nPoints = n;
    if (status == ReadStatus::Ok) FinishRead();
    return status;
}

void CCurveAnalyzer::FinishRead() {
    if (m_pSegment[0] == 'X') DetectSegments(0.1);
    if (m_bZeroPointCorrection == 1) CorrectZeroPoint(m_dZeroFitMinPercent, m_dZeroFitMaxPercent);
}

ReadStatus CCurveAnalyzer::HoldCurveFile(const std::filesystem::path& file) {
    m_held.reset();
    std::ifstream in;
    if (!OpenCurveFile(file, in)) return ReadStatus::CannotOpen;
    auto held = std::make_shared<HeldCurve>();
    held->file = file;
    held->depth.resize(kMaxPoints);
    held->load.resize(kMaxPoints);
    held->time.resize(kMaxPoints);
    held->segment.resize(kMaxPoints);
    int n = 0;
    const ReadStatus status = ParsePoints(
        in, {held->depth.data(), held->load.data(), held->time.data(), held->segment.data()}, n);
    if (status != ReadStatus::Ok) return status;
    const auto count = static_cast<std::size_t>(n);
    for (auto* v : {&held->depth, &held->load, &held->time}) {
        v->resize(count);
        v->shrink_to_fit();
    }
    held->segment.resize(count);
    held->segment.shrink_to_fit();
    m_held = std::move(held);
    return status;
}

void CCurveAnalyzer::ReleaseHeldCurve() { m_held.reset(); }

ReadStatus CCurveAnalyzer::ReadCurveFile(const std::filesystem::path& file) {
    if (m_held && m_held->file == file) {
        const HeldCurve& h = *m_held;
        std::copy(h.depth.begin(), h.depth.end(), m_pDepth.begin());
        std::copy(h.load.begin(), h.load.end(), m_pLoad.begin());
        std::copy(h.time.begin(), h.time.end(), m_pTime.begin());
        std::copy(h.segment.begin(), h.segment.end(), m_pSegment.begin());
        m_nPoints = static_cast<int>(h.depth.size());
        FinishRead();
        return ReadStatus::Ok;
    }
    std::ifstream in;
    if (!OpenCurveFile(file, in)) return ReadStatus::CannotOpen;
    return ReadCurveStream(in);
}

}  // namespace marvek
