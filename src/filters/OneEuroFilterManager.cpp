#include <pelto/filters/OneEuroFilterManager.hpp>

#include "filters/OneEuroFilter.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <utility>

namespace pelto {

namespace {

// Timestamps outside [-2^63, 2^63) (and NaN) cannot be truncated to int64.
constexpr double TIMESTAMP_LOWER_BOUND = -0x1p63;
constexpr double TIMESTAMP_UPPER_BOUND = 0x1p63;

double positiveOr(double value, double fallback) noexcept {
    return 0.0 >= value ? fallback : value;
}

} // namespace

OneEuroFilterManager::OneEuroFilterManager() noexcept = default;

OneEuroFilterManager::OneEuroFilterManager(std::int64_t count, double freq, double minCutOff,
                                           double beta, double dCutOff)
    : count_(count > 0 ? count : DEFAULT_COUNT)
    , freq_(positiveOr(freq, DEFAULT_FREQUENCY))
    , minCutOff_(positiveOr(minCutOff, DEFAULT_MIN_CUT_OFF))
    , beta_(beta)
    , dCutOff_(positiveOr(dCutOff, DEFAULT_D_CUT_OFF)) {
    // The larger array first, so that a count too large to hold fails before
    // anything has been written.
    const auto channels = static_cast<std::size_t>(count_);
    filters_.assign(channels, detail::OneEuroFilter(freq_, minCutOff_, beta_, dCutOff_));
    filteredValues_.assign(channels, 0.0);
    const detail::OneEuroFilter::Timing timing = filters_.front().timing();
    timing_.freqBits.fill(std::bit_cast<std::uint64_t>(filters_.front().freq()));
    timing_.period.fill(timing.te);
    timing_.derivativeAlpha.fill(timing.derivativeAlpha);
}

OneEuroFilterManager::OneEuroFilterManager(const OneEuroFilterManager& other) = default;

OneEuroFilterManager::OneEuroFilterManager(OneEuroFilterManager&& other) noexcept
    : OneEuroFilterManager() {
    swap(other);
}

OneEuroFilterManager& OneEuroFilterManager::operator=(const OneEuroFilterManager& other) = default;

OneEuroFilterManager& OneEuroFilterManager::operator=(OneEuroFilterManager&& other) noexcept {
    OneEuroFilterManager(std::move(other)).swap(*this);
    return *this;
}

OneEuroFilterManager::~OneEuroFilterManager() = default;

void OneEuroFilterManager::swap(OneEuroFilterManager& other) noexcept {
    using std::swap;
    swap(filters_, other.filters_);
    swap(filteredValues_, other.filteredValues_);
    swap(count_, other.count_);
    swap(freq_, other.freq_);
    swap(minCutOff_, other.minCutOff_);
    swap(beta_, other.beta_);
    swap(dCutOff_, other.dCutOff_);
    swap(timing_, other.timing_);
}

bool OneEuroFilterManager::filterValues(double timestamp, std::span<const double> val) noexcept {
    const std::size_t channels = filters_.size();
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
    detail::OneEuroFilter& lead = filters_.front();
    lead.advanceClock(t);
    const auto key = std::bit_cast<std::uint64_t>(lead.freq());
    if (key != timing_.freqBits[0] && key != timing_.freqBits[1]) [[unlikely]] {
        const detail::OneEuroFilter::Timing timing = lead.timing();
        const std::size_t slot = timing_.next;
        timing_.next ^= 1U;
        timing_.freqBits[slot] = key;
        timing_.period[slot] = timing.te;
        timing_.derivativeAlpha[slot] = timing.derivativeAlpha;
    }
    const std::size_t slot = key == timing_.freqBits[1] ? 1 : 0;
    const double period = timing_.period[slot];
    const double derivativeAlpha = timing_.derivativeAlpha[slot];

    bool finite = true;
    for (std::size_t i = 0; i < channels; ++i) {
        detail::OneEuroFilter& filter = filters_[i];
        filter.followClock(lead);
        const double cutoff = filter.cutoff(val[i], derivativeAlpha);
        const double result =
            filter.smooth(val[i], detail::OneEuroFilter::alphaFor(cutoff, period));
        filteredValues_[i] = result;
        finite &= std::isfinite(result);
    }
    if (!finite) {
        reset();
        return false;
    }
    return true;
}

std::vector<double> OneEuroFilterManager::getFilteredValues() const {
    return filteredValues_;
}

void OneEuroFilterManager::reset() noexcept {
    // Rebuilds in place: the same parameters give the same fresh filter for every
    // channel, and the arrays keep their size, so nothing is allocated.
    std::fill(filters_.begin(), filters_.end(),
              detail::OneEuroFilter(freq_, minCutOff_, beta_, dCutOff_));
    std::fill(filteredValues_.begin(), filteredValues_.end(), 0.0);
}

} // namespace pelto
