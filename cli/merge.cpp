#include "merge.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <map>
#include <ostream>
#include <set>
#include <sstream>

#include "core/io/number_format.h"
#include "series_output.h"

namespace marvek::cli {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::string_view kCsvStart = "file,test,format,ok,error,method";

bool ReadHeader(const nlohmann::ordered_json& line, ShardHeader& h) {
    if (!line.is_object() || !line.contains("marvekShard")) return false;
    const nlohmann::ordered_json& m = line["marvekShard"];
    if (!m.is_object()) return false;
    auto integer = [&](const char* key) { return m.contains(key) && m[key].is_number_unsigned(); };
    auto flag = [&](const char* key) { return m.contains(key) && m[key].is_boolean(); };
    if (!integer("shard") || !integer("of") || !integer("files") || !integer("entries") ||
        !flag("series") || !flag("summary") || !m.contains("list") || !m["list"].is_string() ||
        !m.contains("format") || !m["format"].is_string() || !m.contains("outlierMads") ||
        !m["outlierMads"].is_number() || !m.contains("exclude") || !m["exclude"].is_array())
        return false;
    if (m["shard"].get<std::uint64_t>() > 1000000000 || m["of"].get<std::uint64_t>() > 1000000000)
        return false;
    h.shard = static_cast<int>(m["shard"].get<std::uint64_t>());
    h.of = static_cast<int>(m["of"].get<std::uint64_t>());
    h.files = m["files"].get<std::size_t>();
    h.entries = m["entries"].get<std::size_t>();
    h.list = m["list"].get<std::string>();
    const std::string format = m["format"].get<std::string>();
    if (format != "json" && format != "csv") return false;
    h.json = format == "json";
    h.series = m["series"].get<bool>();
    h.summary = m["summary"].get<bool>();
    h.outlierMads = m["outlierMads"].get<double>();
    for (const auto& code : m["exclude"]) {
        if (!code.is_string()) return false;
        h.exclude.push_back(code.get<std::string>());
    }
    return h.shard >= 1 && h.shard <= h.of;
}

// The file part of an address FILE#TEST, given the row's test; false when they disagree.
bool FileOfAddress(const std::string& address, const std::string& test, std::string& file) {
    if (test.empty()) {
        file = address;
        return true;
    }
    const std::string suffix = "#" + test;
    if (address.size() < suffix.size() ||
        address.compare(address.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    file = address.substr(0, address.size() - suffix.size());
    return true;
}

// Own flags of a row: the printed codes without the outlier flags, which the whole series decides.
void OwnFlags(const std::vector<std::string>& codes, SeriesCurve& curve) {
    for (const std::string& code : codes)
        if (!IsOutlierFlag(code)) curve.flags.push_back({code, "", {}});
}

// One line of the text from `pos` (without its LF); false at the end. `complete` is false for a
// last line without a line break.
bool NextLine(std::string_view text, std::size_t& pos, std::string_view& line, bool& complete) {
    if (pos >= text.size()) return false;
    const std::size_t lf = text.find('\n', pos);
    complete = lf != std::string_view::npos;
    const std::size_t end = complete ? lf : text.size();
    line = text.substr(pos, end - pos);
    pos = end + 1;
    return true;
}

bool ParseJsonRows(std::string_view text, std::size_t pos, ShardFile& shard, std::string& error) {
    const ShardHeader& h = shard.header;
    std::string_view line;
    bool complete = true, summarySeen = false;
    int number = 1;
    while (NextLine(text, pos, line, complete)) {
        ++number;
        const std::string where = "line " + std::to_string(number);
        if (!complete) return error = where + " ends without a line break (cut short?)", false;
        if (summarySeen) return error = where + " follows the summary line", false;
        nlohmann::ordered_json j = nlohmann::ordered_json::parse(line, nullptr, false);
        if (j.is_discarded() || !j.is_object())
            return error = where + " is not a JSON object (cut short?)", false;
        if (j.contains("summary") && !j.contains("file")) {
            if (!h.summary)
                return error = where + ": a summary the shard line does not announce", false;
            summarySeen = true;
            continue;
        }
        auto isString = [&](const char* k) { return j.contains(k) && j[k].is_string(); };
        auto isBool = [&](const char* k) { return j.contains(k) && j[k].is_boolean(); };
        auto orNull = [&](const char* k) {
            return j.contains(k) && (j[k].is_null() || j[k].is_string());
        };
        if (!isString("file") || !orNull("test") || !isBool("ok") || !orNull("error") ||
            !isString("method") ||
            (h.series && (!isBool("included") || !j.contains("flags") || !j["flags"].is_array())))
            return error = where + " is not a row of marvek-cli analyze --json", false;
        ShardRow row;
        row.text = std::string(line);
        row.method = j["method"].get<std::string>();
        SeriesCurve& c = row.curve;
        c.input.address = j["file"].get<std::string>();
        c.input.test = j["test"].is_null() ? "" : j["test"].get<std::string>();
        if (!FileOfAddress(c.input.address, c.input.test, row.file))
            return error = where + ": its file and test do not agree", false;
        c.input.file = row.file;
        c.ok = j["ok"].get<bool>();
        c.included = c.ok;
        c.error = j["error"].is_null() ? "" : j["error"].get<std::string>();
        for (const SeriesQuantity& q : SeriesQuantities())
            c.values.push_back(j.contains(q.key) && j[q.key].is_number() ? j[q.key].get<double>()
                                                                         : kNaN);
        if (h.series) {
            std::vector<std::string> codes;
            for (const auto& f : j["flags"]) {
                if (!f.is_string()) return error = where + ": a flag that is not text", false;
                codes.push_back(f.get<std::string>());
            }
            OwnFlags(codes, c);
        }
        row.json = std::move(j);
        shard.rows.push_back(std::move(row));
    }
    if (h.summary && !summarySeen) return error = "the summary line is missing (cut short?)", false;
    return true;
}

// One CSV record from `pos` (quoted fields may hold commas, quotes and line breaks): its fields
// and its bytes without the final LF. False at the end; `complete` false when cut short.
bool NextRecord(std::string_view text, std::size_t& pos, std::vector<std::string>& fields,
                std::string_view& raw, bool& complete) {
    if (pos >= text.size()) return false;
    const std::size_t start = pos;
    fields.assign(1, "");
    bool quoted = false;
    complete = false;
    while (pos < text.size()) {
        const char c = text[pos++];
        if (quoted) {
            if (c != '"') {
                fields.back() += c;
            } else if (pos < text.size() && text[pos] == '"') {
                fields.back() += '"';
                ++pos;
            } else {
                quoted = false;
            }
        } else if (c == '"' && fields.back().empty()) {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else if (c == '\n') {
            complete = true;
            break;
        } else {
            fields.back() += c;
        }
    }
    raw = text.substr(start, pos - start - (complete ? 1 : 0));
    return true;
}

// "EIT [GPa]" -> "EIT".
std::string ColumnKey(const std::string& title) { return title.substr(0, title.find(" [")); }

bool CsvNumber(const std::string& field, double& v) {
    if (field.empty() || field == "nan") return v = kNaN, true;
    if (field == "inf" || field == "-inf") return v = field[0] == '-' ? -HUGE_VAL : HUGE_VAL, true;
    std::size_t used = 0;
    v = ParseDouble(field, &used);
    return used == field.size();
}

bool ParseCsvRows(std::string_view text, std::size_t pos, ShardFile& shard, std::string& error) {
    const ShardHeader& h = shard.header;
    std::vector<std::string> fields, header;
    std::string_view raw;
    bool complete = true;
    if (!NextRecord(text, pos, header, raw, complete) || !complete ||
        raw.substr(0, kCsvStart.size()) != kCsvStart ||
        (h.series && (header.size() < 8 || header[header.size() - 2] != "included" ||
                      header.back() != "flags")))
        return error = "no column header of marvek-cli analyze after the shard line", false;
    shard.csvHeader = std::string(raw);
    std::vector<int> quantityColumn;
    for (const SeriesQuantity& q : SeriesQuantities()) {
        int at = -1;
        for (std::size_t k = 6; k < header.size(); ++k)
            if (ColumnKey(header[k]) == q.key) at = static_cast<int>(k);
        quantityColumn.push_back(at);
    }
    std::map<std::string, std::deque<std::string>> failed;  // address -> raw errors, in order
    bool summarySeen = false;
    int record = 2;
    while (NextRecord(text, pos, fields, raw, complete)) {
        ++record;
        const std::string where = "record " + std::to_string(record);
        if (!complete) return error = where + " ends without a line break (cut short?)", false;
        if (fields.size() != header.size())
            return error = where + " has " + std::to_string(fields.size()) +
                           " fields, the header " + std::to_string(header.size()),
                   false;
        const bool curveRow = fields[3] == "true" || fields[3] == "false";
        if (!curveRow) {
            const bool statistic = fields[0] == "summary" && fields[3].empty();
            const bool excluded = fields[3] == "excluded";
            if (!h.summary || (!statistic && !excluded))
                return error = where + " is not a row of marvek-cli analyze", false;
            summarySeen = true;
            if (excluded && fields[4].rfind("failed: ", 0) == 0)
                failed[fields[0]].push_back(fields[4].substr(8));
            continue;
        }
        if (summarySeen) return error = where + ": a curve row after the summary", false;
        ShardRow row;
        row.text = std::string(raw);
        row.method = fields[5];
        SeriesCurve& c = row.curve;
        c.input.address = fields[0];
        c.input.test = fields[1];
        if (!FileOfAddress(c.input.address, c.input.test, row.file))
            return error = where + ": its file and test do not agree", false;
        c.input.file = row.file;
        c.ok = fields[3] == "true";
        c.included = c.ok;
        c.error = fields[4];
        for (int at : quantityColumn) {
            double v = kNaN;
            if (at >= 0 && !CsvNumber(fields[static_cast<std::size_t>(at)], v))
                return error = where + ": \"" + fields[static_cast<std::size_t>(at)] +
                               "\" is not a number",
                       false;
            c.values.push_back(v);
        }
        if (h.series) {
            std::vector<std::string> codes;
            std::stringstream list(fields.back());
            for (std::string code; std::getline(list, code, ';');)
                if (!code.empty()) codes.push_back(code);
            OwnFlags(codes, c);
        }
        shard.rows.push_back(std::move(row));
    }
    if (h.summary && !summarySeen)
        return error = "the summary rows are missing (cut short?)", false;
    // The CSV error column is on one line; the summary's reasons keep the full message.
    for (ShardRow& row : shard.rows) {
        auto it = failed.find(row.curve.input.address);
        if (row.curve.ok || it == failed.end() || it->second.empty()) continue;
        row.curve.error = it->second.front();
        it->second.pop_front();
    }
    return true;
}

bool SameRules(const ShardHeader& a, const ShardHeader& b) {
    return a.series == b.series && a.summary == b.summary && a.outlierMads == b.outlierMads &&
           a.exclude == b.exclude;
}

// Checks the shards form one whole job; false with a message.
bool CheckWhole(const std::vector<ShardFile>& shards, std::string& error) {
    const ShardFile& first = shards.front();
    const ShardHeader& h = first.header;
    std::vector<const ShardFile*> byNumber(static_cast<std::size_t>(h.of) + 1, nullptr);
    std::size_t entries = 0;
    for (const ShardFile& s : shards) {
        const ShardHeader& g = s.header;
        if (g.json != h.json)
            return error = "mixed formats: " + first.name + " is " +
                           (h.json ? "JSON lines" : "CSV") + ", " + s.name + " is " +
                           (g.json ? "JSON lines" : "CSV"),
                   false;
        if (g.of != h.of || g.files != h.files || g.list != h.list)
            return error = first.name + " and " + s.name +
                           " are shards of different jobs (other files or another number of "
                           "shards)",
                   false;
        if (!SameRules(g, h) || s.csvHeader != first.csvHeader)
            return error = first.name + " and " + s.name +
                           " were written with different options (series rules or columns)",
                   false;
        const ShardFile*& slot = byNumber[static_cast<std::size_t>(g.shard)];
        if (slot)
            return error = "shard " + std::to_string(g.shard) + " given twice (" + slot->name +
                           " and " + s.name + ")",
                   false;
        slot = &s;
        entries += g.entries;
    }
    std::string missing;
    for (int k = 1; k <= h.of; ++k)
        if (!byNumber[static_cast<std::size_t>(k)])
            missing += (missing.empty() ? "" : ", ") + std::to_string(k);
    if (!missing.empty())
        return error = "missing shards: " + missing + " (of " + std::to_string(h.of) + ")", false;
    if (entries != h.files)
        return error = "the shards hold " + std::to_string(entries) + " files, the job " +
                       std::to_string(h.files),
               false;
    return true;
}

struct Group {
    const std::string* file;
    std::size_t shard, begin, end;
};

// Each shard's rows in runs of one file, checked: ascending, as many files as announced, no
// file in two shards.
bool CollectGroups(const std::vector<ShardFile>& shards, std::vector<Group>& groups,
                   std::string& error) {
    std::map<std::string, std::size_t> owner;
    for (std::size_t s = 0; s < shards.size(); ++s) {
        const std::vector<ShardRow>& rows = shards[s].rows;
        std::size_t count = 0;
        for (std::size_t i = 0; i < rows.size();) {
            std::size_t j = i + 1;
            while (j < rows.size() && rows[j].file == rows[i].file) ++j;
            if (i > 0 && !(rows[i - 1].file < rows[i].file))
                return error =
                           shards[s].name + ": the rows are not in path order at " + rows[i].file,
                       false;
            const auto [it, fresh] = owner.emplace(rows[i].file, s);
            if (!fresh)
                return error = "overlapping rows: " + rows[i].file + " is in " +
                               shards[it->second].name + " and " + shards[s].name,
                       false;
            groups.push_back({&rows[i].file, s, i, j});
            ++count;
            i = j;
        }
        if (count != shards[s].header.entries)
            return error = shards[s].name + " holds rows of " + std::to_string(count) +
                           " files, its shard line announces " +
                           std::to_string(shards[s].header.entries) + " (cut short?)",
                   false;
    }
    std::sort(groups.begin(), groups.end(),
              [](const Group& a, const Group& b) { return *a.file < *b.file; });
    return true;
}

}  // namespace

bool ParseShard(std::string_view text, const std::string& name, ShardFile& shard,
                std::string& error) {
    shard = ShardFile{};
    shard.name = name;
    std::size_t pos = 0;
    std::string_view first;
    bool complete = false;
    const bool any = NextLine(text, pos, first, complete);
    if (first.substr(0, 2) == "# ") first.remove_prefix(2);
    const nlohmann::ordered_json marker =
        any && complete ? nlohmann::ordered_json::parse(first, nullptr, false) : nullptr;
    if (marker.is_discarded() || !ReadHeader(marker, shard.header)) {
        error = name +
                ": not a shard file (its first line is not the one marvek-cli analyze "
                "--shard writes)";
        return false;
    }
    const bool ok = shard.header.json ? ParseJsonRows(text, pos, shard, error)
                                      : ParseCsvRows(text, pos, shard, error);
    if (!ok) error = name + ": " + error;
    return ok;
}

bool MergeShards(std::vector<ShardFile>& shards, std::ostream& out, std::string& error) {
    if (shards.empty()) return error = "no shard files given", false;
    std::vector<Group> groups;
    if (!CheckWhole(shards, error) || !CollectGroups(shards, groups, error)) return false;
    const ShardHeader& h = shards.front().header;
    std::vector<const ShardRow*> rows;
    for (const Group& g : groups)
        for (std::size_t i = g.begin; i < g.end; ++i) rows.push_back(&shards[g.shard].rows[i]);

    Series series;
    if (h.series) {
        series.settings.quality.m_dOutlierMads = h.outlierMads;
        series.excludeCodes = h.exclude;
        for (const ShardRow* r : rows) series.curves.push_back(r->curve);
        RefreshSeries(series);
    }
    std::ostringstream text;
    if (!h.json) text << shards.front().csvHeader << '\n';
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const ShardRow& r = *rows[k];
        if (!h.series) {
            text << r.text << '\n';
        } else if (h.json) {
            nlohmann::ordered_json j = r.json;
            AddSeriesJson(j, series.curves[k]);
            text << j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        } else {
            // included and flags are the last two fields and never quoted.
            const std::size_t flags = r.text.rfind(',');
            const std::size_t included = r.text.rfind(',', flags - 1);
            text << r.text.substr(0, included) << SeriesCsvFields(series.curves[k]) << '\n';
        }
    }
    if (h.summary && h.json) PrintSummaryJson(text, series);
    if (h.summary && !h.json) {
        std::vector<std::string> header;
        std::string_view raw;
        bool complete = false;
        std::size_t pos = 0;
        const std::string line = shards.front().csvHeader + '\n';
        NextRecord(line, pos, header, raw, complete);
        // Every column between method and included: those that are not series quantities stay
        // empty in the summary rows, as analyze writes them.
        std::vector<std::string> columns;
        for (std::size_t k = 6; k + 2 < header.size(); ++k) columns.push_back(ColumnKey(header[k]));
        const std::string method = rows.empty() ? "op" : rows.front()->method;
        PrintSummaryCsv(text, series, columns, method.c_str(), 0);
    }
    out << text.str();
    return true;
}

}  // namespace marvek::cli
