#include <pelto/filters/OneEuroFilterManager.hpp>

#include "filters/OneEuroFilter.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace pelto {

namespace {

// Timestamps outside [-2^63, 2^63) (and NaN) cannot be truncated to int64.
constexpr double TIMESTAMP_LOWER_BOUND = -0x1p63;
constexpr double TIMESTAMP_UPPER_BOUND = 0x1p63;

// A NaN: no interval between two int64 timestamps has these bits.
constexpr std::uint64_t NO_INTERVAL = 0x7ff8'dead'0000'0000;

using Pair = double __attribute__((vector_size(16)));

double positiveOr(double value, double fallback) noexcept {
    return 0.0 >= value ? fallback : value;
}

// One sample through a filter pair after its clock has advanced with the bank's
// lead: stores the first `lanes` results and answers whether they are finite.
bool filterPair(detail::OneEuroFilterPair& filter, const detail::OneEuroFilterPair& lead,
                detail::DoublePair values, double period, double derivativeAlpha, double* out,
                std::size_t lanes) noexcept {
    if (&filter != &lead) {
        filter.followClock(lead);
    }
    const detail::DoublePair cutoff = filter.cutoff(values, derivativeAlpha);
    const detail::DoublePair result =
        filter.smooth(values, detail::OneEuroFilterPair::alphaFor(cutoff, period));
    bool finite = true;
    for (std::size_t lane = 0; lane < lanes; ++lane) {
        out[lane] = result[lane];
        finite &= std::isfinite(result[lane]);
    }
    return finite;
}

} // namespace

OneEuroFilterManager::OneEuroFilterManager() noexcept = default;

OneEuroFilterManager::OneEuroFilterManager(std::int64_t count, double freq, double minCutOff,
                                           double beta, double dCutOff)
    : freq_(positiveOr(freq, DEFAULT_FREQUENCY))
    , minCutOff_(positiveOr(minCutOff, DEFAULT_MIN_CUT_OFF))
    , beta_(beta)
    , dCutOff_(positiveOr(dCutOff, DEFAULT_D_CUT_OFF)) {
    // The larger array first, so that a count too large to hold fails before
    // anything has been written.
    const auto channels = static_cast<std::size_t>(count > 0 ? count : DEFAULT_COUNT);
    filters_.assign(channels / 2 + channels % 2, freshFilter());
    filteredValues_.assign(channels, 0.0);
    restartClock();
    // No interval has these bits: the first lookups miss.
    memo_.intervalBits.fill(NO_INTERVAL);
}

OneEuroFilterManager::OneEuroFilterManager(const OneEuroFilterManager& other) = default;

OneEuroFilterManager::OneEuroFilterManager(OneEuroFilterManager&& other) noexcept
    : OneEuroFilterManager() {
    swap(other);
}

OneEuroFilterManager& OneEuroFilterManager::operator=(const OneEuroFilterManager& other) = default;

OneEuroFilterManager& OneEuroFilterManager::operator=(OneEuroFilterManager&& other) noexcept {
    OneEuroFilterManager moved(std::move(other));
    moved.swap(*this);
    return *this;
}

OneEuroFilterManager::~OneEuroFilterManager() = default;

void OneEuroFilterManager::swap(OneEuroFilterManager& other) noexcept {
    using std::swap;
    swap(filters_, other.filters_);
    swap(filteredValues_, other.filteredValues_);
    swap(freq_, other.freq_);
    swap(minCutOff_, other.minCutOff_);
    swap(beta_, other.beta_);
    swap(dCutOff_, other.dCutOff_);
    swap(clock_, other.clock_);
    swap(memo_, other.memo_);
}

