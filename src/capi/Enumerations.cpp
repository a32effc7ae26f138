// The C header's constants, checked against the C++ ones, and the enumerations' functions.

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

// The constants of the C header are copies; these keep them equal to the C++ ones.
template <Enumeration E> constexpr bool same(std::int64_t macro, E value) {
    return macro == rawValue(value);
}
static_assert(same(PELTO_STATUS_ERROR_ERROR_NONE, StatusError::ERROR_NONE) &&
              same(PELTO_STATUS_ERROR_ERROR_CAMERA_START, StatusError::ERROR_CAMERA_START) &&
              same(PELTO_STATUS_ERROR_ERROR_CAMERA_INTERRUPT, StatusError::ERROR_CAMERA_INTERRUPT));
static_assert(same(PELTO_INITIALIZATION_ERROR_ERROR_NONE, InitializationError::ERROR_NONE) &&
              same(PELTO_INITIALIZATION_ERROR_ERROR_INIT, InitializationError::ERROR_INIT) &&
              same(PELTO_INITIALIZATION_ERROR_ERROR_CAMERA_PERMISSION,
                   InitializationError::ERROR_CAMERA_PERMISSION) &&
              same(PELTO_INITIALIZATION_ERROR_ERROR_CAMERA_UNAVAILABLE,
                   InitializationError::ERROR_CAMERA_UNAVAILABLE) &&
              same(PELTO_INITIALIZATION_ERROR_ERROR_CAMERA_CONFIGURATION,
                   InitializationError::ERROR_CAMERA_CONFIGURATION) &&
              same(PELTO_INITIALIZATION_ERROR_ERROR_CAMERA_IN_USE,
                   InitializationError::ERROR_CAMERA_IN_USE) &&
              same(PELTO_INITIALIZATION_ERROR_ERROR_MODEL_MISSING,
                   InitializationError::ERROR_MODEL_MISSING) &&
              same(PELTO_INITIALIZATION_ERROR_ERROR_MODEL_CORRUPTED,
                   InitializationError::ERROR_MODEL_CORRUPTED) &&
              same(PELTO_INITIALIZATION_ERROR_ERROR_MODEL_INCOMPATIBLE,
                   InitializationError::ERROR_MODEL_INCOMPATIBLE) &&
              same(PELTO_INITIALIZATION_ERROR_ERROR_OUT_OF_MEMORY,
                   InitializationError::ERROR_OUT_OF_MEMORY) &&
              same(PELTO_INITIALIZATION_ERROR_ERROR_UNSUPPORTED_DEVICE,
                   InitializationError::ERROR_UNSUPPORTED_DEVICE) &&
              same(PELTO_INITIALIZATION_ERROR_ERROR_NO_GAZE_ENGINE,
                   InitializationError::ERROR_NO_GAZE_ENGINE) &&
              same(PELTO_INITIALIZATION_ERROR_ERROR_ENGINE_START,
                   InitializationError::ERROR_ENGINE_START) &&
              same(PELTO_INITIALIZATION_ERROR_ERROR_ALREADY_INITIALIZING,
                   InitializationError::ERROR_ALREADY_INITIALIZING) &&
              same(PELTO_INITIALIZATION_ERROR_ERROR_INVALID_OPTION,
                   InitializationError::ERROR_INVALID_OPTION) &&
              same(PELTO_INITIALIZATION_ERROR_ERROR_RESOURCE_MISSING,
                   InitializationError::ERROR_RESOURCE_MISSING) &&
              same(PELTO_INITIALIZATION_ERROR_ERROR_UNSUPPORTED_OS_VERSION,
                   InitializationError::ERROR_UNSUPPORTED_OS_VERSION) &&
              same(PELTO_INITIALIZATION_ERROR_ERROR_INTERNAL, InitializationError::ERROR_INTERNAL));
static_assert(same(PELTO_TRACKING_STATE_SUCCESS, TrackingState::SUCCESS) &&
              same(PELTO_TRACKING_STATE_LOW_CONFIDENCE, TrackingState::LOW_CONFIDENCE) &&
              same(PELTO_TRACKING_STATE_UNSUPPORTED, TrackingState::UNSUPPORTED) &&
              same(PELTO_TRACKING_STATE_FACE_MISSING, TrackingState::FACE_MISSING));
static_assert(same(PELTO_EYE_MOVEMENT_STATE_FIXATION, EyeMovementState::FIXATION) &&
              same(PELTO_EYE_MOVEMENT_STATE_SACCADE, EyeMovementState::SACCADE) &&
              same(PELTO_EYE_MOVEMENT_STATE_UNKNOWN, EyeMovementState::UNKNOWN));
static_assert(same(PELTO_SCREEN_STATE_INSIDE_OF_SCREEN, ScreenState::INSIDE_OF_SCREEN) &&
              same(PELTO_SCREEN_STATE_OUTSIDE_OF_SCREEN, ScreenState::OUTSIDE_OF_SCREEN) &&
              same(PELTO_SCREEN_STATE_UNKNOWN, ScreenState::UNKNOWN));
static_assert(same(PELTO_CALIBRATION_MODE_DEFAULT, CalibrationMode::DEFAULT) &&
              same(PELTO_CALIBRATION_MODE_ONE_POINT, CalibrationMode::ONE_POINT) &&
              same(PELTO_CALIBRATION_MODE_FIVE_POINT, CalibrationMode::FIVE_POINT) &&
              same(PELTO_CALIBRATION_MODE_SIX_POINT, CalibrationMode::SIX_POINT));
static_assert(same(PELTO_ACCURACY_CRITERIA_CRITERIA_0, AccuracyCriteria::CRITERIA_0) &&
              same(PELTO_ACCURACY_CRITERIA_CRITERIA_1, AccuracyCriteria::CRITERIA_1) &&
              same(PELTO_ACCURACY_CRITERIA_CRITERIA_2, AccuracyCriteria::CRITERIA_2));

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
static_assert(same(PELTO_TIMESTAMP_PRECISION_WHOLE_MILLISECONDS,
                   TimestampPrecision::WHOLE_MILLISECONDS) &&
              same(PELTO_TIMESTAMP_PRECISION_EXACT, TimestampPrecision::EXACT) &&
              same(PELTO_DERIVATIVE_SOURCE_RAW, DerivativeSource::RAW) &&
              same(PELTO_DERIVATIVE_SOURCE_FILTERED, DerivativeSource::FILTERED));
static_assert(textsAreNulTerminated<TimestampPrecision>() &&
              textsAreNulTerminated<DerivativeSource>());
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
