#pragma once
// The workbook readers and writer need large libraries (libzip, libxlsxwriter and the crypto
// library they bring); loading those at start-up took half of a one-curve `marvek-cli` run. So
// they live in modules that are loaded the first time a workbook is met.

#include <string>

namespace marvek::io {

// The function table that module `name` returns from its C entry point `entry`, or nullptr with
// `error` saying why. The module is looked for in lib/marvek beside the program's folder (the
// installed layout, and the build tree's for the programs), then in the build tree. Loaded once
// per process; safe from any thread.
const void* LoadModuleTable(const std::string& name, const char* entry, std::string& error);

}  // namespace marvek::io
