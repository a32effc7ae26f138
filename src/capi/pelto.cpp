#include <pelto/pelto.h>

#include <pelto/Version.hpp>
#include <pelto/platform/BundleRegistry.hpp>
#include <pelto/platform/MainQueue.hpp>
#include <pelto/tuning/Tuning.hpp>
#include <pelto/types/Enumerations.hpp>

#include "capi/Handles.hpp"

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

using pelto::tuning::TuningStatus;
static_assert(PELTO_TUNING_STATUS_OK == static_cast<std::int64_t>(TuningStatus::OK) &&
              PELTO_TUNING_STATUS_TOO_FEW_SAMPLES ==
                  static_cast<std::int64_t>(TuningStatus::TOO_FEW_SAMPLES) &&
              PELTO_TUNING_STATUS_ALL_REFUSED ==
                  static_cast<std::int64_t>(TuningStatus::ALL_REFUSED) &&
              PELTO_TUNING_STATUS_NO_MOTION == static_cast<std::int64_t>(TuningStatus::NO_MOTION) &&
              PELTO_TUNING_STATUS_NO_MOVEMENTS ==
                  static_cast<std::int64_t>(TuningStatus::NO_MOVEMENTS) &&
              PELTO_TUNING_STATUS_NO_STILL_PERIODS ==
                  static_cast<std::int64_t>(TuningStatus::NO_STILL_PERIODS) &&
              PELTO_TUNING_STATUS_NO_SETTING_WITHIN_BUDGET ==
                  static_cast<std::int64_t>(TuningStatus::NO_SETTING_WITHIN_BUDGET));

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

template <Enumeration E> bool isValid(std::int64_t raw) noexcept {
    return fromRawValue<E>(raw).has_value();
}

template <DescribedEnumeration E> const char* descriptionOf(std::int64_t raw) noexcept {
    const std::string_view text = description(static_cast<E>(raw));
    return text.empty() ? "" : text.data();
}

// Writes `text` into the caller's buffer snprintf-style and returns its full length.
std::size_t copyText(std::string_view text, char* buffer, std::size_t capacity) noexcept {
    if (buffer != nullptr && capacity > 0) {
        const std::size_t written = std::min(text.size(), capacity - 1);
        std::copy_n(text.data(), written, buffer);
        buffer[written] = '\0';
    }
    return text.size();
}

// Returns the handle's single reference to the caller, or NULL when memory runs out.
template <class Handle, class... Args> Handle* makeHandle(Args&&... args) noexcept {
    try {
        return std::make_unique<Handle>(std::forward<Args>(args)...).release();
    } catch (...) {
        return nullptr;
    }
}

std::shared_ptr<pelto_delegate> sharedOf(pelto_delegate* delegate) noexcept {
    return delegate != nullptr ? delegate->weak_from_this().lock() : nullptr;
}

// A new host reference to the C delegate in a slot, if the slot holds one.
template <class Interface>
pelto_delegate* handleOf(const std::shared_ptr<Interface>& delegate) noexcept {
    auto* adapter = dynamic_cast<pelto_delegate*>(delegate.get());
    if (adapter != nullptr) {
        adapter->retainForHost();
    }
    return adapter;
}

bool fits(const pelto_delegate* delegate, bool (pelto_delegate::*implements)() const) noexcept {
    return delegate == nullptr || (delegate->*implements)();
}

} // namespace

pelto_gaze_tracker* wrapTracker(std::shared_ptr<GazeTracker> tracker) {
    return std::make_unique<pelto_gaze_tracker>(std::move(tracker)).release();
}

} // namespace pelto::capi

using pelto::capi::makeHandle;

// ---- Delegate adapter ---------------------------------------------------------------------------

pelto_delegate::pelto_delegate(const pelto_delegate_callbacks& callbacks, void* user,
                               void (*destroy)(void*)) noexcept
    : callbacks_(callbacks)
    , user_(user)
    , destroy_(destroy) {}

pelto_delegate::~pelto_delegate() {
    if (destroy_ != nullptr) {
        destroy_(user_);
    }
}

