#include "core/project/project.h"

#include <nettle/sha2.h>

#include <array>
#include <fstream>
#include <nlohmann/json.hpp>

#include "core/config/settings_validation.h"
#include "core/platform/output_file.h"

namespace marvek::project {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

std::string Curve::Address() const {
    return test.empty() ? file.string() : file.string() + "#" + test;
}

namespace {

// Every setting under its JSON name. One list serves writing and reading, so a field cannot be
// written and then forgotten by the reader.
template <class F>
void ForEachSetting(Settings& s, F&& f) {
    StrategySettings& st = s.strategy;
    f("strategy", "method", st.m_nMethod);
    f("strategy", "epsilon", st.m_fEpsilon);
    f("strategy", "oliverPharrMinPercent", st.m_fOPMinPercent);
    f("strategy", "oliverPharrMaxPercent", st.m_fOPMaxPercent);
    f("strategy", "doernerNixMinPercent", st.m_fDNMinPercent);
    f("strategy", "doernerNixMaxPercent", st.m_fDNMaxPercent);
    f("strategy", "sectionSizePercent", st.m_fSectionSizePercent);
    f("strategy", "zeroPointCorrection", st.m_bZeroPointCorrection);
    f("strategy", "zeroFitMinPercent", st.m_fZeroFitMinPercent);
    f("strategy", "zeroFitMaxPercent", st.m_fZeroFitMaxPercent);
    f("strategy", "driftCorrection", st.m_bDriftCorrection);
    f("strategy", "displacementAccuracy", st.m_fDisplacementAccuracy);
    f("strategy", "forceAccuracy", st.m_fForceAccuracy);
    f("compliance", "frameCompliance", s.compliance.m_fCompliance);
    AreaFunctionSettings& a = s.areaFunction;
    f("areaFunction", "indenterModulus", a.m_fIndenterModulus);
    f("areaFunction", "indenterPoisson", a.m_fIndenterPoisson);
    f("areaFunction", "calibrationSampleModulus", a.m_fSampleModulus);
    f("areaFunction", "calibrationSamplePoisson", a.m_fSamplePoisson);
    f("areaFunction", "terms", a.m_nFunctionTerms);
    f("areaFunction", "fitRSquared", a.m_dFitRSquared);
    f("areaFunction", "fixLeadingTerm", a.m_bFixLeadingTerm);
    f("areaFunction", "projected", a.m_dApCoef);
    f("areaFunction", "surface", a.m_dAsCoef);
    f("sample", "poisson", s.m_fPoisson);
    QualitySettings& q = s.quality;
    f("quality", "minRSquared", q.m_dMinRSquared);
    f("quality", "minFitPoints", q.m_dMinFitPoints);
    f("quality", "outlierMads", q.m_dOutlierMads);
    f("quality", "maxDriftRate", q.m_dMaxDriftRate);
    f("quality", "maxZeroLoadPercent", q.m_dMaxZeroLoadPercent);
    f("quality", "slipDepth", q.m_dSlipDepth);
}

Json SettingsJson(Settings s) {
    Json j = Json::object();
    ForEachSetting(
        s, [&](const char* group, const char* name, auto& value) { j[group][name] = value; });
    return j;
}

// Missing settings keep their defaults (a later version may add some); a value of the wrong
// kind is an error naming it.
Status ReadSettings(const Json& j, Settings& out) {
    Settings s;
    std::string error;
    ForEachSetting(s, [&](const char* group, const char* name, auto& value) {
        if (!error.empty() || !j.contains(group) || !j[group].is_object() ||
            !j[group].contains(name))
            return;
        const Json& v = j[group][name];
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, AreaCoefficients>) {
            if (!v.is_array() || v.size() != value.size()) {
                error = std::string(group) + "." + name + " must be a list of 9 numbers";
                return;
            }
            for (std::size_t k = 0; k < value.size(); ++k) {
                if (!v[k].is_number()) {
                    error = std::string(group) + "." + name + " must be a list of 9 numbers";
                    return;
                }
                value[k] = v[k].get<double>();
            }
        } else if constexpr (std::is_same_v<T, int>) {
            if (!v.is_number_integer()) {
                error = std::string(group) + "." + name + " must be a whole number";
                return;
            }
            value = v.get<int>();
        } else {
            if (!v.is_number()) {
                error = std::string(group) + "." + name + " must be a number";
                return;
            }
            value = static_cast<T>(v.get<double>());
        }
    });
    if (!error.empty()) return Status::Error("settings: " + error);
    if (const auto problems = Validate(s); !problems.empty())
        return Status::Error("settings: " + DescribeProblems(problems));
    CopyStrategyToAreaFunction(s.strategy, s.areaFunction);
    CopyComplianceToAreaFunction(s.compliance, s.areaFunction);
    out = s;
    return {};
}

// Relative to `base` when the file lies in it or in a folder near it (no more than two levels
// up), so a project moved together with its data still finds it; absolute otherwise.
std::string StoredPath(const fs::path& file, const fs::path& base) {
    const fs::path absolute = fs::absolute(file).lexically_normal();
    const fs::path relative = absolute.lexically_relative(base);
    if (relative.empty()) return absolute.generic_string();
    int ups = 0;
    for (const fs::path& part : relative)
        if (part == "..") ++ups;
    return ups <= 2 ? relative.generic_string() : absolute.generic_string();
}

fs::path BaseOf(const fs::path& projectFile) {
    return fs::absolute(projectFile).lexically_normal().parent_path();
}

}  // namespace

