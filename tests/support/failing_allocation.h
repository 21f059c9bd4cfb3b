// Out of memory on demand, for the native test programs that link failing_allocation.cpp:
// it replaces the global allocation functions of the whole program.
#pragma once

#include <cstddef>

namespace pelmora::testing_support {

// Allocation number `n` from now on (1 is the next one) throws std::bad_alloc, or gives
// null for the non-throwing forms; 0 lets every allocation succeed again.
void FailAllocation(size_t n);

// Whether the allocation chosen by FailAllocation has happened (and failed).
bool AllocationFailed();

}  // namespace pelmora::testing_support
