#pragma once
// The first step both calibrations share: each selected curve analysed once with the unload
// method of the strategy, keeping what the calibrations need of it. Curves that cannot be read
// or give no usable unload fit are left out and named, never replaced by the previous curve.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/analysis/curve_analyzer.h"
#include "core/analysis/unload_method.h"
#include "core/config/settings.h"

namespace marvek {

// The most curves one calibration holds.
inline constexpr int kMaxCalibrationCurves = 500;

// Called after each analysed curve with (curves done, curves in all); returning false cancels.
using CalibrationProgress = std::function<bool(int done, int total)>;

struct CalibrationCurve {
    int index = 0;  // position in the analyzer's file list
    std::filesystem::path file;
    double fmax = 0;       // mN
    double hc = 0;         // nm
    double stiffness = 0;  // mN/nm
};

struct LeftOutCurve {
    std::filesystem::path file;
    std::string reason;  // one line that names the file
};

struct CalibrationCurves {
    std::vector<CalibrationCurve> curves;  // in file-list order
    std::vector<LeftOutCurve> leftOut;
    bool cancelled = false;
};

// The corrections a calibration's analyzer takes from the strategy before each calibration: the
// compliance calibration takes the zero-point switch and window and the drift switch, the
// area-function calibration the zero-point switch and window only. Neither takes the force
// accuracy.
void PrepareComplianceAnalyzer(CCurveAnalyzer& analyzer, const StrategySettings& strategy);
void PrepareAreaFunctionAnalyzer(CCurveAnalyzer& analyzer, const StrategySettings& strategy);

// Analyses every file of the analyzer's list in order. A method other than 0 or 1 analyses
// nothing and leaves every curve out.
CalibrationCurves AnalyzeCalibrationCurves(CCurveAnalyzer& analyzer, const UnloadMethod& method,
                                           const CalibrationProgress& progress = {});

// "n curves were left out:" and one line per curve, or "" when none was.
std::string DescribeLeftOut(const std::vector<LeftOutCurve>& leftOut);

// The reason a calibration cannot start on `fileCount` selected files, or "" when it can.
std::string CheckCalibrationFileCount(int fileCount);

}  // namespace marvek
