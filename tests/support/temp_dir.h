#pragma once
// The one scratch folder of the tests and benchmarks.

#include <filesystem>
#include <string>

namespace marvek::testing {

// A fresh folder under the system temp folder (unique per process and object), removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // Writes `content` byte for byte to path()/name and returns that path.
    std::filesystem::path Write(const std::string& name, const std::string& content) const;

private:
    std::filesystem::path path_;
};

// The whole content of a file (empty when it cannot be read): for golden comparisons.
std::string ReadWholeFile(const std::filesystem::path& file);

}  // namespace marvek::testing
