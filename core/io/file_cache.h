#pragma once
// Files read whole and kept for reading their tests one at a time: a workbook of many tests is
// parsed once per run, not once per test address (nor once per worker thread). The cache is
// owned by whoever reads the addresses of a run (an analyzer, a batch command) and passed in.

#include <cstddef>
#include <filesystem>
#include <future>
#include <list>
#include <memory>
#include <mutex>

#include "parsed_curve.h"

namespace marvek::io {

class ParsedFileCache {
public:
    // At most `files` parsed files are kept, the least recently used dropped first.
    explicit ParsedFileCache(std::size_t files = 4) : capacity_(files) {}
    ParsedFileCache(const ParsedFileCache&) = delete;
    ParsedFileCache& operator=(const ParsedFileCache&) = delete;

    // The file as ReadFile(file, options) reads it: parsed now, or kept from an earlier call
    // while the file on disk has the same size and modification time. Safe from several
    // threads; a file asked for by several at once is parsed once, the others wait for it.
    std::shared_ptr<const ParsedFile> Read(const std::filesystem::path& file,
                                           const ReadOptions& options);

    // How many times a file was parsed (not taken from the cache).
    std::size_t Parses() const;

private:
    struct Entry {
        std::filesystem::path file;
        std::uintmax_t size = 0;
        std::filesystem::file_time_type time;
        ReadOptions options;
        std::shared_future<std::shared_ptr<const ParsedFile>> parsed;
    };
    mutable std::mutex mutex_;
    std::list<Entry> entries_;  // most recently used first
    std::size_t capacity_;
    std::size_t parses_ = 0;
};

}  // namespace marvek::io
