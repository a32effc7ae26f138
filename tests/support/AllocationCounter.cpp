#include "support/AllocationCounter.hpp"

#include <atomic>
#include <cstdlib>
#include <new>

// Kept in a translation unit of its own so that no caller sees operator new and
// operator delete inlined side by side.
namespace {
std::atomic<std::size_t> allocations{0};
std::atomic<bool> failing{false};
} // namespace

std::size_t pelto::testing::allocationCount() noexcept {
    return allocations.load(std::memory_order_relaxed);
}

void pelto::testing::failAllocations(bool fail) noexcept {
    failing.store(fail, std::memory_order_relaxed);
}

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (!failing.load(std::memory_order_relaxed)) {
        if (void* p = std::malloc(size == 0 ? 1 : size)) { // NOLINT(cppcoreguidelines-no-malloc)
            return p;
        }
    }
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    std::free(p); // NOLINT(cppcoreguidelines-no-malloc)
}
void operator delete(void* p, std::size_t /*size*/) noexcept {
    std::free(p); // NOLINT(cppcoreguidelines-no-malloc)
}