void pelto_delegate::retainForHost() noexcept {
    const std::lock_guard lock(hostMutex_);
    if (hostReferences_++ == 0) {
        self_ = weak_from_this().lock();
    }
}

void pelto_delegate::releaseForHost() noexcept {
    std::shared_ptr<pelto_delegate> last;
    {
        const std::lock_guard lock(hostMutex_);
        if (--hostReferences_ == 0) {
            last = std::move(self_);
        }
    }
    // `last` may be the final owner: the object, its mutex included, goes only after the lock.
}

bool pelto_delegate::implementsStatus() const noexcept {
    return callbacks_.on_started != nullptr && callbacks_.on_stopped != nullptr;
}
bool pelto_delegate::implementsGaze() const noexcept {
    return callbacks_.on_gaze != nullptr;
}
bool pelto_delegate::implementsCalibration() const noexcept {
    return callbacks_.on_calibration_next_point != nullptr &&
           callbacks_.on_calibration_progress != nullptr &&
           callbacks_.on_calibration_finished != nullptr;
}
bool pelto_delegate::implementsImage() const noexcept {
    return callbacks_.on_image != nullptr;
}
bool pelto_delegate::implementsInitialization() const noexcept {
    return callbacks_.on_initialized != nullptr;
}

void pelto_delegate::onStarted() {
    if (callbacks_.on_started != nullptr) {
        callbacks_.on_started(user_);
    }
}

void pelto_delegate::onStopped(pelto::StatusError error) {
    if (callbacks_.on_stopped != nullptr) {
        callbacks_.on_stopped(user_, pelto::rawValue(error));
    }
}

void pelto_delegate::onGaze(const pelto::GazeInfo& gazeInfo) {
    if (callbacks_.on_gaze == nullptr) {
        return;
    }
    // A sample that cannot be wrapped cannot be delivered; it is dropped like a lost frame.
    auto* sample = makeHandle<pelto_gaze_info>(gazeInfo);
    if (sample != nullptr) {
        callbacks_.on_gaze(user_, sample);
        pelto::capi::release(sample);
    }
}

void pelto_delegate::onCalibrationNextPoint(double x, double y) {
    if (callbacks_.on_calibration_next_point != nullptr) {
        callbacks_.on_calibration_next_point(user_, x, y);
    }
}

void pelto_delegate::onCalibrationProgress(double progress) {
    if (callbacks_.on_calibration_progress != nullptr) {
        callbacks_.on_calibration_progress(user_, progress);
    }
}

void pelto_delegate::onCalibrationFinished(std::span<const double> calibrationData) {
    if (callbacks_.on_calibration_finished != nullptr) {
        callbacks_.on_calibration_finished(user_, calibrationData.data(), calibrationData.size());
    }
}

void pelto_delegate::onImage(double timestamp, pelto::CameraFrameHandle image) {
    if (callbacks_.on_image != nullptr) {
        callbacks_.on_image(user_, timestamp, image.frame);
    }
}

void pelto_delegate::onAttension(std::int64_t timestampBegin, std::int64_t timestampEnd,
                                 double score) {
    if (callbacks_.on_attension != nullptr) {
        callbacks_.on_attension(user_, timestampBegin, timestampEnd, score);
    }
}

void pelto_delegate::onBlink(std::int64_t timestamp, bool isBlinkLeft, bool isBlinkRight,
                             bool isBlink, double eyeOpenness) {
    if (callbacks_.on_blink != nullptr) {
        callbacks_.on_blink(user_, timestamp, isBlinkLeft, isBlinkRight, isBlink, eyeOpenness);
    }
}

void pelto_delegate::onDrowsiness(std::int64_t timestamp, bool isDrowsiness) {
    if (callbacks_.on_drowsiness != nullptr) {
        callbacks_.on_drowsiness(user_, timestamp, isDrowsiness);
    }
}

