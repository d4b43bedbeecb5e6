// Arbitrary curve files through the reader and the multi-cycle scan of both splits, rendering
// every file the splits would write (nothing touches the disk).
#include <cstdint>
#include <sstream>
#include <string>

#include "core/analysis/curve_analyzer.h"
#include "core/tools/multi_cycle_split.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static marvek::CCurveAnalyzer analyzer;
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::istringstream in(text);
    if (!analyzer.ReadCurveStream(in).ok()) return 0;
    const marvek::CurvePoints points = marvek::LoadedPoints(analyzer);
    // The first byte picks the force accuracy, 0 (no holds) included.
    const float accuracy = size > 0 ? static_cast<float>(data[0] % 8) * 0.01f : 0.02f;
    for (marvek::SplitKind kind : {marvek::SplitKind::Unload, marvek::SplitKind::Reload}) {
        const auto outputs =
            marvek::BuildSplitFiles(points, kind, marvek::HoldBand(accuracy), "fuzz/input.csv");
        for (const auto& output : outputs) {
            std::istringstream back(output.content);
            static marvek::CCurveAnalyzer reread;
            static_cast<void>(reread.ReadCurveStream(back));
        }
    }
    return 0;
}
