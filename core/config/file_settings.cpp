#include "core/config/file_settings.h"

#include <algorithm>

namespace marvek {

Settings WithFileSettings(const Settings& base, const io::CurveMetadata& meta,
                          std::vector<std::string>& taken, std::vector<std::string>& warnings) {
    Settings s = base;
    if (meta.poissonRatio) {
        s.m_fPoisson = static_cast<float>(*meta.poissonRatio);
        taken.push_back("poisson");
    }
    if (meta.frameCompliance) {
        s.compliance.m_fCompliance = static_cast<float>(*meta.frameCompliance);
        CopyComplianceToAreaFunction(s.compliance, s.areaFunction);
        taken.push_back("compliance");
    }
    if (!meta.areaCoefficients.empty()) {
        AreaCoefficients& ap = s.areaFunction.m_dApCoef;
        ap.fill(0);
        std::copy_n(meta.areaCoefficients.begin(),
                    std::min(ap.size(), meta.areaCoefficients.size()), ap.begin());
        taken.push_back("area function");
        // Results sheets of continuous-stiffness workbooks list the first three coefficients
        // while the instrument may have used five: never a silent truncation.
        if (meta.areaCoefficients.size() < 5)
            warnings.push_back("the file records area-function coefficients C0 to C" +
                               std::to_string(meta.areaCoefficients.size() - 1) +
                               " only; the higher ones, if the instrument used any, are taken "
                               "as 0");
    }
    return s;
}

}  // namespace marvek
