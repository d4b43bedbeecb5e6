// Feeds arbitrary bytes to the zip-based formats (InView .xlsx workbooks and NanoTest archives),
// read in memory by libzip and pugixml.
#include <cstdint>
#include <string>

#include "import_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kFormats[] = {"", "xlsx", "nanotest-zip"};
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    marvek::io::ReadOptions o;
    for (const char* format : kFormats) {
        o.format = format;
        CheckParsedFile(marvek::io::ParseBuffer(bytes, "fuzz.zip", o));
    }
    return 0;
}
