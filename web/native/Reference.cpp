// Writes what the native library makes of a recording, as JSON on standard output, for the
// JavaScript package's tests to compare with the WebAssembly build bit for bit.
//
//   pelto-web-reference RECORDING MIN_CUT_OFF BETA [MAX_LAG_MS]
//
// RECORDING: little-endian doubles: rows, channels, the timestamps, then the values row-major.
// The output: the block call of a bank of `channels` channels with the other defaults
// ("smoothed", "accepted"), and measure, profile and tune (default options but the lag budget).

#include "ResultJson.hpp"

#include <pelto/filters/OneEuroFilterManager.hpp>
#include <pelto/tuning/Tuning.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

namespace {

std::vector<double> readDoubles(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<double> doubles(bytes.size() / sizeof(double));
    std::memcpy(doubles.data(), bytes.data(), doubles.size() * sizeof(double));
    return doubles;
}

int run(std::span<char*> args) {
    if (args.size() < 4) {
        std::cerr << "usage: pelto-web-reference RECORDING MIN_CUT_OFF BETA [MAX_LAG_MS]\n";
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
    if (args.size() > 4) {
        options.maxLagMs = std::stod(args[4]);
    }

    pelto::OneEuroFilterManager bank(static_cast<std::int64_t>(channels), parameters.freq,
                                     parameters.minCutOff, parameters.beta, parameters.dCutOff);
    std::vector<double> smoothed(values.size());
    std::vector<std::uint8_t> accepted(rows);
    bank.filterSamples(timestamps, values, smoothed, accepted);

    pelto::web::JsonWriter out;
    out.open('{');
    out.key("smoothed");
    out.numbers(smoothed);
    out.key("accepted");
    out.open('[');
    for (const std::uint8_t flag : accepted) {
        out.count(flag);
    }
    out.close(']');
    out.key("measure");
    write(out, pelto::tuning::measure(timestamps, values, channels, parameters));
    out.key("profile");
    write(out, pelto::tuning::profile(timestamps, values, channels));
    out.key("tune");
    write(out, pelto::tuning::tune(timestamps, values, channels, options));
    out.close('}');
    std::cout << out.text() << '\n';
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
