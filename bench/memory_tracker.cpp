#include "memory_tracker.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace marvek::bench {
namespace {

std::atomic<std::size_t> g_current{0};
std::atomic<std::size_t> g_peak{0};

void* Allocate(std::size_t size, std::size_t alignment) {
    if (size == 0) size = 1;
    void* p = nullptr;
    if (alignment <= alignof(std::max_align_t)) {
        p = std::malloc(size);
    } else if (::posix_memalign(&p, alignment, size) != 0) {
        p = nullptr;
    }
    if (!p) throw std::bad_alloc();
    const std::size_t now = g_current += ::malloc_usable_size(p);
    std::size_t peak = g_peak.load(std::memory_order_relaxed);
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
    return p;
}

void Release(void* p) {
    if (!p) return;
    g_current -= ::malloc_usable_size(p);
    std::free(p);
}

}  // namespace

std::size_t CurrentHeapBytes() { return g_current; }
std::size_t PeakHeapBytes() { return g_peak; }
void ResetPeakHeap() { g_peak = g_current.load(); }

}  // namespace marvek::bench

using marvek::bench::Allocate;
using marvek::bench::Release;

void* operator new(std::size_t size) { return Allocate(size, 0); }
void* operator new[](std::size_t size) { return Allocate(size, 0); }
void* operator new(std::size_t size, std::align_val_t a) {
    return Allocate(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a) {
    return Allocate(size, static_cast<std::size_t>(a));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size, 0);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size, 0);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }
void operator delete(void* p, std::align_val_t) noexcept { Release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { Release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { Release(p); }
