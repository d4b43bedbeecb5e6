#pragma once
// Shows the points of a calibration in the graph window.

#include <vector>

void ShowCalibrationGraph(const char* xTitle, const char* yTitle, const std::vector<double>& x,
                          const std::vector<double>& y);
