#pragma once
// Counts the bytes the process holds on the heap (malloc and operator new
// alike), so a benchmark can report how much memory one composition adds.
#include <cstddef>

namespace vantrelo::bench {

std::size_t heapInUse();
std::size_t heapPeak();
// Makes the current use the new peak, so the next peak is measured from here.
void resetHeapPeak();

}  // namespace vantrelo::bench
