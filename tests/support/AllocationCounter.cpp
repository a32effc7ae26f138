#include "support/AllocationCounter.hpp"

#include <atomic>
#include <cstdlib>
#include <new>

// Kept in a translation unit of its own so that no caller sees operator new and
// operator delete inlined side by side.
namespace {
std::atomic<std::size_t> allocations{0};
std::atomic<bool> failing{false};

void* allocate(std::size_t size) noexcept {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (failing.load(std::memory_order_relaxed)) {
        return nullptr;
    }
    return std::malloc(size == 0 ? 1 : size); // NOLINT(cppcoreguidelines-no-malloc)
}
} // namespace

std::size_t pelto::testing::allocationCount() noexcept {
    return allocations.load(std::memory_order_relaxed);
}

void pelto::testing::failAllocations(bool fail) noexcept {
    failing.store(fail, std::memory_order_relaxed);
}

// Every form that operator delete below may free is replaced, so that no allocation of the
// sanitizers' own is freed here.
void* operator new(std::size_t size) {
    if (void* p = allocate(size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t& /*tag*/) noexcept {
    return allocate(size);
}

void operator delete(void* p) noexcept {
    std::free(p); // NOLINT(cppcoreguidelines-no-malloc)
}
void operator delete(void* p, std::size_t /*size*/) noexcept {
    std::free(p); // NOLINT(cppcoreguidelines-no-malloc)
}
void operator delete(void* p, const std::nothrow_t& /*tag*/) noexcept {
    std::free(p); // NOLINT(cppcoreguidelines-no-malloc)
}
