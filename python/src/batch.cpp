#include "batch.h"

#include <tbb/enumerable_thread_specific.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <memory>

#include "core/analysis/results_text.h"

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
    auto makeWorker = [&] {
        auto worker = std::make_unique<cli::RowWorker>();
        cli::ConfigureRowWorker(*worker, call.settings, call.read);
        return worker;
    };
    if (addresses.size() == 1) {
        // One curve starts no thread pool for the files (its search still may use one).
        rows[0] = cli::AnalyzeRow(*makeWorker(), addresses[0], call.settings, call.useFileSettings, call.iso);
    } else if (!addresses.empty()) {
        tbb::enumerable_thread_specific<std::unique_ptr<cli::RowWorker>> workers(makeWorker);
        auto run = [&] {
            tbb::parallel_for(tbb::blocked_range<std::size_t>(0, addresses.size(), 4),
                              [&](const tbb::blocked_range<std::size_t>& range) {
                                  cli::RowWorker& worker = *workers.local();
                                  for (std::size_t k = range.begin(); k < range.end(); ++k)
                                      rows[k] = cli::AnalyzeRow(worker, addresses[k], call.settings,
                                                             call.useFileSettings, call.iso);
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
