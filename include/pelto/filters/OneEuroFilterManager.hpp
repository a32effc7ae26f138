#pragma once

#include <pelto/Export.hpp>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pelto {

namespace detail {
class OneEuroFilterPair;
struct OneEuroFilterManagerAccess;
} // namespace detail

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

    OneEuroFilterManager(const OneEuroFilterManager& other);
    OneEuroFilterManager(OneEuroFilterManager&& other) noexcept;
    OneEuroFilterManager& operator=(const OneEuroFilterManager& other);
    OneEuroFilterManager& operator=(OneEuroFilterManager&& other) noexcept;
    ~OneEuroFilterManager();

    /// Smooths one sample: `val` holds one value per channel, `timestamp` is in
    /// milliseconds, truncated toward zero (-1 means "no timestamp"). Answers true
    /// when every channel was filtered.
    ///
    /// Answers false and changes nothing when `val` does not hold one value per
    /// channel, or when `timestamp` is not a finite number in [-2^63, 2^63).
    /// Answers false and resets the bank to its freshly built state (all values
    /// zero, the next sample passes through) when any channel's result is not
    /// finite, e.g. after a repeated timestamp or a NaN or infinite value.
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
        return filteredValues_;
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

    void swap(OneEuroFilterManager& other) noexcept;
    friend void swap(OneEuroFilterManager& a, OneEuroFilterManager& b) noexcept { a.swap(b); }

  private:
    friend struct detail::OneEuroFilterManagerAccess;

    // What every channel shares at a sample: the sampling frequency, its period
    // and the derivative alpha. At a steady rate the integer-millisecond
    // intervals alternate between two values, so the clocks of the two latest
    // intervals are kept, saving the divisions that produce them.
    struct Clock {
        double freq = 0.0;
        double period = 0.0;
        double derivativeAlpha = 0.0;
    };
    struct ClockMemo {
        std::array<std::uint64_t, 2> intervalBits{};
        std::array<Clock, 2> clocks{};
        std::size_t next = 0;
    };

    void reset() noexcept;
    void restartClock() noexcept;
    [[nodiscard]] detail::OneEuroFilterPair freshFilter() const noexcept;
    Clock clockForInterval(double interval) noexcept;

    // One filter per two channels; with an odd count, the last filter's second
    // lane is unused.
    std::vector<detail::OneEuroFilterPair> filters_;
    std::vector<double> filteredValues_;
    double freq_ = 0.0;
    double minCutOff_ = 0.0;
    double beta_ = 0.0;
    double dCutOff_ = 0.0;
    Clock clock_; // at the current frequency
    ClockMemo memo_;
};

} // namespace pelto
