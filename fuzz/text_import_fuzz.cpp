// Feeds arbitrary bytes to the text formats of the import layer: detection, then each reader
// forced in turn by the first byte (generic delimited text, TriboScan .txt and .hld,
// FISCHERSCOPE, NanoTest text, Marvek's CSV), with and without column and unit choices.
#include <cstdint>
#include <string>

#include "import_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kFormats[] = {
        "",          "delimited", "triboscan-txt", "triboscan-hld", "fischerscope", "nanotest-txt",
        "marvek-csv"};
    const uint8_t pick = size > 0 ? data[0] : 0;
    marvek::io::ReadOptions o;
    o.format = kFormats[pick % 7];
    if (pick & 0x10) o.depthColumn = 1 + (pick >> 5), o.loadColumn = 2, o.timeColumn = 3;
    if (pick & 0x08) o.depthUnit = "um", o.loadUnit = "uN";
    const std::string text(reinterpret_cast<const char*>(data) + (size > 0), size - (size > 0));
    CheckParsedFile(marvek::io::ParseBuffer(text, "fuzz.txt", o));
    return 0;
}