bool SameSettings(const Settings& a, const Settings& b) {
    return SettingsJson(a) == SettingsJson(b);
}

Status Fingerprint(const fs::path& file, std::uintmax_t& size, std::string& sha256) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return Status::FileError(file, "cannot be opened", ErrorCode::CannotOpen);
    sha256_ctx ctx;
    sha256_init(&ctx);
    std::array<char, 1 << 16> buffer{};
    std::uintmax_t total = 0;
    while (in) {
        in.read(buffer.data(), buffer.size());
        const std::streamsize got = in.gcount();
        if (got <= 0) break;
        sha256_update(&ctx, static_cast<std::size_t>(got),
                      reinterpret_cast<const std::uint8_t*>(buffer.data()));
        total += static_cast<std::uintmax_t>(got);
    }
    if (in.bad())
        return Status::FileError(file, "could not be read to the end", ErrorCode::CannotOpen);
    std::array<std::uint8_t, SHA256_DIGEST_SIZE> digest{};
    sha256_digest(&ctx, digest.size(), digest.data());
    static const char* hex = "0123456789abcdef";
    sha256.clear();
    for (std::uint8_t b : digest) {
        sha256 += hex[b >> 4];
        sha256 += hex[b & 15];
    }
    size = total;
    return {};
}

std::string FormatProject(const Project& project, const fs::path& file) {
    const fs::path base = BaseOf(file);
    Json j;
    j["format"] = kFormatName;
    j["version"] = kFormatVersion;
    j["settings"] = SettingsJson(project.settings);
    Json curves = Json::array();
    for (const Curve& c : project.curves) {
        Json e;
        e["file"] = StoredPath(c.file, base);
        if (!c.test.empty()) e["test"] = c.test;
        e["size"] = c.size ? Json(*c.size) : Json();
        e["sha256"] = c.sha256.empty() ? Json() : Json(c.sha256);
        e["excluded"] = c.notes.excluded;
        e["note"] = c.notes.note;
        e["flag"] = c.notes.flag;
        if (c.notes.fitRange)
            e["fitRange"] = {{"minPercent", c.notes.fitRange->minPercent},
                             {"maxPercent", c.notes.fitRange->maxPercent}};
        curves.push_back(std::move(e));
    }
    j["curves"] = std::move(curves);
    j["currentCurve"] = project.currentCurve;
    Json views = Json::array();
    for (const View& v : project.views) {
        Json e;
        e["name"] = v.name;
        if (v.range)
            e["range"] = {{"xMin", v.range->xMin},
                          {"xMax", v.range->xMax},
                          {"yMin", v.range->yMin},
                          {"yMax", v.range->yMax}};
        views.push_back(std::move(e));
    }
    j["views"] = std::move(views);
    return j.dump(2) + "\n";
}

