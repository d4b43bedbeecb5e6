// Arbitrary parameter-file text must never give settings that are not finite numbers, and what
// we write must read back to itself.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/config/parameter_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    marvek::Settings settings;
    marvek::ParseParameters(std::string_view(reinterpret_cast<const char*>(data), size), settings);
    const marvek::StrategySettings& s = settings.strategy;
    for (float v : {settings.compliance.m_fCompliance, s.m_fEpsilon, s.m_fOPMaxPercent,
                    s.m_fOPMinPercent, s.m_fForceAccuracy, settings.m_fPoisson})
        if (!std::isfinite(v)) std::abort();
    for (double c : settings.areaFunction.m_dApCoef)
        if (!std::isfinite(c)) std::abort();
    const marvek::QualitySettings& q = settings.quality;
    for (double v : {q.m_dMinRSquared, q.m_dMinFitPoints, q.m_dOutlierMads, q.m_dMaxDriftRate,
                     q.m_dMaxZeroLoadPercent, q.m_dSlipDepth})
        if (!std::isfinite(v)) std::abort();
    const std::string text = marvek::FormatParameters(settings);
    marvek::Settings back;
    marvek::ParseParameters(text, back);
    if (marvek::FormatParameters(back) != text) std::abort();
    return 0;
}
