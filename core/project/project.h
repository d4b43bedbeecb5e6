#pragma once
// A saved piece of work: the curves with each one's exclusion, note and flag, the settings, the
// displayed curve and the views with their ranges, in a small JSON file (.marvek) that the
// window and marvek-cli both read and write. The layout is described in docs/project-file.md.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/base/status.h"
#include "core/config/settings.h"

namespace marvek::project {

inline constexpr int kFormatVersion = 1;
inline constexpr const char* kFormatName = "marvek-project";
inline constexpr const char* kExtension = ".marvek";

// What the user said about one curve.
struct CurveNotes {
    bool excluded = false;  // left out of the statistics by the user
    std::string note;       // free text
    std::string flag;       // the user's own flag (free text, e.g. "check tip"); empty: none
    // The unloading fit range set for this curve (dragged on the plot); none: the settings'.
    std::optional<UnloadFitRange> fitRange;
    bool operator==(const CurveNotes&) const = default;
    bool Empty() const { return !excluded && note.empty() && flag.empty() && !fitRange; }
};

struct Curve {
    std::filesystem::path file;  // absolute (resolved against the project file's folder)
    std::string test;            // test inside the file; empty for one-test files
    // The file as it was when the project was saved (size in bytes, SHA-256 in hex); unknown
    // (nullopt / empty) when it could not be read then.
    std::optional<std::uintmax_t> size;
    std::string sha256;
    CurveNotes notes;
    // "FILE" or "FILE#TEST": the address the analysis takes.
    std::string Address() const;
};

// An axis range of a view (a plot's x and y).
struct Range {
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    bool operator==(const Range&) const = default;
};

// An open view: its name ("curve", "table", "explorer", a graph command's name ...) and, for
// plots, the range on show.
struct View {
    std::string name;
    std::optional<Range> range;
};

struct Project {
    std::vector<Curve> curves;
    Settings settings;
    int currentCurve = 0;  // index into curves
    std::vector<View> views;
};

// Writes `project` to `file` (whole or not at all). Paths are stored relative to the file's
// folder where they lie beneath it or beside it, otherwise absolute; sizes and hashes are
// taken from the curve files now (a curve file that cannot be read keeps what it had).
Status WriteProject(Project project, const std::filesystem::path& file);

// Reads `file`. A file that is not a project, a newer format version, or settings a run would
// refuse (the same checks and sentences as the parameter file and the cli) fail with a message
// naming the file and the reason; nothing of `out` is changed then.
Status ReadProject(const std::filesystem::path& file, Project& out);

// The project's text (what WriteProject writes), for tests and the cli.
std::string FormatProject(const Project& project, const std::filesystem::path& file);
Status ParseProject(const std::string& text, const std::filesystem::path& file, Project& out);

// How a curve file compares with the project's record of it.
struct FileCheck {
    enum class State { Same, Missing, Changed, Unknown };
    std::size_t curve = 0;
    State state = State::Same;
    std::string detail;  // e.g. "size 1234 bytes, was 1200" or "content changed (same size)"
};
// Only the curves whose file is missing or changed (or was not recorded).
std::vector<FileCheck> CheckFiles(const Project& project);
// "2 curve files have changed since the project was saved:\n..." - empty when nothing did.
std::string DescribeFileChecks(const Project& project, const std::vector<FileCheck>& checks);

// True when every setting of `a` equals that of `b`.
bool SameSettings(const Settings& a, const Settings& b);

// Size and SHA-256 (lower-case hex) of a file.
Status Fingerprint(const std::filesystem::path& file, std::uintmax_t& size, std::string& sha256);

}  // namespace marvek::project
