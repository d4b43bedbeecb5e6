#include "analysis_row.h"

#include <algorithm>
#include <cmath>

#include "core/analysis/results_text.h"
#include "core/base/quantity_labels.h"
#include "core/config/file_settings.h"
#include "core/profiles/depth_profile.h"

namespace marvek::cli {

const std::vector<RowColumn>& RowColumns() {
    using R = const AnalysisRow&;
    static const std::vector<RowColumn> columns = {
        {"Fmax", "Fmax [mN]", "mN", [](R r) { return r.fmax; }},
        {"hmax", "hmax [nm]", "nm", [](R r) { return r.hmax; }},
        {"hc", "hc [nm]", "nm", [](R r) { return r.hc; }},
        {"hr", "hr [nm]", "nm", [](R r) { return r.hr; }},
        {"hf", "hf [nm]", "nm", [](R r) { return r.hf; }},
        {"S", "S [mN/nm]", "mN/nm", [](R r) { return r.s; }},
        {"r2", "r2", "", [](R r) { return r.r2; }},
        {"alpha", "alpha [mN/nm^m]", "mN/nm^m", [](R r) { return r.alpha; }},
        {"m", "m", "", [](R r) { return r.m; }},
        {"intercept", "intercept [mN]", "mN", [](R r) { return r.intercept; }},
        {"driftRate", "driftRate [nm/s]", "nm/s", [](R r) { return r.driftRate; }},
        {"zeroPointOffset", "zeroPointOffset [nm]", "nm", [](R r) { return r.zeroPointOffset; }},
        {"nPoints", "nPoints", "", [](R r) { return r.nPoints; }},
        {"nFitPoints", "nFitPoints", "", [](R r) { return r.nFitPoints; }},
        {"EIT", "EIT [GPa]", "GPa", [](R r) { return r.display.m_dEIT; }},
        {"HIT", "HIT [MPa]", "MPa", [](R r) { return r.display.m_dHIT; }},
        {"HM", "HM [MPa]", "MPa", [](R r) { return r.display.m_dHM; }},
        {"HOP", "HOP [MPa]", "MPa", [](R r) { return r.display.m_dHOP; }},
        {"HV", "HV [kg/mm^2]", "kg/mm^2", [](R r) { return r.display.m_dHV; }},
        {"Ap", "Ap [nm^2]", "nm^2", [](R r) { return r.display.m_dProjectedArea; }},
        {"As", "As [nm^2]", "nm^2", [](R r) { return r.display.m_dSurfaceArea; }},
        {"loadTime", "loadTime [s]", "s", [](R r) { return r.loadTime; }},
        {"topHoldTime", "topHoldTime [s]", "s", [](R r) { return r.topHoldTime; }},
        {"unloadTime", "unloadTime [s]", "s", [](R r) { return r.unloadTime; }},
        {"bottomHoldTime", "bottomHoldTime [s]", "s", [](R r) { return r.bottomHoldTime; }},
        {"reloadTime", "reloadTime [s]", "s", [](R r) { return r.reloadTime; }},
        {"energyLoading", labels::kLoadingEnergyTitle, "\xC2\xB5J",
         [](R r) { return r.energyLoading; }},
        {"energyUnloading", labels::kUnloadingEnergyTitle, "\xC2\xB5J",
         [](R r) { return r.energyUnloading; }},
        {"energyReloading", labels::kReloadingEnergyTitle, "\xC2\xB5J",
         [](R r) { return r.energyReloading; }},
        {"csmFrom", "csmFrom [nm]", "nm", [](R r) { return r.csmFrom; }, true},
        {"csmTo", "csmTo [nm]", "nm", [](R r) { return r.csmTo; }, true},
        {"csmN", "csmN", "", [](R r) { return r.csmN; }, true},
        {"csmHardness", "csmHardness [GPa]", "GPa", [](R r) { return r.csmHardness; }, true},
        {"csmModulus", "csmModulus [GPa]", "GPa", [](R r) { return r.csmModulus; }, true},
        {kFirstPopinLoad, "firstPopinLoad [mN]", "mN", [](R r) { return r.firstPopinLoad; }},
        {kFirstPopinDepth, "firstPopinDepth [nm]", "nm", [](R r) { return r.firstPopinDepth; }},
        {"x_um", "x_um [\xC2\xB5m]", "\xC2\xB5m", [](R r) { return r.xUm; }, true},
        {"y_um", "y_um [\xC2\xB5m]", "\xC2\xB5m", [](R r) { return r.yUm; }, true},
    };
    return columns;
}

namespace {

// The numbers of a display, without its series: a batch holds many results.
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

void AnalyzeInto(RowWorker& worker, const std::string& file, const Settings& base,
                 bool useFileSettings, const IsoOptions& iso, AnalysisRow& r) {
    CCurveAnalyzer& analyzer = worker.analyzer;
    analyzer.SetAddresses({file});
    Settings fileSettings;
    if (useFileSettings && analyzer.ReadCurveFile(file).ok())
        fileSettings = WithFileSettings(base, analyzer.m_fileMeta, r.fromFile, r.fromFileWarnings);
    const Settings& s = r.fromFile.empty() ? base : fileSettings;
    const Status outcome = AnalyzeCurve(analyzer, 0, s, worker.display);
    r.format = analyzer.m_strFormat;
    if (!outcome.ok()) {
        r.format.clear();
        r.error = outcome.message();
        return;
    }
    const CCurveAnalyzer& a = analyzer;
    if (a.m_nPoints == 0) {
        // The window shows such a curve as empty; in a batch it would be a row of nonsense.
        r.error = file +
                  ": no data points (after the header no line held a depth > 0 and a force "
                  "separated by commas)";
        return;
    }
    r.ok = true;
    r.display = DisplayNumbers(worker.display);
    r.fmax = a.m_dFmax, r.hmax = a.m_dHmax, r.hc = a.m_dHc, r.hr = a.m_dHr, r.hf = a.m_dHf;
    r.s = a.m_dStiffness, r.r2 = a.m_dRSquared, r.alpha = a.m_dAlpha, r.m = a.m_dM;
    r.intercept = a.m_dIntercept, r.driftRate = a.m_dDriftRate;
    r.zeroPointOffset = a.m_dZeroPointOffset;
    r.nPoints = a.m_nPoints;
    r.nFitPoints = a.m_nFitPoints;
    r.resultsText = BuildResultsText(analyzer, worker.display, s.strategy.method());
    r.loadTime = a.m_dLoadTime, r.topHoldTime = a.m_dTopHoldTime;
    r.unloadTime = a.m_dUnloadTime, r.bottomHoldTime = a.m_dBottomHoldTime;
    r.reloadTime = a.m_dReloadTime;
    r.energyLoading = a.GetLoadingEnergy();
    r.energyUnloading = a.GetUnloadingEnergy();
    r.energyReloading = a.GetReloadingEnergy();
    r.iso = ComputeIsoResult(a, s, iso);
    r.xUm = a.m_fileMeta.positionX.value_or(kAbsent);
    r.yUm = a.m_fileMeta.positionY.value_or(kAbsent);
}

}  // namespace

void ConfigureRowWorker(RowWorker& worker, const Settings& settings, const io::ReadOptions& read,
                        std::shared_ptr<io::ParsedFileCache> cache) {
    ConfigureAnalyzer(worker.analyzer, settings.strategy);
    worker.analyzer.m_readOptions = read;
    if (cache) worker.analyzer.m_fileCache = std::move(cache);
}

AnalysisRow AnalyzeRow(RowWorker& worker, const std::string& file, const Settings& base,
                       bool useFileSettings, const IsoOptions& iso) {
    AnalysisRow r;
    r.file = file;
    r.test = io::ParseAddress(file).test;
    AnalyzeInto(worker, file, base, useFileSettings, iso, r);
    r.curve = DescribeSeriesCurve({r.file, io::ParseAddress(r.file).file.string(), r.test, {}},
                                  r.ok, r.error, worker.analyzer, worker.display, base);
    if (r.ok) {
        static const int load = FindSeriesQuantity(kFirstPopinLoad);
        static const int depth = FindSeriesQuantity(kFirstPopinDepth);
        r.firstPopinLoad = r.curve.values[static_cast<std::size_t>(load)];
        r.firstPopinDepth = r.curve.values[static_cast<std::size_t>(depth)];
        // A workbook's continuous-stiffness test: its window even when no sample falls in it.
        if (const profiles::ProfileAverage& a = r.curve.profileAverage; std::isfinite(a.from)) {
            r.csmFrom = a.from, r.csmTo = a.to, r.csmN = static_cast<double>(a.n);
            r.csmHardness = a.hardness, r.csmModulus = a.modulus;
        }
    }
    return r;
}

}  // namespace marvek::cli
