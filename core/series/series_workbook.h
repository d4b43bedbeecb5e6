#pragma once
// The module that writes a series, or any tables, as a workbook (marvek_series_workbook.so).

#include <cstddef>
#include <filesystem>

#include "core/base/status.h"
#include "core/series/table_workbook.h"

namespace marvek {

struct Series;

struct SeriesWorkbookWriter {
    std::size_t seriesSize;  // a module of another build is refused, not called
    Status (*write)(const Series& series, const std::filesystem::path& file);
    Status (*writeTables)(const std::vector<WorkbookSheet>& sheets,
                          const std::filesystem::path& file);
};

inline constexpr const char* kSeriesWorkbookModule = "marvek_series_workbook";
inline constexpr const char* kSeriesWorkbookEntry = "marvek_series_workbook";

}  // namespace marvek