void pelto_delegate::onInitialized(std::shared_ptr<pelto::GazeTracker> tracker,
                                   pelto::InitializationError error) {
    if (callbacks_.on_initialized == nullptr) {
        return;
    }
    pelto_gaze_tracker* handle = nullptr;
    if (tracker) {
        try {
            handle = pelto::capi::wrapTracker(std::move(tracker));
        } catch (...) {
            // Reporting the original code without its tracker would misreport a success.
            error = pelto::InitializationError::ERROR_OUT_OF_MEMORY;
        }
    }
    callbacks_.on_initialized(user_, handle, pelto::rawValue(error));
    pelto::capi::release(handle);
}

// ---- C functions --------------------------------------------------------------------------------

extern "C" {

unsigned pelto_version_number(void) noexcept {
    return PELTO_VERSION_NUMBER;
}

const char* pelto_version_string(void) noexcept {
    return PELTO_VERSION_STRING;
}

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

// Gaze sample

pelto_gaze_info* pelto_gaze_info_create(double timestamp, double x, double y,
                                        int64_t tracking_state, int64_t eye_movement_state,
                                        int64_t screen_state) noexcept {
    return makeHandle<pelto_gaze_info>(timestamp, x, y,
                                       static_cast<pelto::TrackingState>(tracking_state),
                                       static_cast<pelto::EyeMovementState>(eye_movement_state),
                                       static_cast<pelto::ScreenState>(screen_state));
}

pelto_gaze_info* pelto_gaze_info_retain(pelto_gaze_info* gaze_info) noexcept {
    return pelto::capi::retain(gaze_info);
}
void pelto_gaze_info_release(pelto_gaze_info* gaze_info) noexcept {
    pelto::capi::release(gaze_info);
}

double pelto_gaze_info_x(const pelto_gaze_info* gaze_info) noexcept {
    return gaze_info != nullptr ? gaze_info->value.x() : 0.0;
}
double pelto_gaze_info_y(const pelto_gaze_info* gaze_info) noexcept {
    return gaze_info != nullptr ? gaze_info->value.y() : 0.0;
}
double pelto_gaze_info_timestamp(const pelto_gaze_info* gaze_info) noexcept {
    return gaze_info != nullptr ? gaze_info->value.timestamp() : 0.0;
}
int64_t pelto_gaze_info_tracking_state(const pelto_gaze_info* gaze_info) noexcept {
    return gaze_info != nullptr ? pelto::rawValue(gaze_info->value.trackingState()) : 0;
}
int64_t pelto_gaze_info_eye_movement_state(const pelto_gaze_info* gaze_info) noexcept {
    return gaze_info != nullptr ? pelto::rawValue(gaze_info->value.eyeMovementState()) : 0;
}
int64_t pelto_gaze_info_screen_state(const pelto_gaze_info* gaze_info) noexcept {
    return gaze_info != nullptr ? pelto::rawValue(gaze_info->value.screenState()) : 0;
}

// User-status options

pelto_user_status_option* pelto_user_status_option_create(void) noexcept {
    try {
        auto option = std::make_shared<pelto::UserStatusOption>();
        return std::make_unique<pelto_user_status_option>(std::move(option)).release();
    } catch (...) {
        return nullptr;
    }
}

pelto_user_status_option*
pelto_user_status_option_retain(pelto_user_status_option* option) noexcept {
    return pelto::capi::retain(option);
}
void pelto_user_status_option_release(pelto_user_status_option* option) noexcept {
    pelto::capi::release(option);
}

bool pelto_user_status_option_is_use_attension(const pelto_user_status_option* option) noexcept {
    return option != nullptr && option->value->isUseAttension();
}
bool pelto_user_status_option_is_use_blink(const pelto_user_status_option* option) noexcept {
    return option != nullptr && option->value->isUseBlink();
}
bool pelto_user_status_option_is_use_drowsiness(const pelto_user_status_option* option) noexcept {
    return option != nullptr && option->value->isUseDrowsiness();
}
void pelto_user_status_option_use_attention(pelto_user_status_option* option) noexcept {
    if (option != nullptr) {
        option->value->useAttention();
    }
}
void pelto_user_status_option_use_blink(pelto_user_status_option* option) noexcept {
    if (option != nullptr) {
        option->value->useBlink();
    }
}
void pelto_user_status_option_use_drowsiness(pelto_user_status_option* option) noexcept {
    if (option != nullptr) {
        option->value->useDrowsiness();
    }
}
void pelto_user_status_option_use_all(pelto_user_status_option* option) noexcept {
    if (option != nullptr) {
        option->value->useAll();
    }
}

// Delegates

pelto_delegate* pelto_delegate_create(const pelto_delegate_callbacks* callbacks, void* user,
                                      void (*destroy)(void* user)) noexcept {
    if (callbacks == nullptr || callbacks->struct_size < sizeof(std::size_t)) {
        return nullptr;
    }
    // The host's table may be shorter (an older host) or longer (a newer one) than this
    // library's: only whole callbacks within both sizes are read; the others stay NULL.
    constexpr std::size_t head = offsetof(pelto_delegate_callbacks, on_started);
    constexpr std::size_t slot = sizeof(pelto_delegate_callbacks::on_started);
    const std::size_t known = std::min(callbacks->struct_size, sizeof(pelto_delegate_callbacks));
    pelto_delegate_callbacks table{};
    std::memcpy(&table, callbacks, known < head ? known : known - (known - head) % slot);
    try {
        auto delegate = std::make_shared<pelto_delegate>(table, user, destroy);
        delegate->retainForHost();
        return delegate.get();
    } catch (...) {
        return nullptr;
    }
}

pelto_delegate* pelto_delegate_retain(pelto_delegate* delegate) noexcept {
    if (delegate != nullptr) {
        delegate->retainForHost();
    }
    return delegate;
}

void pelto_delegate_release(pelto_delegate* delegate) noexcept {
    if (delegate != nullptr) {
        delegate->releaseForHost();
    }
}

// Gaze tracker

pelto_gaze_tracker* pelto_gaze_tracker_retain(pelto_gaze_tracker* tracker) noexcept {
    return pelto::capi::retain(tracker);
}
void pelto_gaze_tracker_release(pelto_gaze_tracker* tracker) noexcept {
    pelto::capi::release(tracker);
}

pelto_delegate* pelto_gaze_tracker_status_delegate(const pelto_gaze_tracker* tracker) noexcept {
    return tracker != nullptr ? pelto::capi::handleOf(tracker->value->statusDelegate()) : nullptr;
}
pelto_delegate* pelto_gaze_tracker_gaze_delegate(const pelto_gaze_tracker* tracker) noexcept {
    return tracker != nullptr ? pelto::capi::handleOf(tracker->value->gazeDelegate()) : nullptr;
}
pelto_delegate*
pelto_gaze_tracker_calibration_delegate(const pelto_gaze_tracker* tracker) noexcept {
    return tracker != nullptr ? pelto::capi::handleOf(tracker->value->calibrationDelegate())
                              : nullptr;
}
pelto_delegate* pelto_gaze_tracker_image_delegate(const pelto_gaze_tracker* tracker) noexcept {
    return tracker != nullptr ? pelto::capi::handleOf(tracker->value->imageDelegate()) : nullptr;
}
pelto_delegate*
pelto_gaze_tracker_user_status_delegate(const pelto_gaze_tracker* tracker) noexcept {
    return tracker != nullptr ? pelto::capi::handleOf(tracker->value->userStatusDelegate())
                              : nullptr;
}

bool pelto_gaze_tracker_set_status_delegate(pelto_gaze_tracker* tracker,
                                            pelto_delegate* delegate) noexcept {
    if (tracker == nullptr || !pelto::capi::fits(delegate, &pelto_delegate::implementsStatus)) {
        return false;
    }
    tracker->value->setStatusDelegate(pelto::capi::sharedOf(delegate));
    return true;
}
bool pelto_gaze_tracker_set_gaze_delegate(pelto_gaze_tracker* tracker,
                                          pelto_delegate* delegate) noexcept {
    if (tracker == nullptr || !pelto::capi::fits(delegate, &pelto_delegate::implementsGaze)) {
        return false;
    }
    tracker->value->setGazeDelegate(pelto::capi::sharedOf(delegate));
    return true;
}
bool pelto_gaze_tracker_set_calibration_delegate(pelto_gaze_tracker* tracker,
                                                 pelto_delegate* delegate) noexcept {
    if (tracker == nullptr ||
        !pelto::capi::fits(delegate, &pelto_delegate::implementsCalibration)) {
        return false;
    }
    tracker->value->setCalibrationDelegate(pelto::capi::sharedOf(delegate));
    return true;
}
bool pelto_gaze_tracker_set_image_delegate(pelto_gaze_tracker* tracker,
                                           pelto_delegate* delegate) noexcept {
    if (tracker == nullptr || !pelto::capi::fits(delegate, &pelto_delegate::implementsImage)) {
        return false;
    }
    tracker->value->setImageDelegate(pelto::capi::sharedOf(delegate));
    return true;
}
bool pelto_gaze_tracker_set_user_status_delegate(pelto_gaze_tracker* tracker,
                                                 pelto_delegate* delegate) noexcept {
    if (tracker == nullptr) {
        return false;
    }
    tracker->value->setUserStatusDelegate(pelto::capi::sharedOf(delegate));
    return true;
}

bool pelto_gaze_tracker_set_delegates(pelto_gaze_tracker* tracker, pelto_delegate* status_delegate,
                                      pelto_delegate* gaze_delegate,
                                      pelto_delegate* calibration_delegate,
                                      pelto_delegate* image_delegate,
                                      pelto_delegate* user_status_delegate) noexcept {
    using pelto::capi::fits;
    using pelto::capi::sharedOf;
    if (tracker == nullptr || !fits(status_delegate, &pelto_delegate::implementsStatus) ||
        !fits(gaze_delegate, &pelto_delegate::implementsGaze) ||
        !fits(calibration_delegate, &pelto_delegate::implementsCalibration) ||
        !fits(image_delegate, &pelto_delegate::implementsImage)) {
        return false;
    }
    tracker->value->setDelegates(sharedOf(status_delegate), sharedOf(gaze_delegate),
                                 sharedOf(calibration_delegate), sharedOf(image_delegate),
                                 sharedOf(user_status_delegate));
    return true;
}

void pelto_gaze_tracker_start_tracking(pelto_gaze_tracker* tracker) noexcept {
    if (tracker != nullptr) {
        tracker->value->startTracking();
    }
}
void pelto_gaze_tracker_stop_tracking(pelto_gaze_tracker* tracker) noexcept {
    if (tracker != nullptr) {
        tracker->value->stopTracking();
    }
}
bool pelto_gaze_tracker_is_tracking(const pelto_gaze_tracker* tracker) noexcept {
    return tracker != nullptr && tracker->value->isTracking();
}
bool pelto_gaze_tracker_set_tracking_fps(pelto_gaze_tracker* tracker, int64_t fps) noexcept {
    return tracker != nullptr && tracker->value->setTrackingFPS(fps);
}
bool pelto_gaze_tracker_is_calibrating(const pelto_gaze_tracker* tracker) noexcept {
    return tracker != nullptr && tracker->value->isCalibrating();
}
bool pelto_gaze_tracker_start_calibration(pelto_gaze_tracker* tracker, int64_t mode,
                                          int64_t criteria, pelto_rect region) noexcept {
    return tracker != nullptr &&
           tracker->value->startCalibration(static_cast<pelto::CalibrationMode>(mode),
                                            static_cast<pelto::AccuracyCriteria>(criteria),
                                            {region.x, region.y, region.width, region.height});
}
bool pelto_gaze_tracker_set_calibration_data(pelto_gaze_tracker* tracker,
                                             const double* calibration_data,
                                             size_t count) noexcept {
    if (tracker == nullptr || (calibration_data == nullptr && count != 0)) {
        return false;
    }
    return tracker->value->setCalibrationData(std::span<const double>(calibration_data, count));
}
void pelto_gaze_tracker_stop_calibration(pelto_gaze_tracker* tracker) noexcept {
    if (tracker != nullptr) {
        tracker->value->stopCalibration();
    }
}
bool pelto_gaze_tracker_start_collect_samples(pelto_gaze_tracker* tracker) noexcept {
    return tracker != nullptr && tracker->value->startCollectSamples();
}
void pelto_gaze_tracker_set_camera_preview(pelto_gaze_tracker* tracker, void* preview) noexcept {
    if (tracker != nullptr) {
        tracker->value->setCameraPreview(pelto::CameraPreviewHandle{preview});
    }
}
void pelto_gaze_tracker_remove_camera_preview(pelto_gaze_tracker* tracker) noexcept {
    if (tracker != nullptr) {
        tracker->value->removeCameraPreview();
    }
}
void pelto_gaze_tracker_set_attention_interval(pelto_gaze_tracker* tracker,
                                               int64_t interval) noexcept {
    if (tracker != nullptr) {
        tracker->value->setAttentionInterval(interval);
    }
}
double pelto_gaze_tracker_get_attention_score(const pelto_gaze_tracker* tracker) noexcept {
    return tracker != nullptr ? tracker->value->getAttentionScore() : 0.0;
}

// Initialisation, release and version

bool pelto_init_gaze_tracker(pelto_delegate* delegate, pelto_user_status_option* option) noexcept {
    if (delegate == nullptr || !delegate->implementsInitialization()) {
        return false;
    }
    try {
        pelto::GazeTracker::initGazeTracker(pelto::capi::sharedOf(delegate),
                                            option != nullptr ? option->value : nullptr);
        return true;
    } catch (...) {
        return false;
    }
}

void pelto_deinit_gaze_tracker(pelto_gaze_tracker* tracker) noexcept {
    pelto::GazeTracker::deinitGazeTracker(tracker != nullptr ? tracker->value : nullptr);
}

size_t pelto_get_framework_version(char* buffer, size_t capacity) noexcept {
    try {
        return pelto::capi::copyText(pelto::GazeTracker::getFrameworkVersion(), buffer, capacity);
    } catch (...) {
        return pelto::capi::copyText({}, buffer, capacity);
    }
}

// Main queue

size_t pelto_main_queue_drain(void) noexcept {
    try {
        return pelto::MainQueue::drain();
    } catch (...) {
        return 0;
    }
}

bool pelto_main_queue_set_wake_up_hook(void (*hook)(void* user), void* user) noexcept {
    try {
        if (hook == nullptr) {
            pelto::MainQueue::setWakeUpHook(nullptr);
        } else {
            pelto::MainQueue::setWakeUpHook([hook, user] { hook(user); });
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool pelto_main_queue_has_pending_tasks(void) noexcept {
    try {
        return pelto::MainQueue::hasPendingTasks();
    } catch (...) {
        return false;
    }
}

// Bundle registry

bool pelto_bundle_registry_register_bundle(const char* identifier,
                                           const char* short_version) noexcept {
    if (identifier == nullptr) {
        return false;
    }
    try {
        pelto::Bundle bundle{identifier, std::nullopt};
        if (short_version != nullptr) {
            bundle.infoDictionary.emplace();
            bundle.infoDictionary->emplace(pelto::BundleRegistry::SHORT_VERSION_KEY,
                                           std::string(short_version));
        }
        pelto::BundleRegistry::registerBundle(std::move(bundle));
        return true;
    } catch (...) {
        return false;
    }
}

bool pelto_bundle_registry_remove_bundle(const char* identifier) noexcept {
    if (identifier == nullptr) {
        return false;
    }
    try {
        return pelto::BundleRegistry::removeBundle(identifier);
    } catch (...) {
        return false;
    }
}

bool pelto_bundle_registry_restore_defaults(void) noexcept {
    try {
        pelto::BundleRegistry::restoreDefaults();
        return true;
    } catch (...) {
        return false;
    }
}

// Tuning

const char* pelto_tuning_status_text(int64_t status) noexcept {
    // Every text is a string literal, so NUL-terminated.
    return pelto::tuning::statusText(static_cast<pelto::tuning::TuningStatus>(status)).data();
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
        result->status = static_cast<std::int64_t>(tuned.status);
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
