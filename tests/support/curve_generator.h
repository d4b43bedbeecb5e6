#pragma once
// Synthetic indentation curves from known parameters, for tests that recover them.

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace marvek::testing {

struct GeneratedPoint {
    double depth;  // nm
    double load;   // mN
    double time;   // s
    char segment;  // 'L' 'T' 'U' 'B' 'R'
};

struct CurveShape {
    double fMax = 10;   // mN
    double hMax = 100;  // nm, of the specimen (before compliance and drift)
    double hf = 40;     // nm, unloading power-law offset
    double m = 1.5;     // unloading exponent
    int loadPoints = 200;
    int topHoldPoints = 0;
    double holdCreep = 0;       // nm the depth grows over the top hold at fMax (linearly)
    double holdRelaxation = 0;  // mN the load falls over the top hold at constant depth
    int unloadPoints = 200;
    double unloadToFraction = 0;  // unloading ends at this fraction of fMax
    int bottomHoldPoints = 0;
    double compliance = 0;  // nm/mN added to every depth
    double driftRate = 0;   // nm/s added to every depth
    double dt = 0.1;        // s between points
    double noiseDepth = 0;  // nm, standard deviation
    double noiseLoad = 0;   // mN
    unsigned seed = 1;
};

// Loading F = fMax*(h/hMax)^2, an optional hold at fMax (with creep or relaxation), unloading
// F = fTop*((h - hf - creep)/(hMax - hf))^m from fTop = fMax - relaxation down to
// unloadToFraction*fMax, an optional hold there.
std::vector<GeneratedPoint> GenerateCurve(const CurveShape& shape);

struct WriteOptions {
    bool time = true;
    bool keywords = false;
    bool micrometres = false;   // header says um, depths written in um
    bool markerLayout = false;  // the ",1, " layout (depth in um, time in the sixth field)
};

std::string CurveText(const std::vector<GeneratedPoint>& points, const WriteOptions& options);

}  // namespace marvek::testing
