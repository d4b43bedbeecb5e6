#include "core/config/settings_validation.h"

#include <cmath>
#include <functional>

#include "core/io/number_format.h"

namespace marvek {

namespace {

std::string Number(double v) { return FormatSignificant(v, 7); }

// One checked setting (or pair of settings): its test, its sentence and how to restore it.
struct Rule {
    std::function<bool(const Settings&)> valid;
    std::function<SettingsProblem(const Settings&)> describe;
    std::function<void(Settings&, const Settings& defaults)> restore;
};

// A force or load range in percent: finite, 0 <= min < max <= 100.
Rule PercentRange(const char* name, float StrategySettings::*min, float StrategySettings::*max) {
    return {[=](const Settings& s) {
                const float lo = s.strategy.*min, hi = s.strategy.*max;
                return std::isfinite(lo) && std::isfinite(hi) && lo >= 0 && lo < hi && hi <= 100;
            },
            [=](const Settings& s) {
                return SettingsProblem{
                    name, std::string("The ") + name + " " + Number(s.strategy.*min) + "-" +
                              Number(s.strategy.*max) +
                              " % is not a range: it needs 0 <= minimum < maximum <= 100 %."};
            },
            [=](Settings& s, const Settings& d) {
                s.strategy.*min = d.strategy.*min;
                s.strategy.*max = d.strategy.*max;
            }};
}

// A single value that must lie in (low, high] or [low, high].
template <class T>
Rule Bounded(const char* name, T Settings::*group, float T::*field, double low, bool lowOpen,
             double high, const char* unit) {
    const std::string interval = std::string(lowOpen ? "(" : "[") + Number(low) + ", " +
                                 (std::isinf(high) ? std::string("infinity)") : Number(high) + "]");
    return {[=](const Settings& s) {
                const double v = (s.*group).*field;
                return std::isfinite(v) && (lowOpen ? v > low : v >= low) && v <= high;
            },
            [=](const Settings& s) {
                return SettingsProblem{name, std::string("The ") + name + " " +
                                                 Number((s.*group).*field) + unit + " is outside " +
                                                 interval + "."};
            },
            [=](Settings& s, const Settings& d) { (s.*group).*field = (d.*group).*field; }};
}

// The zero-point window matters only while the correction is on (exactly 1).
Rule ZeroPointRange() {
    Rule rule = PercentRange("zero-point fit range", &StrategySettings::m_fZeroFitMinPercent,
                             &StrategySettings::m_fZeroFitMaxPercent);
    rule.valid = [inner = rule.valid](const Settings& s) {
        return s.strategy.m_bZeroPointCorrection != 1 || inner(s);
    };
    return rule;
}

Rule Coefficients(const char* name, AreaCoefficients AreaFunctionSettings::*coef) {
    return {[=](const Settings& s) {
                for (double c : s.areaFunction.*coef)
                    if (!std::isfinite(c)) return false;
                return true;
            },
            [=](const Settings&) {
                return SettingsProblem{
                    name, std::string("The ") + name + " coefficients must all be finite numbers."};
            },
            [=](Settings& s, const Settings& d) { s.areaFunction.*coef = d.areaFunction.*coef; }};
}

Rule IntegerIn(const char* name, int StrategySettings::*strategyField,
               int AreaFunctionSettings::*areaField, int low, int high) {
    auto get = [=](const Settings& s) {
        return strategyField ? s.strategy.*strategyField : s.areaFunction.*areaField;
    };
    return {[=](const Settings& s) { return get(s) >= low && get(s) <= high; },
            [=](const Settings& s) {
                return SettingsProblem{name, std::string("The ") + name + " " + FormatInt(get(s)) +
                                                 " is outside " + FormatInt(low) + "-" +
                                                 FormatInt(high) + "."};
            },
            [=](Settings& s, const Settings& d) {
                if (strategyField)
                    s.strategy.*strategyField = d.strategy.*strategyField;
                else
                    s.areaFunction.*areaField = d.areaFunction.*areaField;
            }};
}

const std::vector<Rule>& Rules() {
    using S = StrategySettings;
    using A = AreaFunctionSettings;
    constexpr double kInf = INFINITY;
    static const std::vector<Rule> rules = {
        Bounded("material epsilon", &Settings::strategy, &S::m_fEpsilon, 0, true, 1, ""),
        PercentRange("Oliver-Pharr force range", &S::m_fOPMinPercent, &S::m_fOPMaxPercent),
        PercentRange("Doerner-Nix force range", &S::m_fDNMinPercent, &S::m_fDNMaxPercent),
        ZeroPointRange(),
        Bounded("section size", &Settings::strategy, &S::m_fSectionSizePercent, 0, true, kInf,
                " %"),
        Bounded("force accuracy", &Settings::strategy, &S::m_fForceAccuracy, 0, false, kInf, " mN"),
        Bounded("displacement accuracy", &Settings::strategy, &S::m_fDisplacementAccuracy, 0, false,
                kInf, " nm"),
        Bounded("frame compliance", &Settings::compliance, &ComplianceSettings::m_fCompliance, 0,
                false, kInf, " nm/mN"),
        {[](const Settings& s) {
             return std::isfinite(s.m_fPoisson) && s.m_fPoisson > -1 && s.m_fPoisson <= 0.5f;
         },
         [](const Settings& s) {
             return SettingsProblem{
                 "sample Poisson ratio",
                 "The sample Poisson ratio " + Number(s.m_fPoisson) + " is outside (-1, 0.5]."};
         },
         [](Settings& s, const Settings& d) { s.m_fPoisson = d.m_fPoisson; }},
        Bounded("indenter modulus", &Settings::areaFunction, &A::m_fIndenterModulus, 0, true, kInf,
                " GPa"),
        Bounded("indenter Poisson ratio", &Settings::areaFunction, &A::m_fIndenterPoisson, -1, true,
                0.5, ""),
        Bounded("calibration sample modulus", &Settings::areaFunction, &A::m_fSampleModulus, 0,
                true, kInf, " GPa"),
        Bounded("calibration sample Poisson ratio", &Settings::areaFunction, &A::m_fSamplePoisson,
                -1, true, 0.5, ""),
        IntegerIn("number of area-function terms", nullptr, &A::m_nFunctionTerms, 1, 9),
        Coefficients("projected-area function", &A::m_dApCoef),
        Coefficients("surface-area function", &A::m_dAsCoef),
    };
    return rules;
}

}  // namespace

std::vector<SettingsProblem> Validate(const Settings& settings) {
    std::vector<SettingsProblem> problems;
    for (const Rule& rule : Rules())
        if (!rule.valid(settings)) problems.push_back(rule.describe(settings));
    return problems;
}

std::vector<SettingsProblem> RestoreInvalidToDefaults(Settings& settings) {
    const Settings defaults;
    std::vector<SettingsProblem> problems;
    for (const Rule& rule : Rules()) {
        if (rule.valid(settings)) continue;
        problems.push_back(rule.describe(settings));
        rule.restore(settings, defaults);
    }
    return problems;
}

std::string DescribeProblems(const std::vector<SettingsProblem>& problems) {
    std::string text;
    for (const SettingsProblem& p : problems) text += (text.empty() ? "" : "\n") + p.message;
    return text;
}

}  // namespace marvek
