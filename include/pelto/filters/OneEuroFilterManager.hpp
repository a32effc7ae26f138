#pragma once

#include <pelto/Export.hpp>
#include <pelto/types/Enumerations.hpp>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace pelto {

namespace detail {
struct RowKernels;
} // namespace detail

namespace tuning {
struct FilterParameters;
} // namespace tuning

/// A bank of one-euro filters that smooths several channels sampled together,
/// such as the x and y of a gaze point: one filter per channel, all with the same
/// parameters, fed with the sample's common timestamp.
///
/// Results are exact: the same inputs give the same bits on every conforming
/// IEEE 754 target, and an N-channel bank gives what N one-channel banks give.
///
/// An ordinary value type: copyable (a copy continues exactly as the original)
/// and movable (a moved-from bank is empty). Not synchronised: one thread at a
/// time per bank.
class PELTO_EXPORT OneEuroFilterManager {
  public:
    static constexpr std::int64_t DEFAULT_COUNT = 2;
    static constexpr double DEFAULT_FREQUENCY = 30.0;  ///< Hz
    static constexpr double DEFAULT_MIN_CUT_OFF = 1.0; ///< Hz
    static constexpr double DEFAULT_BETA = 0.007;
    static constexpr double DEFAULT_D_CUT_OFF = 1.0; ///< Hz

    /// An empty bank: no filters. Every non-empty sample is refused and
    /// getFilteredValues() is empty.
    OneEuroFilterManager() noexcept;

    /// A bank of `count` channels. A count of zero or less gives DEFAULT_COUNT
    /// channels; a frequency or cutoff of zero or less gives its default. Beta is
    /// taken as given, whatever its sign. Throws std::length_error or
    /// std::bad_alloc when `count` channels cannot be allocated.
    OneEuroFilterManager(std::int64_t count, double freq, double minCutOff, double beta,
                         double dCutOff);

    /// The same, reading timestamps with `precision` and taking rates of change against
    /// `derivative`. With WHOLE_MILLISECONDS and RAW it is the bank above, bit for bit.
    OneEuroFilterManager(std::int64_t count, double freq, double minCutOff, double beta,
                         double dCutOff, TimestampPrecision precision,
                         DerivativeSource derivative = DerivativeSource::RAW);

    /// A bank of `count` channels with `parameters`, as the constructors above.
    OneEuroFilterManager(std::int64_t count, const tuning::FilterParameters& parameters,
                         TimestampPrecision precision = TimestampPrecision::WHOLE_MILLISECONDS,
                         DerivativeSource derivative = DerivativeSource::RAW);

    OneEuroFilterManager(const OneEuroFilterManager& other);
    OneEuroFilterManager(OneEuroFilterManager&& other) noexcept;
    OneEuroFilterManager& operator=(const OneEuroFilterManager& other);
    OneEuroFilterManager& operator=(OneEuroFilterManager&& other) noexcept;
    ~OneEuroFilterManager();

    /// Smooths one sample: `val` holds one value per channel, `timestamp` is in
    /// milliseconds (-1 means "no timestamp"), truncated toward zero unless the
    /// precision is EXACT. Answers true when every channel was filtered.
    ///
    /// Answers false and changes nothing when `val` does not hold one value per
    /// channel, or when `timestamp` is not a finite number (in [-2^63, 2^63) for
    /// WHOLE_MILLISECONDS). With EXACT, also when `timestamp` is not later than
    /// the previous sample's (unless either is -1): a repeated or out-of-order
    /// frame is dropped and the next sample continues smoothly.
    /// Answers false and resets the bank to its freshly built state (all values
    /// zero, the next sample passes through) when any channel's result is not
    /// finite, e.g. after a NaN or infinite value or, with WHOLE_MILLISECONDS, a
    /// repeated timestamp.
    ///
    /// Allocates nothing.
    bool filterValues(double timestamp, std::span<const double> val) noexcept;

    /// A copy of the latest smoothed value of every channel: zeros before the
    /// first accepted sample and after a reset.
    [[nodiscard]] std::vector<double> getFilteredValues() const;

