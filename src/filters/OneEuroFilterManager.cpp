#include <pelto/filters/OneEuroFilterManager.hpp>

#include "filters/FilterBankKernels.hpp"
#include "filters/OneEuroFilter.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

namespace pelto {

namespace {

using detail::OneEuroFilter;

// Timestamps outside [-2^63, 2^63) (and NaN) cannot be truncated to int64.
constexpr double TIMESTAMP_LOWER_BOUND = -0x1p63;
constexpr double TIMESTAMP_UPPER_BOUND = 0x1p63;

// The channels' arrays: smoothed, raw, alpha, rate.
constexpr std::size_t CHANNEL_ARRAYS = 4;

double positiveOr(double value, double fallback) noexcept {
    return 0.0 >= value ? fallback : value;
}

// Channels rounded up to whole lane vectors.
std::size_t lanesFor(std::size_t channels) noexcept {
    return (channels + detail::LANES_PER_VECTOR - 1) / detail::LANES_PER_VECTOR *
           detail::LANES_PER_VECTOR;
}

// A saved state: the magic, then 64-bit words, least significant byte first: the format's
// version, what the bank is (channels, choices, parameters), the state every channel shares (last
// timestamp, started flag, derivative alpha in force, clock) and then each channel array
// (smoothed, raw, alpha, rate), one word per channel. The clock slots are not saved: they only
// cache what the derivative cutoff gives.
constexpr std::array<std::byte, 8> STATE_MAGIC{std::byte{'P'}, std::byte{'E'}, std::byte{'L'},
                                               std::byte{'T'}, std::byte{'O'}, std::byte{'B'},
                                               std::byte{'N'}, std::byte{'K'}};
constexpr std::uint64_t STATE_VERSION = 1;
constexpr std::size_t STATE_HEADER_WORDS = 14;

std::size_t stateSize(std::size_t channels) noexcept {
    return STATE_MAGIC.size() + 8 * (STATE_HEADER_WORDS + CHANNEL_ARRAYS * channels);
}

std::uint64_t bitsOf(double value) noexcept {
    return std::bit_cast<std::uint64_t>(value);
}

void putWord(std::byte*& at, std::uint64_t word) noexcept {
    for (int i = 0; i < 8; ++i) {
        *at++ = static_cast<std::byte>(word >> (8 * i));
    }
}

std::uint64_t takeWord(const std::byte*& at) noexcept {
    std::uint64_t word = 0;
    for (int i = 0; i < 8; ++i) {
        word |= std::to_integer<std::uint64_t>(*at++) << (8 * i);
    }
    return word;
}

} // namespace

OneEuroFilterManager::OneEuroFilterManager() noexcept = default;

OneEuroFilterManager::OneEuroFilterManager(std::int64_t count, double freq, double minCutOff,
                                           double beta, double dCutOff)
    : OneEuroFilterManager(count, freq, minCutOff, beta, dCutOff,
                           TimestampPrecision::WHOLE_MILLISECONDS) {}

OneEuroFilterManager::OneEuroFilterManager(std::int64_t count, double freq, double minCutOff,
                                           double beta, double dCutOff,
                                           TimestampPrecision precision,
                                           DerivativeSource derivative)
    : freq_(positiveOr(freq, DEFAULT_FREQUENCY))
    , minCutOff_(positiveOr(minCutOff, DEFAULT_MIN_CUT_OFF))
    , beta_(beta)
    , dCutOff_(positiveOr(dCutOff, DEFAULT_D_CUT_OFF))
    , exactTimestamps_(precision == TimestampPrecision::EXACT)
    , filteredDerivative_(derivative == DerivativeSource::FILTERED) {
    const auto channels = static_cast<std::size_t>(count > 0 ? count : DEFAULT_COUNT);
    if (channels > lanes_.max_size() / CHANNEL_ARRAYS - detail::LANES_PER_VECTOR) {
        throw std::length_error("OneEuroFilterManager: " + std::to_string(channels) +
                                " channels cannot be allocated");
    }
    lanes_.resize(CHANNEL_ARRAYS * lanesFor(channels));
    channels_ = channels;
    reset();
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
    swap(lanes_, other.lanes_);
    swap(channels_, other.channels_);
    swap(freq_, other.freq_);
    swap(minCutOff_, other.minCutOff_);
    swap(beta_, other.beta_);
    swap(dCutOff_, other.dCutOff_);
    swap(lastTime_, other.lastTime_);
    swap(started_, other.started_);
    swap(exactTimestamps_, other.exactTimestamps_);
    swap(filteredDerivative_, other.filteredDerivative_);
    swap(derivativeAlpha_, other.derivativeAlpha_);
    swap(clock_, other.clock_);
    swap(clocks_, other.clocks_);
}

// The clock after an interval, from its slot when the slot holds it, computed
// with the operations a single filter uses otherwise: either way the same bits.
inline const OneEuroFilterManager::Clock&
OneEuroFilterManager::clockAfter(double interval, std::uint64_t slot) noexcept {
    const auto bits = std::bit_cast<std::uint64_t>(interval);
    ClockEntry& entry = clocks_[slot % CLOCK_SLOTS];
    if (entry.intervalBits != bits) [[unlikely]] {
        const detail::FilterTiming timing =
            OneEuroFilter::timingAt(OneEuroFilter::frequencyFor(interval), dCutOff_);
        entry = {bits, {timing.freq, timing.te, timing.derivativeAlpha}};
    }
    return entry.clock;
}

// Whole milliseconds: the slot is the interval's low bits.
inline const OneEuroFilterManager::Clock&
OneEuroFilterManager::clockBetween(std::int64_t timestamp, std::int64_t last) noexcept {
    const std::uint64_t wrapped =
        static_cast<std::uint64_t>(timestamp) - static_cast<std::uint64_t>(last);
    return clockAfter(OneEuroFilter::timestampDifference(timestamp, last), wrapped);
}

// Records a sample's timestamp and re-estimates the clock, as every channel's
// filter would. Answers false, changing nothing, for a timestamp the bank refuses.
// With exact timestamps, `ahead` may hold the clock worked out beforehand for the
// interval this timestamp is expected to close.
inline bool OneEuroFilterManager::advanceClock(double timestamp, double derivativeTau,
                                               const ClockEntry* ahead) noexcept {
    if (exactTimestamps_) {
        if (!std::isfinite(timestamp)) {
            return false;
        }
        if (timestamp == -1.0) {
            lastTime_ = OneEuroFilter::NO_TIMESTAMP;
            return true;
        }
        if (lastTime_ != OneEuroFilter::NO_TIMESTAMP) {
            const auto last = std::bit_cast<double>(lastTime_);
            if (!(timestamp > last)) {
                return false;
            }
            const double interval = timestamp - last;
            if (ahead != nullptr && ahead->intervalBits == std::bit_cast<std::uint64_t>(interval)) {
                clock_ = ahead->clock;
            } else {
                // A jittery clock rarely repeats an interval to the bit: no slot would hold it.
                const detail::FilterTiming timing =
                    OneEuroFilter::timingWith(OneEuroFilter::frequencyFor(interval), derivativeTau);
                clock_ = {timing.freq, timing.te, timing.derivativeAlpha};
            }
        }
        lastTime_ = std::bit_cast<std::int64_t>(timestamp);
        return true;
    }
    if (!(timestamp >= TIMESTAMP_LOWER_BOUND && timestamp < TIMESTAMP_UPPER_BOUND)) {
        return false;
    }
    const auto t = static_cast<std::int64_t>(timestamp);
    if (t != OneEuroFilter::NO_TIMESTAMP && lastTime_ != OneEuroFilter::NO_TIMESTAMP) {
        clock_ = clockBetween(t, lastTime_);
    }
    lastTime_ = t;
    return true;
}

// One sample of channels_ values, after its length has been checked, through the
// kernels in force. An accepted sample's results also go to `out` unless it is null.
inline bool OneEuroFilterManager::smoothRow(double timestamp, const double* val, double* out,
                                            const detail::RowKernels& kernels, double derivativeTau,
                                            const ClockEntry* ahead) noexcept {
    // Every filter of the bank sees the same timestamps, so the frequency estimate,
    // the period and the derivative alpha are the same for all channels: they are
    // kept once, as a single filter computes them.
    if (!advanceClock(timestamp, derivativeTau, ahead)) {
        return false;
    }
    derivativeAlpha_ =
        detail::LowPassFilter::acceptedAlpha(clock_.derivativeAlpha, derivativeAlpha_);
    const std::size_t lanes = lanes_.size() / CHANNEL_ARRAYS;
    double* const arrays = lanes_.data();
    const detail::ChannelArrays state{arrays, arrays + lanes, arrays + 2 * lanes,
                                      arrays + 3 * lanes, lanes};
    const detail::SharedStep step{clock_.freq, clock_.period, derivativeAlpha_, beta_, minCutOff_};
    bool finite = false;
    if (channels_ < detail::NARROWEST_WIDE_VECTOR) {
        // Every variant runs these channels in pairs alone: inline, without a call.
        constexpr std::size_t PAIRS = detail::LANES_PER_VECTOR;
        if (!started_) {
            finite = detail::smoothChannels<false, false, PAIRS>(step, val, channels_, state, out);
        } else if (filteredDerivative_) {
            finite = detail::smoothChannels<true, true, PAIRS>(step, val, channels_, state, out);
        } else {
            finite = detail::smoothChannels<true, false, PAIRS>(step, val, channels_, state, out);
        }
    } else {
        const detail::RowKernel kernel = !started_             ? kernels.fresh
                                         : filteredDerivative_ ? kernels.startedFromFiltered
                                                               : kernels.started;
        finite = kernel(step, val, channels_, state, out);
    }
    started_ = true;
    if (!finite) [[unlikely]] {
        reset();
        return false;
    }
    return true;
}

bool OneEuroFilterManager::filterValues(double timestamp, std::span<const double> val) noexcept {
    if (val.size() != channels_ || channels_ == 0) {
        return false;
    }
    return smoothRow(timestamp, val.data(), nullptr, detail::rowKernels(),
                     OneEuroFilter::timeConstant(dCutOff_), nullptr);
}

std::vector<double> OneEuroFilterManager::getFilteredValues() const {
    const std::span<const double> values = filteredValues();
    return {values.begin(), values.end()};
}

std::size_t OneEuroFilterManager::filterSamples(std::span<const double> timestamps,
                                                std::span<const double> values,
                                                std::span<double> smoothed,
                                                std::span<std::uint8_t> accepted) {
    const std::size_t rows = timestamps.size();
    const std::size_t channels = channels_;
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
    if (channels == 0) {
        std::fill(accepted.begin(), accepted.end(), std::uint8_t{0});
        return 0;
    }
    const std::size_t rowBytes = channels * sizeof(double);
    const detail::RowKernels& kernels = detail::rowKernels();
    const double derivativeTau = OneEuroFilter::timeConstant(dCutOff_);
    std::array<ClockEntry, CLOCKS_AHEAD> ahead;
    for (std::size_t row = 0; row < rows; ++row) {
        const std::size_t slot = row % CLOCKS_AHEAD;
        if (exactTimestamps_ && slot == 0) {
            const double previous = lastTime_ != OneEuroFilter::NO_TIMESTAMP
                                        ? std::bit_cast<double>(lastTime_)
                                        : std::numeric_limits<double>::quiet_NaN();
            clocksAhead(timestamps.subspan(row, std::min(CLOCKS_AHEAD, rows - row)), previous,
                        derivativeTau, ahead);
        }
        double* const out = smoothed.data() + row * channels;
        const bool ok = smoothRow(timestamps[row], values.data() + row * channels, out, kernels,
                                  derivativeTau, exactTimestamps_ ? &ahead[slot] : nullptr);
        if (!ok) [[unlikely]] {
            // Unchanged by a refused timestamp, or zeros after a reset.
            std::memcpy(out, lanes_.data(), rowBytes);
        }
        if (!accepted.empty()) {
            accepted[row] = ok ? 1 : 0;
        }
        acceptedRows += ok ? 1 : 0;
    }
    return acceptedRows;
}

std::vector<std::byte> OneEuroFilterManager::saveState() const {
    if (channels_ == 0) {
        return {};
    }
    std::vector<std::byte> state(stateSize(channels_));
    std::byte* at = std::copy(STATE_MAGIC.begin(), STATE_MAGIC.end(), state.data());
    for (const std::uint64_t word :
         {STATE_VERSION, std::uint64_t{channels_}, std::uint64_t{exactTimestamps_},
          std::uint64_t{filteredDerivative_}, bitsOf(freq_), bitsOf(minCutOff_), bitsOf(beta_),
          bitsOf(dCutOff_), static_cast<std::uint64_t>(lastTime_), std::uint64_t{started_},
          bitsOf(derivativeAlpha_), bitsOf(clock_.freq), bitsOf(clock_.period),
          bitsOf(clock_.derivativeAlpha)}) {
        putWord(at, word);
    }
    const std::size_t lanes = lanes_.size() / CHANNEL_ARRAYS;
    for (std::size_t array = 0; array < CHANNEL_ARRAYS; ++array) {
        for (std::size_t channel = 0; channel < channels_; ++channel) {
            putWord(at, bitsOf(lanes_[array * lanes + channel]));
        }
    }
    return state;
}

bool OneEuroFilterManager::restoreState(std::span<const std::byte> state) noexcept {
    if (channels_ == 0 || state.size() != stateSize(channels_) ||
        !std::equal(STATE_MAGIC.begin(), STATE_MAGIC.end(), state.begin())) {
        return false;
    }
    const std::byte* at = state.data() + STATE_MAGIC.size();
    std::array<std::uint64_t, STATE_HEADER_WORDS> header{};
    for (std::uint64_t& word : header) {
        word = takeWord(at);
    }
    const std::array<std::uint64_t, 8> identity{STATE_VERSION,
                                                std::uint64_t{channels_},
                                                std::uint64_t{exactTimestamps_},
                                                std::uint64_t{filteredDerivative_},
                                                bitsOf(freq_),
                                                bitsOf(minCutOff_),
                                                bitsOf(beta_),
                                                bitsOf(dCutOff_)};
    if (!std::equal(identity.begin(), identity.end(), header.begin()) || header[9] > 1) {
        return false;
    }
    lastTime_ = static_cast<std::int64_t>(header[8]);
    started_ = header[9] != 0;
    derivativeAlpha_ = std::bit_cast<double>(header[10]);
    clock_ = {std::bit_cast<double>(header[11]), std::bit_cast<double>(header[12]),
              std::bit_cast<double>(header[13])};
    const std::size_t lanes = lanes_.size() / CHANNEL_ARRAYS;
    for (std::size_t array = 0; array < CHANNEL_ARRAYS; ++array) {
        double* const values = lanes_.data() + array * lanes;
        for (std::size_t channel = 0; channel < channels_; ++channel) {
            values[channel] = std::bit_cast<double>(takeWord(at));
        }
        // An odd count's padding lane repeats the last channel.
        std::fill(values + channels_, values + lanes, values[channels_ - 1]);
    }
    return true;
}

// The clocks of the intervals that `timestamps` close, each after the one before it (the first
// after `previous`), two at a time: each lane does what timingWith does, and a jittery clock's
// intervals are new to the bit, so pairs of independent divisions save half their wait.
void OneEuroFilterManager::clocksAhead(std::span<const double> timestamps, double previous,
                                       double derivativeTau,
                                       std::array<ClockEntry, CLOCKS_AHEAD>& ahead) noexcept {
    using detail::DoublePair;
    for (std::size_t k = 0; k < timestamps.size(); k += 2) {
        const double first = timestamps[k];
        const double second = k + 1 < timestamps.size() ? timestamps[k + 1] : first;
        const DoublePair interval =
            DoublePair{first, second} - DoublePair{k == 0 ? previous : timestamps[k - 1], first};
        const DoublePair freq = OneEuroFilter::MILLISECONDS_PER_SECOND / interval;
        const DoublePair te = 1.0 / freq;
        const DoublePair alpha = 1.0 / (derivativeTau / te + 1.0);
        for (std::size_t lane = 0; lane < 2 && k + lane < timestamps.size(); ++lane) {
            ahead[k + lane] = {std::bit_cast<std::uint64_t>(interval[lane]),
                               {freq[lane], te[lane], alpha[lane]}};
        }
    }
}

std::string_view OneEuroFilterManager::instructionSet() noexcept {
    return detail::nameOf(detail::rowKernels().instructionSet);
}

void OneEuroFilterManager::reset() noexcept {
    // Back to the freshly built state in place, from a filter built with the
    // bank's parameters: the arrays keep their size, so nothing is allocated. The
    // clock slots stay: they depend on the derivative cutoff alone.
    const OneEuroFilter fresh(freq_, minCutOff_, beta_, dCutOff_);
    const std::size_t lanes = lanes_.size() / CHANNEL_ARRAYS;
    std::fill(lanes_.begin(), lanes_.end(), 0.0);
    std::fill_n(lanes_.begin() + static_cast<std::ptrdiff_t>(2 * lanes),
                static_cast<std::ptrdiff_t>(lanes), fresh.signalFilter().a());
    derivativeAlpha_ = fresh.derivativeFilter().a();
    lastTime_ = fresh.lasttime();
    started_ = false;
    const detail::FilterTiming timing = fresh.timing();
    clock_ = {timing.freq, timing.te, timing.derivativeAlpha};
}

} // namespace pelto
