// The C header's constants, checked against the C++ ones, and the enumerations' functions.

#include <pelto/pelto.h>

#include <pelto/Version.hpp>
#include <pelto/platform/BundleRegistry.hpp>
#include <pelto/platform/MainQueue.hpp>
#include <pelto/tuning/Tuning.hpp>
#include <pelto/types/EnumerationTable.h>
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

// The C header's constants are macros (usable in #if): each must be its table's case, and the
// other constants the C++ ones.
// NOLINTNEXTLINE(cppcoreguidelines-macro-usage)
#define PELTO_CHECK_C_CONSTANT(ENUMERATION, NAME, RAW, TEXT)                                       \
    static_assert(PELTO_##ENUMERATION##_##NAME == (RAW), #NAME " differs from its table");
PELTO_STATUS_ERROR_CASES(PELTO_CHECK_C_CONSTANT)
PELTO_INITIALIZATION_ERROR_CASES(PELTO_CHECK_C_CONSTANT)
PELTO_TRACKING_STATE_CASES(PELTO_CHECK_C_CONSTANT)
PELTO_EYE_MOVEMENT_STATE_CASES(PELTO_CHECK_C_CONSTANT)
PELTO_SCREEN_STATE_CASES(PELTO_CHECK_C_CONSTANT)
PELTO_CALIBRATION_MODE_CASES(PELTO_CHECK_C_CONSTANT)
PELTO_ACCURACY_CRITERIA_CASES(PELTO_CHECK_C_CONSTANT)
PELTO_TIMESTAMP_PRECISION_CASES(PELTO_CHECK_C_CONSTANT)
PELTO_DERIVATIVE_SOURCE_CASES(PELTO_CHECK_C_CONSTANT)
PELTO_TUNING_STATUS_CASES(PELTO_CHECK_C_CONSTANT)
#undef PELTO_CHECK_C_CONSTANT
static_assert(PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_COUNT == OneEuroFilterManager::DEFAULT_COUNT);
static_assert(PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_FREQUENCY ==
              OneEuroFilterManager::DEFAULT_FREQUENCY);
static_assert(PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_MIN_CUT_OFF ==
              OneEuroFilterManager::DEFAULT_MIN_CUT_OFF);
static_assert(PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_BETA == OneEuroFilterManager::DEFAULT_BETA);
static_assert(PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_D_CUT_OFF ==
              OneEuroFilterManager::DEFAULT_D_CUT_OFF);
static_assert(std::string_view(PELTO_LIBRARY_BUNDLE_IDENTIFIER) ==
              BundleRegistry::LIBRARY_BUNDLE_IDENTIFIER);

// description() views string literals; handing out their data() as C text relies on the NUL
// that follows each of them.
template <DescribedEnumeration E> consteval bool textsAreNulTerminated() {
    return std::ranges::all_of(detail::EnumTraits<E>::texts, [](std::string_view text) {
        return text.data()[text.size()] == '\0';
    });
}
static_assert(textsAreNulTerminated<TimestampPrecision>() &&
              textsAreNulTerminated<DerivativeSource>() &&
              textsAreNulTerminated<tuning::TuningStatus>());
static_assert(textsAreNulTerminated<StatusError>() &&
              textsAreNulTerminated<InitializationError>() &&
              textsAreNulTerminated<TrackingState>() && textsAreNulTerminated<EyeMovementState>() &&
              textsAreNulTerminated<ScreenState>() && textsAreNulTerminated<CalibrationMode>());

} // namespace
} // namespace pelto::capi

extern "C" {

// Enumerations

bool pelto_status_error_is_valid(int64_t raw_value) noexcept {
    return pelto::capi::isValid<pelto::StatusError>(raw_value);
}
const char* pelto_status_error_description(int64_t raw_value) noexcept {
    return pelto::capi::descriptionOf<pelto::StatusError>(raw_value);
}
bool pelto_initialization_error_is_valid(int64_t raw_value) noexcept {
    return pelto::capi::isValid<pelto::InitializationError>(raw_value);
}
const char* pelto_initialization_error_description(int64_t raw_value) noexcept {
    return pelto::capi::descriptionOf<pelto::InitializationError>(raw_value);
}
bool pelto_tracking_state_is_valid(int64_t raw_value) noexcept {
    return pelto::capi::isValid<pelto::TrackingState>(raw_value);
}
const char* pelto_tracking_state_description(int64_t raw_value) noexcept {
    return pelto::capi::descriptionOf<pelto::TrackingState>(raw_value);
}
bool pelto_eye_movement_state_is_valid(int64_t raw_value) noexcept {
    return pelto::capi::isValid<pelto::EyeMovementState>(raw_value);
}
const char* pelto_eye_movement_state_description(int64_t raw_value) noexcept {
    return pelto::capi::descriptionOf<pelto::EyeMovementState>(raw_value);
}
bool pelto_screen_state_is_valid(int64_t raw_value) noexcept {
    return pelto::capi::isValid<pelto::ScreenState>(raw_value);
}
const char* pelto_screen_state_description(int64_t raw_value) noexcept {
    return pelto::capi::descriptionOf<pelto::ScreenState>(raw_value);
}
bool pelto_calibration_mode_is_valid(int64_t raw_value) noexcept {
    return pelto::capi::isValid<pelto::CalibrationMode>(raw_value);
}
const char* pelto_calibration_mode_description(int64_t raw_value) noexcept {
    return pelto::capi::descriptionOf<pelto::CalibrationMode>(raw_value);
}
bool pelto_accuracy_criteria_is_valid(int64_t raw_value) noexcept {
    return pelto::capi::isValid<pelto::AccuracyCriteria>(raw_value);
}

bool pelto_timestamp_precision_is_valid(int64_t raw_value) noexcept {
    return pelto::capi::isValid<pelto::TimestampPrecision>(raw_value);
}
const char* pelto_timestamp_precision_description(int64_t raw_value) noexcept {
    return pelto::capi::descriptionOf<pelto::TimestampPrecision>(raw_value);
}
bool pelto_derivative_source_is_valid(int64_t raw_value) noexcept {
    return pelto::capi::isValid<pelto::DerivativeSource>(raw_value);
}
const char* pelto_derivative_source_description(int64_t raw_value) noexcept {
    return pelto::capi::descriptionOf<pelto::DerivativeSource>(raw_value);
}

} // extern "C"
