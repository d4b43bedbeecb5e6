#pragma once
// Readers of the zip-based formats: InView .xlsx workbooks (libzip + pugixml) and NanoTest .zip
// archives. Zip members are read in memory only. (.xls workbooks need no library: sheet_curves.h.)

#include <filesystem>
#include <string_view>

#include "parsed_curve.h"

namespace marvek::io {

// Largest zip member (uncompressed, as declared) read; larger ones are refused unread.
constexpr std::uint64_t kMaxMemberBytes = 256u << 20;

void ParseXlsx(std::string_view content, const ReadOptions& o, ParsedFile& out);
void ParseNanoTestZip(std::string_view content, const ReadOptions& o, ParsedFile& out);

// True when the zip holds a workbook ("xl/workbook.xml").
bool ZipIsWorkbook(std::string_view content);

}  // namespace marvek::io
