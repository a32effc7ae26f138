#pragma once

#include <cstddef>

namespace pelto::testing {

// Number of calls of the global operator new so far, in this process. Linking
// AllocationCounter.cpp replaces operator new to count them.
std::size_t allocationCount() noexcept;

// Makes every later operator new throw std::bad_alloc, or succeed again.
void failAllocations(bool fail) noexcept;

} // namespace pelto::testing
