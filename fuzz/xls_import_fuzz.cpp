// Feeds arbitrary bytes to the .xls reader (compound file and BIFF8 records), in memory.
#include <cstdint>
#include <string_view>

#include "import_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    marvek::io::ReadOptions o;
    o.format = "xls";
    CheckParsedFile(marvek::io::ParseBuffer(
        std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.xls", o));
    return 0;
}
