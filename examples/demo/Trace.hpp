#pragma once

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

namespace pelto::demo {

/// A recording to smooth: samples of a timestamp in milliseconds and one value per channel
/// name. A missing value (tracking lost) is NaN. The values lie in one block, sample after
/// sample, so that a long recording costs little more than its numbers.
struct Trace {
    std::string timestampName = "timestamp";
    std::vector<std::string> channelNames;
    std::vector<double> timestamps; ///< one per sample
    std::vector<double> values;     ///< channelCount() per sample, sample after sample

    [[nodiscard]] std::size_t channelCount() const noexcept { return channelNames.size(); }
    [[nodiscard]] std::size_t sampleCount() const noexcept { return timestamps.size(); }

    /// The values of sample `index` (< sampleCount()), one per channel.
    [[nodiscard]] std::span<const double> sampleValues(std::size_t index) const noexcept {
        return std::span<const double>(values).subspan(index * channelCount(), channelCount());
    }

    /// Appends a sample; `sample` holds one value per channel.
    void addSample(double timestamp, std::span<const double> sample) {
        timestamps.push_back(timestamp);
        values.insert(values.end(), sample.begin(), sample.end());
    }
    void addSample(double timestamp, std::initializer_list<double> sample) {
        addSample(timestamp, std::span<const double>(sample.begin(), sample.size()));
    }
};

} // namespace pelto::demo
