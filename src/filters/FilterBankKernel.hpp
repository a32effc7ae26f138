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
// `beta` and `minCutOff` are the step's own (doubles) or each lane's (vectors).
template <bool Started, bool FromFiltered, class V, class Parameter>
[[nodiscard, gnu::always_inline]] inline V
smoothLanes(const SharedStep& step, Parameter beta, Parameter minCutOff, V value,
            const ChannelArrays& state, std::size_t first) noexcept {
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
    const V cutoff = OneEuro::cutoffFor(edv, beta, minCutOff);
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
        const V result = smoothLanes<Started, FromFiltered>(step, step.beta, step.minCutOff,
                                                            loadLanes<V>(values, i), state, i);
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
            step, step.beta, step.minCutOff, broadcast<DoublePair>(values[next]), state, next);
        if (out != nullptr) {
            out[next] = result[0];
        }
        lastFinite = noLaneSet(notFinite(result));
    }
    return wideFinite && pairsFinite && lastFinite;
}

// Many parameter sets of one filter bank side by side, for sweeping parameters
// over one recording: lane s of every array belongs to set s. The sets share the
// frequency, the derivative cutoff and the recording, hence the clock; each has
// its own minCutOff and beta. Channel c's state is the sets' lanes
// [c * sets, (c + 1) * sets) of each state array.
struct SetArrays {
    double* smoothed;
    double* raw;
    double* alpha;
    double* rate;
    const double* beta;      // one per set
    const double* minCutOff; // one per set
    std::size_t sets;        // a multiple of SET_LANES

    [[nodiscard, gnu::always_inline]] ChannelArrays channel(std::size_t c) const noexcept {
        const std::size_t first = c * sets;
        return {smoothed + first, raw + first, alpha + first, rate + first, sets};
    }
};

// The set count is rounded up to this, the widest vector's lanes.
inline constexpr std::size_t SET_LANES = 8;

// One sample of `channels` values through every set, in vectors of `Width`
// lanes: each lane gives what a bank with its set gives. When `squares` is not
// null, squares[s] gains the squared length of set s's step, summed over the
// channels in order. Answers whether every result is finite.
template <bool Started, bool FromFiltered, std::size_t Width>
[[nodiscard, gnu::always_inline]] inline bool
smoothSets(const SharedStep& step, const double* values, std::size_t channels,
           const SetArrays& sets, double* squares) noexcept {
    using V = typename LaneVectors<Width>::Doubles;
    LaneBits<V> bad{};
    for (std::size_t c = 0; c < channels; ++c) {
        const ChannelArrays state = sets.channel(c);
        const V value = broadcast<V>(values[c]);
        for (std::size_t s = 0; s < sets.sets; s += Width) {
            const V before = loadLanes<V>(state.smoothed, s);
            const V result = smoothLanes<Started, FromFiltered>(
                step, loadLanes<V>(sets.beta, s), loadLanes<V>(sets.minCutOff, s), value, state, s);
            if (squares != nullptr) {
                const V moved = before - result;
                storeLanes(squares, s, loadLanes<V>(squares, s) + moved * moved);
            }
            bad |= notFinite(result);
        }
    }
    return noLaneSet(bad);
}

// Each set's progress along a movement from `from` in the unit `direction`, of
// length `length`: the projection of its smoothed point, summed over the channels
// in order, divided by the length.
template <std::size_t Width>
[[gnu::always_inline]] inline void progressOfSets(const SetArrays& sets, std::size_t channels,
                                                  const double* from, const double* direction,
                                                  double length, double* progress) noexcept {
    using V = typename LaneVectors<Width>::Doubles;
    for (std::size_t s = 0; s < sets.sets; s += Width) {
        V along = broadcast<V>(0.0);
        for (std::size_t c = 0; c < channels; ++c) {
            along += (loadLanes<V>(sets.smoothed + c * sets.sets, s) - from[c]) * direction[c];
        }
        storeLanes(progress, s, along / length);
    }
}

} // namespace pelto::detail
