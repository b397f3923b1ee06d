// What every benchmark program shares: the runtime set up as the program sets it up, and a
// count of heap allocations for the benchmarks that report allocations per operation.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace bench {

// Program heap and temporary string area, as the entry point and Runtime_Start make them.
void startRuntimeCore();
void endRuntimeCore();

// Heap allocations (malloc, calloc, realloc, and so operator new and the host heaps, which
// sit on malloc) made while counting is on. Counting is off inside the timed loops: only a
// separate, untimed pass counts, so neither side pays for the counting.
void startCounting();
uint64_t stopCounting();  // allocations since startCounting

}  // namespace bench
