// Writes what the native library makes of a recording, as JSON on standard output, for the
// JavaScript package's tests to compare with the WebAssembly build bit for bit.
//
//   pelto-web-reference RECORDING MIN_CUT_OFF BETA PRECISION DERIVATIVE [MAX_LAG_MS]
//
// RECORDING: little-endian doubles: rows, channels, the timestamps, then the values row-major.
// PRECISION and DERIVATIVE: the choices of the bank, and of measure's and tune's banks, by their
// texts (WHOLE_MILLISECONDS, EXACT; RAW, FILTERED). The output: the block call of a bank of
// `channels` channels with the other defaults
// ("smoothed", "accepted"), and measure, profile and tune (default options but the lag budget),
// each as toJson() writes a report: measure's as the "defaults" of one, profile's as the
// "profile" of one with the movements.

#include <pelto/filters/OneEuroFilterManager.hpp>
#include <pelto/tuning/Tuning.hpp>
#include <pelto/types/Enumerations.hpp>

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::vector<double> readDoubles(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<double> doubles(bytes.size() / sizeof(double));
    std::memcpy(doubles.data(), bytes.data(), doubles.size() * sizeof(double));
    return doubles;
}

template <class E> E choice(std::string_view text) {
    for (const E value : {E{0}, E{1}}) {
        if (pelto::description(value) == text) {
            return value;
        }
    }
    throw std::invalid_argument("unknown choice " + std::string(text));
}

void numbers(std::string& out, std::span<const double> values) {
    out += '[';
    for (std::size_t i = 0; i < values.size(); ++i) {
        out += i > 0 ? "," : "";
        std::array<char, 32> buffer{};
        auto* const end =
            std::to_chars(buffer.data(), buffer.data() + buffer.size(), values[i]).ptr;
        out += std::isfinite(values[i]) ? std::string(buffer.data(), end) : "null";
    }
    out += ']';
}

int run(std::span<char*> args) {
    if (args.size() < 6) {
        std::cerr << "usage: pelto-web-reference RECORDING MIN_CUT_OFF BETA PRECISION DERIVATIVE "
                     "[MAX_LAG_MS]\n";
        return 2;
    }
    const std::vector<double> file = readDoubles(args[1]);
    const auto rows = static_cast<std::size_t>(file.at(0));
    const auto channels = static_cast<std::size_t>(file.at(1));
    const std::span<const double> timestamps(file.data() + 2, rows);
    const std::span<const double> values(file.data() + 2 + rows, rows * channels);
    if (file.size() != 2 + rows * (channels + 1)) {
        std::cerr << "the recording's size does not match its header\n";
        return 2;
    }
    pelto::tuning::FilterParameters parameters;
    parameters.minCutOff = std::stod(args[2]);
    parameters.beta = std::stod(args[3]);
    pelto::tuning::TuningOptions options;
    if (args.size() > 6) {
        options.maxLagMs = std::stod(args[6]);
    }

    const pelto::tuning::BankChoices choices{
        .precision = choice<pelto::TimestampPrecision>(args[4]),
        .derivative = choice<pelto::DerivativeSource>(args[5])};
    pelto::OneEuroFilterManager bank(static_cast<std::int64_t>(channels), parameters.freq,
                                     parameters.minCutOff, parameters.beta, parameters.dCutOff,
                                     choices.precision, choices.derivative);
    std::vector<double> smoothed(values.size());
    std::vector<std::uint8_t> accepted(rows);
    bank.filterSamples(timestamps, values, smoothed, accepted);

    std::string out = R"({"smoothed":)";
    numbers(out, smoothed);
    out += R"(,"accepted":)";
    numbers(out, std::vector<double>(accepted.begin(), accepted.end()));
    pelto::tuning::TuningReport measured;
    measured.result.defaults =
        pelto::tuning::measure(timestamps, values, channels, parameters, {}, choices);
    out += R"(,"measure":)" + pelto::tuning::toJson(measured);
    pelto::tuning::TuningReport profiled;
    profiled.result.profile = pelto::tuning::profile(timestamps, values, channels);
    profiled.movements = pelto::tuning::detectMovements(timestamps, values, channels);
    out += R"(,"profile":)" + pelto::tuning::toJson(profiled);
    out += R"(,"tune":)" + pelto::tuning::toJson(pelto::tuning::tuneReport(
                               timestamps, values, channels, options, choices));
    std::cout << out << "}\n";
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run({argv, static_cast<std::size_t>(argc)});
    } catch (const std::exception& error) {
        std::cerr << "pelto-web-reference: " << error.what() << '\n';
        return 1;
    }
}