bool OneEuroFilterManager::filterValues(double timestamp, std::span<const double> val) noexcept {
    const std::size_t channels = filteredValues_.size();
    if (val.size() != channels || channels == 0) {
        return false;
    }
    if (!(timestamp >= TIMESTAMP_LOWER_BOUND && timestamp < TIMESTAMP_UPPER_BOUND)) {
        return false;
    }
    const auto t = static_cast<std::int64_t>(timestamp);

    // Every filter of the bank sees the same timestamps, so the frequency estimate,
    // the period and the derivative alpha are the same for all channels: compute
    // them once, with the operations a single filter would use.
    detail::OneEuroFilterPair& lead = filters_.front();
    lead.advanceClock(t, [this](double interval) noexcept {
        clock_ = clockForInterval(interval);
        return clock_.freq;
    });
    const double period = clock_.period;
    const double derivativeAlpha = clock_.derivativeAlpha;

    // Channels run two at a time, one per lane of a filter pair: each lane gives
    // what a filter of its own would. An odd last channel leaves a lane unused;
    // it is fed zeros and its results are ignored.
    bool finite = true;
    const std::size_t pairs = channels / 2;
    for (std::size_t p = 0; p < pairs; ++p) {
        const std::size_t i = 2 * p;
        finite &= filterPair(filters_[p], lead, detail::DoublePair{val[i], val[i + 1]}, period,
                             derivativeAlpha, &filteredValues_[i], 2);
    }
    if (channels % 2 != 0) {
        const std::size_t i = channels - 1;
        finite &= filterPair(filters_[pairs], lead, detail::DoublePair{val[i], 0.0}, period,
                             derivativeAlpha, &filteredValues_[i], 1);
    }
    if (!finite) {
        reset();
        return false;
    }
    return true;
}

OneEuroFilterManager::Clock OneEuroFilterManager::clockForInterval(double interval) noexcept {
    const auto key = std::bit_cast<std::uint64_t>(interval);
    if (key != memo_.intervalBits[0] && key != memo_.intervalBits[1]) [[unlikely]] {
        const detail::FilterTiming timing = detail::OneEuroFilterPair::timingAt(
            detail::OneEuroFilterPair::frequencyFor(interval), dCutOff_);
        memo_.intervalBits[memo_.next] = key;
        memo_.clocks[memo_.next] = {timing.freq, timing.te, timing.derivativeAlpha};
        memo_.next ^= 1U;
    }
    return memo_.clocks[key == memo_.intervalBits[1] ? 1 : 0];
}

detail::OneEuroFilterPair OneEuroFilterManager::freshFilter() const noexcept {
    return {freq_, minCutOff_, beta_, dCutOff_};
}

std::vector<double> OneEuroFilterManager::getFilteredValues() const {
    return filteredValues_;
}

std::size_t OneEuroFilterManager::filterSamples(std::span<const double> timestamps,
                                                std::span<const double> values,
                                                std::span<double> smoothed,
                                                std::span<std::uint8_t> accepted) {
    const std::size_t rows = timestamps.size();
    const std::size_t channels = filteredValues_.size();
    // rows * channels without overflow: a product that does not fit cannot match any span.
    const bool fits = channels == 0 || rows <= SIZE_MAX / channels;
    const std::size_t cells = fits ? rows * channels : 0;
    if (!fits || values.size() != cells || smoothed.size() != cells ||
        (!accepted.empty() && accepted.size() != rows)) {
        throw std::invalid_argument(
            "OneEuroFilterManager::filterSamples: " + std::to_string(rows) + " timestamps and " +
            std::to_string(channels) + " channels need " +
            (fits ? std::to_string(cells) : std::string("more than SIZE_MAX")) +
            " values and smoothed values and 0 or " + std::to_string(rows) + " flags; got " +
            std::to_string(values.size()) + " values, " + std::to_string(smoothed.size()) +
            " smoothed values and " + std::to_string(accepted.size()) + " flags");
    }
    std::size_t acceptedRows = 0;
    for (std::size_t row = 0; row < rows; ++row) {
        const bool ok = filterValues(timestamps[row], values.subspan(row * channels, channels));
        std::copy(filteredValues_.begin(), filteredValues_.end(),
                  smoothed.begin() + static_cast<std::ptrdiff_t>(row * channels));
        if (!accepted.empty()) {
            accepted[row] = ok ? 1 : 0;
        }
        acceptedRows += ok ? 1 : 0;
    }
    return acceptedRows;
}

void OneEuroFilterManager::reset() noexcept {
    // Rebuilds in place: the same parameters give the same fresh filter for every
    // channel, and the arrays keep their size, so nothing is allocated.
    std::fill(filters_.begin(), filters_.end(), freshFilter());
    std::fill(filteredValues_.begin(), filteredValues_.end(), 0.0);
    restartClock();
}

void OneEuroFilterManager::restartClock() noexcept {
    const detail::FilterTiming timing = filters_.front().timing();
    clock_ = {timing.freq, timing.te, timing.derivativeAlpha};
}

} // namespace pelto
