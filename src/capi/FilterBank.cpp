// The filter bank in C.

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

using pelto::capi::makeHandle;

extern "C" {

// Filter bank

pelto_one_euro_filter_manager* pelto_one_euro_filter_manager_create(int64_t count, double freq,
                                                                    double min_cut_off, double beta,
                                                                    double d_cut_off) noexcept {
    return makeHandle<pelto_one_euro_filter_manager>(count, freq, min_cut_off, beta, d_cut_off);
}

void pelto_filter_options_init(pelto_filter_options* options) noexcept {
    if (options != nullptr) {
        *options = {.size = sizeof(pelto_filter_options),
                    .timestamp_precision = PELTO_TIMESTAMP_PRECISION_WHOLE_MILLISECONDS,
                    .derivative_source = PELTO_DERIVATIVE_SOURCE_RAW};
    }
}

pelto_one_euro_filter_manager*
pelto_one_euro_filter_manager_create_with_options(int64_t count, double freq, double min_cut_off,
                                                  double beta, double d_cut_off,
                                                  const pelto_filter_options* options) noexcept {
    pelto_filter_options chosen{};
    pelto_filter_options_init(&chosen);
    if (options != nullptr) {
        // Its first release is this one: a later, longer struct brings members unknown here.
        if (options->size < sizeof chosen) {
            return nullptr;
        }
        std::memcpy(&chosen, options, sizeof chosen);
    }
    const std::optional<pelto::TimestampPrecision> precision =
        pelto::fromRawValue<pelto::TimestampPrecision>(chosen.timestamp_precision);
    const std::optional<pelto::DerivativeSource> derivative =
        pelto::fromRawValue<pelto::DerivativeSource>(chosen.derivative_source);
    if (!precision || !derivative) {
        return nullptr;
    }
    return makeHandle<pelto_one_euro_filter_manager>(count, freq, min_cut_off, beta, d_cut_off,
                                                     *precision, *derivative);
}

bool pelto_one_euro_filter_manager_get_parameters(const pelto_one_euro_filter_manager* bank,
                                                  pelto_filter_parameters* parameters) noexcept {
    if (bank == nullptr || parameters == nullptr) {
        return false;
    }
    const pelto::OneEuroFilterManager& b = bank->bank;
    *parameters = {.count = static_cast<int64_t>(b.channelCount()),
                   .freq = b.frequency(),
                   .min_cut_off = b.minCutOff(),
                   .beta = b.beta(),
                   .d_cut_off = b.dCutOff(),
                   .timestamp_precision = pelto::rawValue(b.timestampPrecision()),
                   .derivative_source = pelto::rawValue(b.derivativeSource())};
    return true;
}

size_t pelto_one_euro_filter_manager_save_state(const pelto_one_euro_filter_manager* bank,
                                                void* buffer, size_t capacity) noexcept {
    if (bank == nullptr) {
        return 0;
    }
    try {
        const std::vector<std::byte> state = bank->bank.saveState();
        if (buffer != nullptr && state.size() <= capacity) {
            std::memcpy(buffer, state.data(), state.size());
        }
        return state.size();
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

bool pelto_one_euro_filter_manager_restore_state(pelto_one_euro_filter_manager* bank,
                                                 const void* state, size_t size) noexcept {
    if (bank == nullptr || state == nullptr) {
        return false;
    }
    return bank->bank.restoreState(std::span(static_cast<const std::byte*>(state), size));
}

pelto_one_euro_filter_manager* pelto_one_euro_filter_manager_create_empty(void) noexcept {
    return makeHandle<pelto_one_euro_filter_manager>();
}

pelto_one_euro_filter_manager*
pelto_one_euro_filter_manager_clone(const pelto_one_euro_filter_manager* bank) noexcept {
    return bank != nullptr ? makeHandle<pelto_one_euro_filter_manager>(bank->bank) : nullptr;
}

void pelto_one_euro_filter_manager_destroy(pelto_one_euro_filter_manager* bank) noexcept {
    const std::unique_ptr<pelto_one_euro_filter_manager> owned(bank);
}

bool pelto_one_euro_filter_manager_filter_values(pelto_one_euro_filter_manager* bank,
                                                 double timestamp, const double* val,
                                                 size_t count) noexcept {
    if (bank == nullptr || (val == nullptr && count != 0)) {
        return false;
    }
    return bank->bank.filterValues(timestamp, std::span<const double>(val, count));
}

size_t pelto_one_euro_filter_manager_get_filtered_values(const pelto_one_euro_filter_manager* bank,
                                                         double* values, size_t capacity) noexcept {
    if (bank == nullptr) {
        return 0;
    }
    const std::span<const double> filtered = bank->bank.filteredValues();
    if (values != nullptr) {
        std::copy_n(filtered.begin(), std::min(filtered.size(), capacity), values);
    }
    return filtered.size();
}

size_t pelto_one_euro_filter_manager_filter_samples(pelto_one_euro_filter_manager* bank,
                                                    const double* timestamps, size_t rows,
                                                    const double* values, size_t channels,
                                                    double* smoothed, uint8_t* accepted) noexcept {
    if (bank == nullptr || channels != bank->bank.filteredValues().size()) {
        return PELTO_FILTER_SAMPLES_INVALID;
    }
    if (rows == 0) {
        return 0;
    }
    if (timestamps == nullptr || values == nullptr || smoothed == nullptr ||
        (channels != 0 && rows > SIZE_MAX / channels)) {
        return PELTO_FILTER_SAMPLES_INVALID;
    }
    const size_t cells = rows * channels;
    try {
        return bank->bank.filterSamples(
            std::span<const double>(timestamps, rows), std::span<const double>(values, cells),
            std::span<double>(smoothed, cells),
            accepted != nullptr ? std::span<std::uint8_t>(accepted, rows)
                                : std::span<std::uint8_t>());
    } catch (...) {
        return PELTO_FILTER_SAMPLES_INVALID;
    }
}

const char* pelto_filter_instruction_set(void) noexcept {
    // The names are string literals: their views end in a null character.
    return pelto::OneEuroFilterManager::instructionSet().data();
}

} // extern "C"
