#include "core/tools/multi_cycle_split.h"

#include <algorithm>

#include "core/io/number_format.h"
#include "core/platform/output_file.h"

namespace marvek {

namespace {

constexpr double kStartMax = -9e99;
constexpr double kStartMin = 9e99;
// Crossings are only looked for from this index on, as the segment detection does.
constexpr int kFirstCrossingIndex = 11;
// The crossing level is 0.33 of the running maximum, deliberately not one third.
constexpr double kCrossingFactor = 0.33;

int PointCount(const CurvePoints& points) {
    return static_cast<int>(
        std::min({points.depth.size(), points.load.size(), points.time.size()}));
}

// Hold limits around a peak p (level `top`) or a valley v (level `bottom`).
int TopHoldStart(std::span<const double> f, int p, double top, double band) {
    int s = p;
    while (s > 0 && f[s] > top - band) --s;
    return s;
}

int TopHoldEnd(std::span<const double> f, int n, int p, double top, double band) {
    int e = p;
    while (e < n - 1 && f[e] > top - band) ++e;
    return e;
}

int BottomHoldStart(std::span<const double> f, int v, double bottom, double band) {
    int a = v;
    while (a > 0 && f[a] < bottom + band) --a;
    return a;
}

int BottomHoldEnd(std::span<const double> f, int n, int v, double bottom, double band) {
    int b = v;
    while (b < n - 1 && f[b] < bottom + band) ++b;
    return b;
}

void AppendLine(std::string& out, const CurvePoints& points, int i, const char* segment) {
    out += FormatSignificant(points.depth[i] / 1000.0, 7);
    out += ',';
    out += FormatSignificant(points.load[i], 7);
    out += ',';
    out += FormatSignificant(points.time[i], 7);
    out += ',';
    out += segment;
    out += '\n';
}

const char* CreatedText(SplitKind kind) {
    return kind == SplitKind::Unload ? " unload curve files created\n"
                                     : " reload curves files created\n";
}

}  // namespace

CurvePoints LoadedPoints(const CCurveAnalyzer& analyzer) {
    const std::size_t n = static_cast<std::size_t>(
        std::clamp(analyzer.m_nPoints, 0,
                   static_cast<int>(std::min({analyzer.m_pDepth.size(), analyzer.m_pLoad.size(),
                                              analyzer.m_pTime.size()}))));
    return CurvePoints{std::span<const double>(analyzer.m_pDepth.data(), n),
                       std::span<const double>(analyzer.m_pLoad.data(), n),
                       std::span<const double>(analyzer.m_pTime.data(), n)};
}

double HoldBand(float forceAccuracy, double holdBandFactor) {
    return static_cast<double>(forceAccuracy) * holdBandFactor;
}

namespace {

// Where the force scan stands: the running maximum, the current cycle's top and the valley.
struct ScanState {
    double runMax = kStartMax;
    double cycleMax = kStartMax;
    int cycleMaxIndex = 0;
    double prevCycleMax = kStartMax;
    double valleyMin = kStartMin;
    int valleyMinIndex = 0;
    int k = 1;  // number of the next file
};

// The file of one load-unload cycle: top hold, unloading and bottom hold around the cycle's
// maximum and the valley after it.
SplitFilePlan UnloadFilePlan(std::span<const double> f, int n, const ScanState& s,
                             int envelopeCount, double band) {
    SplitFilePlan file;
    file.number = s.k;
    file.envelopeCount = envelopeCount;
    file.forceLimit = s.cycleMax;
    file.topHoldBegin = TopHoldStart(f, s.cycleMaxIndex, s.cycleMax, band);
    file.topHoldEnd = TopHoldEnd(f, n, s.cycleMaxIndex, s.cycleMax, band);
    file.bottomHoldBegin = BottomHoldStart(f, s.valleyMinIndex, s.valleyMin, band);
    file.bottomHoldEnd = BottomHoldEnd(f, n, s.valleyMinIndex, s.valleyMin, band);
    file.unloadBegin = file.topHoldEnd;
    file.unloadEnd = file.bottomHoldBegin;
    return file;
}

// The file of one reloading: from the valley's bottom hold up to the previous cycle's top.
SplitFilePlan ReloadFilePlan(std::span<const double> f, int n, const ScanState& s,
                             int envelopeCount, double band) {
    SplitFilePlan file;
    file.number = s.k;
    file.envelopeCount = envelopeCount;
    file.forceLimit = s.prevCycleMax;
    file.bottomHoldBegin = BottomHoldStart(f, s.valleyMinIndex, s.valleyMin, band);
    file.bottomHoldEnd = BottomHoldEnd(f, n, s.valleyMinIndex, s.valleyMin, band);
    file.reloadTop = s.cycleMaxIndex;
    file.reloadBottom = file.bottomHoldEnd;
    return file;
}

}  // namespace

SplitPlan PlanSplit(const CurvePoints& points, SplitKind kind, double band) {
    SplitPlan plan;
    plan.kind = kind;
    const int n = PointCount(points);
    const std::span<const double> f = points.load;
    ScanState s;
    for (int i = 0; i < n; ++i) {
        if (f[i] > s.runMax) {
            s.runMax = f[i];
            plan.envelope.push_back(i);
        }
        if (f[i] > s.cycleMax) {
            s.cycleMax = f[i];
            s.cycleMaxIndex = i;
        }
        if (f[i] < s.valleyMin) {
            s.valleyMin = f[i];
            s.valleyMinIndex = i;
        }
        if (i < kFirstCrossingIndex) continue;

        const double level = kCrossingFactor * s.runMax;
        const bool down = f[i - 1] > level && level > f[i];
        const bool up = f[i - 1] < level && level < f[i];
        const bool cycleEnds = up || i == n - 1;
        const int envelopeCount = static_cast<int>(plan.envelope.size());
        if (down) {
            // Unload: the valley found from here on is the bottom of this unloading. Reload: a
            // valley within the first points is the start of the file, not a dwell before a
            // reloading, so the first cycle writes nothing.
            if (kind == SplitKind::Reload && s.valleyMinIndex >= kFirstCrossingIndex) {
                plan.files.push_back(ReloadFilePlan(f, n, s, envelopeCount, band));
                ++s.k;
            }
            s.valleyMin = kStartMin;
            s.valleyMinIndex = 0;
        }
        if (cycleEnds) {
            if (kind == SplitKind::Unload) {
                plan.files.push_back(UnloadFilePlan(f, n, s, envelopeCount, band));
                ++s.k;
            } else {
                s.prevCycleMax = s.cycleMax;
            }
            s.cycleMax = kStartMax;
            s.cycleMaxIndex = 0;
        }
    }
    return plan;
}

std::filesystem::path SplitBaseName(const std::filesystem::path& input) {
    // A test of a workbook: its file's name plus the test's, made safe, in the file's folder.
    const io::Address address = io::ParseAddress(input);
    if (!address.test.empty()) return address.file.parent_path() / io::CurveOutputStem(input);
    std::filesystem::path base = input;
    base.replace_extension();
    return base;
}

std::filesystem::path SplitFileName(const std::filesystem::path& input, SplitKind kind,
                                    int number) {
    std::filesystem::path name = SplitBaseName(input);
    name += "_";
    name += FormatInt(number);
    name += kind == SplitKind::Unload ? "u.csv" : "r.csv";
    return name;
}

std::string RenderSplitFile(const CurvePoints& points, const SplitPlan& plan,
                            const SplitFilePlan& file) {
    const int n = PointCount(points);
    const std::span<const double> f = points.load;
    // Out-of-range plans (not made by PlanSplit for these points) render no point lines.
    auto inRange = [n](int i) { return i >= 0 && i < n; };
    std::string out = "Depth,Force,Time,Segment\n";

    const int envelopeCount =
        std::clamp(file.envelopeCount, 0, static_cast<int>(plan.envelope.size()));
    for (int e = 0; e < envelopeCount; ++e) {
        const int i = plan.envelope[e];
        if (!inRange(i)) continue;
        const bool below =
            plan.kind == SplitKind::Unload ? f[i] <= file.forceLimit : f[i] < file.forceLimit;
        if (below) AppendLine(out, points, i, "LOAD");
    }
    for (int i = std::max(file.topHoldBegin, 0); i < std::min(file.topHoldEnd, n); ++i)
        AppendLine(out, points, i, "TOP_HOLD");
    for (int i = std::max(file.unloadBegin, 0); i < std::min(file.unloadEnd, n); ++i)
        AppendLine(out, points, i, "UNLOAD");
    for (int j = std::min(file.reloadTop, n - 1); j >= std::max(file.reloadBottom, 0); --j) {
        if (f[j] <= file.forceLimit) AppendLine(out, points, j, "RELOAD");
    }
    for (int i = std::max(file.bottomHoldBegin, 0); i < std::min(file.bottomHoldEnd, n); ++i)
        AppendLine(out, points, i, "BOTTOM_HOLD");
    return out;
}

std::vector<SplitOutput> BuildSplitFiles(const CurvePoints& points, SplitKind kind, double band,
                                         const std::filesystem::path& input) {
    const SplitPlan plan = PlanSplit(points, kind, band);
    std::vector<SplitOutput> outputs;
    outputs.reserve(plan.files.size());
    for (const SplitFilePlan& file : plan.files)
        outputs.push_back(
            {SplitFileName(input, kind, file.number), RenderSplitFile(points, plan, file)});
    return outputs;
}

SplitFileReport WriteSplitFiles(const CurvePoints& points, SplitKind kind, double band,
                                const std::filesystem::path& input) {
    SplitFileReport report;
    report.input = input;
    const SplitPlan plan = PlanSplit(points, kind, band);
    // One file's text at a time: a long curve with many cycles repeats its envelope in every
    // file, which need not all be held at once.
    for (const SplitFilePlan& file : plan.files) {
        const std::filesystem::path name = SplitFileName(input, kind, file.number);
        const Status status = WriteOutputFile(name, RenderSplitFile(points, plan, file));
        if (status.ok())
            report.written.push_back(name);
        else
            report.failed.emplace_back(name, status.reason());
    }
    return report;
}

SplitFileReport SplitCurveFile(CCurveAnalyzer& reader, const std::filesystem::path& input,
                               SplitKind kind, double band) {
    Status status = reader.ReadCurveFile(input);
    if (!status.ok()) {
        SplitFileReport report;
        report.input = input;
        report.read = std::move(status);
        return report;
    }
    return WriteSplitFiles(LoadedPoints(reader), kind, band, input);
}

std::string SplitMessage(SplitKind kind, const SplitFileReport& report) {
    std::string text =
        report.input.string() + "\n\n     " + FormatInt(report.CreatedCount()) + CreatedText(kind);
    if (!report.read.ok()) text += "\n     Skipped: " + report.read.message() + "\n";
    if (!report.failed.empty()) {
        text += "\n     Could not be written:\n";
        for (const auto& [file, reason] : report.failed)
            text += "     " + file.string() + " (" + reason + ")\n";
    }
    return text;
}

}  // namespace marvek
