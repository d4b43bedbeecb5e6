#include "core/platform/recent_selections.h"

#include <algorithm>
#include <fstream>

#include "core/platform/output_file.h"

namespace marvek {

namespace {

constexpr std::string_view kHeader = "marvek recent selections 1";
constexpr std::string_view kSelection = "selection";
constexpr std::string_view kFile = "file ";
constexpr std::size_t kMaxFileBytes = 4u << 20;

std::string Escape(const std::string& raw) {
    std::string out;
    out.reserve(raw.size());
    for (char c : raw) {
        if (c == '%')
            out += "%25";
        else if (c == '\n')
            out += "%0A";
        else if (c == '\r')
            out += "%0D";
        else
            out += c;
    }
    return out;
}

// The three escapes written are undone; any other '%' stays as it stands.
std::string Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::string_view rest = text.substr(i, 3);
        if (rest == "%25" || rest == "%0A" || rest == "%0a" || rest == "%0D" || rest == "%0d") {
            out += rest == "%25" ? '%' : (rest[2] == 'A' || rest[2] == 'a') ? '\n' : '\r';
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

void Close(std::vector<CurveSelection>& list, CurveSelection& open) {
    if (!open.empty() && list.size() < kMaxRecentSelections) list.push_back(std::move(open));
    open.clear();
}

}  // namespace

std::filesystem::path RecentSelectionsPath(const std::filesystem::path& parameterFile) {
    return parameterFile.parent_path() / "marvek.recent";
}

std::vector<CurveSelection> ParseRecentSelections(std::string_view text) {
    std::vector<CurveSelection> list;
    CurveSelection open;
    bool started = false;
    std::size_t pos = 0;
    while (pos < text.size() && list.size() < kMaxRecentSelections) {
        std::size_t eol = text.find('\n', pos);
        if (eol == std::string_view::npos) eol = text.size();
        std::string_view line = text.substr(pos, eol - pos);
        pos = eol + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line == kSelection) {
            Close(list, open);
            started = true;
        } else if (started && line.substr(0, kFile.size()) == kFile) {
            std::string path = Unescape(line.substr(kFile.size()));
            // A path with a NUL byte names no file the system can open.
            if (path.empty() || path.find('\0') != std::string::npos) continue;
            if (open.size() < kMaxRecentFiles) open.emplace_back(std::move(path));
        }
    }
    Close(list, open);
    return list;
}

std::string FormatRecentSelections(const std::vector<CurveSelection>& selections) {
    std::string text(kHeader);
    text += '\n';
    std::size_t written = 0;
    for (const CurveSelection& s : selections) {
        if (s.empty() || written == kMaxRecentSelections) continue;
        ++written;
        text += kSelection;
        text += '\n';
        std::size_t files = 0;
        for (const auto& f : s) {
            const std::string raw = f.string();
            if (raw.empty() || raw.find('\0') != std::string::npos) continue;
            if (files++ == kMaxRecentFiles) break;
            text += kFile;
            text += Escape(raw);
            text += '\n';
        }
    }
    return text;
}

std::vector<CurveSelection> LoadRecentSelections(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return {};
    std::string text(kMaxFileBytes, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return ParseRecentSelections(text);
}

Status SaveRecentSelections(const std::filesystem::path& file,
                            const std::vector<CurveSelection>& selections) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    return WriteOutputFile(file, FormatRecentSelections(selections));
}

std::vector<CurveSelection> AddRecentSelection(std::vector<CurveSelection> list,
                                               CurveSelection selection) {
    if (selection.empty()) return list;
    if (selection.size() > kMaxRecentFiles) selection.resize(kMaxRecentFiles);
    list.erase(std::remove(list.begin(), list.end(), selection), list.end());
    list.insert(list.begin(), std::move(selection));
    if (list.size() > kMaxRecentSelections) list.resize(kMaxRecentSelections);
    return list;
}

}  // namespace marvek
