#pragma once
// The analysis object: the selected file list, one loaded curve and the results of its last
// unload fit. Units: depth nm, load mN, time s.

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "core/analysis/fitting.h"
#include "core/analysis/unload_analysis.h"
#include "core/io/file_cache.h"
#include "core/io/parsed_curve.h"
#include "core/platform/large_blocks.h"

namespace marvek {

// Caption and text of the message shown for a file of unrecognised layout.
extern const char* const kFileFormatCaption;
extern const char* const kFileFormatMessage;

// The point arrays: zeros from the allocator, large blocks from the huge-page pool (see
// large_blocks.h). Page faults on a filled buffer took 4 ms, longer than reading and fitting a
// 10000-point curve.
template <class T>
using PointArray = io::ZeroedVector<T>;

class CCurveAnalyzer {
public:
    static constexpr int kMaxFiles = 2000;
    static constexpr int kMaxPoints = 40000;
    static constexpr int kMaxPointsMarkerLayout = 9000;

    CCurveAnalyzer();
    CCurveAnalyzer(const CCurveAnalyzer&) = default;
    CCurveAnalyzer& operator=(const CCurveAnalyzer&) = default;
    virtual ~CCurveAnalyzer();

    // Reading (the reader labels unlabelled curves and applies the zero-point correction).
    // `file` is an address: FILE or FILE#TEST; any format of the import layer.
    // A failed read says why, naming the file (io::ReadCurve's codes).
    Status ReadCurveFile(const std::filesystem::path& file);
    Status ReadCurveStream(std::istream& in);  // Marvek's own CSV only
    // Loads a parsed curve (cut at kMaxPoints) as a read would, corrections included.
    void LoadCurve(const io::ParsedCurve& curve);

    // Work that analyses one curve many times (the sweeps) reads its file once: while held,
    // reads of that file copy the points as first read instead of parsing the file again.
    // Copies of the analyzer share the held points. Holding changes nothing else in the
    // analyzer; it returns the status of the read, and nothing is held unless it is Ok.
    Status HoldCurveFile(const std::filesystem::path& file);
    void ReleaseHeldCurve();

    // Corrections.
    void DetectSegments(double tolerance);
    void CorrectZeroPoint(double minPercent, double maxPercent);
    double GetMaxLoad() const;
    void ComputeDriftRate();

    // Fitting numerics. FitPowerLaw fits y = alpha*(x - hf)^m and returns r^2 of the log-log
    // line; its search window is set by the maximum depth of the loaded curve.
    double GetMaxDepth() const;
    double FitPowerLaw(double& alpha, double& m, double& hf, const double* x, const double* y,
                       int n) const;

    // Unload analysis of the curve read or loaded (a file's curve: FitCurveUnload in
    // curve_analysis.h, which reads it first; on a failed read nothing else is touched there).
    void SelectUnloadSection(float minPercent, float maxPercent);
    void AnalyzeLoadedUnload(double compliance, double epsilon, float minPercent, float maxPercent,
                             bool oliverPharr);

    // Segment durations and work, from the loaded (corrected) curve. A curve that never unloads
    // (no unloading analysed and the load never falls to half its maximum after it) has a
    // loading time and energy up to its largest load; the other segments are NaN: "no
    // unloading", not zero seconds.
    void ComputeSegmentTimes();
    bool m_bNoUnloading = false;  // set by ComputeSegmentTimes
    double GetLoadingEnergy() const;
    double GetUnloadingEnergy() const;
    double GetReloadingEnergy() const;

    // Replaces the file list; keeps the first kMaxFiles paths. Entries are addresses; a file
    // holding several tests (a workbook) is replaced by the address of each of its tests.
    void SetFiles(const std::vector<std::filesystem::path>& files);
    // The same without the expansion, for lists that already hold addresses.
    void SetAddresses(const std::vector<std::filesystem::path>& files);

    // How files are read (format override, columns, units); what the last read found.
    io::ReadOptions m_readOptions;
    // Files of several tests stay parsed here while their tests are read one by one. Copies of
    // the analyzer share it; a batch gives all its workers one (it is safe from several threads).
    std::shared_ptr<io::ParsedFileCache> m_fileCache = std::make_shared<io::ParsedFileCache>();
    std::string m_strFormat;       // format of the loaded curve
    std::string m_strUnits;        // units it was read in
    io::CurveMetadata m_fileMeta;  // what its file states besides the points
    std::string m_strColumns;      // the columns taken, as the file names them ("" if fixed)
    std::vector<io::ReadWarning> m_readWarnings;  // what the read skipped or guessed

    double m_dHoldBandFactor = 6.0;
    double m_dLoadTime = 0, m_dTopHoldTime = 0, m_dUnloadTime = 0, m_dBottomHoldTime = 0,
           m_dReloadTime = 0;         // s
    double m_dForceAccuracy = 0;      // +- mN
    int m_bDriftCorrection = 0;       // exactly 1 = on
    double m_dDriftRate = 0;          // nm/s
    double m_dIntercept = 0;          // Doerner-Nix line intercept, mN
    double m_dZeroFitMaxPercent = 0;  // % of the maximum load
    double m_dZeroFitMinPercent = 0;  // % of the maximum load
    int m_bZeroPointCorrection = 0;   // exactly 1 = on
    double m_dZeroPointOffset = 0;    // nm, already subtracted from the depths
    double m_dRSquared = 0, m_dM = 0, m_dAlpha = 0, m_dHr = 0, m_dHmax = 0, m_dHc = 0, m_dHf = 0,
           m_dFmax = 0, m_dStiffness = 0;
    int m_nFileCount = 0;
    std::vector<std::filesystem::path> m_strFiles;  // m_nFileCount entries in use
    int m_nFitPoints = 0;
    // Fixed-capacity point arrays (kMaxPoints each); only the first m_nPoints belong to the
    // loaded curve, the first m_nFitPoints of the fit arrays to the unload section.
    PointArray<double> m_pLoad;      // mN
    PointArray<double> m_pDepth;     // nm
    PointArray<double> m_pFitDepth;  // nm
    PointArray<double> m_pFitLoad;   // mN
    PointArray<char> m_pSegment;     // 'L' 'T' 'U' 'B' 'R' or 'X'
    PointArray<double> m_pTime;      // s
    int m_nPoints = 0;

private:
    struct HeldCurve;

    UnloadInput LoadedUnloadInput() const;
    void FinishRead();
    void PrepareLoadedUnload(double compliance, float minPercent, float maxPercent);
    void FitLoadedUnload(double epsilon, bool oliverPharr);

    std::shared_ptr<const HeldCurve> m_held;
    // The last read's points before loading, kept so that a read allocates nothing once the
    // first has run.
    io::ParsedCurve m_scratch;
};

}  // namespace marvek
