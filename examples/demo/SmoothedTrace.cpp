#include "SmoothedTrace.hpp"

#include <pelto/filters/OneEuroFilterManager.hpp>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <span>

namespace pelto::demo {

BankParameters BankParameters::defaults() noexcept {
    return {FilterParameters{}, TimestampPrecision::EXACT, DerivativeSource::RAW};
}

std::size_t SmoothedTrace::refusedCount() const noexcept {
    return static_cast<std::size_t>(std::ranges::count_if(
        answers, [](std::uint8_t answer) { return (answer & ACCEPTED) == 0; }));
}

std::size_t SmoothedTrace::resetCount() const noexcept {
    return static_cast<std::size_t>(
        std::ranges::count_if(answers, [](std::uint8_t answer) { return (answer & RESET) != 0; }));
}

SmoothedTrace smoothTrace(const Trace& trace, const BankParameters& parameters) {
    const std::size_t channels = trace.channelCount();
    OneEuroFilterManager bank(static_cast<std::int64_t>(channels), parameters, parameters.precision,
                              parameters.derivative);
    SmoothedTrace result{parameters, channels, {}, {}};
    result.answers.reserve(trace.sampleCount());
    result.values.reserve(trace.values.size());
    for (std::size_t i = 0; i < trace.sampleCount(); ++i) {
        const bool accepted = bank.filterValues(trace.timestamps[i], trace.sampleValues(i));
        const std::span<const double> after = bank.filteredValues();
        if (accepted) {
            result.answers.push_back(SmoothedTrace::ACCEPTED);
            result.values.insert(result.values.end(), after.begin(), after.end());
        } else {
            const bool reset =
                std::ranges::all_of(after, [](double value) { return value == 0.0; });
            result.answers.push_back(reset ? SmoothedTrace::RESET : 0);
            result.values.insert(result.values.end(), channels,
                                 std::numeric_limits<double>::quiet_NaN());
        }
    }
    return result;
}

} // namespace pelto::demo
