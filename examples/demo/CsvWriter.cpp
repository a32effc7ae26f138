#include "CsvWriter.hpp"

#include <array>
#include <charconv>
#include <cstddef>

namespace pelto::demo {

std::string formatNumber(double value) {
    // Enough for the longest shortest form, "-2.2250738585072014e-308".
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return {buffer.data(), result.ptr};
}

std::string csvField(const std::string& name) {
    const bool needsQuotes = name.find_first_of(",\"") != std::string::npos ||
                             (!name.empty() && (name.front() == ' ' || name.back() == ' '));
    if (!needsQuotes) {
        return name;
    }
    std::string field = "\"";
    for (const char c : name) {
        field.push_back(c);
        if (c == '"') {
            field.push_back('"');
        }
    }
    return field + "\"";
}

std::string formatSmoothedCsv(const Trace& trace, const SmoothedTrace& smoothed) {
    std::string text = csvField(trace.timestampName) + ",accepted";
    for (const auto& name : trace.channelNames) {
        text += ',';
        text += csvField(name);
    }
    for (const auto& name : trace.channelNames) {
        text += ',';
        text += csvField(name + "_smoothed");
    }
    text += '\n';

    for (std::size_t i = 0; i < trace.samples.size(); ++i) {
        const TraceSample& sample = trace.samples[i];
        const SmoothedSample& answer = smoothed.samples.at(i);
        text += formatNumber(sample.timestamp);
        text += answer.accepted ? ",1" : ",0";
        for (const double value : sample.values) {
            text += ',';
            text += formatNumber(value);
        }
        for (std::size_t channel = 0; channel < trace.channelCount(); ++channel) {
            text += ',';
            if (answer.accepted) {
                text += formatNumber(answer.values.at(channel));
            }
        }
        text += '\n';
    }
    return text;
}

} // namespace pelto::demo
