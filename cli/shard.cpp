#include "shard.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <ostream>

#include "core/io/number_format.h"
#include "core/io/parsed_curve.h"

namespace marvek::cli {

namespace {

// "K/N" with 1 <= K <= N.
bool ParseShardText(const std::string& text, int& shard, int& of) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) return false;
    std::size_t used = 0;
    const std::string k = text.substr(0, slash), n = text.substr(slash + 1);
    if (k.empty() || n.empty() || k.size() > 9 || n.size() > 9) return false;
    shard = ParseInt(k, &used);
    if (used != k.size() || k[0] == '+' || k[0] == '-') return false;
    of = ParseInt(n, &used);
    if (used != n.size() || n[0] == '+' || n[0] == '-') return false;
    return shard >= 1 && of >= 1 && shard <= of;
}

std::string Fingerprint(const std::map<std::string, std::vector<std::string>>& groups) {
    std::uint64_t h = 1469598103934665603ull;  // FNV-1a over the sorted paths
    for (const auto& [file, entries] : groups) {
        for (char c : file + '\n') {
            h ^= static_cast<unsigned char>(c);
            h *= 1099511628211ull;
        }
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

}  // namespace

void AddShardOption(CLI::App& cmd, ShardSelection& shard) {
    cmd.add_option("--shard", shard.text,
                   "Analyse only share K of N (K/N, 1-based): the files sorted by path, the i-th "
                   "going to share i mod N + 1; combine the shares with marvek-cli merge");
}

bool SelectShard(ShardSelection& shard, std::vector<std::string>& files, std::string& error) {
    if (shard.text.empty()) return true;
    if (!ParseShardText(shard.text, shard.shard, shard.of)) {
        error = "--shard: \"" + shard.text + "\" is not K/N with 1 <= K <= N (e.g. 2/8)";
        return false;
    }
    // std::string orders by unsigned bytes, as `LC_ALL=C sort` does.
    std::map<std::string, std::vector<std::string>> groups;
    for (const std::string& entry : files)
        groups[io::ParseAddress(entry).file.string()].push_back(entry);
    shard.files = groups.size();
    shard.list = Fingerprint(groups);
    files.clear();
    std::size_t i = 0;
    for (const auto& [file, entries] : groups) {
        if (static_cast<int>(i++ % static_cast<std::size_t>(shard.of)) != shard.shard - 1) continue;
        files.insert(files.end(), entries.begin(), entries.end());
        ++shard.entries;
    }
    return true;
}

bool BeginShardOutput(const ShardSelection& shard, bool json, bool text,
                      const SeriesCliOptions& series, const Settings& settings, std::ostream& out,
                      std::string& error) {
    if (!shard.Active()) return true;
    if (text) {
        error = "--shard: write CSV or --json; the --text output of shards cannot be merged";
        return false;
    }
    if (!series.xlsx.empty()) {
        error = "--shard: --xlsx needs the whole series; write it from a one-process run";
        return false;
    }
    nlohmann::ordered_json m;
    m["shard"] = shard.shard;
    m["of"] = shard.of;
    m["files"] = shard.files;
    m["entries"] = shard.entries;
    m["list"] = shard.list;
    m["format"] = json ? "json" : "csv";
    m["series"] = series.Active();
    m["summary"] = series.summary;
    m["outlierMads"] = settings.quality.m_dOutlierMads;
    m["exclude"] = series.codes;
    nlohmann::ordered_json line;
    line["marvekShard"] = m;
    out << (json ? "" : "# ") << line.dump() << '\n';
    return true;
}

}  // namespace marvek::cli
