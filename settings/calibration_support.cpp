#include "settings/calibration_support.h"

#include <utility>

namespace {
CalibrationViews& Views() {
    static CalibrationViews views;
    return views;
}
}  // namespace

void SetCalibrationViews(CalibrationViews views) { Views() = std::move(views); }

void RunCalibrationWithProgress(
    QWidget* owner, const std::function<void(const marvek::CalibrationProgress&)>& work) {
    if (Views().runWithProgress) {
        Views().runWithProgress(owner, work);
        return;
    }
    work([](int, int) { return true; });
}

void ShowCalibrationGraph(const char* xTitle, const char* yTitle, const std::vector<double>& x,
                          const std::vector<double>& y) {
    if (Views().showGraph) Views().showGraph(xTitle, yTitle, x, y);
}
