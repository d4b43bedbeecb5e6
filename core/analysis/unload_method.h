#pragma once
// How one curve's unloading is fitted: the method, the frame compliance subtracted first, the
// contact depth's epsilon and the method's force range. The window and the batch take it from
// the strategy, the calibrations from their own settings.

#include "core/config/settings.h"

namespace marvek {

struct UnloadMethod {
    AnalysisMethod method = AnalysisMethod::OliverPharr;
    double compliance = 0;  // nm/mN
    double epsilon = 0.75;
    float minPercent = 20;
    float maxPercent = 82;
};

// The unload method of a strategy or a calibration's settings (method, epsilon and the method's
// force range) with the frame compliance `compliance`.
template <typename MethodSettings>
UnloadMethod UnloadMethodOf(const MethodSettings& s, double compliance) {
    const AnalysisMethod method = MethodOf(s.m_nMethod);
    const bool dn = method == AnalysisMethod::DoernerNix;
    return {method, compliance, s.m_fEpsilon, dn ? s.m_fDNMinPercent : s.m_fOPMinPercent,
            dn ? s.m_fDNMaxPercent : s.m_fOPMaxPercent};
}

}  // namespace marvek