    /// The latest smoothed value of every channel, as getFilteredValues() gives
    /// them, without a copy. The view stays valid until the bank's next non-const
    /// call.
    [[nodiscard]] std::span<const double> filteredValues() const noexcept {
        return {lanes_.data(), channels_};
    }

    /// Smooths a block of samples in one call: `timestamps` holds one timestamp
    /// per row, and `values` and `smoothed` hold one row of one value per channel
    /// per timestamp, row-major. Row i of `smoothed` and `accepted[i]` (1 accepted,
    /// 0 refused) are what filterValues(timestamps[i], row i) followed by
    /// filteredValues() give, so a recording smoothed in blocks split anywhere
    /// gives the same bits as one call and as per-sample calls. `accepted` may be
    /// empty when the flags are not wanted. Returns the number of accepted rows.
    ///
    /// Throws std::invalid_argument, naming the sizes, and changes neither the
    /// bank nor any buffer, when `values` or `smoothed` do not hold exactly rows ×
    /// channels values or `accepted` is neither empty nor one flag per row. An
    /// empty bank accepts no row. Allocates nothing.
    std::size_t filterSamples(std::span<const double> timestamps, std::span<const double> values,
                              std::span<double> smoothed, std::span<std::uint8_t> accepted);

    /// The number of channels; 0 for an empty bank.
    [[nodiscard]] std::size_t channelCount() const noexcept { return channels_; }
    /// The parameters in force: the constructor's, with invalid ones replaced by the defaults
    /// (all 0 for an empty bank).
    [[nodiscard]] double frequency() const noexcept { return freq_; }
    [[nodiscard]] double minCutOff() const noexcept { return minCutOff_; }
    [[nodiscard]] double beta() const noexcept { return beta_; }
    [[nodiscard]] double dCutOff() const noexcept { return dCutOff_; }
    /// The four parameters in force, as one value.
    [[nodiscard]] tuning::FilterParameters parameters() const noexcept;
    /// How the bank reads timestamps; WHOLE_MILLISECONDS unless chosen at construction.
    [[nodiscard]] TimestampPrecision timestampPrecision() const noexcept {
        return exactTimestamps_ ? TimestampPrecision::EXACT
                                : TimestampPrecision::WHOLE_MILLISECONDS;
    }
    /// What rates of change are taken against; RAW unless chosen at construction.
    [[nodiscard]] DerivativeSource derivativeSource() const noexcept {
        return filteredDerivative_ ? DerivativeSource::FILTERED : DerivativeSource::RAW;
    }

    /// The bank's running state: everything its next results depend on, as an opaque, versioned
    /// byte string that is the same on every platform. restoreState() puts it back into a bank
    /// built with the same count, parameters and choices, which then continues exactly as this
    /// one would. Empty for an empty bank. Throws std::bad_alloc.
    [[nodiscard]] std::vector<std::byte> saveState() const;

    /// Puts back a state that saveState() gave. Answers false and changes nothing when `state`
    /// was not saved from a bank of this count, these parameters (bit for bit) and choices, or is
    /// not a state at all.
    bool restoreState(std::span<const std::byte> state) noexcept;

    /// The instruction set the banks' per-channel work runs with in this process:
    /// "baseline" (x86-64's SSE2, or the portable code elsewhere), "avx2" or
    /// "avx512", the widest the CPU supports, chosen once. Every choice gives the
    /// same results bit for bit; only the speed differs. The environment variable
    /// PELTO_ISA, set to one of these names before the first sample, caps the choice.
    [[nodiscard]] static std::string_view instructionSet() noexcept;

    void swap(OneEuroFilterManager& other) noexcept;
    friend void swap(OneEuroFilterManager& a, OneEuroFilterManager& b) noexcept { a.swap(b); }

