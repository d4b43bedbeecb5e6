#pragma once
// The import layer's one result: a curve as a file states it, whatever the format. Nothing here
// knows of the analysis; the analyzer loads a ParsedCurve and never learns where it came from.

#include <cstddef>
#include <filesystem>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/base/status.h"

namespace marvek {

namespace io {

// Something skipped or guessed while reading; line (text) or row (sheet), 1-based, 0 = file.
struct ReadWarning {
    int line = 0;
    std::string text;
    bool guess = false;  // the reader guessed columns or units: shown beside the results too
};

// What the instrument's file states besides the points. Units: compliance nm/mN, positions µm.
struct CurveMetadata {
    std::optional<double> poissonRatio;
    std::optional<double> frameCompliance;
    // Area function A(hc) = C0 hc^2 + C1 hc + C2 hc^(1/2) + C3 hc^(1/4) + ..., nm^2 for hc in nm.
    std::vector<double> areaCoefficients;
    std::string tipName;
    std::optional<double> positionX, positionY;
    // Continuous-stiffness settings of the test: the harmonic frame stiffness (N/m) entered after
    // the test, and the depth window (nm) the instrument averaged its results over.
    std::optional<double> harmonicFrameStiffness;
    std::optional<double> averageFrom, averageTo;
    // Everything else worth keeping, as the file prints it (instrument results, settings).
    std::vector<std::pair<std::string, std::string>> values;
};

// A further per-point quantity a file records (an instrument's continuous-stiffness columns):
// values aligned one to one with the points, NaN where the cell is empty or not a number.
struct Channel {
    std::string name;  // as the file names it, e.g. "Harmonic Contact Stiffness"
    std::string unit;  // as the file states it, e.g. "N/m"
    std::vector<double> values;
};

struct ParsedCurve {
    // Points in file order: depth nm, load mN, time s (0 without a time column), segment code
    // 'L' 'T' 'U' 'B' 'R' or 'X' (unlabelled).
    std::vector<double> depth, load, time;
    std::vector<char> segment;
    std::string test;    // the test's name inside its file; empty for a one-curve file
    std::string format;  // the format's short name ("marvek-csv", "triboscan-txt", ...)
    std::string units;   // the units read, e.g. "depth nm, load uN, time s"
    // The columns taken, as the file names them: "depth: column 3 \"Indentation (nm)\", nm;
    // load: ..." (empty where the format fixes its columns).
    std::string columns;
    CurveMetadata meta;
    std::vector<ReadWarning> warnings;
    std::vector<Channel> channels;

    std::size_t size() const { return depth.size(); }
    // The channel named `name`, or null.
    const Channel* FindChannel(std::string_view name) const {
        for (const Channel& ch : channels)
            if (ch.name == name) return &ch;
        return nullptr;
    }
    void clear();
    void push(double d, double l, double t, char code);
};

// What a user can do about a layout the reader guessed or could not find, in the words of the
// program the user is in: the reason is the reader's, the hint its caller's (the command line
// names options, the window its own command).
struct ReadHints {
    // After "3 columns without a header: ".
    std::string giveColumns;
    // In brackets after "no unit stated for depth: read as nm ".
    std::string unitIfOtherwise;
    // After "no header: the 3 columns are read as time s, depth nm, load mN (...); ".
    std::string columnsAndUnitsIfOtherwise;
    // In brackets after "check the load column and its unit ".
    std::string whereColumnsAndUnits;
};
// The command line's hints ("give --columns depth=N,load=N[,time=N]", ...).
const ReadHints& CommandLineHints();

// Choices of the user that override what a file suggests.
struct ReadOptions {
    std::string format;                                   // "" = detect from the content
    int depthColumn = 0, loadColumn = 0, timeColumn = 0;  // 1-based; 0 = by name
    std::string depthUnit, loadUnit;                      // "" = as the file says
    // How messages say what to do; null: the command line's. Points to a table that outlives
    // every read (a static one).
    const ReadHints* hints = nullptr;
};
inline const ReadHints& HintsOf(const ReadOptions& o) {
    return o.hints ? *o.hints : CommandLineHints();
}

// A part of a file read and found to hold no curve (a workbook's results or chart sheet).
struct SkippedPart {
    std::string name;
    std::string reason;  // e.g. "sheet 'Results' holds no curve: ..."
};

// All curves of one file, in file order.
struct ParsedFile {
    // Ok (the curves may still hold no points), or why the file gave no curve: CannotOpen (the
    // curves untouched), UnknownLayout (no known format found) or Damaged (a known format,
    // broken); the message names the file.
    Status status;
    std::string format;
    // How the format was chosen when the content fitted several readers ("" when one fitted).
    std::string choice;
    std::vector<ParsedCurve> curves;
    std::vector<SkippedPart> skipped;  // in file order

