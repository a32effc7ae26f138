#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace pelto::detail {

// Channels of a filter bank side by side, `N` to a vector. The filters are
// written once, for a scalar or a lane vector: every operation on a vector is
// the same IEEE 754 operation on each lane, so a lane gives exactly what a
// scalar filter gives, whatever the vector's width.
template <std::size_t N> struct LaneVectors;
template <> struct LaneVectors<2> {
    using Doubles = double __attribute__((vector_size(2 * sizeof(double))));
    using Bits = std::int64_t __attribute__((vector_size(2 * sizeof(std::int64_t))));
};
template <> struct LaneVectors<4> {
    using Doubles = double __attribute__((vector_size(4 * sizeof(double))));
    using Bits = std::int64_t __attribute__((vector_size(4 * sizeof(std::int64_t))));
};
template <> struct LaneVectors<8> {
    using Doubles = double __attribute__((vector_size(8 * sizeof(double))));
    using Bits = std::int64_t __attribute__((vector_size(8 * sizeof(std::int64_t))));
};

// Two channels: the width of the baseline x86-64 instruction set (SSE2).
using DoublePair = LaneVectors<2>::Doubles;
using BitsPair = LaneVectors<2>::Bits;

// The lanes of a vector type (1 for a scalar).
template <class T> inline constexpr std::size_t LANES_OF = sizeof(T) / sizeof(double);

// The integer vector as wide as the lane vector T.
template <class T> using LaneBits = typename LaneVectors<LANES_OF<T>>::Bits;

// The helpers below are always inlined, also in unoptimised builds: the wide
// kernels' translation units are compiled for other instruction sets, and an
// out-of-line copy of a helper they share with the baseline code could be the
// one the linker keeps for both.

template <class T> [[nodiscard, gnu::always_inline]] inline T broadcast(double value) noexcept {
    if constexpr (std::is_same_v<T, double>) {
        return value;
    } else {
        T lanes{};
        for (std::size_t lane = 0; lane < LANES_OF<T>; ++lane) {
            lanes[lane] = value;
        }
        return lanes;
    }
}

// |value|, lane by lane: clears the sign bits, as std::abs does.
[[nodiscard, gnu::always_inline]] inline double magnitude(double value) noexcept {
    return std::abs(value);
}
template <class T>
[[nodiscard, gnu::always_inline]] inline T magnitude(T value) noexcept
    requires(!std::is_same_v<T, double>) {
    return __builtin_bit_cast(T, __builtin_bit_cast(LaneBits<T>, value) & INT64_MAX);
}

// All ones in each lane that holds an infinity or a NaN, zero elsewhere: a NaN
// fails every comparison, an infinity exceeds the largest finite double.
template <class T>
[[nodiscard, gnu::always_inline]] inline LaneBits<T> notFinite(T value) noexcept {
    constexpr double LARGEST = 0x1.fffffffffffffp1023;
    return ~(magnitude(value) <= LARGEST);
}

// Whether no lane of `bits` is set.
template <class B> [[nodiscard, gnu::always_inline]] inline bool noLaneSet(B bits) noexcept {
    std::int64_t any = 0;
    for (std::size_t lane = 0; lane < sizeof(B) / sizeof(std::int64_t); ++lane) {
        any |= bits[lane];
    }
    return any == 0;
}

} // namespace pelto::detail
