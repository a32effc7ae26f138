#pragma once

// The C++20 library parts the library uses that the C++ library of Debian 12's Emscripten (3.1.6)
// lacks: std::bit_cast, std::jthread and the std::ranges algorithms. Included before every source
// of the WebAssembly build (preset `wasm`); each part only where the feature-test macro says the
// standard library has none. Each does what the standard says, for the uses in this project.

#if __cplusplus >= 202002L // configuration checks compile as older C++ too

#include <version>

#include <algorithm>
#include <functional>
#include <iterator>
#include <thread>
#include <utility>

namespace std { // NOLINT(cert-dcl58-cpp): fills in what this standard library lacks

#ifndef __cpp_lib_bit_cast
template <class To, class From> constexpr To bit_cast(const From& from) noexcept {
    return __builtin_bit_cast(To, from);
}
#endif

#ifndef __cpp_lib_jthread
/// A thread that joins when destroyed.
class jthread : public thread {
  public:
    using thread::thread;
    jthread(jthread&&) noexcept = default;
    jthread& operator=(jthread&&) noexcept = default;
    jthread(const jthread&) = delete;
    jthread& operator=(const jthread&) = delete;
    ~jthread() {
        if (joinable()) {
            join();
        }
    }
};
#endif

#ifndef __cpp_lib_ranges
namespace ranges {
template <class Range, class Predicate> constexpr bool all_of(Range&& range, Predicate predicate) {
    return std::all_of(std::begin(range), std::end(range), std::move(predicate));
}
template <class Range, class Out, class Function>
constexpr void transform(Range&& range, Out out, Function function) {
    std::transform(std::begin(range), std::end(range), out, std::move(function));
}
template <class Range> constexpr auto max_element(Range&& range) {
    return std::max_element(std::begin(range), std::end(range));
}
template <class Range, class Iterator> constexpr void nth_element(Range&& range, Iterator middle) {
    std::nth_element(std::begin(range), middle, std::end(range));
}
template <class Range, class Compare> void stable_sort(Range&& range, Compare compare) {
    std::stable_sort(std::begin(range), std::end(range), std::move(compare));
}
} // namespace ranges
#endif

} // namespace std

#endif
