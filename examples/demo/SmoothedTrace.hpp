#pragma once

#include "Trace.hpp"

#include <cstddef>
#include <vector>

namespace pelto::demo {

/// The parameters of a filter bank, as handed to its constructor.
struct BankParameters {
    double freq = 0.0;
    double minCutOff = 0.0;
    double beta = 0.0;
    double dCutOff = 0.0;

    /// The bank's class constants.
    [[nodiscard]] static BankParameters defaults() noexcept;
};

/// What the bank answered for one sample.
struct SmoothedSample {
    bool accepted = false;      ///< filterValues() answered true
    bool reset = false;         ///< refused, and the bank's values are all zero afterwards
    std::vector<double> values; ///< getFilteredValues() after the sample; empty when refused
};

/// A trace run through one filter bank, one entry per sample of the trace.
struct SmoothedTrace {
    BankParameters parameters;
    std::vector<SmoothedSample> samples;

    [[nodiscard]] std::size_t refusedCount() const noexcept;
    [[nodiscard]] std::size_t resetCount() const noexcept;
};

/// Feeds every sample of `trace` in order to a fresh OneEuroFilterManager with one channel per
/// channel of the trace and the given parameters, and records its answers.
[[nodiscard]] SmoothedTrace smoothTrace(const Trace& trace, const BankParameters& parameters);

} // namespace pelto::demo
