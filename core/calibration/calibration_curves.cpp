#include "core/calibration/calibration_curves.h"

#include <cmath>

#include "core/analysis/curve_analysis.h"
#include "core/io/number_format.h"

namespace marvek {

void PrepareAreaFunctionAnalyzer(CCurveAnalyzer& analyzer, const StrategySettings& strategy) {
    ConfigureAnalyzer(analyzer, strategy);
}

void PrepareComplianceAnalyzer(CCurveAnalyzer& analyzer, const StrategySettings& strategy) {
    PrepareAreaFunctionAnalyzer(analyzer, strategy);
    analyzer.m_bDriftCorrection = strategy.m_bDriftCorrection;
}

CalibrationCurves AnalyzeCalibrationCurves(CCurveAnalyzer& analyzer, const UnloadMethod& method,
                                           const CalibrationProgress& progress) {
    CalibrationCurves out;
    const int n = analyzer.m_nFileCount;
    for (int i = 0; i < n; ++i) {
        const std::filesystem::path& file = analyzer.m_strFiles[static_cast<std::size_t>(i)];
        if (!FitsUnloading(method.method)) {
            out.leftOut.push_back({file, file.string() + ": the analysis method is neither "
                                                         "Oliver-Pharr nor Doerner-Nix"});
        } else {
            const Status status = FitCurveUnload(analyzer, i, method);
            if (!status.ok()) {
                out.leftOut.push_back({file, status.message()});
            } else if (!(analyzer.m_dStiffness > 0) || !std::isfinite(analyzer.m_dStiffness) ||
                       !std::isfinite(analyzer.m_dHc) || !std::isfinite(analyzer.m_dFmax)) {
                // A curve without a usable unloading branch: its 1/S or area would be noise.
                out.leftOut.push_back(
                    {file, file.string() + ": no usable unload fit (contact stiffness " +
                               FormatSignificant(analyzer.m_dStiffness, 7) + " mN/nm)"});
            } else {
                out.curves.push_back(
                    {i, file, analyzer.m_dFmax, analyzer.m_dHc, analyzer.m_dStiffness});
            }
        }
        if (progress && !progress(i + 1, n)) {
            out.cancelled = true;
            break;
        }
    }
    return out;
}

std::string DescribeLeftOut(const std::vector<LeftOutCurve>& leftOut) {
    if (leftOut.empty()) return "";
    std::string text = FormatInt(static_cast<long long>(leftOut.size())) +
                       (leftOut.size() == 1 ? " curve was" : " curves were") + " left out:";
    for (const LeftOutCurve& c : leftOut) {
        text += "\n" + c.reason;
    }
    return text;
}

std::string CheckCalibrationFileCount(int fileCount) {
    if (fileCount < 2) {
        return "A calibration needs at least two indentation curves; " + FormatInt(fileCount) +
               (fileCount == 1 ? " is" : " are") + " selected.";
    }
    if (fileCount > kMaxCalibrationCurves) {
        return FormatInt(fileCount) + " curves are selected, but a calibration holds at most " +
               FormatInt(kMaxCalibrationCurves) + ". Select " + FormatInt(kMaxCalibrationCurves) +
               " curves or fewer.";
    }
    return "";
}

}  // namespace marvek
