// The WebAssembly module's own entry points: the tuning component, its answers in the library's
// one JSON form, toJson() (the filter bank is reached through the C interface, <pelto/pelto.h>).
// Options arrive as flat arrays of doubles in the order of the *_OPTIONS lists of pelto.mjs;
// errors come back as {"error": "..."}.

#include <pelto/tuning/Tuning.hpp>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace {

using namespace pelto;

std::string answer; // the latest answer, read by JavaScript before the next call

const char* reply(std::string text) {
    answer = std::move(text);
    return answer.c_str();
}

tuning::MeasuringOptions measuringOf(const double* o) {
    return {.fastFactor = o[0], .stillFactor = o[1], .settleMs = o[2], .lagProgress = o[3]};
}

// The banks' choices: timestamp precision, derivative source, by their values.
tuning::BankChoices choicesOf(const double* c) {
    const auto raw = [](double v) -> std::int64_t { return v == 0.0 ? 0 : v == 1.0 ? 1 : -1; };
    const auto precision = fromRawValue<TimestampPrecision>(raw(c[0]));
    const auto derivative = fromRawValue<DerivativeSource>(raw(c[1]));
    if (!precision || !derivative) {
        throw std::invalid_argument("a bank choice is no case");
    }
    return {.precision = *precision, .derivative = *derivative};
}

// A grid's step count: a whole number the conversion can take.
std::size_t steps(double count) {
    if (!(count >= 0.0 && count <= 1e9) || std::trunc(count) != count) {
        throw std::invalid_argument("a step count must be a whole number from 0 to 1e9");
    }
    return static_cast<std::size_t>(count);
}

std::string errorJson(std::string_view message) {
    std::string text = R"({"error":")";
    for (const char c : message) {
        if (c == '"' || c == '\\') {
            text += '\\';
        }
        text += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
    return text + "\"}";
}

template <class Call> const char* guarded(const Call& call) {
    try {
        return reply(call());
    } catch (const std::exception& error) {
        return reply(errorJson(error.what()));
    }
}

} // namespace

extern "C" {

// measuring: fastFactor, stillFactor, settleMs, lagProgress. The answer is a report holding the
// profile and the movements only ("profile"); its other fields mean nothing.
const char* pelto_web_profile(const double* timestamps, std::size_t rows, const double* values,
                              std::size_t channels, const double* measuring) {
    return guarded([&] {
        const std::span<const double> t{timestamps, rows};
        const std::span<const double> v{values, rows * channels};
        tuning::TuningReport report;
        report.result.profile = tuning::profile(t, v, channels, measuringOf(measuring));
        report.movements = tuning::detectMovements(t, v, channels, measuringOf(measuring));
        return tuning::toJson(report);
    });
}

// parameters: freq, minCutOff, beta, dCutOff; measuring as above; choices: timestampPrecision,
// derivative. The answer is a report holding
// the measurement as its "defaults"; its other fields mean nothing.
const char* pelto_web_measure(const double* timestamps, std::size_t rows, const double* values,
                              std::size_t channels, const double* parameters,
                              const double* measuring, const double* choices) {
    return guarded([&] {
        const tuning::FilterParameters p{.freq = parameters[0],
                                         .minCutOff = parameters[1],
                                         .beta = parameters[2],
                                         .dCutOff = parameters[3]};
        tuning::TuningReport report;
        report.result.defaults =
            tuning::measure({timestamps, rows}, {values, rows * channels}, channels, p,
                            measuringOf(measuring), choicesOf(choices));
        return tuning::toJson(report);
    });
}

// options: measuring (4), hasMaxLag, maxLagMs, freq, dCutOff, minCutOffSteps, minCutOffLow,
// minCutOffHigh, betaSteps, boostLow, boostHigh; choices as above.
const char* pelto_web_tune(const double* timestamps, std::size_t rows, const double* values,
                           std::size_t channels, const double* options, const double* choices) {
    return guarded([&] {
        const double* o = options + 4;
        tuning::TuningOptions t{.measuring = measuringOf(options),
                                .minCutOffSteps = steps(o[4]),
                                .minCutOffLow = o[5],
                                .minCutOffHigh = o[6],
                                .betaSteps = steps(o[7]),
                                .boostLow = o[8],
                                .boostHigh = o[9],
                                .freq = o[2],
                                .dCutOff = o[3],
                                .threads = 1};
        if (o[0] != 0.0) {
            t.maxLagMs = o[1];
        }
        return tuning::toJson(tuning::tuneReport({timestamps, rows}, {values, rows * channels},
                                                 channels, t, choicesOf(choices)));
    });
}

} // extern "C"
