#pragma once
// marvek-cli analyze's series options: --summary, --exclude-flagged, --xlsx and the flag
// thresholds. The per-curve analysis stays analyze's; this adds the flags, the included state
// and the summary of the whole run.

#include <iosfwd>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "core/series/series.h"

namespace marvek::cli {

struct SeriesCliOptions {
    bool summary = false;
    std::string excludeFlagged;  // CODE,CODE,...
    std::string xlsx;
    CLI::Option* minR2 = nullptr;
    CLI::Option* minFitPoints = nullptr;
    CLI::Option* outlierMads = nullptr;
    CLI::Option* maxDrift = nullptr;
    CLI::Option* maxZeroLoad = nullptr;
    CLI::Option* slipDepth = nullptr;
    QualitySettings values;
    std::vector<std::string> codes;  // parsed --exclude-flagged
    // The run forms a series (rows wait for the whole run, outlier flags are judged).
    bool Active() const { return summary || !excludeFlagged.empty() || !xlsx.empty(); }
};

void AddSeriesOptions(CLI::App& command, SeriesCliOptions& options);

// Applies the threshold options over the settings and checks --exclude-flagged. False with a
// message on an unknown flag code.
bool ResolveSeriesOptions(SeriesCliOptions& options, Settings& settings, std::string& error);

// "flags" and "included" of a curve's JSON line.
void AddSeriesJson(nlohmann::ordered_json& line, const SeriesCurve& curve);
// ",included,flags" appended to a CSV row.
std::string SeriesCsvFields(const SeriesCurve& curve);

// After the per-curve rows: the summary (CSV rows keyed by the CSV columns `columns`, which are
// the JSON names of analyze's columns, or the final JSON line) and the workbook.
void PrintSummaryCsv(std::ostream& out, const Series& series,
                     const std::vector<std::string>& columns, const char* method,
                     std::size_t emptyColumnsAfter);
void PrintSummaryJson(std::ostream& out, const Series& series);

}  // namespace marvek::cli
