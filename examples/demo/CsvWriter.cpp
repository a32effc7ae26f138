#include "CsvWriter.hpp"

#include "CsvReader.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <ostream>

namespace pelto::demo {
namespace {

// Enough for the longest shortest form, "-2.2250738585072014e-308".
using NumberBuffer = std::array<char, 32>;

std::string_view toText(NumberBuffer& buffer, double value) {
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return {buffer.data(), result.ptr};
}

void put(std::ostream& out, std::string_view text) {
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

} // namespace

std::string formatNumber(double value) {
    NumberBuffer buffer{};
    return std::string(toText(buffer, value));
}

std::string csvField(std::string_view name) {
    constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";
    const bool control = std::ranges::any_of(
        name, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == ',' || c == '"'; });
    const bool spaced = !name.empty() && (name.front() == ' ' || name.front() == '\t' ||
                                          name.back() == ' ' || name.back() == '\t');
    if (!control && !spaced && !name.starts_with(BYTE_ORDER_MARK) &&
        !parseNumber(name).has_value()) {
        return std::string(name);
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

void writeSmoothedCsv(std::ostream& out, const Trace& trace, const SmoothedTrace& smoothed) {
    put(out, csvField(trace.timestampName));
    put(out, ",accepted");
    for (const auto& name : trace.channelNames) {
        out.put(',');
        put(out, csvField(name));
    }
    for (const auto& name : trace.channelNames) {
        out.put(',');
        put(out, csvField(name + "_smoothed"));
    }
    out.put('\n');

    NumberBuffer buffer{};
    for (std::size_t i = 0; i < trace.sampleCount(); ++i) {
        const bool accepted = smoothed.accepted(i);
        put(out, toText(buffer, trace.timestamps[i]));
        put(out, accepted ? ",1" : ",0");
        for (const double value : trace.sampleValues(i)) {
            out.put(',');
            put(out, toText(buffer, value));
        }
        for (const double value : smoothed.sampleValues(i)) {
            out.put(',');
            if (accepted) {
                put(out, toText(buffer, value));
            }
        }
        out.put('\n');
    }
}

} // namespace pelto::demo
