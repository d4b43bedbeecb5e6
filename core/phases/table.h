#pragma once
// A results table read from any CSV with a header row (the output of `marvek-cli analyze --csv`
// among others), and the numbers of chosen columns with the rows that lack one left out.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/status.h"

namespace marvek::phases {

struct Table {
    std::vector<std::string> headers;
    std::vector<std::vector<std::string>> rows;  // each as long as headers (short rows padded)
};

// Reads `file`: RFC 4180 fields (quotes, doubled quotes, commas and line breaks inside quotes),
// LF or CR LF, an optional UTF-8 byte-order mark. Fails on an empty file or a missing header.
Status ReadTable(const std::filesystem::path& file, Table& out);
Status ParseTable(std::string_view text, const std::string& name, Table& out);

// The header a column name means: the header itself, or the header without its unit
// ("EIT" means "EIT [GPa]" and "x (um)"), compared without regard to case when nothing matches
// exactly. -1 when no header matches.
int FindColumn(const Table& table, std::string_view name);

// The chosen columns as numbers, row by row. A row with an empty, non-numeric or non-finite
// value in any chosen column is left out; `rowOfSample` maps each kept sample to its table row.
struct Samples {
    std::vector<std::string> columns;         // the headers used
    std::vector<std::vector<double>> values;  // values[i][j]: sample i, column j
    std::vector<int> rowOfSample;
    int leftOut = 0;
};
Status SelectColumns(const Table& table, const std::vector<std::string>& names, Samples& out);

}  // namespace marvek::phases
