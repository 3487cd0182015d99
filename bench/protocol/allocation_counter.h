// Counts heap allocations made anywhere in the process, so a benchmark can
// show that the code it times never allocates.
#pragma once

#include <cstddef>

namespace kelvo_bench {

// Number of allocations (malloc, calloc, realloc, aligned allocations and
// everything built on them, operator new included) since the program started.
size_t AllocationCount();

// True when allocations really are being counted in this build.
bool AllocationCounterWorks();

}  // namespace kelvo_bench
