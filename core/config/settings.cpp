#include "core/config/settings.h"

#include <cmath>

namespace marvek {

Settings WithFitRange(Settings settings, const UnloadFitRange& range) {
    StrategySettings& s = settings.strategy;
    if (s.method() == AnalysisMethod::DoernerNix) {
        s.m_fDNMinPercent = range.minPercent;
        s.m_fDNMaxPercent = range.maxPercent;
    } else {
        s.m_fOPMinPercent = range.minPercent;
        s.m_fOPMaxPercent = range.maxPercent;
    }
    return settings;
}

UnloadFitRange FitRangeOf(const Settings& settings) {
    const StrategySettings& s = settings.strategy;
    return s.method() == AnalysisMethod::DoernerNix
               ? UnloadFitRange{s.m_fDNMinPercent, s.m_fDNMaxPercent}
               : UnloadFitRange{s.m_fOPMinPercent, s.m_fOPMaxPercent};
}

double EvaluateAreaFunction(const AreaCoefficients& coef, double h) {
    double area = 0;
    double exponent = 2;  // 0.5^(k-1) for k = 0
    for (double c : coef) {
        area += c * std::pow(h, exponent);
        exponent *= 0.5;
    }
    return area;
}

void CopyStrategyToAreaFunction(const StrategySettings& strategy, AreaFunctionSettings& area) {
    area.m_fEpsilon = strategy.m_fEpsilon;
    area.m_nMethod = strategy.m_nMethod;
    area.m_fOPMaxPercent = strategy.m_fOPMaxPercent;
    area.m_fOPMinPercent = strategy.m_fOPMinPercent;
    area.m_fDNMaxPercent = strategy.m_fDNMaxPercent;
    area.m_fDNMinPercent = strategy.m_fDNMinPercent;
}

void CopyComplianceToAreaFunction(const ComplianceSettings& compliance,
                                  AreaFunctionSettings& area) {
    area.m_fCompliance = compliance.m_fCompliance;
}

}  // namespace marvek