    // A reader's failure: no curves, and the reason (the file's name goes in front once the
    // reading is done).
    void Fail(ErrorCode code, std::string reason) {
        status = Status::Error(std::move(reason), code);
        curves.clear();
    }
};

// Point limits: a curve holds at most kMaxPoints (kMaxPointsMarkerLayout in the marker layout
// of Marvek's own CSV); the rest are dropped with a warning (silently in Marvek's CSV).
constexpr int kMaxPoints = 40000;
constexpr int kMaxPointsMarkerLayout = 9000;

// Names of the formats, in the order detection tries them.
const std::vector<std::string>& FormatNames();

// Reads every curve of a file. The curve of Marvek's own CSV is streamed; other files are read
// whole (zip members and workbook parts in memory, never written to disk).
ParsedFile ReadFile(const std::filesystem::path& file, const ReadOptions& options = {});

// The same from a buffer (`name` names the file in messages and guides detection by extension).
ParsedFile ParseBuffer(std::string_view content, const std::string& name,
                       const ReadOptions& options = {});

// Marvek's own CSV layouts, streamed (the fast path of the analyzer). False when neither layout
// is found; out then holds no points.
bool ParseMarvekCsv(std::istream& in, ParsedCurve& out);
// The same over text in memory.
bool ParseMarvekCsv(std::string_view text, ParsedCurve& out);

// The same straight into fixed arrays of at least kMaxPoints each (no copy); `info` gets the
// format and units, no points.
struct PointArrays {
    double* depth;
    double* load;
    double* time;
    char* segment;
};
bool ParseMarvekCsv(std::istream& in, const PointArrays& points, int& count, ParsedCurve& info);

// A curve's address: FILE or FILE#TEST. A path that exists as a file is never split, so a file
// name holding '#' still works.
struct Address {
    std::filesystem::path file;
    std::string test;  // empty: the file's only (or first) curve
};
Address ParseAddress(const std::filesystem::path& address);
std::filesystem::path MakeAddress(const std::filesystem::path& file, const std::string& test);

class ParsedFileCache;

// Each file replaced by the addresses of its tests when it holds several; other entries as they
// are. Files that cannot be read stay, so their failure is reported where they are analysed.
// With a cache, the files read here stay parsed there for reading their tests.
std::vector<std::filesystem::path> ExpandAddresses(const std::vector<std::filesystem::path>& in,
                                                   const ReadOptions& options = {},
                                                   ParsedFileCache* cache = nullptr);

// A test name made fit for part of a file name: no separators, "..", control characters or
// leading dots; never empty.
std::string SafeFileNamePart(std::string_view test);

// The file stem an output named after a curve uses: the file's stem, plus "_" and the safe test
// name for an address with a test.
std::string CurveOutputStem(const std::filesystem::path& address);

}  // namespace io
}  // namespace marvek

namespace marvek::io {

// Reads the one curve an address names into `out` (the analyzer's path): Marvek's CSV is
// streamed, anything else read whole (or taken from `cache` when given: the tests of a workbook
// are then parsed once) and the addressed test (or the file's first) taken. On a failure the
// reason is in out.error.
// With `direct`, a file of Marvek's CSV is parsed straight into those arrays: *directCount is then
// the number of points there (and `out` holds none); it is -1 when the points are in `out`.
Status ReadCurve(const std::filesystem::path& address, const ReadOptions& options, ParsedCurve& out,
                 const PointArrays* direct = nullptr, int* directCount = nullptr,
                 ParsedFileCache* cache = nullptr);

}  // namespace marvek::io
