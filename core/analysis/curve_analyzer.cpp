#include "core/analysis/curve_analyzer.h"

#include <algorithm>
#include <limits>
#include <span>

#include "core/analysis/work_integral.h"
#include "core/base/constants.h"

namespace marvek {

CCurveAnalyzer::CCurveAnalyzer()
    : m_pLoad(kMaxPoints),
      m_pDepth(kMaxPoints),
      m_pFitDepth(kMaxPoints),
      m_pFitLoad(kMaxPoints),
      m_pSegment(kMaxPoints),
      m_pTime(kMaxPoints) {}

CCurveAnalyzer::~CCurveAnalyzer() = default;

void CCurveAnalyzer::SetFiles(const std::vector<std::filesystem::path>& files) {
    SetAddresses(io::ExpandAddresses(files, m_readOptions, m_fileCache.get()));
}

void CCurveAnalyzer::SetAddresses(const std::vector<std::filesystem::path>& files) {
    const std::size_t count = std::min<std::size_t>(files.size(), kMaxFiles);
    m_strFiles.assign(files.begin(), files.begin() + static_cast<std::ptrdiff_t>(count));
    m_nFileCount = static_cast<int>(count);
}

namespace {

// The first point of largest load, or -1 when the curve unloads: it falls below half its
// maximum after the peak or an unloading section was analysed.
int LoadingOnlyPeak(const CCurveAnalyzer& a) {
    if (a.m_nPoints < 2 || a.m_nFitPoints > 0) return -1;
    int peak = 0;
    for (int i = 1; i < a.m_nPoints; ++i)
        if (a.m_pLoad[i] > a.m_pLoad[peak]) peak = i;
    if (!(a.m_pLoad[peak] > 0)) return -1;
    for (int i = peak + 1; i < a.m_nPoints; ++i)
        if (a.m_pLoad[i] < 0.5 * a.m_pLoad[peak]) return -1;
    return peak;
}

}  // namespace

void CCurveAnalyzer::ComputeSegmentTimes() {
    m_bNoUnloading = false;
    if (const int peak = LoadingOnlyPeak(*this); peak >= 0) {
        m_bNoUnloading = true;
        m_dLoadTime = m_pTime[peak] - m_pTime[0];
        m_dTopHoldTime = m_dUnloadTime = m_dBottomHoldTime = m_dReloadTime =
            std::numeric_limits<double>::quiet_NaN();
        return;
    }
    // Local sums: the members would be stored and reloaded at every point.
    double load = 0, topHold = 0, unload = 0, bottomHold = 0, reload = 0;
    const double* t = m_pTime.data();
    const char* c = m_pSegment.data();
    for (int i = 1; i < m_nPoints; ++i) {
        const double dt = t[i] - t[i - 1];
        if (c[i - 1] != c[i]) continue;
        switch (c[i]) {
            case 'L':
                // A loading interval three times longer than the one before it is a pause.
                if (i == 1 || dt < 3 * (t[i - 1] - t[i - 2])) load += dt;
                break;
            case 'T': topHold += dt; break;
            case 'U': unload += dt; break;
            case 'B': bottomHold += dt; break;
            case 'R': reload += dt; break;
            default: break;
        }
    }
    m_dLoadTime = load;
    m_dTopHoldTime = topHold;
    m_dUnloadTime = unload;
    m_dBottomHoldTime = bottomHold;
    m_dReloadTime = reload;
}

namespace {

std::span<const double> Depths(const CCurveAnalyzer& a) {
    return {a.m_pDepth.data(), static_cast<std::size_t>(std::max(a.m_nPoints, 0))};
}
std::span<const double> Loads(const CCurveAnalyzer& a) {
    return {a.m_pLoad.data(), static_cast<std::size_t>(std::max(a.m_nPoints, 0))};
}

// The work over the steps into points of one segment code, in uJ; `reversed` for a branch
// walked towards smaller depths (the reloading's work is counted positive).
double SegmentWork(const CCurveAnalyzer& a, char code, bool reversed) {
    const double work = WorkIntegral(Depths(a), Loads(a), 0, a.m_nPoints - 1,
                                     WorkRule::RightRectangles, constants::kMicroJoulePerNmMN,
                                     [&a, code](std::size_t i) { return a.m_pSegment[i] == code; });
    return reversed ? -work : work;
}

}  // namespace

double CCurveAnalyzer::GetLoadingEnergy() const {
    if (!m_bNoUnloading) return SegmentWork(*this, 'L', false);
    // A curve that only loads: its whole loading, whatever the segment labels say.
    return WorkIntegral(Depths(*this), Loads(*this), 0, LoadingOnlyPeak(*this),
                        WorkRule::RightRectangles, constants::kMicroJoulePerNmMN,
                        [](std::size_t) { return true; });
}
double CCurveAnalyzer::GetUnloadingEnergy() const {
    return m_bNoUnloading ? std::numeric_limits<double>::quiet_NaN()
                          : SegmentWork(*this, 'U', false);
}
double CCurveAnalyzer::GetReloadingEnergy() const {
    return m_bNoUnloading ? std::numeric_limits<double>::quiet_NaN()
                          : SegmentWork(*this, 'R', true);
}

}  // namespace marvek
