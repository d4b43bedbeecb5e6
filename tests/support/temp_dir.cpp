#include "support/temp_dir.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>

namespace marvek::testing {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "marvek-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempDir::Write(const std::string& name, const std::string& content) const {
    const std::filesystem::path file = path_ / name;
    std::ofstream(file, std::ios::binary) << content;
    return file;
}

std::string ReadWholeFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace marvek::testing
