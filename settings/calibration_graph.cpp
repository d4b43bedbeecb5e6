#include "settings/calibration_graph.h"

void ShowCalibrationGraph(const char*, const char*, const std::vector<double>&,
                          const std::vector<double>&) {}
