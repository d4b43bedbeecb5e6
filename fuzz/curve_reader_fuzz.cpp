// Feeds arbitrary bytes to the curve reader, with the corrections and both unload analyses'
// numerics that run on what it read.
#include <cstdint>
#include <sstream>
#include <string>

#include "core/analysis/curve_analyzer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static marvek::CCurveAnalyzer analyzer;  // reused, as the windows reuse theirs
    // The first byte picks the switches, so every combination is explored.
    const uint8_t switches = size > 0 ? data[0] : 0;
    analyzer.m_bZeroPointCorrection = switches & 1;
    analyzer.m_dZeroFitMinPercent = 10;
    analyzer.m_dZeroFitMaxPercent = (switches & 2) ? 5 : 90;
    analyzer.m_dForceAccuracy = 0.02;
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::istringstream in(text);
    if (!analyzer.ReadCurveStream(in).ok()) return 0;
    analyzer.ComputeDriftRate();
    analyzer.SelectUnloadSection((switches & 4) ? 82.0f : 20.0f, (switches & 4) ? 100.0f : 82.0f);
    double alpha = 0, m = 0, hf = 0;
    analyzer.FitPowerLaw(alpha, m, hf, analyzer.m_pFitDepth.data(), analyzer.m_pFitLoad.data(),
                         analyzer.m_nFitPoints);
    analyzer.ComputeSegmentTimes();
    analyzer.GetLoadingEnergy();
    return 0;
}
