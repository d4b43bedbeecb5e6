#include "core/tools/save_curves.h"

#include <algorithm>
#include <vector>

#include "core/io/number_format.h"
#include "core/platform/output_file.h"

namespace marvek {

const char* const kSaveCurvesHeader = "Displacement(nm), Force(mN), Fit(mN), Extrapolation(mN)\n";

namespace {

// `commas` puts the force into its own column: 1 measured, 2 fit, 3 extrapolation.
void AppendSeries(std::string& out, const std::vector<double>& depth,
                  const std::vector<double>& load, int commas) {
    const std::size_t n = std::min(depth.size(), load.size());
    for (std::size_t i = 0; i < n; ++i) {
        out += FormatSignificant(depth[i], 7);
        out.append(static_cast<std::size_t>(commas), ',');
        out += FormatSignificant(load[i], 7);
        out += '\n';
    }
}

}  // namespace

std::string BuildSaveCurvesText(const std::string& resultsText, const CurveDisplay& display) {
    std::string out = resultsText;
    out += '\n';
    out += kSaveCurvesHeader;
    AppendSeries(out, display.m_pCurveDepth, display.m_pCurveLoad, 1);
    AppendSeries(out, display.m_pFitCurveDepth, display.m_pFitCurveLoad, 2);
    AppendSeries(out, display.m_pExtrapDepth, display.m_pExtrapLoad, 3);
    return out;
}

std::string WriteSaveCurvesFile(const std::filesystem::path& file, const std::string& content) {
    const Status status = WriteOutputFile(file, content);
    if (status.ok()) return {};
    const std::string& reason = status.reason();
    std::string message = "The curves could not be saved to ";
    message += file.string();
    message += ": ";
    message += reason;
    message += '.';
    return message;
}

}  // namespace marvek
