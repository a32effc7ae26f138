#include <pelto/types/GazeInfo.hpp>

#include <gtest/gtest.h>

#include <bit>
#include <concepts>
#include <cstdint>
#include <limits>
#include <type_traits>

namespace pelto {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

struct Arguments {
    double timestamp;
    double x;
    double y;
    std::int64_t trackingState;
    std::int64_t eyeMovementState;
    std::int64_t screenState;
};

class GazeInfoTest : public ::testing::TestWithParam<Arguments> {};

// Bitwise, so that NaN payloads and the sign of zero count too.
void expectSameBits(double actual, double expected) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(actual), std::bit_cast<std::uint64_t>(expected));
}

TEST_P(GazeInfoTest, StoresEveryArgumentUnchanged) {
    const Arguments a = GetParam();
    const GazeInfo sample(a.timestamp, a.x, a.y, static_cast<TrackingState>(a.trackingState),
                          static_cast<EyeMovementState>(a.eyeMovementState),
                          static_cast<ScreenState>(a.screenState));
    for (const GazeInfo& info : {sample, GazeInfo(sample)}) {
        expectSameBits(info.timestamp(), a.timestamp);
        expectSameBits(info.x(), a.x);
        expectSameBits(info.y(), a.y);
        EXPECT_EQ(rawValue(info.trackingState()), a.trackingState);
        EXPECT_EQ(rawValue(info.eyeMovementState()), a.eyeMovementState);
        EXPECT_EQ(rawValue(info.screenState()), a.screenState);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Samples, GazeInfoTest,
    ::testing::Values(Arguments{1.5, 100.0, 200.0, 0, 0, 0}, // timestamp first, not x
                      Arguments{-0.0, -1e308, -5e-324, 3, 3, 2}, Arguments{inf, -inf, nan, 1, 2, 1},
                      Arguments{-nan, nan, inf, 2, 1, 0}, // eye movement 1 is no case
                      Arguments{0.0, 0.0, 0.0, std::numeric_limits<std::int64_t>::min(), -1,
                                std::numeric_limits<std::int64_t>::max()}));

static_assert(!std::is_default_constructible_v<GazeInfo>);
static_assert(!std::equality_comparable<GazeInfo>);
static_assert(std::is_trivially_copyable_v<GazeInfo>);
static_assert(std::is_nothrow_constructible_v<GazeInfo, double, double, double, TrackingState,
                                              EyeMovementState, ScreenState>);

} // namespace
} // namespace pelto