Status WriteProject(Project project, const fs::path& file) {
    for (Curve& c : project.curves) {
        std::uintmax_t size = 0;
        std::string hash;
        if (Fingerprint(c.file, size, hash).ok()) {
            c.size = size;
            c.sha256 = hash;
        }
    }
    return WriteOutputFile(file, FormatProject(project, file));
}

Status ParseProject(const std::string& text, const fs::path& file, Project& out) {
    const Json j = Json::parse(text, nullptr, false);
    auto fail = [&](const std::string& reason) {
        return Status::FileError(file, reason, ErrorCode::Damaged);
    };
    if (j.is_discarded() || !j.is_object()) return fail("not a project file (not JSON)");
    if (!j.contains("format") || j["format"] != kFormatName)
        return fail(std::string("not a project file (no \"format\": \"") + kFormatName + "\")");
    if (!j.contains("version") || !j["version"].is_number_integer())
        return fail("the project file has no version");
    if (j["version"].get<int>() > kFormatVersion)
        return fail("written by a newer Marvek (project format " +
                    std::to_string(j["version"].get<int>()) + "; this one reads up to " +
                    std::to_string(kFormatVersion) + ")");
    Project p;
    if (j.contains("settings")) {
        if (const Status s = ReadSettings(j["settings"], p.settings); !s.ok())
            return fail(s.message());
    }
    const fs::path base = BaseOf(file);
    if (!j.contains("curves") || !j["curves"].is_array())
        return fail("the project file has no curve list");
    for (std::size_t k = 0; k < j["curves"].size(); ++k) {
        const Json& e = j["curves"][k];
        const std::string where = "curve " + std::to_string(k + 1);
        if (!e.is_object() || !e.contains("file") || !e["file"].is_string() ||
            e["file"].get<std::string>().empty())
            return fail(where + " has no file");
        Curve c;
        const fs::path stored = fs::path(e["file"].get<std::string>());
        c.file = (stored.is_absolute() ? stored : base / stored).lexically_normal();
        auto textField = [&](const char* key, std::string& value) {
            if (!e.contains(key) || e[key].is_null()) return true;
            if (!e[key].is_string()) return false;
            value = e[key].get<std::string>();
            return true;
        };
        if (!textField("test", c.test) || !textField("sha256", c.sha256) ||
            !textField("note", c.notes.note) || !textField("flag", c.notes.flag))
            return fail(where + ": test, sha256, note and flag must be text");
        if (e.contains("size") && !e["size"].is_null()) {
            if (!e["size"].is_number_unsigned()) return fail(where + ": size must be a count");
            c.size = e["size"].get<std::uintmax_t>();
        }
        if (e.contains("excluded")) {
            if (!e["excluded"].is_boolean())
                return fail(where + ": excluded must be true or false");
            c.notes.excluded = e["excluded"].get<bool>();
        }
        if (e.contains("fitRange") && !e["fitRange"].is_null()) {
            const Json& r = e["fitRange"];
            if (!r.is_object() || !r.contains("minPercent") || !r.contains("maxPercent") ||
                !r["minPercent"].is_number() || !r["maxPercent"].is_number())
                return fail(where + ": fitRange needs minPercent and maxPercent");
            const UnloadFitRange range{r["minPercent"].get<float>(), r["maxPercent"].get<float>()};
            // The same check, and sentence, as the settings' own range.
            const auto problems = Validate(WithFitRange(p.settings, range));
            for (const SettingsProblem& problem : problems)
                if (problem.setting.find("force range") != std::string::npos)
                    return fail(where + ": fitRange: " + problem.message);
            c.notes.fitRange = range;
        }
        p.curves.push_back(std::move(c));
    }
    if (j.contains("currentCurve") && j["currentCurve"].is_number_integer()) {
        const int current = j["currentCurve"].get<int>();
        p.currentCurve = current >= 0 && current < static_cast<int>(p.curves.size()) ? current : 0;
    }
    if (j.contains("views") && j["views"].is_array())
        for (const Json& e : j["views"]) {
            if (!e.is_object() || !e.contains("name") || !e["name"].is_string()) continue;
            View v;
            v.name = e["name"].get<std::string>();
            if (e.contains("range") && e["range"].is_object()) {
                const Json& r = e["range"];
                bool numbers = true;
                for (const char* key : {"xMin", "xMax", "yMin", "yMax"})
                    numbers = numbers && r.contains(key) && r[key].is_number();
                // A range without width is no range: the view starts at its home instead.
                if (numbers && r["xMin"].get<double>() < r["xMax"].get<double>() &&
                    r["yMin"].get<double>() < r["yMax"].get<double>())
                    v.range = Range{r["xMin"].get<double>(), r["xMax"].get<double>(),
                                    r["yMin"].get<double>(), r["yMax"].get<double>()};
            }
            p.views.push_back(std::move(v));
        }
    out = std::move(p);
    return {};
}

