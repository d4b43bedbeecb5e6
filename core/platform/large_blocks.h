#pragma once
// Zeroed memory for large arrays (an analyzer's point arrays, 40000 points each). On a virtual
// machine the first touch of a fresh 4 KiB page costs 10-20 µs, so the arrays of one 40000-point
// curve cost 3-5 ms in page faults alone, more than reading and fitting it. Blocks are carved
// from 2 MiB-aligned chunks that ask for transparent huge pages (one fault per 2 MiB) and are
// kept for reuse instead of being returned to the system.

#include <cstddef>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

namespace marvek::io {

// Blocks of at least this size come from the pool; smaller ones are the caller's to calloc.
inline constexpr std::size_t kLargeBlockBytes = 64 * 1024;

// Off in builds with AddressSanitizer, which must see every block to catch an overrun.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kLargeBlockPoolOn = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kLargeBlockPoolOn = false;
#else
inline constexpr bool kLargeBlockPoolOn = true;
#endif
#else
inline constexpr bool kLargeBlockPoolOn = true;
#endif

// A zero-filled block of `bytes`, or nullptr when the pool is off or `bytes` is below
// kLargeBlockBytes. A failure to map memory is std::bad_alloc, as for new.
void* AllocateLargeBlock(std::size_t bytes);
// Gives a block of the pool back for reuse; `bytes` as allocated.
void FreeLargeBlock(void* block, std::size_t bytes) noexcept;

// Storage whose zeros come from the allocator rather than a fill: a fresh array then costs only
// the pages it actually uses, and those of large blocks as huge pages.
template <class T>
struct ZeroedAllocator {
    using value_type = T;
    ZeroedAllocator() = default;
    template <class U>
    ZeroedAllocator(const ZeroedAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        if (void* p = AllocateLargeBlock(n * sizeof(T))) return static_cast<T*>(p);
        if (void* p = std::calloc(n, sizeof(T))) return static_cast<T*>(p);
        throw std::bad_alloc();
    }
    void deallocate(T* p, std::size_t n) noexcept {
        if (kLargeBlockPoolOn && n * sizeof(T) >= kLargeBlockBytes)
            FreeLargeBlock(p, n * sizeof(T));
        else
            std::free(p);
    }
    // Value-initialisation leaves the allocator's zeros in place.
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    friend bool operator==(const ZeroedAllocator&, const ZeroedAllocator&) { return true; }
};

template <class T>
using ZeroedVector = std::vector<T, ZeroedAllocator<T>>;

}  // namespace marvek::io
