#pragma once
// The workbook readers' module (marvek_workbook_readers.so): .xlsx and NanoTest .zip.

#include <cstddef>
#include <filesystem>
#include <string_view>

#include "parsed_curve.h"

namespace marvek::io {

struct WorkbookReaders {
    // A module built from other sources than the program's is refused, not called.
    std::size_t parsedFileSize = sizeof(ParsedFile);
    std::size_t readOptionsSize = sizeof(ReadOptions);
    void (*parseXlsx)(std::string_view content, const ReadOptions& o, ParsedFile& out);
    void (*parseNanoTestZip)(std::string_view content, const ReadOptions& o, ParsedFile& out);
    bool (*zipIsWorkbook)(std::string_view content);
};

inline constexpr const char* kWorkbookReadersModule = "marvek_workbook_readers";
inline constexpr const char* kWorkbookReadersEntry = "marvek_workbook_readers";

}  // namespace marvek::io
