#pragma once

#include "Trace.hpp"

#include <cstdint>

namespace pelto::demo {

/// Shape of the synthetic gaze recording.
struct SyntheticTraceShape {
    double screenWidth = 390.0;  ///< points
    double screenHeight = 844.0; ///< points
    double durationMs = 10000.0;
    double jitter = 5.0;            ///< standard deviation of the sensor noise per axis, points
    double dropoutStartMs = 6000.0; ///< tracking lost from here ...
    double dropoutEndMs = 6250.0;   ///< ... to here: x and y are NaN
};

/// A deterministic gaze recording with channels "x" and "y" in screen points: fixations of
/// 250-600 ms with sensor noise, saccades of 120 points or more between them, timestamps in
/// milliseconds at irregular intervals of 14-19.5 ms (about 60 Hz) starting at 0, and one
/// tracking dropout. The same seed gives the same trace, bit for bit, on every platform.
[[nodiscard]] Trace makeSyntheticTrace(std::uint64_t seed, const SyntheticTraceShape& shape = {});

} // namespace pelto::demo
