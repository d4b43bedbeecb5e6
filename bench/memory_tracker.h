#pragma once
// Heap use of the benchmark process, counted by the replaced global operator new/delete.

#include <cstddef>

namespace marvek::bench {

std::size_t CurrentHeapBytes();
std::size_t PeakHeapBytes();
// Starts a new peak from the current use.
void ResetPeakHeap();

}  // namespace marvek::bench
