#include "core/analysis/no_result_reason.h"

#include <cmath>

#include "core/io/number_format.h"

namespace marvek {

namespace {

// The searches start from these; a result that still holds one found nothing.
bool IsStartValue(double v) { return std::fabs(v) >= 9e9; }

bool Usable(double v) { return std::isfinite(v) && !IsStartValue(v); }

}  // namespace

std::string NoResultReason(const CCurveAnalyzer& analyzer, const CurveDisplay& display,
                           const Settings& settings) {
    const CCurveAnalyzer& a = analyzer;
    if (a.m_nPoints <= 0) return "the file holds no data points";
    bool anyLoad = false;
    for (int i = 0; i < a.m_nPoints && !anyLoad; ++i) anyLoad = a.m_pLoad[i] != 0;
    if (!anyLoad) return "all loads are zero";
    const AnalysisMethod method = settings.strategy.method();
    if (FitsUnloading(method)) {
        const bool op = method == AnalysisMethod::OliverPharr;
        const float lo = op ? settings.strategy.m_fOPMinPercent : settings.strategy.m_fDNMinPercent;
        const float hi = op ? settings.strategy.m_fOPMaxPercent : settings.strategy.m_fDNMaxPercent;
        if (!(lo < hi) || lo >= 100 || hi <= 0)
            return "the fit range " + FormatSignificant(lo, 6) + "\u2013" +
                   FormatSignificant(hi, 6) + " % is empty";
    }
    if (a.m_nFitPoints < 2) return "no unloading segment found";
    const double values[] = {
        a.m_dFmax,      a.m_dHmax,      a.m_dHc,        a.m_dHf,
        a.m_dStiffness, display.m_dEIT, display.m_dHIT, display.m_dProjectedArea};
    for (double v : values)
        if (!Usable(v)) return "the unloading fit found no curve through the points";
    return {};
}

std::string NoResultText(const CCurveAnalyzer& analyzer, AnalysisMethod method,
                         const std::string& reason) {
    std::string t = "Method :\n";
    t += std::string(" ") + MethodTitle(method) + "\n\n";
    t += "Total Data Points = " + FormatInt(analyzer.m_nPoints) + "\n";
    t += "Unload/Reload Points = " + FormatInt(analyzer.m_nFitPoints) + "\n\n";
    // The results box is narrow and does not wrap: the sentence is broken between words.
    constexpr std::size_t kLineWidth = 30;
    t += "No result:\n";
    std::string line;
    std::size_t start = 0;
    const std::string sentence = reason + ".";
    while (start < sentence.size()) {
        std::size_t end = sentence.find(' ', start);
        if (end == std::string::npos) end = sentence.size();
        const std::string word = sentence.substr(start, end - start);
        if (!line.empty() && line.size() + 1 + word.size() > kLineWidth) {
            t += " " + line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        start = end + 1;
    }
    t += " " + line + "\n";
    return t;
}

}  // namespace marvek
