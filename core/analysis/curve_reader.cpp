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

Status CCurveAnalyzer::ReadCurveStream(std::istream& in) {
    int n = 0;
    const bool ok = io::ParseMarvekCsv(
        in, {m_pDepth.data(), m_pLoad.data(), m_pTime.data(), m_pSegment.data()}, n, m_scratch);
    m_nPoints = n;
    if (!ok)
        return Status::Error(
            "not a curve of Marvek's CSV: no \"Depth\"/\"Disp\" header line and no \",1, \" "
            "marker line",
            ErrorCode::UnknownLayout);
    m_strFormat = m_scratch.format;
    m_strUnits = m_scratch.units;
    m_fileMeta = {};
    m_strColumns.clear();
    m_readWarnings.clear();
    FinishRead();
    return Status();
}

void CCurveAnalyzer::FinishRead() {
    if (m_pSegment[0] == 'X') DetectSegments(0.1);
    if (m_bZeroPointCorrection == 1)
        CorrectZeroPoint(m_dZeroFitMinPercent, m_dZeroFitMaxPercent);
    else
        m_dZeroPointOffset = 0;  // not the offset of an earlier curve read with the correction
}

Status CCurveAnalyzer::HoldCurveFile(const std::filesystem::path& file) {
    m_held.reset();
    auto held = std::make_shared<HeldCurve>();
    held->file = file;
    Status status =
        io::ReadCurve(file, m_readOptions, held->curve, nullptr, nullptr, m_fileCache.get());
    if (!status.ok()) return status;
    for (auto* v : {&held->curve.depth, &held->curve.load, &held->curve.time}) v->shrink_to_fit();
    held->curve.segment.shrink_to_fit();
    m_held = std::move(held);
    return status;
}

void CCurveAnalyzer::ReleaseHeldCurve() { m_held.reset(); }

Status CCurveAnalyzer::ReadCurveFile(const std::filesystem::path& file) {
    if (m_held && m_held->file == file) {
        LoadCurve(m_held->curve);
        return Status();
    }
    io::ParsedCurve& c = m_scratch;
    // Marvek's CSV goes straight into the arrays, as it always did; other formats via `c`.
    const io::PointArrays arrays{m_pDepth.data(), m_pLoad.data(), m_pTime.data(),
                                 m_pSegment.data()};
    int direct = -1;
    Status status = io::ReadCurve(file, m_readOptions, c, &arrays, &direct, m_fileCache.get());
    if (status.code() == ErrorCode::CannotOpen) return status;
    if (!status.ok()) {
        m_nPoints = 0;
        return status;
    }
    if (direct < 0) {
        LoadCurve(c);
        return status;
    }
    m_nPoints = direct;
    m_strFormat = c.format;
    m_strUnits = c.units;
    m_fileMeta = c.meta;
    m_strColumns = c.columns;
    m_readWarnings = c.warnings;
    FinishRead();
    return status;
}

}  // namespace marvek
