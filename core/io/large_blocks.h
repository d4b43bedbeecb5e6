#pragma once
// Zeroed memory for large arrays (an analyzer's point arrays, 40000 points each). On a virtual
// machine the first touch of a fresh 4 KiB page costs 10-20 µs, so the arrays of one 40000-point
// curve cost 3-5 ms in page faults alone, more than reading and fitting it. Blocks are carved
// from 2 MiB-aligned chunks that ask for transparent huge pages (one fault per 2 MiB) and are
// kept for reuse instead of being returned to the system.

#include <cstddef>

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

}  // namespace marvek::io
