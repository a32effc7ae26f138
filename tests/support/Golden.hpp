#pragma once

// The reference sequence each filter layer reproduces bit for bit: one channel with the bank's
// default parameters (30 Hz, minCutOff 1, beta 0.007, dCutOff 1), timestamps in milliseconds.

#include <array>
#include <cstdint>

namespace pelto::testing {

struct GoldenSample {
    double value;
    std::int64_t timestamp;
    double expected;
};

inline constexpr std::array<GoldenSample, 4> GOLDEN{{{10.0, 0, 10.0},
                                                     {20.0, 33, 12.205030965084358},
                                                     {20.0, 66, 13.8617789415347},
                                                     {25.0, 100, 16.46790389841297}}};

} // namespace pelto::testing
