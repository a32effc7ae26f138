#pragma once

#include "Trace.hpp"

#include <pelto/filters/OneEuroFilterManager.hpp>
#include <pelto/types/Enumerations.hpp>

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pelto::demo {

/// The parameters of a filter bank and its construction choices, as handed to its constructor.
/// The four parameters are the library's own FilterParameters.
struct BankParameters : FilterParameters {
    TimestampPrecision precision = TimestampPrecision::EXACT;
    DerivativeSource derivative = DerivativeSource::RAW;

    /// The bank's class constants, read with exact timestamps: a recording's clock is what it is.
    [[nodiscard]] static BankParameters defaults() noexcept;
};

/// A trace run through one filter bank: what the bank answered for each sample of the trace.
struct SmoothedTrace {
    BankParameters parameters;
    std::size_t channels = 0;
    /// Per sample: ACCEPTED when filterValues() answered true; RESET when it refused the sample
    /// and the bank's values were all zero afterwards.
    std::vector<std::uint8_t> answers;
    /// channels per sample: the bank's values after an accepted sample, NaN after a refused one.
    std::vector<double> values;

    static constexpr std::uint8_t ACCEPTED = 1;
    static constexpr std::uint8_t RESET = 2;

    [[nodiscard]] bool accepted(std::size_t index) const noexcept {
        return (answers[index] & ACCEPTED) != 0;
    }
    [[nodiscard]] std::span<const double> sampleValues(std::size_t index) const noexcept {
        return std::span<const double>(values).subspan(index * channels, channels);
    }
    [[nodiscard]] std::size_t refusedCount() const noexcept;
    [[nodiscard]] std::size_t resetCount() const noexcept;
};

/// Feeds every sample of `trace` in order to a fresh OneEuroFilterManager with one channel per
/// channel of the trace and the given parameters, and records its answers.
[[nodiscard]] SmoothedTrace smoothTrace(const Trace& trace, const BankParameters& parameters);

} // namespace pelto::demo
