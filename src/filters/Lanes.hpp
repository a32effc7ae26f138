#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <type_traits>

namespace pelto::detail {

// Two channels of a filter bank side by side. The filters are written once, for
// a scalar or a lane pair: every operation on a pair is the same IEEE 754
// operation on each lane, so a lane gives exactly what a scalar filter gives.
using DoublePair = double __attribute__((vector_size(2 * sizeof(double))));
using BitsPair = std::int64_t __attribute__((vector_size(2 * sizeof(std::int64_t))));

template <class T> [[nodiscard]] inline T broadcast(double value) noexcept {
    if constexpr (std::is_same_v<T, double>) {
        return value;
    } else {
        return T{value, value};
    }
}

// |value|, lane by lane: clears the sign bits, as std::abs does.
[[nodiscard]] inline double magnitude(double value) noexcept {
    return std::abs(value);
}
[[nodiscard]] inline DoublePair magnitude(DoublePair value) noexcept {
    return std::bit_cast<DoublePair>(std::bit_cast<BitsPair>(value) &
                                     ~BitsPair{INT64_MIN, INT64_MIN});
}

// All ones in each lane that holds an infinity or a NaN, zero elsewhere: a NaN
// fails every comparison, an infinity exceeds the largest finite double.
[[nodiscard]] inline BitsPair notFinite(DoublePair value) noexcept {
    constexpr double LARGEST = 0x1.fffffffffffffp1023;
    return ~(magnitude(value) <= DoublePair{LARGEST, LARGEST});
}

} // namespace pelto::detail
