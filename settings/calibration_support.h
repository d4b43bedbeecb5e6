#pragma once
// What both calibration windows share: running the analyses with a progress window that can
// cancel them, and showing the resulting points in a graph. The settings windows do not draw
// graphs themselves: the program hands them its graph window and progress window through
// SetCalibrationViews, so that settings/ needs nothing of graphs/.

#include <functional>
#include <string>
#include <vector>

#include "core/calibration/calibration_curves.h"

class QWidget;

struct CalibrationViews {
    // Runs `work` off the window thread and shows its progress (with Cancel) once it has taken a
    // moment; `work` gets the progress hook to pass to the calibration and must not touch windows.
    std::function<void(QWidget* owner,
                       const std::function<void(const marvek::CalibrationProgress&)>& work)>
        runWithProgress;
    std::function<void(const std::string& xTitle, const std::string& yTitle,
                       const std::vector<double>& x, const std::vector<double>& y)>
        showGraph;
};

// Installed by the main window. Until then a calibration runs on the calling thread with no
// progress window and its points are not drawn.
void SetCalibrationViews(CalibrationViews views);

void RunCalibrationWithProgress(
    QWidget* owner, const std::function<void(const marvek::CalibrationProgress&)>& work);

void ShowCalibrationGraph(const char* xTitle, const char* yTitle, const std::vector<double>& x,
                          const std::vector<double>& y);
