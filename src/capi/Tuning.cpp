// The tuning component in C: options and results converted member for member.

#include <pelto/pelto.h>

#include <pelto/Version.hpp>
#include <pelto/platform/BundleRegistry.hpp>
#include <pelto/platform/MainQueue.hpp>
#include <pelto/tuning/Tuning.hpp>
#include <pelto/types/Enumerations.hpp>

#include "capi/Handles.hpp"
#include "capi/Support.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <exception>
#include <limits>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pelto::capi {
namespace {

pelto::tuning::TuningOptions tuningOptionsOf(const pelto_tuning_options& c) {
    pelto::tuning::TuningOptions options;
    options.measuring = {.fastFactor = c.fast_factor,
                         .stillFactor = c.still_factor,
                         .settleMs = c.settle_ms,
                         .lagProgress = c.lag_progress};
    if (!std::isnan(c.max_lag_ms)) {
        options.maxLagMs = c.max_lag_ms;
    }
    options.minCutOffSteps = c.min_cut_off_steps;
    options.minCutOffLow = c.min_cut_off_low;
    options.minCutOffHigh = c.min_cut_off_high;
    options.betaSteps = c.beta_steps;
    options.boostLow = c.boost_low;
    options.boostHigh = c.boost_high;
    options.freq = c.freq;
    options.dCutOff = c.d_cut_off;
    options.threads = c.threads;
    return options;
}

// A caller's options, members past its size filled with the defaults; none when its size is
// less than the first release's or a choice is no case.
std::optional<pelto_tuning_options> readOptions(const pelto_tuning_options* options) noexcept {
    pelto_tuning_options read;
    pelto_tuning_options_init(&read);
    if (options != nullptr) {
        if (options->size < offsetof(pelto_tuning_options, timestamp_precision)) {
            return std::nullopt;
        }
        std::memcpy(&read, options, std::min(options->size, sizeof read));
    }
    if (!pelto::fromRawValue<pelto::TimestampPrecision>(read.timestamp_precision) ||
        !pelto::fromRawValue<pelto::DerivativeSource>(read.derivative_source)) {
        return std::nullopt;
    }
    return read;
}

pelto::tuning::BankChoices choicesOf(const pelto_tuning_options& c) noexcept {
    return {static_cast<pelto::TimestampPrecision>(c.timestamp_precision),
            static_cast<pelto::DerivativeSource>(c.derivative_source)};
}

// The checks pelto_tune makes of a recording and its options.
bool acceptable(const double* timestamps, size_t rows, const double* values, size_t channels,
                const pelto_tuning_options* options) noexcept {
    return readOptions(options).has_value() && channels != 0 && rows <= SIZE_MAX / channels &&
           (rows == 0 || (timestamps != nullptr && values != nullptr));
}

pelto_tuning_measurement measurementOf(const pelto::tuning::Measurement& m) noexcept {
    return {.freq = m.parameters.freq,
            .min_cut_off = m.parameters.minCutOff,
            .beta = m.parameters.beta,
            .d_cut_off = m.parameters.dCutOff,
            .samples = m.samples,
            .refused = m.refused,
            .still_steps = m.stillSteps,
            .movements = m.movements,
            .lags_measured = m.lagsMeasured,
            .lags_censored = m.lagsCensored,
            .raw_jitter = m.rawJitter,
            .smoothed_jitter = m.smoothedJitter,
            .jitter_ratio = m.jitterRatio,
            .mean_lag_ms = m.meanLagMs,
            .median_lag_ms = m.medianLagMs,
            .max_lag_ms = m.maxLagMs};
}

} // namespace
} // namespace pelto::capi

