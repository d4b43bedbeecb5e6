#include "core/phases/table.h"

#include <cctype>
#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>

#include "core/io/number_format.h"

namespace marvek::phases {
namespace {

std::string Trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return std::string(s.substr(b, e - b));
}

// "EIT [GPa]" -> "EIT", "x (um)" -> "x"; a header without a unit stays as it is.
std::string WithoutUnit(std::string_view header) {
    std::string h = Trim(header);
    if (!h.empty() && (h.back() == ']' || h.back() == ')')) {
        const char open = h.back() == ']' ? '[' : '(';
        const auto at = h.rfind(open);
        if (at != std::string::npos && at > 0) return Trim(std::string_view(h).substr(0, at));
    }
    return h;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

Status ParseTable(std::string_view text, const std::string& name, Table& out) {
    out = {};
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false, fieldStarted = false;
    auto endField = [&] {
        record.push_back(std::move(field));
        field.clear();
        fieldStarted = false;
    };
    auto endRecord = [&] {
        endField();
        // A blank line is no record.
        if (!(record.size() == 1 && record[0].empty())) records.push_back(std::move(record));
        record.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == '"' && !fieldStarted) {
            quoted = fieldStarted = true;
        } else if (c == ',') {
            endField();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            endRecord();
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (quoted) return Status::FileError(name, "a quoted field is not closed", ErrorCode::Damaged);
    if (fieldStarted || !record.empty() || !field.empty()) endRecord();
    if (records.empty())
        return Status::FileError(name, "empty file: no header row", ErrorCode::UnknownLayout);
    for (auto& h : records.front()) out.headers.push_back(Trim(h));
    for (std::size_t r = 1; r < records.size(); ++r) {
        records[r].resize(out.headers.size());
        out.rows.push_back(std::move(records[r]));
    }
    return {};
}

Status ReadTable(const std::filesystem::path& file, Table& out) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return Status::FileError(file, "cannot open the file", ErrorCode::CannotOpen);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return ParseTable(text, file.string(), out);
}

int FindColumn(const Table& table, std::string_view name) {
    const std::string wanted = Trim(name);
    const int n = static_cast<int>(table.headers.size());
    for (int i = 0; i < n; ++i)
        if (table.headers[i] == wanted) return i;
    for (int i = 0; i < n; ++i)
        if (WithoutUnit(table.headers[i]) == wanted) return i;
    for (int i = 0; i < n; ++i)
        if (SameIgnoringCase(WithoutUnit(table.headers[i]), wanted)) return i;
    return -1;
}

Status SelectColumns(const Table& table, const std::vector<std::string>& names, Samples& out) {
    out = {};
    std::vector<int> index;
    for (const auto& name : names) {
        const int i = FindColumn(table, name);
        if (i < 0) {
            std::string headers;
            for (const auto& h : table.headers) headers += (headers.empty() ? "" : ", ") + h;
            return Status::Error("no column '" + name + "': the headers are " + headers);
        }
        index.push_back(i);
        out.columns.push_back(table.headers[i]);
    }
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        std::vector<double> v;
        for (int i : index) {
            const std::string cell = Trim(table.rows[r][i]);
            std::size_t used = 0;
            const double x = ParseDouble(cell, &used);
            if (cell.empty() || used != cell.size() || !std::isfinite(x)) break;
            v.push_back(x);
        }
        if (v.size() != index.size()) {
            ++out.leftOut;
            continue;
        }
        out.values.push_back(std::move(v));
        out.rowOfSample.push_back(static_cast<int>(r));
    }
    return {};
}

}  // namespace marvek::phases
