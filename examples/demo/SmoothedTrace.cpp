#include "SmoothedTrace.hpp"

#include <pelto/filters/OneEuroFilterManager.hpp>

#include <algorithm>
#include <cstdint>
#include <span>
#include <utility>

namespace pelto::demo {

BankParameters BankParameters::defaults() noexcept {
    return {OneEuroFilterManager::DEFAULT_FREQUENCY, OneEuroFilterManager::DEFAULT_MIN_CUT_OFF,
            OneEuroFilterManager::DEFAULT_BETA, OneEuroFilterManager::DEFAULT_D_CUT_OFF};
}

std::size_t SmoothedTrace::refusedCount() const noexcept {
    return static_cast<std::size_t>(std::ranges::count_if(
        samples, [](const SmoothedSample& sample) { return !sample.accepted; }));
}

std::size_t SmoothedTrace::resetCount() const noexcept {
    return static_cast<std::size_t>(
        std::ranges::count_if(samples, [](const SmoothedSample& sample) { return sample.reset; }));
}

SmoothedTrace smoothTrace(const Trace& trace, const BankParameters& parameters) {
    OneEuroFilterManager bank(static_cast<std::int64_t>(trace.channelCount()), parameters.freq,
                              parameters.minCutOff, parameters.beta, parameters.dCutOff);
    SmoothedTrace result{parameters, {}};
    result.samples.reserve(trace.samples.size());
    for (const TraceSample& sample : trace.samples) {
        SmoothedSample answer;
        answer.accepted = bank.filterValues(sample.timestamp, sample.values);
        if (answer.accepted) {
            answer.values.assign(bank.filteredValues().begin(), bank.filteredValues().end());
        } else {
            const std::span<const double> after = bank.filteredValues();
            answer.reset = std::ranges::all_of(after, [](double value) { return value == 0.0; });
        }
        result.samples.push_back(std::move(answer));
    }
    return result;
}

} // namespace pelto::demo
