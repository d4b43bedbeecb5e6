#pragma once
// The graph and progress windows as the calibration windows use them (see
// settings/calibration_support.h).

#include "settings/calibration_support.h"

namespace marvek::graphs {
CalibrationViews MakeCalibrationViews();
}  // namespace marvek::graphs