  private:
    // What every channel shares at a sample: the sampling frequency, its period
    // and the derivative alpha.
    struct Clock {
        double freq = 0.0;
        double period = 0.0;
        double derivativeAlpha = 0.0;
    };
    // The clock for an interval between timestamps, as the bits of the interval
    // in milliseconds. A NaN's bits, which no interval has, mark an empty slot.
    static constexpr std::uint64_t NO_INTERVAL = 0x7ff8'dead'0000'0000;
    struct ClockEntry {
        std::uint64_t intervalBits = NO_INTERVAL;
        Clock clock;
    };
    // Clocks of recent intervals, direct-mapped on the interval's low bits: a
    // camera's intervals jitter around a few rates, and each takes a slot.
    static constexpr std::size_t CLOCK_SLOTS = 64;

    // Private operations are never exported: they are no part of the interface.
    // Rows whose clocks a block call with exact timestamps works out together.
    static constexpr std::size_t CLOCKS_AHEAD = 16;

    PELTO_NO_EXPORT bool smoothRow(double timestamp, const double* val, double* out,
                                   const detail::RowKernels& kernels, double derivativeTau,
                                   const ClockEntry* ahead) noexcept;
    PELTO_NO_EXPORT void reset() noexcept;
    PELTO_NO_EXPORT const Clock& clockBetween(std::int64_t timestamp, std::int64_t last) noexcept;
    PELTO_NO_EXPORT const Clock& clockAfter(double interval, std::uint64_t slot) noexcept;
    PELTO_NO_EXPORT bool advanceClock(double timestamp, double derivativeTau,
                                      const ClockEntry* ahead) noexcept;
    PELTO_NO_EXPORT static void clocksAhead(std::span<const double> timestamps, double previous,
                                            double derivativeTau,
                                            std::array<ClockEntry, CLOCKS_AHEAD>& ahead) noexcept;

    // The channels' state, structure of arrays: the filtered values, the last
    // inputs, the signal alphas and the filtered rates of change, each array
    // rounded up to an even length.
    std::vector<double> lanes_;
    std::size_t channels_ = 0;
    double freq_ = 0.0;
    double minCutOff_ = 0.0;
    double beta_ = 0.0;
    double dCutOff_ = 0.0;
    // The state every channel's filter holds alike: fed the same timestamps,
    // the filters keep the same clock, and their derivative filters the same alpha.
    // With exact timestamps, lastTime_ holds the bits of the last timestamp (a
    // double), or -1, a NaN's bits, for none.
    std::int64_t lastTime_ = -1;
    bool started_ = false;
    // Construction choices, placed in what was padding so that the layout stays.
    bool exactTimestamps_ = false;
    bool filteredDerivative_ = false;
    double derivativeAlpha_ = 0.0; // in force in the derivative filters
    Clock clock_;                  // at the current frequency
    std::array<ClockEntry, CLOCK_SLOTS> clocks_;
};

namespace tuning {

/// The four parameters of a filter bank, as its constructor takes them; the class defaults unless
/// set. Frequencies in Hz.
struct FilterParameters {
    double freq = OneEuroFilterManager::DEFAULT_FREQUENCY;
    double minCutOff = OneEuroFilterManager::DEFAULT_MIN_CUT_OFF;
    double beta = OneEuroFilterManager::DEFAULT_BETA;
    double dCutOff = OneEuroFilterManager::DEFAULT_D_CUT_OFF;

    friend bool operator==(const FilterParameters&, const FilterParameters&) = default;
};

} // namespace tuning

/// The bank's parameters; the same type the tuning component measures and recommends.
using FilterParameters = tuning::FilterParameters;

inline OneEuroFilterManager::OneEuroFilterManager(std::int64_t count,
                                                  const FilterParameters& parameters,
                                                  TimestampPrecision precision,
                                                  DerivativeSource derivative)
    : OneEuroFilterManager(count, parameters.freq, parameters.minCutOff, parameters.beta,
                           parameters.dCutOff, precision, derivative) {}

inline FilterParameters OneEuroFilterManager::parameters() const noexcept {
    return {.freq = freq_, .minCutOff = minCutOff_, .beta = beta_, .dCutOff = dCutOff_};
}

} // namespace pelto
