#pragma once

// The C++20 library parts the library uses that the C++ library of Debian 12's Emscripten (3.1.6)
// lacks: std::bit_cast, std::jthread, the std::ranges algorithms and std::to_chars of a double.
// Included before every source
// of the WebAssembly build (preset `wasm`); each part only where the feature-test macro says the
// standard library has none. Each does what the standard says, for the uses in this project.

#if __cplusplus >= 202002L // configuration checks compile as older C++ too

#include <version>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
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
template <class Range, class Out> constexpr void copy(Range&& range, Out out) {
    std::copy(std::begin(range), std::end(range), out);
}
template <class Range> void sort(Range&& range) {
    std::sort(std::begin(range), std::end(range));
}
template <class Range, class Compare> void stable_sort(Range&& range, Compare compare) {
    std::stable_sort(std::begin(range), std::end(range), std::move(compare));
}
} // namespace ranges
#endif

#if !defined(__cpp_lib_to_chars) && defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 14000
/// The shortest text that reads back as `value` (the fewest significant digits, the nearest of
/// those), in plain or exponent notation, whichever is shorter (plain on a tie), as printf
/// spells them: "0.25", "1e-07", "-1.5e+300", "120", "inf", "nan".
inline to_chars_result to_chars(char* first, char* last, double value) {
    string text;
    if (!isfinite(value)) {
        text = signbit(value) ? "-" : "";
        text += isnan(value) ? "nan" : "inf";
    } else {
        // The fewest digits that read back (%e rounds to the nearest), then both notations.
        array<char, 40> scientific{};
        int precision = 0;
        for (; precision < 16; ++precision) {
            snprintf(scientific.data(), scientific.size(), "%.*e", precision, value);
            if (strtod(scientific.data(), nullptr) == value) {
                break;
            }
        }
        snprintf(scientific.data(), scientific.size(), "%.*e", precision, value);
        text = scientific.data();
        // The same digits in plain notation: as many decimals as they need (whole numbers
        // print in full, as their exact value).
        const size_t mark = text.find('e');
        const int exponent = atoi(text.c_str() + mark + 1);
        const int decimals = precision - exponent > 0 ? precision - exponent : 0;
        array<char, 400> fixed{};
        snprintf(fixed.data(), fixed.size(), "%.*f", decimals, value);
        const string_view plain = fixed.data();
        if (plain.size() <= text.size()) {
            text = plain;
        }
    }
    if (static_cast<size_t>(last - first) < text.size()) {
        return {last, errc::value_too_large};
    }
    return {copy(text.begin(), text.end(), first), errc{}};
}
#endif

} // namespace std

#endif
