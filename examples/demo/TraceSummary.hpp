#pragma once

#include "SmoothedTrace.hpp"
#include "Trace.hpp"

#include <cstddef>

namespace pelto::demo {

/// A step between two samples is part of a saccade when its speed exceeds this many times the
/// median speed of all steps; the others are fixation steps.
inline constexpr double SACCADE_SPEED_FACTOR = 5.0;

/// Fixation steps this soon after a saccade are left out of the jitter figures: the smoothed
/// signal is still catching up there, which the lag figures measure.
inline constexpr double SETTLE_MS = 200.0;

/// Share of a saccade's step the lag is measured at.
inline constexpr double LAG_PROGRESS = 0.9;

/// What smoothing did to a trace, in figures a person can act on. Distances are Euclidean over
/// all channels, in the channels' unit; figures without data are NaN.
struct TraceSummary {
    std::size_t samples = 0;
    std::size_t refused = 0; ///< filterValues() answered false
    std::size_t resets = 0;  ///< refused and the bank's values all zero afterwards

    double saccadeSpeed = 0.0; ///< speed threshold, channel units per millisecond

    std::size_t fixationSteps = 0; ///< steps the jitter figures cover
    double rawJitter = 0.0;        ///< RMS length of the raw steps during fixations
    double smoothedJitter = 0.0;   ///< the same for the smoothed signal

    std::size_t saccades = 0;     ///< runs of fast steps between usable samples
    std::size_t lagsMeasured = 0; ///< saccades where the smoothed signal reached the target
    double meanLagMs = 0.0;       ///< how much later than the raw signal the smoothed one
    double maxLagMs = 0.0;        ///< covers LAG_PROGRESS of a saccade's step
};

/// Classifies the steps of `trace` by speed into fixations and saccades and measures jitter and
/// lag. Only samples the bank accepted and whose values are all finite take part.
[[nodiscard]] TraceSummary summarizeTrace(const Trace& trace, const SmoothedTrace& smoothed);

} // namespace pelto::demo
