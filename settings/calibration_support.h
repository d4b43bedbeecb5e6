#pragma once
// What both calibration windows share: running the analyses with a progress window that can
// cancel them, and showing the resulting points in the graph window.

#include <functional>
#include <vector>

#include "core/calibration/calibration_curves.h"

class QWidget;

// Runs `work` off the window thread and shows its progress (with Cancel) once it has taken a
// moment; `work` gets the progress hook to pass to the calibration and must not touch windows.
void RunCalibrationWithProgress(
    QWidget* owner, const std::function<void(const marvek::CalibrationProgress&)>& work);

void ShowCalibrationGraph(const char* xTitle, const char* yTitle, const std::vector<double>& x,
                          const std::vector<double>& y);
