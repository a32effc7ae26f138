#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace pelto::demo {

/// One multi-channel sample: a timestamp in milliseconds and one value per channel. A missing
/// value (tracking lost) is NaN.
struct TraceSample {
    double timestamp = 0.0;
    std::vector<double> values;
};

/// A recording to smooth: every sample has one value per channel name.
struct Trace {
    std::string timestampName = "timestamp";
    std::vector<std::string> channelNames;
    std::vector<TraceSample> samples;

    [[nodiscard]] std::size_t channelCount() const noexcept { return channelNames.size(); }
};

} // namespace pelto::demo
