#include "curve_description.h"

#include <sstream>

namespace marvek::io {

std::vector<std::string> DescribeCurve(const ParsedFile& file, const ParsedCurve& c) {
    std::vector<std::string> lines;
    // Numbers as a stream prints them by default (6 significant digits), as `list` always did.
    auto number = [](double v) {
        std::ostringstream out;
        out << v;
        return out.str();
    };
    if (!file.choice.empty() && !file.curves.empty() && &c == &file.curves.front())
        lines.push_back("read as " + file.choice);
    if (!c.columns.empty()) lines.push_back("columns: " + c.columns);
    for (const ReadWarning& w : c.warnings)
        lines.push_back("warning" + (w.line > 0 ? " (line " + std::to_string(w.line) + ")" : "") +
                        ": " + w.text);
    const CurveMetadata& m = c.meta;
    if (m.poissonRatio) lines.push_back("Poisson's ratio: " + number(*m.poissonRatio));
    if (m.frameCompliance)
        lines.push_back("frame compliance: " + number(*m.frameCompliance) + " nm/mN");
    if (!m.areaCoefficients.empty()) {
        std::string t = "area function:";
        for (double v : m.areaCoefficients) t += ' ' + number(v);
        lines.push_back(t);
    }
    if (!m.tipName.empty()) lines.push_back("tip: " + m.tipName);
    return lines;
}

}  // namespace marvek::io
