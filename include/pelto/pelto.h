#ifndef PELTO_PELTO_H
#define PELTO_PELTO_H

/*
 * Pelto's C interface: every public operation of the library for hosts written in C or in any
 * language with a C foreign-function interface (C#, Python, Swift, Rust, Dart, Kotlin). Valid C11
 * and C++. It behaves exactly as the C++ interface it wraps (<pelto/Pelto.hpp>).
 *
 * Conventions
 * - Names: functions pelto_<type>_<operation>, constants PELTO_<TYPE>_<CASE>.
 * - Enumeration values cross as int64_t raw values, never as C enums. A raw value that is no case
 *   is carried as it came; pelto_<enumeration>_is_valid is the checked test. The constants
 *   PELTO_<ENUMERATION>_<CASE> are int64_t macros, usable in #if; the library's build checks each
 *   against the case of <pelto/types/EnumerationTable.h>, the table its enumerations come from.
 * - Texts are NUL-terminated UTF-8. Each text result states its lifetime: static, or written into
 *   the caller's buffer snprintf-style (the full length is returned, the text is cut to fit).
 * - Lists of numbers cross as pointer + length. A NULL pointer with a length of zero is an empty
 *   list; a NULL pointer with a non-zero length is refused (false, 0 or nothing written).
 * - Shared objects (tracker, delegate, user-status option, gaze sample) are opaque handles counted
 *   with pelto_<type>_retain / pelto_<type>_release; the filter bank, a value, is created and
 *   destroyed. A function that returns a handle hands the caller a new reference, which the caller
 *   releases; a handle passed to a callback is borrowed for that call (retain it to keep it).
 *   Release and destroy accept NULL. Each release balances one create, retain or returned handle.
 * - NULL handles get a defined answer: false, 0, 0.0, NULL or nothing done, as each function says.
 * - No C++ exception leaves a function of this header. Where memory runs out, a function answers
 *   NULL, false or 0 and changes nothing.
 * - Versioned structs begin with their size in bytes, which the caller sets (the _init functions
 *   do): members past it take their defaults, so a caller built with an older, shorter struct
 *   keeps working; a size below the first release's is refused. The delegate table's size field
 *   keeps its first release's name, struct_size (hosts' sources use it); the others are `size`.
 *   An output struct (pelto_tuning_result) must be at least its current size.
 * - Threads: the library starts no thread, except pelto_tune, which joins its threads before it
 *   returns. Retain and release may run on any thread; every other
 *   function follows the C++ operation it carries (filter banks, trackers and options are not
 *   synchronised; the main queue and the bundle registry are).
 *
 * Which function carries which operation, by platform message name
 *
 *   Gaze tracker object (pelto_gaze_tracker_...)
 *     statusDelegate / setStatusDelegate:     ..._status_delegate / _set_status_delegate
 *     gazeDelegate / setGazeDelegate:         ..._gaze_delegate / _set_gaze_delegate
 *     calibrationDelegate / setCalibrationDelegate:
 *                                             ..._calibration_delegate / _set_calibration_delegate
 *     imageDelegate / setImageDelegate:       ..._image_delegate / _set_image_delegate
 *     userStatusDelegate / setUserStatusDelegate:
 *                                             ..._user_status_delegate / _set_user_status_delegate
 *     startTracking                           pelto_gaze_tracker_start_tracking
 *     stopTracking                            pelto_gaze_tracker_stop_tracking
 *     isTracking                              pelto_gaze_tracker_is_tracking
 *     setTrackingFPSWithFps:                  pelto_gaze_tracker_set_tracking_fps
 *     isCalibrating                           pelto_gaze_tracker_is_calibrating
 *     startCalibrationWithMode:criteria:region:
 *                                             pelto_gaze_tracker_start_calibration
 *     setCalibrationDataWithCalibrationData:  pelto_gaze_tracker_set_calibration_data
 *     stopCalibration                         pelto_gaze_tracker_stop_calibration
 *     startCollectSamples                     pelto_gaze_tracker_start_collect_samples
 *     setCameraPreviewWithPreview:            pelto_gaze_tracker_set_camera_preview
 *     removeCameraPreview                     pelto_gaze_tracker_remove_camera_preview
 *     setDelegatesWithStatusDelegate:gazeDelegate:calibrationDelegate:imageDelegate:
 *       userStatusDelegate:                   pelto_gaze_tracker_set_delegates
 *     setAttentionIntervalWithInterval:       pelto_gaze_tracker_set_attention_interval
 *     getAttentionScore                       pelto_gaze_tracker_get_attention_score
 *     (reference counting)                    pelto_gaze_tracker_retain / _release
 *
 *   Delegate interfaces: one pelto_delegate made by pelto_delegate_create from a
 *   pelto_delegate_callbacks table, one member per operation
 *     onStarted                               on_started
 *     onStoppedWithError:                     on_stopped
 *     onGazeWithGazeInfo:                     on_gaze
 *     onCalibrationNextPointWithX:y:          on_calibration_next_point
 *     onCalibrationProgressWithProgress:      on_calibration_progress
 *     onCalibrationFinishedWithCalibrationData:
 *                                             on_calibration_finished
 *     onImageWithTimestamp:image:             on_image
 *     onAttensionWithTimestampBegin:timestampEnd:score:
 *                                             on_attension
 *     onBlinkWithTimestamp:isBlinkLeft:isBlinkRight:isBlink:eyeOpenness:
 *                                             on_blink
 *     onDrowsinessWithTimestamp:isDrowsiness: on_drowsiness
 *     onInitializedWithTracker:error:         on_initialized
 *     (reference counting)                    pelto_delegate_retain / _release
 *
 *   Initialisation, release and version
 *     initGazeTrackerWithDelegate:option:     pelto_init_gaze_tracker
 *     deinitGazeTrackerWithTracker:           pelto_deinit_gaze_tracker
 *     getFrameworkVersion                     pelto_get_framework_version
 *     main queue (drain, wake-up hook)        pelto_main_queue_drain, _set_wake_up_hook,
 *                                             _has_pending_tasks
 *     bundle registry                         pelto_bundle_registry_register_bundle,
 *                                             _remove_bundle, _restore_defaults
 *
 *   Filter bank
 *     DEFAULT_COUNT ... DEFAULT_D_CUT_OFF     PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_*
 *     initWithCount:freq:minCutOff:beta:dCutOff:
 *                                             pelto_one_euro_filter_manager_create
 *     init                                    pelto_one_euro_filter_manager_create_empty
 *     filterValuesWithTimestamp:val:          pelto_one_euro_filter_manager_filter_values
 *     getFilteredValues                       pelto_one_euro_filter_manager_get_filtered_values
 *     (block smoothing)                       pelto_one_euro_filter_manager_filter_samples
 *     (copy, release)                         pelto_one_euro_filter_manager_clone / _destroy
 *     instructionSet                          pelto_filter_instruction_set
 *
 *   Enumerations StatusError, InitializationError, TrackingState, EyeMovementState, ScreenState,
 *   CalibrationMode, AccuracyCriteria, TimestampPrecision, DerivativeSource, TuningStatus
 *     initWithRawValue:                       pelto_<enumeration>_is_valid
 *     description                             pelto_<enumeration>_description (all but
 *                                             AccuracyCriteria)
 *     rawValue, equality, hashing             the int64_t itself; the cases are the constants
 *                                             PELTO_<ENUMERATION>_<CASE>
 *     AccuracyCriteria encoding / decoding    the bare int64_t / pelto_accuracy_criteria_is_valid
 *
 *   Tuning (<pelto/tuning/Tuning.hpp>)
 *     tune()                                  pelto_tune, with pelto_tuning_options_init
 *     TuningStatus and statusText()           PELTO_TUNING_STATUS_*, pelto_tuning_status_text
 *     detectMovements()                       pelto_tuning_movements
 *     tuneReport() and toJson()               pelto_tune_json
 *
 *   Gaze sample
 *     initWithTimestamp:x:y:trackingState:eyeMovementState:screenState:
 *                                             pelto_gaze_info_create
 *     x, y, timestamp                         pelto_gaze_info_x, _y, _timestamp
 *     trackingState, eyeMovementState, screenState
 *                                             pelto_gaze_info_tracking_state, _eye_movement_state,
 *                                             _screen_state
 *     (reference counting)                    pelto_gaze_info_retain / _release
 *
 *   User-status options
 *     init                                    pelto_user_status_option_create
 *     isUseAttension, isUseBlink, isUseDrowsiness
 *                                             pelto_user_status_option_is_use_attension,
 *                                             _is_use_blink, _is_use_drowsiness
 *     useAttention, useBlink, useDrowsiness, useAll
 *                                             pelto_user_status_option_use_attention, _use_blink,
 *                                             _use_drowsiness, _use_all
 *     (reference counting)                    pelto_user_status_option_retain / _release
 */

