#include "file_cache.h"

#include <utility>

namespace marvek::io {

namespace {

bool SameOptions(const ReadOptions& x, const ReadOptions& o) {
    return x.format == o.format && x.depthColumn == o.depthColumn && x.loadColumn == o.loadColumn &&
           x.timeColumn == o.timeColumn && x.depthUnit == o.depthUnit && x.loadUnit == o.loadUnit &&
           x.hints == o.hints;
}

}  // namespace

std::shared_ptr<const ParsedFile> ParsedFileCache::Read(const std::filesystem::path& file,
                                                        const ReadOptions& options) {
    std::error_code sizeError, timeError;
    const std::uintmax_t size = std::filesystem::file_size(file, sizeError);
    const auto time = std::filesystem::last_write_time(file, timeError);
    const bool known = !sizeError && !timeError;
    std::promise<std::shared_ptr<const ParsedFile>> promise;
    std::unique_lock lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->file != file || !SameOptions(it->options, options)) continue;
        if (known && it->size == size && it->time == time) {
            entries_.splice(entries_.begin(), entries_, it);
            const std::shared_future<std::shared_ptr<const ParsedFile>> parsed = it->parsed;
            lock.unlock();  // a parse in progress is waited for without holding up the others
            return parsed.get();
        }
        entries_.erase(it);  // changed on disk: parsed again below
        break;
    }
    if (known) {
        entries_.push_front({file, size, time, options, promise.get_future().share()});
        while (entries_.size() > capacity_) entries_.pop_back();
    }
    ++parses_;
    lock.unlock();
    try {
        auto parsed = std::make_shared<const ParsedFile>(ReadFile(file, options));
        promise.set_value(parsed);
        return parsed;
    } catch (...) {
        promise.set_exception(std::current_exception());
        lock.lock();
        std::erase_if(entries_, [&](const Entry& e) { return e.file == file; });
        throw;
    }
}

std::size_t ParsedFileCache::Parses() const {
    std::lock_guard lock(mutex_);
    return parses_;
}

}  // namespace marvek::io
