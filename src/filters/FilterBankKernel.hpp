#pragma once

#include "filters/Lanes.hpp"
#include "filters/LowPassFilter.hpp"
#include "filters/OneEuroFilter.hpp"

#include <cstddef>
#include <cstring>

// The per-channel work of a filter bank, written once for any lane width. The
// same source is compiled for each instruction set the bank can run on
// (FilterBankKernels.hpp): every function here is a template always inlined
// into its variant's entry points, so no out-of-line copy built for a wider
// instruction set can stand in for a baseline one.

namespace pelto::detail {

// The state of a filter bank's channels as structure of arrays: element i of
// each array belongs to channel i, and each array holds `lanes` elements, the
// channel count rounded up to an even number. An odd count's padding lane
// repeats the last channel: every variant runs that channel as a pair with its
// padding lane, fed the same value from the same fresh state, so the padding
// lane holds the same bits and never changes an answer.
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

// The lanes per vector that the bank's arrays are rounded up to.
inline constexpr std::size_t LANES_PER_VECTOR = LANES_OF<DoublePair>;

// The lanes of the narrowest vector wider than a pair: fewer channels run in
// pairs alone, whatever the widest vector.
inline constexpr std::size_t NARROWEST_WIDE_VECTOR = 4;

template <class V>
[[nodiscard, gnu::always_inline]] inline V loadLanes(const double* array,
                                                     std::size_t first) noexcept {
    V lanes;
    std::memcpy(&lanes, array + first, sizeof lanes);
    return lanes;
}

template <class V>
[[gnu::always_inline]] inline void storeLanes(double* array, std::size_t first, V lanes) noexcept {
    std::memcpy(array + first, &lanes, sizeof lanes);
}

// One vector of channels [first, first + LANES_OF<V>): the steps of
// BasicOneEuroFilter::filterValue after the clock has advanced, lane by lane,
// so every lane gives exactly what a one-euro filter of its own gives.
// `Started` is whether the filters have seen a sample since they were built;
// `FromFiltered` takes the rate of change against the previous smoothed value
// instead of the previous input.
template <bool Started, bool FromFiltered, class V>
[[nodiscard, gnu::always_inline]] inline V smoothLanes(const SharedStep& step, V value,
                                                       const ChannelArrays& state,
                                                       std::size_t first) noexcept {
    using LowPass = BasicLowPassFilter<V>;
    using OneEuro = BasicOneEuroFilter<V>;
    V dv{};
    V edv{};
    if constexpr (Started) {
        const V previous = loadLanes<V>(FromFiltered ? state.smoothed : state.raw, first);
        dv = step.freq * (value - previous);
        edv =
            LowPass::blend(broadcast<V>(step.derivativeAlpha), dv, loadLanes<V>(state.rate, first));
    } else {
        edv = dv;
    }
    const V cutoff = OneEuro::cutoffFor(edv, step.beta, step.minCutOff);
    const V alpha = LowPass::acceptedAlpha(OneEuro::alphaFor(cutoff, step.period),
                                           loadLanes<V>(state.alpha, first));
    V result = value;
    if constexpr (Started) {
        result = LowPass::blend(alpha, value, loadLanes<V>(state.smoothed, first));
    }
    storeLanes(state.rate, first, edv);
    storeLanes(state.alpha, first, alpha);
    storeLanes(state.raw, first, value);
    storeLanes(state.smoothed, first, result);
    return result;
}

// Channels [next, ...) in whole vectors of LANES_OF<V> while they last; `next`
// ends at the first channel left over. Answers whether every result is finite.
template <bool Started, bool FromFiltered, class V>
[[nodiscard, gnu::always_inline]] inline bool
smoothVectors(const SharedStep& step, const double* values, std::size_t channels,
              const ChannelArrays& state, double* out, std::size_t& next) noexcept {
    LaneBits<V> bad{};
    std::size_t i = next;
    for (; i + LANES_OF<V> <= channels; i += LANES_OF<V>) {
        const V result =
            smoothLanes<Started, FromFiltered>(step, loadLanes<V>(values, i), state, i);
        if (out != nullptr) {
            storeLanes(out, i, result);
        }
        bad |= notFinite(result);
    }
    next = i;
    return noLaneSet(bad);
}

// One sample of `channels` values through every channel of a bank, in vectors
// of `Widest` lanes, then narrower ones for what is left, down to the pairs of
// the arrays' layout. The results also go to `out` (one per channel) unless it
// is null. Answers whether every result is finite.
template <bool Started, bool FromFiltered, std::size_t Widest>
[[nodiscard, gnu::always_inline]] inline bool
smoothChannels(const SharedStep& step, const double* values, std::size_t channels,
               const ChannelArrays& state, double* out) noexcept {
    std::size_t next = 0;
    bool wideFinite = true;
    if constexpr (Widest >= 8) {
        wideFinite = smoothVectors<Started, FromFiltered, LaneVectors<8>::Doubles>(
            step, values, channels, state, out, next);
    }
    if constexpr (Widest >= 4) {
        const bool finite = smoothVectors<Started, FromFiltered, LaneVectors<4>::Doubles>(
            step, values, channels, state, out, next);
        wideFinite = wideFinite && finite;
    }
    const bool pairsFinite =
        smoothVectors<Started, FromFiltered, DoublePair>(step, values, channels, state, out, next);
    bool lastFinite = true;
    if (next < channels) {
        // The last channel of an odd count, with its padding lane.
        const DoublePair result = smoothLanes<Started, FromFiltered>(
            step, broadcast<DoublePair>(values[next]), state, next);
        if (out != nullptr) {
            out[next] = result[0];
        }
        lastFinite = noLaneSet(notFinite(result));
    }
    return wideFinite && pairsFinite && lastFinite;
}

} // namespace pelto::detail
