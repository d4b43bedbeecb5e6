#include "large_blocks.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <vector>

namespace marvek::io {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kChunk = 4 * kHugePage;
constexpr std::size_t kAlign = 4096;

std::size_t Rounded(std::size_t bytes) { return (bytes + kAlign - 1) / kAlign * kAlign; }

class Pool {
public:
    void* Allocate(std::size_t bytes) {
        const std::size_t size = Rounded(bytes);
        std::lock_guard lock(mutex_);
        std::vector<void*>& reuse = free_[size];
        if (!reuse.empty()) {
            void* block = reuse.back();
            reuse.pop_back();
            std::memset(block, 0, size);
            return block;
        }
        if (size > left_) NewChunk(size);
        void* block = next_;
        next_ += size;
        left_ -= size;
        return block;  // never touched since the chunk was mapped: zero
    }

    void Free(void* block, std::size_t bytes) {
        std::lock_guard lock(mutex_);
        free_[Rounded(bytes)].push_back(block);
    }

private:
    void NewChunk(std::size_t size) {
        const std::size_t want = (size + kChunk - 1) / kChunk * kChunk;
        // Over-allocate by one huge page to align, then give the slack back.
        void* raw = ::mmap(nullptr, want + kHugePage, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED) throw std::bad_alloc();
        const auto start = reinterpret_cast<std::uintptr_t>(raw);
        const std::uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
        if (aligned > start) ::munmap(raw, aligned - start);
        const std::uintptr_t end = start + want + kHugePage;
        if (end > aligned + want)
            ::munmap(reinterpret_cast<void*>(aligned + want), end - aligned - want);
        ::madvise(reinterpret_cast<void*>(aligned), want, MADV_HUGEPAGE);  // a hint only
        // The rest of the old chunk stays unused: chunks are large and few.
        next_ = reinterpret_cast<char*>(aligned);
        left_ = want;
    }

    std::mutex mutex_;
    char* next_ = nullptr;
    std::size_t left_ = 0;
    std::map<std::size_t, std::vector<void*>> free_;
};

Pool& ThePool() {
    static Pool* pool = new Pool;  // never destroyed: blocks may be freed during exit
    return *pool;
}

}  // namespace

void* AllocateLargeBlock(std::size_t bytes) {
    if (!kLargeBlockPoolOn || bytes < kLargeBlockBytes) return nullptr;
    return ThePool().Allocate(bytes);
}

void FreeLargeBlock(void* block, std::size_t bytes) noexcept {
    try {
        ThePool().Free(block, bytes);
    } catch (...) {
        // Out of memory for the free list: the block is lost to reuse, nothing else.
    }
}

}  // namespace marvek::io
