// Feeds arbitrary bytes to the .xls reader. libfreexl reads only from a file, so each input is
// written to a private temporary file first.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "import_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = [] {
        char name[] = "/tmp/marvek_xls_fuzz_XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0) std::abort();
        close(fd);
        return std::string(name);
    }();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    marvek::io::ReadOptions o;
    o.format = "xls";
    CheckParsedFile(marvek::io::ReadFile(path, o));
    return 0;
}