extern "C" {

// Tuning

const char* pelto_tuning_status_text(int64_t status) noexcept {
    // Every text is a string literal, so NUL-terminated.
    return pelto::tuning::statusText(static_cast<pelto::tuning::TuningStatus>(status)).data();
}
bool pelto_tuning_status_is_valid(int64_t raw_value) noexcept {
    return pelto::capi::isValid<pelto::tuning::TuningStatus>(raw_value);
}
const char* pelto_tuning_status_description(int64_t raw_value) noexcept {
    return pelto::capi::descriptionOf<pelto::tuning::TuningStatus>(raw_value);
}

void pelto_tuning_options_init(pelto_tuning_options* options) noexcept {
    if (options == nullptr) {
        return;
    }
    const pelto::tuning::TuningOptions defaults;
    *options = {.size = sizeof(pelto_tuning_options),
                .max_lag_ms = std::numeric_limits<double>::quiet_NaN(),
                .min_cut_off_steps = defaults.minCutOffSteps,
                .min_cut_off_low = defaults.minCutOffLow,
                .min_cut_off_high = defaults.minCutOffHigh,
                .beta_steps = defaults.betaSteps,
                .boost_low = defaults.boostLow,
                .boost_high = defaults.boostHigh,
                .freq = defaults.freq,
                .d_cut_off = defaults.dCutOff,
                .threads = defaults.threads,
                .fast_factor = defaults.measuring.fastFactor,
                .still_factor = defaults.measuring.stillFactor,
                .settle_ms = defaults.measuring.settleMs,
                .lag_progress = defaults.measuring.lagProgress,
                .timestamp_precision = pelto::rawValue(pelto::tuning::BankChoices{}.precision),
                .derivative_source = pelto::rawValue(pelto::tuning::BankChoices{}.derivative)};
}

bool pelto_tune(const double* timestamps, size_t rows, const double* values, size_t channels,
                const pelto_tuning_options* options, pelto_tuning_result* result) noexcept {
    if (result == nullptr || result->size < sizeof(pelto_tuning_result) ||
        !pelto::capi::acceptable(timestamps, rows, values, channels, options) ||
        (result->front == nullptr && result->front_capacity != 0)) {
        return false;
    }
    try {
        const pelto_tuning_options read = *pelto::capi::readOptions(options);
        const pelto::tuning::TuningResult tuned =
            pelto::tuning::tune(std::span<const double>(timestamps, rows),
                                std::span<const double>(values, rows * channels), channels,
                                pelto::capi::tuningOptionsOf(read), pelto::capi::choicesOf(read));
        result->status = pelto::rawValue(tuned.status);
        result->status_text = pelto_tuning_status_text(result->status);
        result->front_count = tuned.front.size();
        for (size_t i = 0; i < std::min(tuned.front.size(), result->front_capacity); ++i) {
            result->front[i] = pelto::capi::measurementOf(tuned.front[i]);
        }
        result->max_lag_ms = tuned.maxLagMs;
        result->sample_period_ms = tuned.profile.samplePeriodMs;
        result->median_speed = tuned.profile.medianSpeed;
        result->movement_speed = tuned.profile.movementSpeed;
        result->has_recommendation = tuned.recommendation.has_value();
        pelto::tuning::Measurement none;
        none.parameters = {.freq = pelto::tuning::NOT_MEASURED,
                           .minCutOff = pelto::tuning::NOT_MEASURED,
                           .beta = pelto::tuning::NOT_MEASURED,
                           .dCutOff = pelto::tuning::NOT_MEASURED};
        result->recommendation = pelto::capi::measurementOf(tuned.recommendation.value_or(none));
        result->defaults = pelto::capi::measurementOf(tuned.defaults);
        return true;
    } catch (...) {
        return false;
    }
}

bool pelto_tuning_movements(const double* timestamps, size_t rows, const double* values,
                            size_t channels, const pelto_tuning_options* options,
                            pelto_tuning_movement* movements, size_t capacity,
                            size_t* count) noexcept {
    if (count == nullptr || (movements == nullptr && capacity != 0) ||
        !pelto::capi::acceptable(timestamps, rows, values, channels, options)) {
        return false;
    }
    try {
        const std::vector<pelto::tuning::DetectedMovement> found = pelto::tuning::detectMovements(
            std::span<const double>(timestamps, rows),
            std::span<const double>(values, rows * channels), channels,
            pelto::capi::tuningOptionsOf(*pelto::capi::readOptions(options)).measuring);
        for (size_t i = 0; i < std::min(found.size(), capacity); ++i) {
            movements[i] = {.start_ms = found[i].startMs,
                            .end_ms = found[i].endMs,
                            .amplitude = found[i].amplitude,
                            .peak_speed = found[i].peakSpeed};
        }
        *count = found.size();
        return true;
    } catch (...) {
        return false;
    }
}

bool pelto_tune_json(const double* timestamps, size_t rows, const double* values, size_t channels,
                     const pelto_tuning_options* options, char* buffer, size_t capacity,
                     size_t* length) noexcept {
    if (length == nullptr || (buffer == nullptr && capacity != 0) ||
        !pelto::capi::acceptable(timestamps, rows, values, channels, options)) {
        return false;
    }
    try {
        const pelto_tuning_options read = *pelto::capi::readOptions(options);
        const std::string json = pelto::tuning::toJson(pelto::tuning::tuneReport(
            std::span<const double>(timestamps, rows),
            std::span<const double>(values, rows * channels), channels,
            pelto::capi::tuningOptionsOf(read), pelto::capi::choicesOf(read)));
        if (json.size() < capacity) {
            std::copy_n(json.c_str(), json.size() + 1, buffer);
        }
        *length = json.size();
        return true;
    } catch (...) {
        return false;
    }
}

} // extern "C"