Status ReadProject(const fs::path& file, Project& out) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return Status::FileError(file, "cannot be opened", ErrorCode::CannotOpen);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return Status::FileError(file, "could not be read");
    return ParseProject(text, file, out);
}

std::vector<FileCheck> CheckFiles(const Project& project) {
    std::vector<FileCheck> out;
    for (std::size_t k = 0; k < project.curves.size(); ++k) {
        const Curve& c = project.curves[k];
        // Several tests of one workbook: the file is checked once, at its first curve.
        bool seen = false;
        for (std::size_t i = 0; i < k && !seen; ++i) seen = project.curves[i].file == c.file;
        if (seen) continue;
        std::error_code ec;
        if (!fs::is_regular_file(c.file, ec)) {
            out.push_back({k, FileCheck::State::Missing, "not found"});
            continue;
        }
        if (!c.size || c.sha256.empty()) {
            out.push_back(
                {k, FileCheck::State::Unknown, "not recorded when the project was saved"});
            continue;
        }
        std::uintmax_t size = 0;
        std::string hash;
        if (const Status s = Fingerprint(c.file, size, hash); !s.ok()) {
            out.push_back({k, FileCheck::State::Missing, s.reason()});
            continue;
        }
        if (size != *c.size)
            out.push_back(
                {k, FileCheck::State::Changed,
                 "size " + std::to_string(size) + " bytes, was " + std::to_string(*c.size)});
        else if (hash != c.sha256)
            out.push_back({k, FileCheck::State::Changed, "content changed (same size)"});
    }
    return out;
}

std::string DescribeFileChecks(const Project& project, const std::vector<FileCheck>& checks) {
    if (checks.empty()) return {};
    std::size_t missing = 0, changed = 0;
    for (const FileCheck& c : checks)
        (c.state == FileCheck::State::Missing ? missing : changed) += 1;
    std::string text;
    if (missing)
        text += std::to_string(missing) + " curve file" + (missing == 1 ? " has" : "s have") +
                " moved or gone";
    if (changed)
        text += std::string(missing ? " and " : "") + std::to_string(changed) + " curve file" +
                (changed == 1 ? " has" : "s have") + " changed or cannot be compared";
    text += " since the project was saved:\n";
    std::size_t shown = 0;
    for (const FileCheck& c : checks) {
        if (++shown > 20) {
            text += "... and " + std::to_string(checks.size() - 20) + " more\n";
            break;
        }
        text += project.curves[c.curve].file.string() + ": " + c.detail + "\n";
    }
    return text;
}

}  // namespace marvek::project
