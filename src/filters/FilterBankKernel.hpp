#pragma once

#include "filters/Lanes.hpp"
#include "filters/LowPassFilter.hpp"
#include "filters/OneEuroFilter.hpp"

#include <cstddef>
#include <cstring>

namespace pelto::detail {

// The state of a filter bank's channels as structure of arrays: element i of
// each array belongs to channel i, and each array holds `lanes` elements, the
// channel count rounded up to a whole number of lane vectors. A padding lane
// repeats the last channel: it is fed the same values from the same fresh state,
// so it holds the same bits and never changes an answer.
struct ChannelArrays {
    double* smoothed; // the signal filter's output: the bank's filtered values
    double* raw;      // the signal filter's last input
    double* alpha;    // the signal filter's alpha in force
    double* rate;     // the derivative filter's output: the filtered rate of change
    std::size_t lanes;
};

// What every channel shares at one sample: the clock after the timestamp, the
// derivative alpha that the derivative filters keep in force, and the
// parameters.
struct SharedStep {
    double freq;
    double period;
    double derivativeAlpha;
    double beta;
    double minCutOff;
};

using ChannelLowPass = BasicLowPassFilter<DoublePair>;
using ChannelOneEuro = BasicOneEuroFilter<DoublePair>;

inline constexpr std::size_t LANES_PER_VECTOR = sizeof(DoublePair) / sizeof(double);

// Lanes [first, first + LANES_PER_VECTOR) of a sample of `channels` values; lanes
// past the last channel repeat it.
[[nodiscard]] inline DoublePair loadLanes(const double* values, std::size_t first,
                                          std::size_t channels) noexcept {
    if (first + LANES_PER_VECTOR <= channels) {
        DoublePair lanes;
        std::memcpy(&lanes, values + first, sizeof lanes);
        return lanes;
    }
    return broadcast<DoublePair>(values[channels - 1]);
}

[[nodiscard]] inline DoublePair loadLanes(const double* array, std::size_t first) noexcept {
    DoublePair lanes;
    std::memcpy(&lanes, array + first, sizeof lanes);
    return lanes;
}

inline void storeLanes(double* array, std::size_t first, DoublePair lanes) noexcept {
    std::memcpy(array + first, &lanes, sizeof lanes);
}

// Stores the lanes of channels [first, first + LANES_PER_VECTOR) that exist.
inline void storeChannels(double* row, std::size_t first, std::size_t channels,
                          DoublePair lanes) noexcept {
    if (first + LANES_PER_VECTOR <= channels) {
        storeLanes(row, first, lanes);
        return;
    }
    for (std::size_t lane = 0; first + lane < channels; ++lane) {
        row[first + lane] = lanes[lane];
    }
}

// One sample of `channels` values through every channel of a bank: the steps of
// BasicOneEuroFilter::filterValue after the clock has advanced, lane by lane, so
// every lane gives exactly what a one-euro filter of its own gives. `Started` is
// whether the filters have seen a sample since they were built. The results also
// go to `out` (one per channel) unless it is null. Answers whether every result
// is finite.
template <bool Started>
[[nodiscard, gnu::always_inline]] inline bool
smoothChannels(const SharedStep& step, const double* values, std::size_t channels,
               const ChannelArrays& state, double* out) noexcept {
    BitsPair bad{};
    for (std::size_t i = 0; i < state.lanes; i += LANES_PER_VECTOR) {
        const DoublePair value = loadLanes(values, i, channels);
        DoublePair dv{};
        DoublePair edv{};
        if constexpr (Started) {
            dv = step.freq * (value - loadLanes(state.raw, i));
            edv = ChannelLowPass::blend(broadcast<DoublePair>(step.derivativeAlpha), dv,
                                        loadLanes(state.rate, i));
        } else {
            edv = dv;
        }
        const DoublePair cutoff = ChannelOneEuro::cutoffFor(edv, step.beta, step.minCutOff);
        const DoublePair alpha = ChannelLowPass::acceptedAlpha(
            ChannelOneEuro::alphaFor(cutoff, step.period), loadLanes(state.alpha, i));
        DoublePair result = value;
        if constexpr (Started) {
            result = ChannelLowPass::blend(alpha, value, loadLanes(state.smoothed, i));
        }
        storeLanes(state.rate, i, edv);
        storeLanes(state.alpha, i, alpha);
        storeLanes(state.raw, i, value);
        storeLanes(state.smoothed, i, result);
        if (out != nullptr) {
            storeChannels(out, i, channels, result);
        }
        bad |= notFinite(result);
    }
    for (std::size_t lane = 0; lane < LANES_PER_VECTOR; ++lane) {
        if (bad[lane] != 0) {
            return false;
        }
    }
    return true;
}

} // namespace pelto::detail
