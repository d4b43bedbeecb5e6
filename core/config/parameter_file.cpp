#include "core/config/parameter_file.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

#include "core/config/settings_validation.h"
#include "core/io/number_format.h"
#include "core/platform/output_file.h"

namespace marvek {

namespace {

// One entry per line of the file, in file order.
struct Entry {
    enum Kind { Float, Int, Double } kind;
    float* f = nullptr;
    int* i = nullptr;
    double* d = nullptr;
};

Entry F(float& v) { return {Entry::Float, &v, nullptr, nullptr}; }
Entry D(int& v) { return {Entry::Int, nullptr, &v, nullptr}; }
Entry S(double& v) { return {Entry::Double, nullptr, nullptr, &v}; }

std::vector<Entry> Layout(Settings& s) {
    StrategySettings& st = s.strategy;
    AreaFunctionSettings& af = s.areaFunction;
    std::vector<Entry> e = {F(s.compliance.m_fCompliance),
                            F(st.m_fEpsilon),
                            F(st.m_fOPMaxPercent),
                            F(st.m_fDNMaxPercent),
                            F(st.m_fOPMinPercent),
                            F(st.m_fDNMinPercent),
                            D(st.m_nMethod),
                            D(af.m_bFixLeadingTerm)};
    for (double& c : af.m_dApCoef) e.push_back(S(c));
    for (double& c : af.m_dAsCoef) e.push_back(S(c));
    for (Entry x :
         {F(af.m_fIndenterModulus), F(af.m_fIndenterPoisson), F(s.m_fPoisson), S(af.m_dFitRSquared),
          F(af.m_fSampleModulus), F(af.m_fEpsilon), D(af.m_nFunctionTerms),
          F(st.m_fSectionSizePercent), D(st.m_bZeroPointCorrection), D(st.m_bDriftCorrection),
          F(st.m_fZeroFitMinPercent), F(st.m_fZeroFitMaxPercent), F(st.m_fForceAccuracy),
          F(st.m_fDisplacementAccuracy)})
        e.push_back(x);
    // Added later: a file without them reads as before, and an older reader stops after 40.
    QualitySettings& q = s.quality;
    for (Entry x : {S(q.m_dMinRSquared), S(q.m_dMinFitPoints), S(q.m_dOutlierMads),
                    S(q.m_dMaxDriftRate), S(q.m_dMaxZeroLoadPercent), S(q.m_dSlipDepth)})
        e.push_back(x);
    return e;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Takes one whole value token (of any length) into the entry. False when the token is not a
// number of the expected kind; a non-finite number keeps the value already there.
bool Take(const Entry& entry, std::string_view token) {
    std::size_t used = 0;
    switch (entry.kind) {
        case Entry::Float: {
            const float v = ParseFloat(token, &used);
            if (used != token.size()) return false;
            if (std::isfinite(v)) *entry.f = v;
            return true;
        }
        case Entry::Int: {
            const int v = ParseInt(token, &used);
            if (used != token.size()) return false;
            *entry.i = v;
            return true;
        }
        case Entry::Double: {
            const double v = ParseDouble(token, &used);
            if (used != token.size()) return false;
            if (std::isfinite(v)) *entry.d = v;
            return true;
        }
    }
    return false;
}

std::string Format(const Entry& entry, const Entry& fallback) {
    switch (entry.kind) {
        case Entry::Float: return FormatFixed(std::isfinite(*entry.f) ? *entry.f : *fallback.f, 6);
        case Entry::Int: return FormatInt(*entry.i);
        case Entry::Double:
            return FormatSignificant(std::isfinite(*entry.d) ? *entry.d : *fallback.d, 20);
    }
    return "";
}

}  // namespace

std::filesystem::path DefaultParameterFilePath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path base;
    if (xdg && *xdg) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home && *home ? home : ".") / ".config";
    }
    return base / "marvek" / "marvek.par";
}

ParameterFileResult LoadParameters(const std::filesystem::path& file, Settings& settings) {
    ParameterFileResult result;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        result.status = Status::FileError(file, "no parameter file", ErrorCode::CannotOpen);
        return result;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        result.status = Status::FileError(file, std::string("cannot open: ") + std::strerror(errno),
                                          ErrorCode::CannotOpen);
        return result;
    }
    std::ostringstream content;
    content << in.rdbuf();
    ParseParameters(content.str(), settings);
    for (const SettingsProblem& problem : RestoreInvalidToDefaults(settings))
        result.warnings.push_back(file.string() + ": " + problem.message +
                                  " The default is used instead.");
    return result;
}

void ParseParameters(std::string_view text, Settings& settings) {
    std::size_t pos = 0;
    for (const Entry& entry : Layout(settings)) {
        while (pos < text.size() && IsSpace(text[pos])) ++pos;
        if (pos == text.size()) break;  // a shorter file keeps the rest at their defaults
        std::size_t end = pos;
        while (end < text.size() && !IsSpace(text[end])) ++end;
        // After a value of the wrong kind the rest of the file cannot be placed; keep defaults.
        if (!Take(entry, text.substr(pos, end - pos))) break;
        pos = end;
    }
}

std::string FormatParameters(const Settings& settings) {
    Settings copy = settings;
    Settings defaults;
    const std::vector<Entry> values = Layout(copy);
    const std::vector<Entry> fallbacks = Layout(defaults);
    std::string text;
    for (std::size_t k = 0; k < values.size(); ++k) text += Format(values[k], fallbacks[k]) + "\n";
    return text;
}

Status SaveParameters(const std::filesystem::path& file, const Settings& settings) {
    std::error_code ec;
    if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
    return WriteOutputFile(file, FormatParameters(settings));
}

}  // namespace marvek
