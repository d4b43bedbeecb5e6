#include "batch.h"

#include <tbb/enumerable_thread_specific.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <memory>

#include "core/analysis/results_text.h"

namespace marvek::python {

// The rows below follow `marvek-cli analyze` step by step (cli/analyze_command.cpp); the tests
// compare every number with the cli's to the bit.

const std::vector<NumberColumn>& NumberColumns() {
    static const std::vector<NumberColumn> columns = {
        {"Fmax", "mN", [](const Row& r) { return r.fmax; }},
        {"hmax", "nm", [](const Row& r) { return r.hmax; }},
        {"hc", "nm", [](const Row& r) { return r.hc; }},
        {"hr", "nm", [](const Row& r) { return r.hr; }},
        {"hf", "nm", [](const Row& r) { return r.hf; }},
        {"S", "mN/nm", [](const Row& r) { return r.s; }},
        {"r2", "", [](const Row& r) { return r.r2; }},
        {"alpha", "mN/nm^m", [](const Row& r) { return r.alpha; }},
        {"m", "", [](const Row& r) { return r.m; }},
        {"intercept", "mN", [](const Row& r) { return r.intercept; }},
        {"driftRate", "nm/s", [](const Row& r) { return r.driftRate; }},
        {"zeroPointOffset", "nm", [](const Row& r) { return r.zeroPointOffset; }},
        {"nPoints", "", [](const Row& r) { return double(r.nPoints); }},
        {"nFitPoints", "", [](const Row& r) { return double(r.nFitPoints); }},
        {"EIT", "GPa", [](const Row& r) { return r.display.m_dEIT; }},
        {"HIT", "MPa", [](const Row& r) { return r.display.m_dHIT; }},
        {"HM", "MPa", [](const Row& r) { return r.display.m_dHM; }},
        {"HOP", "MPa", [](const Row& r) { return r.display.m_dHOP; }},
        {"HV", "kg/mm^2", [](const Row& r) { return r.display.m_dHV; }},
        {"Ap", "nm^2", [](const Row& r) { return r.display.m_dProjectedArea; }},
        {"As", "nm^2", [](const Row& r) { return r.display.m_dSurfaceArea; }},
        {"loadTime", "s", [](const Row& r) { return r.loadTime; }},
        {"topHoldTime", "s", [](const Row& r) { return r.topHoldTime; }},
        {"unloadTime", "s", [](const Row& r) { return r.unloadTime; }},
        {"bottomHoldTime", "s", [](const Row& r) { return r.bottomHoldTime; }},
        {"reloadTime", "s", [](const Row& r) { return r.reloadTime; }},
        {"energyLoading", "µJ", [](const Row& r) { return r.energyLoading; }},
        {"energyUnloading", "µJ", [](const Row& r) { return r.energyUnloading; }},
        {"energyReloading", "µJ", [](const Row& r) { return r.energyReloading; }},
    };
    return columns;
}

const std::vector<NumberColumn>& IsoColumns() {
    static const std::vector<NumberColumn> columns = {
        {"Wtotal", "nJ", [](const Row& r) { return r.iso.quantities.wTotal.value; }},
        {"Welast", "nJ", [](const Row& r) { return r.iso.quantities.wElastic.value; }},
        {"Wplast", "nJ", [](const Row& r) { return r.iso.quantities.wPlastic.value; }},
        {"etaIT", "%", [](const Row& r) { return r.iso.quantities.etaIT.value; }},
        {"CIT", "%", [](const Row& r) { return r.iso.quantities.cIT.value; }},
        {"CITholdTime", "s", [](const Row& r) { return r.iso.quantities.holdTime.value; }},
        {"RIT", "%", [](const Row& r) { return r.iso.quantities.rIT.value; }},
        {"HMs", "MPa", [](const Row& r) { return r.iso.quantities.hMs.value; }},
        {"HMsR2", "", [](const Row& r) { return r.iso.quantities.hMsR2.value; }},
    };
    return columns;
}

namespace {

// One thread's analysis state for the whole call (a fresh analyzer per curve costs more in
// page faults than analysing a short curve).
struct Worker {
    CCurveAnalyzer analyzer;
    CurveDisplay display;
    Worker() { display.withPlotSeries = false; }
};

CurveDisplay DisplayNumbers(const CurveDisplay& d) {
    CurveDisplay n;
    n.m_dProjectedArea = d.m_dProjectedArea;
    n.m_dSurfaceArea = d.m_dSurfaceArea;
    n.m_dEIT = d.m_dEIT;
    n.m_dHIT = d.m_dHIT;
    n.m_dHOP = d.m_dHOP;
    n.m_dHV = d.m_dHV;
    n.m_dHM = d.m_dHM;
    return n;
}

Settings WithFileSettings(const Settings& base, const io::CurveMetadata& meta,
                          std::vector<std::string>& taken) {
    Settings s = base;
    if (meta.poissonRatio) {
        s.m_fPoisson = static_cast<float>(*meta.poissonRatio);
        taken.push_back("poisson");
    }
    if (meta.frameCompliance) {
        s.compliance.m_fCompliance = static_cast<float>(*meta.frameCompliance);
        CopyComplianceToAreaFunction(s.compliance, s.areaFunction);
        taken.push_back("compliance");
    }
    if (!meta.areaCoefficients.empty()) {
        AreaCoefficients& ap = s.areaFunction.m_dApCoef;
        ap.fill(0);
        std::copy_n(meta.areaCoefficients.begin(),
                    std::min(ap.size(), meta.areaCoefficients.size()), ap.begin());
        taken.push_back("area function");
    }
    return s;
}

Row AnalyzeOne(Worker& worker, const std::string& file, const CallSettings& call) {
    Row r;
    r.file = file;
    r.test = io::ParseAddress(file).test;
    CCurveAnalyzer& a = worker.analyzer;
    a.SetAddresses({file});
    Settings fileSettings;
    if (call.useFileSettings && a.ReadCurveFile(file) == ReadStatus::Ok)
        fileSettings = WithFileSettings(call.settings, a.m_fileMeta, r.fromFile);
    const Settings& s = r.fromFile.empty() ? call.settings : fileSettings;
    const AnalysisOutcome outcome = AnalyzeCurve(a, 0, s, worker.display);
    r.format = a.m_strFormat;
    if (!outcome.ok()) {
        r.format.clear();
        r.error = outcome.error;
    } else if (a.m_nPoints == 0) {
        r.error = file +
                  ": no data points (after the header no line held a depth > 0 and a force "
                  "separated by commas)";
    } else {
        r.ok = true;
        r.display = DisplayNumbers(worker.display);
        r.fmax = a.m_dFmax, r.hmax = a.m_dHmax, r.hc = a.m_dHc, r.hr = a.m_dHr, r.hf = a.m_dHf;
        r.s = a.m_dStiffness, r.r2 = a.m_dRSquared, r.alpha = a.m_dAlpha, r.m = a.m_dM;
        r.intercept = a.m_dIntercept, r.driftRate = a.m_dDriftRate;
        r.zeroPointOffset = a.m_dZeroPointOffset;
        r.nPoints = a.m_nPoints;
        r.nFitPoints = a.m_nFitPoints;
        r.resultsText = BuildResultsText(a, worker.display, s.strategy.m_nMethod);
        r.loadTime = a.m_dLoadTime, r.topHoldTime = a.m_dTopHoldTime;
        r.unloadTime = a.m_dUnloadTime, r.bottomHoldTime = a.m_dBottomHoldTime;
        r.reloadTime = a.m_dReloadTime;
        r.energyLoading = a.GetLoadingEnergy();
        r.energyUnloading = a.GetUnloadingEnergy();
        r.energyReloading = a.GetReloadingEnergy();
        r.iso = cli::ComputeIsoResult(a, s, call.iso);
    }
    r.curve = DescribeSeriesCurve({r.file, io::ParseAddress(r.file).file.string(), r.test}, r.ok,
                                  r.error, a, worker.display, call.settings);
    return r;
}

}  // namespace

std::vector<std::string> ExpandPaths(const std::vector<std::string>& paths,
                                     const io::ReadOptions& read) {
    const std::vector<std::filesystem::path> addresses =
        io::ExpandAddresses(std::vector<std::filesystem::path>(paths.begin(), paths.end()), read);
    return {addresses.begin(), addresses.end()};
}

std::vector<Row> AnalyzeAddresses(const std::vector<std::string>& addresses,
                                  const CallSettings& call) {
    std::vector<Row> rows(addresses.size());
    auto makeWorker = [&] {
        auto worker = std::make_unique<Worker>();
        ConfigureAnalyzer(worker->analyzer, call.settings.strategy);
        worker->analyzer.m_readOptions = call.read;
        return worker;
    };
    if (addresses.size() == 1) {
        // One curve starts no thread pool for the files (its search still may use one).
        rows[0] = AnalyzeOne(*makeWorker(), addresses[0], call);
    } else if (!addresses.empty()) {
        tbb::enumerable_thread_specific<std::unique_ptr<Worker>> workers(makeWorker);
        auto run = [&] {
            tbb::parallel_for(tbb::blocked_range<std::size_t>(0, addresses.size(), 4),
                              [&](const tbb::blocked_range<std::size_t>& range) {
                                  Worker& worker = *workers.local();
                                  for (std::size_t k = range.begin(); k < range.end(); ++k)
                                      rows[k] = AnalyzeOne(worker, addresses[k], call);
                              });
        };
        if (call.threads > 0) {
            tbb::task_arena arena(call.threads);
            arena.execute(run);
        } else {
            run();
        }
    }
    if (!call.excludeCodes.empty()) {
        // Judged as one series, as the cli does with --exclude-flagged: outliers, included.
        Series series;
        series.settings = call.settings;
        series.excludeCodes = call.excludeCodes;
        for (const Row& r : rows) series.curves.push_back(r.curve);
        RefreshSeries(series);
        for (std::size_t k = 0; k < rows.size(); ++k) rows[k].curve = series.curves[k];
    }
    return rows;
}

}  // namespace marvek::python
