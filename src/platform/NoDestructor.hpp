#pragma once

#include <utility>

namespace pelto::detail {

// Holds a `T` that is built on first use and never destroyed: process-wide state that host code
// may still reach from its own static destructors, after the library's statics would be gone.
// What the value owns at exit stays allocated and reachable; the process releases it.
template <class T> class NoDestructor {
  public:
    template <class... Args>
    explicit NoDestructor(Args&&... args)
        : value_(std::forward<Args>(args)...) {}

    // Deliberately not `= default`, which would destroy the value (or be deleted).
    // NOLINTNEXTLINE(modernize-use-equals-default)
    ~NoDestructor() {}

    NoDestructor(const NoDestructor&) = delete;
    NoDestructor& operator=(const NoDestructor&) = delete;
    NoDestructor(NoDestructor&&) = delete;
    NoDestructor& operator=(NoDestructor&&) = delete;

    // The union's only member, alive from construction on.
    T& get() noexcept { return value_; } // NOLINT(cppcoreguidelines-pro-type-union-access)

  private:
    union {
        T value_;
    };
};

} // namespace pelto::detail