// A C header, also read by C++: C's headers and typedefs are deliberate.
// NOLINTBEGIN(modernize-deprecated-headers, modernize-use-using)

#include <pelto/export.h>
#include <pelto/version.h>

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define PELTO_NOEXCEPT noexcept
extern "C" {
#else
#define PELTO_NOEXCEPT
#endif

/* ---- Version ---------------------------------------------------------------------------------
 * PELTO_VERSION_MAJOR, _MINOR, _PATCH, _STRING and _NUMBER (<pelto/version.h>) name the headers
 * in use; the two functions below name the library actually loaded. */

/// PELTO_VERSION_NUMBER of the loaded library (major * 10000 + minor * 100 + patch).
PELTO_EXPORT unsigned pelto_version_number(void) PELTO_NOEXCEPT;

/// PELTO_VERSION_STRING of the loaded library, such as "1.0.0". Static text.
PELTO_EXPORT const char* pelto_version_string(void) PELTO_NOEXCEPT;

/* ---- Enumerations ----------------------------------------------------------------------------
 * Raw values of the cases. pelto_<enumeration>_is_valid(raw) is true exactly when raw is the raw
 * value of a case (negative numbers never are). pelto_<enumeration>_description(raw) returns the
 * case's static upper-case text, and "" (static) for a raw value that is no case; never NULL. */

#define PELTO_STATUS_ERROR_ERROR_NONE INT64_C(0)
#define PELTO_STATUS_ERROR_ERROR_CAMERA_START INT64_C(1)
#define PELTO_STATUS_ERROR_ERROR_CAMERA_INTERRUPT INT64_C(2)

/// Initialisation outcome: 0 is success, every other case a failure.
#define PELTO_INITIALIZATION_ERROR_ERROR_NONE INT64_C(0)
#define PELTO_INITIALIZATION_ERROR_ERROR_INIT INT64_C(1)
#define PELTO_INITIALIZATION_ERROR_ERROR_CAMERA_PERMISSION INT64_C(2)
#define PELTO_INITIALIZATION_ERROR_ERROR_CAMERA_UNAVAILABLE INT64_C(3)
#define PELTO_INITIALIZATION_ERROR_ERROR_CAMERA_CONFIGURATION INT64_C(4)
#define PELTO_INITIALIZATION_ERROR_ERROR_CAMERA_IN_USE INT64_C(5)
#define PELTO_INITIALIZATION_ERROR_ERROR_MODEL_MISSING INT64_C(6)
#define PELTO_INITIALIZATION_ERROR_ERROR_MODEL_CORRUPTED INT64_C(7)
#define PELTO_INITIALIZATION_ERROR_ERROR_MODEL_INCOMPATIBLE INT64_C(8)
#define PELTO_INITIALIZATION_ERROR_ERROR_OUT_OF_MEMORY INT64_C(9)
#define PELTO_INITIALIZATION_ERROR_ERROR_UNSUPPORTED_DEVICE INT64_C(10)
/// This build carries no gaze engine: every initialisation reports this code.
#define PELTO_INITIALIZATION_ERROR_ERROR_NO_GAZE_ENGINE INT64_C(11)
#define PELTO_INITIALIZATION_ERROR_ERROR_ENGINE_START INT64_C(12)
#define PELTO_INITIALIZATION_ERROR_ERROR_ALREADY_INITIALIZING INT64_C(13)
#define PELTO_INITIALIZATION_ERROR_ERROR_INVALID_OPTION INT64_C(14)
#define PELTO_INITIALIZATION_ERROR_ERROR_RESOURCE_MISSING INT64_C(15)
#define PELTO_INITIALIZATION_ERROR_ERROR_UNSUPPORTED_OS_VERSION INT64_C(16)
#define PELTO_INITIALIZATION_ERROR_ERROR_INTERNAL INT64_C(17)

#define PELTO_TRACKING_STATE_SUCCESS INT64_C(0)
#define PELTO_TRACKING_STATE_LOW_CONFIDENCE INT64_C(1)
#define PELTO_TRACKING_STATE_UNSUPPORTED INT64_C(2)
#define PELTO_TRACKING_STATE_FACE_MISSING INT64_C(3)

/// Raw value 1 is no case.
#define PELTO_EYE_MOVEMENT_STATE_FIXATION INT64_C(0)
#define PELTO_EYE_MOVEMENT_STATE_SACCADE INT64_C(2)
#define PELTO_EYE_MOVEMENT_STATE_UNKNOWN INT64_C(3)

#define PELTO_SCREEN_STATE_INSIDE_OF_SCREEN INT64_C(0)
#define PELTO_SCREEN_STATE_OUTSIDE_OF_SCREEN INT64_C(1)
#define PELTO_SCREEN_STATE_UNKNOWN INT64_C(2)

/// Raw values 2, 3 and 4 are no case.
#define PELTO_CALIBRATION_MODE_DEFAULT INT64_C(0)
#define PELTO_CALIBRATION_MODE_ONE_POINT INT64_C(1)
#define PELTO_CALIBRATION_MODE_FIVE_POINT INT64_C(5)
#define PELTO_CALIBRATION_MODE_SIX_POINT INT64_C(6)

/// No text. Encoded as the bare integer; decoding is pelto_accuracy_criteria_is_valid.
#define PELTO_ACCURACY_CRITERIA_CRITERIA_0 INT64_C(0)
#define PELTO_ACCURACY_CRITERIA_CRITERIA_1 INT64_C(1)
#define PELTO_ACCURACY_CRITERIA_CRITERIA_2 INT64_C(2)

PELTO_EXPORT bool pelto_status_error_is_valid(int64_t raw_value) PELTO_NOEXCEPT;
PELTO_EXPORT const char* pelto_status_error_description(int64_t raw_value) PELTO_NOEXCEPT;
PELTO_EXPORT bool pelto_initialization_error_is_valid(int64_t raw_value) PELTO_NOEXCEPT;
PELTO_EXPORT const char* pelto_initialization_error_description(int64_t raw_value) PELTO_NOEXCEPT;
PELTO_EXPORT bool pelto_tracking_state_is_valid(int64_t raw_value) PELTO_NOEXCEPT;
PELTO_EXPORT const char* pelto_tracking_state_description(int64_t raw_value) PELTO_NOEXCEPT;
PELTO_EXPORT bool pelto_eye_movement_state_is_valid(int64_t raw_value) PELTO_NOEXCEPT;
PELTO_EXPORT const char* pelto_eye_movement_state_description(int64_t raw_value) PELTO_NOEXCEPT;
PELTO_EXPORT bool pelto_screen_state_is_valid(int64_t raw_value) PELTO_NOEXCEPT;
PELTO_EXPORT const char* pelto_screen_state_description(int64_t raw_value) PELTO_NOEXCEPT;
PELTO_EXPORT bool pelto_calibration_mode_is_valid(int64_t raw_value) PELTO_NOEXCEPT;
PELTO_EXPORT const char* pelto_calibration_mode_description(int64_t raw_value) PELTO_NOEXCEPT;
PELTO_EXPORT bool pelto_accuracy_criteria_is_valid(int64_t raw_value) PELTO_NOEXCEPT;

/* ---- Filter bank ------------------------------------------------------------------------------
 * One-euro filtering of several channels sampled together. Results are bit-exact, as in C++. A
 * bank is not synchronised: one thread at a time per bank. */

#define PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_COUNT INT64_C(2)
#define PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_FREQUENCY 30.0
#define PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_MIN_CUT_OFF 1.0
#define PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_BETA 0.007
#define PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_D_CUT_OFF 1.0

typedef struct pelto_one_euro_filter_manager pelto_one_euro_filter_manager;

/// A bank of `count` channels; frequencies in Hz. A count of zero or less gives the default count,
/// a frequency or cutoff of zero or less its default; beta is taken as given. NULL when the
/// channels cannot be allocated (a huge count).
PELTO_EXPORT pelto_one_euro_filter_manager*
pelto_one_euro_filter_manager_create(int64_t count, double freq, double min_cut_off, double beta,
                                     double d_cut_off) PELTO_NOEXCEPT;

/// How a bank reads timestamps (TimestampPrecision raw values). WHOLE_MILLISECONDS, the default,
/// truncates them and resets the bank on a repeated one (camera clocks); EXACT keeps fractions of
/// a millisecond and refuses a timestamp not later than the previous one, leaving the bank as it
/// was (research trackers' clocks).
#define PELTO_TIMESTAMP_PRECISION_WHOLE_MILLISECONDS INT64_C(0)
#define PELTO_TIMESTAMP_PRECISION_EXACT INT64_C(1)

/// What a bank takes each channel's rate of change against (DerivativeSource raw values): RAW, the
/// default, the previous input (the filter as first published); FILTERED, the previous smoothed
/// value (the filter's authors' current reference).
#define PELTO_DERIVATIVE_SOURCE_RAW INT64_C(0)
#define PELTO_DERIVATIVE_SOURCE_FILTERED INT64_C(1)

PELTO_EXPORT bool pelto_timestamp_precision_is_valid(int64_t raw_value) PELTO_NOEXCEPT;
PELTO_EXPORT const char* pelto_timestamp_precision_description(int64_t raw_value) PELTO_NOEXCEPT;
PELTO_EXPORT bool pelto_derivative_source_is_valid(int64_t raw_value) PELTO_NOEXCEPT;
PELTO_EXPORT const char* pelto_derivative_source_description(int64_t raw_value) PELTO_NOEXCEPT;

/// A bank's construction choices beyond its parameters. Fill it with pelto_filter_options_init,
/// then change what you need (a versioned struct, see the conventions above).
typedef struct pelto_filter_options {
    size_t size; /* sizeof(pelto_filter_options), set by pelto_filter_options_init */
    int64_t timestamp_precision; /* PELTO_TIMESTAMP_PRECISION_*; initially WHOLE_MILLISECONDS */
    int64_t derivative_source;   /* PELTO_DERIVATIVE_SOURCE_*; initially RAW */
} pelto_filter_options;

/// Fills `options` with the defaults and its size. NULL is ignored.
PELTO_EXPORT void pelto_filter_options_init(pelto_filter_options* options) PELTO_NOEXCEPT;

/// pelto_one_euro_filter_manager_create with construction choices; `options` NULL: the defaults,
/// the same bank. NULL when the channels cannot be allocated, `options->size` is less than this
/// first release's sizeof(pelto_filter_options), or a choice is no case.
PELTO_EXPORT pelto_one_euro_filter_manager* pelto_one_euro_filter_manager_create_with_options(
    int64_t count, double freq, double min_cut_off, double beta, double d_cut_off,
    const pelto_filter_options* options) PELTO_NOEXCEPT;

/// A bank's channel count, parameters and construction choices: freq, min_cut_off, beta and
/// d_cut_off are C++'s FilterParameters member for member, the choices its TimestampPrecision and
/// DerivativeSource raw values.
typedef struct pelto_filter_parameters {
    int64_t count;
    double freq;
    double min_cut_off;
    double beta;
    double d_cut_off;
    int64_t timestamp_precision;
    int64_t derivative_source;
} pelto_filter_parameters;

/// The bank's channel count, parameters in force (invalid ones replaced by the defaults) and
/// construction choices, as pelto_one_euro_filter_manager_create_with_options takes them; an empty
/// bank's are all zero. False, and nothing written, when `bank` or `parameters` is NULL.
PELTO_EXPORT bool
pelto_one_euro_filter_manager_get_parameters(const pelto_one_euro_filter_manager* bank,
                                             pelto_filter_parameters* parameters) PELTO_NOEXCEPT;

/// The bank's running state, an opaque byte string the same on every platform (a file, a message):
/// copies it into `buffer` when it fits in `capacity` bytes and returns its size either way; pass
/// NULL and 0 to ask for the size. 0 when `bank` is NULL or empty, or memory runs out.
PELTO_EXPORT size_t pelto_one_euro_filter_manager_save_state(
    const pelto_one_euro_filter_manager* bank, void* buffer, size_t capacity) PELTO_NOEXCEPT;

/// Puts back a state saved from a bank with the same count, parameters and choices; the bank then
/// continues exactly as that one would. False, and nothing changes, for anything else (NULL
/// included).
PELTO_EXPORT bool pelto_one_euro_filter_manager_restore_state(pelto_one_euro_filter_manager* bank,
                                                              const void* state,
                                                              size_t size) PELTO_NOEXCEPT;

/// An empty bank without filters: every non-empty sample is refused and it holds no values. NULL
/// when memory runs out.
PELTO_EXPORT pelto_one_euro_filter_manager*
pelto_one_euro_filter_manager_create_empty(void) PELTO_NOEXCEPT;

/// An independent copy of `bank` that continues exactly as the original would. NULL when `bank`
/// is NULL or memory runs out.
PELTO_EXPORT pelto_one_euro_filter_manager*
pelto_one_euro_filter_manager_clone(const pelto_one_euro_filter_manager* bank) PELTO_NOEXCEPT;

/// Frees `bank`; NULL is ignored.
PELTO_EXPORT void
pelto_one_euro_filter_manager_destroy(pelto_one_euro_filter_manager* bank) PELTO_NOEXCEPT;

/// Smooths one sample: `val` holds `count` values, one per channel; `timestamp` is in
/// milliseconds (-1 means "no timestamp"), truncated toward zero unless the bank's precision is
/// EXACT. True when every channel was filtered.
///
/// False and nothing changes when `bank` is NULL, `val` is NULL with a non-zero `count`, `count`
/// differs from the number of channels, or `timestamp` is not finite (or, with whole
/// milliseconds, outside [-2^63, 2^63)); with EXACT, also when `timestamp` is not later than the
/// previous one. False and the bank resets to its freshly built state (all values zero, the next
/// sample passes through) when a channel's result is not finite, e.g. after a NaN value or, with
/// whole milliseconds, a repeated timestamp.
/// Allocates nothing.
PELTO_EXPORT bool pelto_one_euro_filter_manager_filter_values(pelto_one_euro_filter_manager* bank,
                                                              double timestamp, const double* val,
                                                              size_t count) PELTO_NOEXCEPT;

/// Copies the latest smoothed value of every channel (zeros before the first accepted sample and
/// after a reset) into `values`, at most `capacity` of them, and returns the number of channels.
/// Nothing is written when `values` is NULL; pass NULL and 0 to ask for the number. Returns 0 when
/// `bank` is NULL or the bank is empty. Allocates nothing.
PELTO_EXPORT size_t pelto_one_euro_filter_manager_get_filtered_values(
    const pelto_one_euro_filter_manager* bank, double* values, size_t capacity) PELTO_NOEXCEPT;

/// What pelto_one_euro_filter_manager_filter_samples returns for arguments it refuses.
#define PELTO_FILTER_SAMPLES_INVALID SIZE_MAX

/// Smooths `rows` samples in one call. `timestamps` holds `rows` timestamps; `values` and
/// `smoothed` each hold `rows` × `channels` values, row-major, one row per timestamp; `accepted`,
/// when not NULL, receives one flag per row (1 accepted, 0 refused). Row i of `smoothed` and
/// `accepted[i]` are what pelto_one_euro_filter_manager_filter_values with row i followed by
/// pelto_one_euro_filter_manager_get_filtered_values give. Returns the number of accepted rows.
///
/// Zero rows return 0 and touch nothing, whatever the array pointers. Returns
/// PELTO_FILTER_SAMPLES_INVALID and changes neither the bank nor any buffer when `bank` is NULL,
/// `channels` differs from the bank's number of channels, or, with rows, `timestamps`, `values` or
/// `smoothed` is NULL. An empty bank accepts no row. Allocates nothing.
PELTO_EXPORT size_t pelto_one_euro_filter_manager_filter_samples(
    pelto_one_euro_filter_manager* bank, const double* timestamps, size_t rows,
    const double* values, size_t channels, double* smoothed, uint8_t* accepted) PELTO_NOEXCEPT;

/// The instruction set the filter banks' per-channel work runs with in this process: "baseline"
/// (x86-64's SSE2, or the portable code elsewhere), "avx2" or "avx512", the widest the CPU
/// supports, chosen once. Every choice gives the same results bit for bit; only the speed differs.
/// The environment variable PELTO_ISA, set to one of these names before the first sample, caps
/// the choice. Static text, never NULL.
PELTO_EXPORT const char* pelto_filter_instruction_set(void) PELTO_NOEXCEPT;

/* ---- Gaze sample ------------------------------------------------------------------------------
 * An immutable gaze sample; may be read from any thread. */

typedef struct pelto_gaze_info pelto_gaze_info;

/// A sample holding every argument unchanged (non-finite numbers and state raw values that are no
/// case included). Note that `timestamp` comes first. NULL when memory runs out.
PELTO_EXPORT pelto_gaze_info* pelto_gaze_info_create(double timestamp, double x, double y,
                                                     int64_t tracking_state,
                                                     int64_t eye_movement_state,
                                                     int64_t screen_state) PELTO_NOEXCEPT;

/// Adds a reference to `gaze_info` and returns it; NULL gives NULL.
PELTO_EXPORT pelto_gaze_info* pelto_gaze_info_retain(pelto_gaze_info* gaze_info) PELTO_NOEXCEPT;
/// Drops a reference; the sample is freed with the last. NULL is ignored.
PELTO_EXPORT void pelto_gaze_info_release(pelto_gaze_info* gaze_info) PELTO_NOEXCEPT;

/// The stored values; 0.0 or 0 for a NULL sample.
PELTO_EXPORT double pelto_gaze_info_x(const pelto_gaze_info* gaze_info) PELTO_NOEXCEPT;
PELTO_EXPORT double pelto_gaze_info_y(const pelto_gaze_info* gaze_info) PELTO_NOEXCEPT;
PELTO_EXPORT double pelto_gaze_info_timestamp(const pelto_gaze_info* gaze_info) PELTO_NOEXCEPT;
PELTO_EXPORT int64_t pelto_gaze_info_tracking_state(const pelto_gaze_info* gaze_info)
    PELTO_NOEXCEPT;
PELTO_EXPORT int64_t pelto_gaze_info_eye_movement_state(const pelto_gaze_info* gaze_info)
    PELTO_NOEXCEPT;
PELTO_EXPORT int64_t pelto_gaze_info_screen_state(const pelto_gaze_info* gaze_info) PELTO_NOEXCEPT;

/* ---- User-status options ---------------------------------------------------------------------
 * The user-status features a host asks of a tracker. A feature once switched on stays on. Not
 * synchronised. */

typedef struct pelto_user_status_option pelto_user_status_option;

/// An option object with all three features off. NULL when memory runs out.
PELTO_EXPORT pelto_user_status_option* pelto_user_status_option_create(void) PELTO_NOEXCEPT;
/// Adds a reference to `option` and returns it; NULL gives NULL.
PELTO_EXPORT pelto_user_status_option*
pelto_user_status_option_retain(pelto_user_status_option* option) PELTO_NOEXCEPT;
/// Drops a reference; the object is freed with the last. NULL is ignored.
PELTO_EXPORT void pelto_user_status_option_release(pelto_user_status_option* option) PELTO_NOEXCEPT;

/// Whether the feature is switched on; false for NULL.
PELTO_EXPORT bool
pelto_user_status_option_is_use_attension(const pelto_user_status_option* option) PELTO_NOEXCEPT;
PELTO_EXPORT bool
pelto_user_status_option_is_use_blink(const pelto_user_status_option* option) PELTO_NOEXCEPT;
PELTO_EXPORT bool
pelto_user_status_option_is_use_drowsiness(const pelto_user_status_option* option) PELTO_NOEXCEPT;

/// Switches the feature on (all three for _use_all), leaving the others; NULL is ignored.
PELTO_EXPORT void
pelto_user_status_option_use_attention(pelto_user_status_option* option) PELTO_NOEXCEPT;
PELTO_EXPORT void
pelto_user_status_option_use_blink(pelto_user_status_option* option) PELTO_NOEXCEPT;
PELTO_EXPORT void
pelto_user_status_option_use_drowsiness(pelto_user_status_option* option) PELTO_NOEXCEPT;
PELTO_EXPORT void pelto_user_status_option_use_all(pelto_user_status_option* option) PELTO_NOEXCEPT;

/* ---- Delegates --------------------------------------------------------------------------------
 * A delegate is one object that can serve as any of the six delegate interfaces. The host gives
 * one function per operation; NULL leaves an operation out. A delegate implements an interface
 * when it provides all of that interface's required operations:
 *   status:          on_started and on_stopped
 *   gaze:            on_gaze
 *   calibration:     on_calibration_next_point, on_calibration_progress, on_calibration_finished
 *   image:           on_image
 *   user status:     none (on_attension, on_blink and on_drowsiness are optional)
 *   initialisation:  on_initialized
 * Every callback receives the delegate's `user` pointer first and must not throw. In this build
 * the library only ever calls on_initialized. */

typedef struct pelto_delegate pelto_delegate;
typedef struct pelto_gaze_tracker pelto_gaze_tracker;

typedef struct pelto_delegate_callbacks {
    /// sizeof(pelto_delegate_callbacks) as the host was compiled: set it before anything else.
    /// Later versions add callbacks at the end only; the library reads no further than this size,
    /// and a callback that lies beyond it counts as NULL.
    size_t struct_size;
    /// Tracking has started.
    void (*on_started)(void* user);
    /// Tracking has stopped; `error` is a StatusError raw value.
    void (*on_stopped)(void* user, int64_t error);
    /// One gaze sample, borrowed for the call.
    void (*on_gaze)(void* user, pelto_gaze_info* gaze_info);
    /// Position of the next calibration target.
    void (*on_calibration_next_point)(void* user, double x, double y);
    /// Progress of the running calibration.
    void (*on_calibration_progress)(void* user, double progress);
    /// Calibration has finished; `count` values, valid for the call, as
    /// pelto_gaze_tracker_set_calibration_data takes them.
    void (*on_calibration_finished)(void* user, const double* calibration_data, size_t count);
    /// One camera frame, an opaque reference valid for the call.
    void (*on_image)(void* user, double timestamp, const void* image);
    /// Attention `score` for the period from `timestamp_begin` to `timestamp_end`.
    void (*on_attension)(void* user, int64_t timestamp_begin, int64_t timestamp_end, double score);
    /// Blink flags for the left eye, the right eye and overall, and the eyes' openness.
    void (*on_blink)(void* user, int64_t timestamp, bool is_blink_left, bool is_blink_right,
                     bool is_blink, double eye_openness);
    /// Drowsiness state at `timestamp`.
    void (*on_drowsiness)(void* user, int64_t timestamp, bool is_drowsiness);
    /// Outcome of one pelto_init_gaze_tracker call, on the main queue: `tracker` (borrowed for the
    /// call; retain it to keep it) or NULL on failure, and an InitializationError raw value. This
    /// build always reports NULL and PELTO_INITIALIZATION_ERROR_ERROR_NO_GAZE_ENGINE.
    void (*on_initialized)(void* user, pelto_gaze_tracker* tracker, int64_t error);
} pelto_delegate_callbacks;

/// A delegate calling `callbacks` (its first `struct_size` bytes copied) with `user`. `destroy`, if
/// not NULL, is called with `user` once, when the delegate dies: on the thread that drops the last
/// reference, which may be inside pelto_delegate_release or, for a pending initialisation report,
/// inside pelto_main_queue_drain. The delegate is unusable by then. Returns NULL, and calls
/// nothing, when `callbacks` is NULL, its `struct_size` is smaller than sizeof(size_t), or memory
/// runs out.
PELTO_EXPORT pelto_delegate* pelto_delegate_create(const pelto_delegate_callbacks* callbacks,
                                                   void* user,
                                                   void (*destroy)(void* user)) PELTO_NOEXCEPT;
/// Adds a reference to `delegate` and returns it; NULL gives NULL.
PELTO_EXPORT pelto_delegate* pelto_delegate_retain(pelto_delegate* delegate) PELTO_NOEXCEPT;
/// Drops a reference. Tracker slots do not count: when the host's last reference goes (and no
/// initialisation report is pending for it) the delegate dies and its slots read back empty.
/// NULL is ignored.
PELTO_EXPORT void pelto_delegate_release(pelto_delegate* delegate) PELTO_NOEXCEPT;

/* ---- Gaze tracker -----------------------------------------------------------------------------
 * Hosts receive trackers through on_initialized only. This build carries no gaze engine: every
 * tracking, calibration, preview and attention operation returns at once, changes nothing, calls
 * no delegate and answers false or 0.0. The five delegate slots hold their delegates weakly.
 * A tracker is not synchronised: a host that shares one between threads serialises its calls. */

/// A rectangle: origin (x, y) and size (width, height).
typedef struct pelto_rect {
    double x;
    double y;
    double width;
    double height;
} pelto_rect;

/// Adds a reference to `tracker` and returns it; NULL gives NULL.
PELTO_EXPORT pelto_gaze_tracker*
pelto_gaze_tracker_retain(pelto_gaze_tracker* tracker) PELTO_NOEXCEPT;
/// Drops a reference; the tracker dies with the last (calling no delegate). NULL is ignored.
PELTO_EXPORT void pelto_gaze_tracker_release(pelto_gaze_tracker* tracker) PELTO_NOEXCEPT;

/// The delegate in the slot, as a new reference the caller releases; NULL when the slot is empty,
/// its delegate has died, it holds a delegate that was not made by pelto_delegate_create (C++
/// code may put one there), or `tracker` is NULL.
PELTO_EXPORT pelto_delegate*
pelto_gaze_tracker_status_delegate(const pelto_gaze_tracker* tracker) PELTO_NOEXCEPT;
PELTO_EXPORT pelto_delegate*
pelto_gaze_tracker_gaze_delegate(const pelto_gaze_tracker* tracker) PELTO_NOEXCEPT;
PELTO_EXPORT pelto_delegate*
pelto_gaze_tracker_calibration_delegate(const pelto_gaze_tracker* tracker) PELTO_NOEXCEPT;
PELTO_EXPORT pelto_delegate*
pelto_gaze_tracker_image_delegate(const pelto_gaze_tracker* tracker) PELTO_NOEXCEPT;
PELTO_EXPORT pelto_delegate*
pelto_gaze_tracker_user_status_delegate(const pelto_gaze_tracker* tracker) PELTO_NOEXCEPT;

/// Stores a weak reference to `delegate` in the slot (NULL empties it); calls no delegate. False,
/// and the slot is unchanged, when `tracker` is NULL or `delegate` does not implement the slot's
/// interface.
PELTO_EXPORT bool pelto_gaze_tracker_set_status_delegate(pelto_gaze_tracker* tracker,
                                                         pelto_delegate* delegate) PELTO_NOEXCEPT;
PELTO_EXPORT bool pelto_gaze_tracker_set_gaze_delegate(pelto_gaze_tracker* tracker,
                                                       pelto_delegate* delegate) PELTO_NOEXCEPT;
PELTO_EXPORT bool
pelto_gaze_tracker_set_calibration_delegate(pelto_gaze_tracker* tracker,
                                            pelto_delegate* delegate) PELTO_NOEXCEPT;
PELTO_EXPORT bool pelto_gaze_tracker_set_image_delegate(pelto_gaze_tracker* tracker,
                                                        pelto_delegate* delegate) PELTO_NOEXCEPT;
PELTO_EXPORT bool
pelto_gaze_tracker_set_user_status_delegate(pelto_gaze_tracker* tracker,
                                            pelto_delegate* delegate) PELTO_NOEXCEPT;

/// Rewrites all five slots in argument order, as the single setters do (NULL empties a slot).
/// False, and no slot changes, when `tracker` is NULL or a delegate does not implement its slot's
/// interface.
PELTO_EXPORT bool pelto_gaze_tracker_set_delegates(
    pelto_gaze_tracker* tracker, pelto_delegate* status_delegate, pelto_delegate* gaze_delegate,
    pelto_delegate* calibration_delegate, pelto_delegate* image_delegate,
    pelto_delegate* user_status_delegate) PELTO_NOEXCEPT;

/// Would start tracking; does nothing in this build. NULL is ignored, as by every operation below
/// that returns nothing.
PELTO_EXPORT void pelto_gaze_tracker_start_tracking(pelto_gaze_tracker* tracker) PELTO_NOEXCEPT;
/// Would stop tracking; does nothing in this build.
PELTO_EXPORT void pelto_gaze_tracker_stop_tracking(pelto_gaze_tracker* tracker) PELTO_NOEXCEPT;
/// Whether tracking runs; false in this build and for NULL.
PELTO_EXPORT bool pelto_gaze_tracker_is_tracking(const pelto_gaze_tracker* tracker) PELTO_NOEXCEPT;
/// Would set the tracking rate; false (not set) in this build and for NULL.
PELTO_EXPORT bool pelto_gaze_tracker_set_tracking_fps(pelto_gaze_tracker* tracker,
                                                      int64_t fps) PELTO_NOEXCEPT;
/// Whether a calibration runs; false in this build and for NULL.
PELTO_EXPORT bool
pelto_gaze_tracker_is_calibrating(const pelto_gaze_tracker* tracker) PELTO_NOEXCEPT;
/// Would start a calibration; `mode` is a CalibrationMode and `criteria` an AccuracyCriteria raw
/// value, carried as they come. False (not started) in this build and for NULL.
PELTO_EXPORT bool pelto_gaze_tracker_start_calibration(pelto_gaze_tracker* tracker, int64_t mode,
                                                       int64_t criteria,
                                                       pelto_rect region) PELTO_NOEXCEPT;
/// Would load `count` values of an earlier calibration; false (not loaded) in this build, for
/// NULL, and for a NULL `calibration_data` with a non-zero `count`.
PELTO_EXPORT bool pelto_gaze_tracker_set_calibration_data(pelto_gaze_tracker* tracker,
                                                          const double* calibration_data,
                                                          size_t count) PELTO_NOEXCEPT;
/// Would stop the running calibration; does nothing in this build.
PELTO_EXPORT void pelto_gaze_tracker_stop_calibration(pelto_gaze_tracker* tracker) PELTO_NOEXCEPT;
/// Would start collecting calibration samples; false (not started) in this build and for NULL.
PELTO_EXPORT bool
pelto_gaze_tracker_start_collect_samples(pelto_gaze_tracker* tracker) PELTO_NOEXCEPT;
/// Would show the camera preview in the host's view `preview`; does nothing, keeps no reference.
PELTO_EXPORT void pelto_gaze_tracker_set_camera_preview(pelto_gaze_tracker* tracker,
                                                        void* preview) PELTO_NOEXCEPT;
/// Would remove the camera preview; does nothing in this build.
PELTO_EXPORT void
pelto_gaze_tracker_remove_camera_preview(pelto_gaze_tracker* tracker) PELTO_NOEXCEPT;
/// Would set the attention scoring interval; does nothing in this build.
PELTO_EXPORT void pelto_gaze_tracker_set_attention_interval(pelto_gaze_tracker* tracker,
                                                            int64_t interval) PELTO_NOEXCEPT;
/// The latest attention score; 0.0 in this build and for NULL.
PELTO_EXPORT double
pelto_gaze_tracker_get_attention_score(const pelto_gaze_tracker* tracker) PELTO_NOEXCEPT;

/* ---- Initialisation, release and version ----------------------------------------------------- */

/// Starts creating a tracker and returns at once. The outcome reaches `delegate`'s on_initialized
/// once, from pelto_main_queue_drain, after this call has returned; the pending report keeps
/// `delegate` alive until then, so the caller may release it at once. Reports arrive in call
/// order. `option` (may be NULL) selects the user-status features; this build does not read it.
/// Any thread. True when the report was queued; false, and nothing queued, when `delegate` is NULL,
/// has no on_initialized, or memory runs out.
PELTO_EXPORT bool pelto_init_gaze_tracker(pelto_delegate* delegate,
                                          pelto_user_status_option* option) PELTO_NOEXCEPT;

/// Takes back a tracker received through on_initialized. Does nothing in this build: the tracker,
/// its slots and the caller's reference (release it separately) stay as they are. NULL is
/// accepted.
PELTO_EXPORT void pelto_deinit_gaze_tracker(pelto_gaze_tracker* tracker) PELTO_NOEXCEPT;

/// Writes the library's version text, such as "1.0.0-simulator" ("version error" when the
/// library's bundle is missing or has no version), into `buffer` snprintf-style: at most
/// `capacity` - 1 bytes and a terminating NUL (nothing when `buffer` is NULL or `capacity` is 0).
/// Returns the text's full length without the NUL; a result >= `capacity` means the text was cut.
/// Returns 0 (writing an empty text if it can) when memory runs out. Read afresh on every call.
PELTO_EXPORT size_t pelto_get_framework_version(char* buffer, size_t capacity) PELTO_NOEXCEPT;

/* ---- Main queue -------------------------------------------------------------------------------
 * The library's asynchronous reports (on_initialized) wait on the process-wide main queue until
 * the host's main thread drains it: once per turn of its own loop, or whenever the wake-up hook
 * tells its event loop to. Thread-safe. The queue lives for the whole process: it may be used from
 * static destructors and atexit handlers, and reports still queued at exit are neither run nor
 * destroyed (their delegates' destroy callbacks are not called). */

/// Runs, in posting order, the reports queued when the call began and returns how many ran. Call
/// it from the main thread. Returns 0 if a task posted by C++ code threw: the exception is
/// swallowed, and the tasks behind it stay queued for the next drain (the wake-up hook is called
/// again for them).
PELTO_EXPORT size_t pelto_main_queue_drain(void) PELTO_NOEXCEPT;

/// Installs `hook`, called with `user` on the posting thread each time a report is queued (so it
/// must be safe on any thread; it should only wake the host's event loop), replacing the previous
/// hook. NULL removes the hook. False, and the previous hook stays, when memory runs out.
/// Returns only once no call of the previous hook is under way on another thread: after clearing
/// or replacing it, the host may free the previous `user`. The hook must therefore not wait for a
/// thread that replaces it. Called from inside the previous hook, it does not wait for that call.
PELTO_EXPORT bool pelto_main_queue_set_wake_up_hook(void (*hook)(void* user),
                                                    void* user) PELTO_NOEXCEPT;

/// Whether some report is waiting to run. Any thread.
PELTO_EXPORT bool pelto_main_queue_has_pending_tasks(void) PELTO_NOEXCEPT;

/* ---- Bundle registry --------------------------------------------------------------------------
 * The process-wide registry from which pelto_get_framework_version reads the version text: the
 * short version of the bundle PELTO_LIBRARY_BUNDLE_IDENTIFIER. It starts with the library's own
 * bundle. Thread-safe. */

#define PELTO_LIBRARY_BUNDLE_IDENTIFIER "org.pelto.Pelto"

/// Registers a bundle under `identifier`, replacing any bundle there. With a `short_version`, its
/// information dictionary holds that text as the short version; with NULL, the bundle has no
/// information dictionary. False, and nothing changes, when `identifier` is NULL or memory runs
/// out.
PELTO_EXPORT bool pelto_bundle_registry_register_bundle(const char* identifier,
                                                        const char* short_version) PELTO_NOEXCEPT;

/// Removes the bundle registered under `identifier`; false if there was none or it is NULL.
PELTO_EXPORT bool pelto_bundle_registry_remove_bundle(const char* identifier) PELTO_NOEXCEPT;

/// Puts the registry back into its starting state: the library's own bundle alone. False, and
/// nothing changes, when memory runs out.
PELTO_EXPORT bool pelto_bundle_registry_restore_defaults(void) PELTO_NOEXCEPT;

/* ---- Tuning ----------------------------------------------------------------------------------
 * Finds the filter bank parameters that suit a recording: its own jitter in still periods and lag
 * behind fast movements, measured over a grid of minimum cutoffs and betas. The classification,
 * the figures, the grid and the recommendation are those of <pelto/tuning/Tuning.hpp>. */

/// Why a recording cannot be tuned (TuningStatus raw values); pelto_tuning_status_text explains.
#define PELTO_TUNING_STATUS_OK INT64_C(0)
#define PELTO_TUNING_STATUS_TOO_FEW_SAMPLES INT64_C(1)
#define PELTO_TUNING_STATUS_ALL_REFUSED INT64_C(2)
#define PELTO_TUNING_STATUS_NO_MOTION INT64_C(3)
#define PELTO_TUNING_STATUS_NO_MOVEMENTS INT64_C(4)
#define PELTO_TUNING_STATUS_NO_STILL_PERIODS INT64_C(5)
#define PELTO_TUNING_STATUS_NO_SETTING_WITHIN_BUDGET INT64_C(6)

PELTO_EXPORT bool pelto_tuning_status_is_valid(int64_t raw_value) PELTO_NOEXCEPT;
/// The case's name, such as "NO_MOTION"; "" (static) for a value that is no status.
PELTO_EXPORT const char* pelto_tuning_status_description(int64_t raw_value) PELTO_NOEXCEPT;

/// A sentence saying what the status means. Static text; "" for a value that is no status.
PELTO_EXPORT const char* pelto_tuning_status_text(int64_t status) PELTO_NOEXCEPT;

/// Thresholds, grid and budget: TuningOptions and MeasuringOptions, member for member. Fill it
/// with pelto_tuning_options_init, then change what you need.
typedef struct pelto_tuning_options {
    size_t size;       /* sizeof(pelto_tuning_options), set by pelto_tuning_options_init */
    double max_lag_ms; /* lag budget; NaN (the initial value): DEFAULT_MAX_LAG_MS, 20 ms */
    size_t min_cut_off_steps;
    double min_cut_off_low; /* Hz */
    double min_cut_off_high;
    size_t beta_steps;
    double boost_low; /* Hz: beta times the typical movement speed */
    double boost_high;
    double freq;      /* fixed for every parameter set */
    double d_cut_off; /* fixed for every parameter set */
    size_t threads;   /* 0: one per core */
    double fast_factor;
    double still_factor;
    double settle_ms;
    double lag_progress;
    /* From here on, members a caller built with an older, shorter struct leaves to their
     * defaults: */
    int64_t timestamp_precision; /* PELTO_TIMESTAMP_PRECISION_*; initially EXACT */
    int64_t derivative_source;   /* PELTO_DERIVATIVE_SOURCE_*; initially RAW */
} pelto_tuning_options;

/// What one parameter set does to the recording: Measurement, member for member (NaN: no data).
typedef struct pelto_tuning_measurement {
    double freq;
    double min_cut_off;
    double beta;
    double d_cut_off;
    size_t samples;
    size_t refused;
    size_t still_steps;
    size_t movements;
    size_t lags_measured;
    size_t lags_censored;
    double raw_jitter;
    double smoothed_jitter;
    double jitter_ratio;
    double mean_lag_ms;
    double median_lag_ms;
    double max_lag_ms;
} pelto_tuning_measurement;

/// The outcome of pelto_tune. The caller sets the first three members; pelto_tune the others.
typedef struct pelto_tuning_result {
    size_t size;                     /* in: sizeof(pelto_tuning_result) */
    pelto_tuning_measurement* front; /* in: room for the Pareto front, or NULL */
    size_t front_capacity;           /* in: entries at `front` */
    int64_t status;                  /* PELTO_TUNING_STATUS_* */
    const char* status_text;         /* pelto_tuning_status_text(status) */
    size_t front_count;      /* points on the front; the first min(front_count, capacity) written */
    double max_lag_ms;       /* the budget applied; NaN when no sweep ran */
    double sample_period_ms; /* SignalProfile: median interval */
    double median_speed;     /* channel units per second */
    double movement_speed;   /* the beta grid's scale */
    bool has_recommendation; /* true when the sweep ran: OK, or over budget (the least lag) */
    pelto_tuning_measurement recommendation; /* all NaN and 0 without one */
    pelto_tuning_measurement defaults;       /* the class defaults, whatever the status */
} pelto_tuning_result;

/// Fills `options` with the defaults of TuningOptions and its size. NULL is ignored.
PELTO_EXPORT void pelto_tuning_options_init(pelto_tuning_options* options) PELTO_NOEXCEPT;

/// Runs the sweep over the recording of `rows` timestamps (milliseconds) and `rows` × `channels`
/// values, row-major, with `options` (NULL: the defaults), on threads it joins before returning,
/// and fills `result`. A recording that cannot be tuned is no failure: the answer is true, with
/// the status saying why. The front is written into the caller's array by mean lag ascending.
///
/// False, and nothing written, when `result` is NULL or its size is less than
/// sizeof(pelto_tuning_result), `options` is not NULL and its size is less than the first
/// release's (offsetof(pelto_tuning_options, timestamp_precision); members past its size take
/// their defaults), a choice is no case, `channels` is 0 or more than 65,536 (MAX_CHANNELS),
/// `timestamps` or `values` is NULL with rows, `front` is NULL with a capacity, an option is out
/// of range (see tune()), or memory runs out.
PELTO_EXPORT bool pelto_tune(const double* timestamps, size_t rows, const double* values,
                             size_t channels, const pelto_tuning_options* options,
                             pelto_tuning_result* result) PELTO_NOEXCEPT;

/// A movement the tuning found (DetectedMovement): timestamps of its first and last samples,
/// distance from its start point to its end point, and peak speed (channel units per second).
typedef struct pelto_tuning_movement {
    double start_ms;
    double end_ms;
    double amplitude;
    double peak_speed;
} pelto_tuning_movement;

/// The movements of the recording, as pelto_tune finds them with `options`' thresholds (NULL: the
/// defaults), in time order: the first min(count, `capacity`) written to `movements`, and their
/// number to `*count`. False, and nothing written, when `count` is NULL, `movements` is NULL
/// with a capacity, or for the reasons pelto_tune gives.
PELTO_EXPORT bool pelto_tuning_movements(const double* timestamps, size_t rows,
                                         const double* values, size_t channels,
                                         const pelto_tuning_options* options,
                                         pelto_tuning_movement* movements, size_t capacity,
                                         size_t* count) PELTO_NOEXCEPT;

/// Runs pelto_tune's sweep and writes its whole report as JSON (the form of the demo's
/// tuning.json: status, budget and its basis, the lag's basis, the movements, the front and the
/// recommendation) to `buffer`, NUL-terminated, when it fits in `capacity` bytes; `*length`
/// receives its length without the NUL either way (capacity 0 asks for it; each call sweeps
/// again). False, and nothing written, when `length` is NULL, `buffer` is NULL with a capacity,
/// or for the reasons pelto_tune gives.
PELTO_EXPORT bool pelto_tune_json(const double* timestamps, size_t rows, const double* values,
                                  size_t channels, const pelto_tuning_options* options,
                                  char* buffer, size_t capacity, size_t* length) PELTO_NOEXCEPT;

#ifdef __cplusplus
} /* extern "C" */
#endif

// NOLINTEND(modernize-deprecated-headers, modernize-use-using)

#endif /* PELTO_PELTO_H */
