#include <algorithm>
#include <istream>
#include <string>

#include "core/analysis/curve_analyzer.h"
#include "core/io/number_format.h"

namespace marvek {

const char* const kFileFormatCaption = "Error Required File Format";
const char* const kFileFormatMessage =
    "Try\n\nFile format example (.CSV): \nDisplacement (nm), Force (mN) \n17.26392, 0.112508\n"
    "20.6317, 0.128736\n...\n\n OR \n\nDisplacement (nm), Force (mN), Time (s) \n"
    "17.26392, 0.112508, 0.010\n20.6317, 0.128736, 0.015\n...";

std::string DescribeReadFailure(ReadStatus status, const std::filesystem::path& file,
                                const std::string& problem) {
    if (status == ReadStatus::Ok) return "";
    // The reader knows why (binary, no depth column, ...); the sentences below are the last
    // resort.
    if (!problem.empty()) return problem;
    switch (status) {
        case ReadStatus::Ok: return "";
        case ReadStatus::CannotOpen: return file.string() + ": cannot be opened";
        case ReadStatus::UnknownLayout:
            return file.string() +
                   ": not a recognised curve file (no \"Depth\"/\"Disp\" header "
                   "line and no \",1, \" marker line, nor a file of another known format)";
        case ReadStatus::Damaged: return file.string() + ": damaged";
    }
    return file.string() + ": unknown read failure";
}

struct CCurveAnalyzer::HeldCurve {
    std::filesystem::path file;
    io::ParsedCurve curve;
};

void CCurveAnalyzer::LoadCurve(const io::ParsedCurve& c) {
    const auto n = std::min<std::size_t>(c.size(), kMaxPoints);
    std::copy_n(c.depth.begin(), n, m_pDepth.begin());
    std::copy_n(c.load.begin(), n, m_pLoad.begin());
    std::copy_n(c.time.begin(), n, m_pTime.begin());
    std::copy_n(c.segment.begin(), n, m_pSegment.begin());
    m_nPoints = static_cast<int>(n);
    m_strFormat = c.format;
    m_strUnits = c.units;
    m_fileMeta = c.meta;
    m_strColumns = c.columns;
    m_readWarnings = c.warnings;
    FinishRead();
}

ReadStatus CCurveAnalyzer::ReadCurveStream(std::istream& in) {
    int n = 0;
    const bool ok = io::ParseMarvekCsv(
        in, {m_pDepth.data(), m_pLoad.data(), m_pTime.data(), m_pSegment.data()}, n, m_scratch);
    m_nPoints = n;
    if (!ok) return ReadStatus::UnknownLayout;
    m_strFormat = m_scratch.format;
    m_strUnits = m_scratch.units;
    m_fileMeta = {};
    m_strColumns.clear();
    m_readWarnings.clear();
    FinishRead();
    return ReadStatus::Ok;
}

void CCurveAnalyzer::FinishRead() {
    if (m_pSegment[0] == 'X') DetectSegments(0.1);
    if (m_bZeroPointCorrection == 1) CorrectZeroPoint(m_dZeroFitMinPercent, m_dZeroFitMaxPercent);
}

ReadStatus CCurveAnalyzer::HoldCurveFile(const std::filesystem::path& file) {
    m_held.reset();
    auto held = std::make_shared<HeldCurve>();
    held->file = file;
    const ReadStatus status =
        io::ReadCurve(file, m_readOptions, held->curve, nullptr, nullptr, m_fileCache.get());
    m_strReadProblem = held->curve.error;
    if (status != ReadStatus::Ok) return status;
    for (auto* v : {&held->curve.depth, &held->curve.load, &held->curve.time}) v->shrink_to_fit();
    held->curve.segment.shrink_to_fit();
    m_held = std::move(held);
    return status;
}

void CCurveAnalyzer::ReleaseHeldCurve() { m_held.reset(); }

ReadStatus CCurveAnalyzer::ReadCurveFile(const std::filesystem::path& file) {
    m_strReadProblem.clear();
    if (m_held && m_held->file == file) {
        LoadCurve(m_held->curve);
        return ReadStatus::Ok;
    }
    io::ParsedCurve& c = m_scratch;
    // Marvek's CSV goes straight into the arrays, as it always did; other formats via `c`.
    const io::PointArrays arrays{m_pDepth.data(), m_pLoad.data(), m_pTime.data(),
                                 m_pSegment.data()};
    int direct = -1;
    const ReadStatus status =
        io::ReadCurve(file, m_readOptions, c, &arrays, &direct, m_fileCache.get());
    m_strReadProblem = c.error;
    if (status == ReadStatus::CannotOpen) return status;
    if (status != ReadStatus::Ok) {
        m_nPoints = 0;
        return status;
    }
    if (direct < 0) {
        LoadCurve(c);
        return ReadStatus::Ok;
    }
    m_nPoints = direct;
    m_strFormat = c.format;
    m_strUnits = c.units;
    m_fileMeta = c.meta;
    m_strColumns = c.columns;
    m_readWarnings = c.warnings;
    FinishRead();
    return ReadStatus::Ok;
}

}  // namespace marvek
