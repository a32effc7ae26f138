#include <pelto/types/GazeInfo.hpp>

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <concepts>
#include <cstdint>
#include <limits>
#include <type_traits>

namespace pelto {
namespace {

// Bits, so that NaN payloads and the sign of zero count too.
std::uint64_t bits(double value) {
    return std::bit_cast<std::uint64_t>(value);
}

TEST(GazeInfoTest, StoresEveryArgumentUnchanged) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr auto MIN = std::numeric_limits<std::int64_t>::min();
    constexpr auto MAX = std::numeric_limits<std::int64_t>::max();
    struct Arguments {
        std::array<double, 3> numbers; // timestamp first, then x and y
        std::array<std::int64_t, 3> states;
    };
    for (const Arguments& a :
         {Arguments{{1.5, 100.0, 200.0}, {0, 0, 0}}, Arguments{{-0.0, -1e308, -5e-324}, {3, 3, 2}},
          Arguments{{inf, -inf, nan}, {1, 2, 1}},
          Arguments{{-nan, nan, inf}, {2, 1, 0}}, // eye movement 1: no case
          Arguments{{0.0, 0.0, 0.0}, {MIN, -1, MAX}}}) {
        const GazeInfo sample(
            a.numbers[0], a.numbers[1], a.numbers[2], static_cast<TrackingState>(a.states[0]),
            static_cast<EyeMovementState>(a.states[1]), static_cast<ScreenState>(a.states[2]));
        const GazeInfo copy = sample;
        EXPECT_EQ(bits(copy.timestamp()), bits(a.numbers[0]));
        EXPECT_EQ(bits(copy.x()), bits(a.numbers[1]));
        EXPECT_EQ(bits(copy.y()), bits(a.numbers[2]));
        EXPECT_EQ(rawValue(copy.trackingState()), a.states[0]);
        EXPECT_EQ(rawValue(copy.eyeMovementState()), a.states[1]);
        EXPECT_EQ(rawValue(copy.screenState()), a.states[2]);
    }
}

static_assert(!std::is_default_constructible_v<GazeInfo>);
static_assert(!std::equality_comparable<GazeInfo>);
static_assert(std::is_trivially_copyable_v<GazeInfo>);

} // namespace
} // namespace pelto
