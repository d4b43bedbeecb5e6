#include "batch.h"

#include <algorithm>
#include <memory>

#include "core/analysis/parallel_map.h"
#include "core/analysis/results_text.h"
#include "core/io/file_cache.h"

namespace marvek::python {

// The rows are the cli's own (cli/analysis_row.h): the same numbers by construction.

const std::vector<NumberColumn>& NumberColumns() {
    static const std::vector<NumberColumn> columns = [] {
        std::vector<NumberColumn> out;
        for (const cli::RowColumn& c : cli::RowColumns()) out.push_back({c.json, c.unit, c.value});
        return out;
    }();
    return columns;
}

const std::vector<NumberColumn>& IsoColumns() {
    static const std::vector<NumberColumn> columns = [] {
        std::vector<NumberColumn> out;
        for (const cli::IsoColumnView& c : cli::IsoColumnViews())
            out.push_back({c.json, c.unit.c_str(), [&c](const Row& r) { return c.value(r.iso); }});
        return out;
    }();
    return columns;
}

std::vector<std::string> ExpandPaths(const std::vector<std::string>& paths,
                                     const io::ReadOptions& read) {
    const std::vector<std::filesystem::path> addresses =
        io::ExpandAddresses(std::vector<std::filesystem::path>(paths.begin(), paths.end()), read);
    return {addresses.begin(), addresses.end()};
}

std::vector<Row> AnalyzeAddresses(const std::vector<std::string>& addresses,
                                  const CallSettings& call) {
    std::vector<Row> rows(addresses.size());
    // The workers share one cache: a workbook's tests are parsed once between them.
    const auto cache = std::make_shared<io::ParsedFileCache>();
    WorkerPool<cli::RowWorker> pool([&] {
        auto worker = std::make_unique<cli::RowWorker>();
        cli::ConfigureRowWorker(*worker, call.settings, call.read, cache);
        return worker;
    });
    ParallelOptions parallel;
    // One curve starts no thread pool for the files (its search still may use one).
    parallel.threads = addresses.size() == 1 ? 1 : call.threads;
    parallel.grain = 4;
    ParallelForEach(addresses.size(), parallel, pool, [&](cli::RowWorker& worker, std::size_t k) {
        rows[k] =
            cli::AnalyzeRow(worker, addresses[k], call.settings, call.useFileSettings, call.iso);
    });
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
