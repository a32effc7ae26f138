#ifndef PELTO_TYPES_ENUMERATION_TABLE_H
#define PELTO_TYPES_ENUMERATION_TABLE_H

/* The cases of every enumeration that crosses Pelto's boundary, one table each, written once:
 * the C++ enumerations and their texts (<pelto/types/Enumerations.hpp>,
 * <pelto/tuning/Tuning.hpp>) and the Python enumerations are expanded from here, and the build
 * checks the C constants of <pelto/pelto.h> (macros, for the preprocessor's sake) against it.
 *
 * PELTO_<ENUMERATION>_CASES(X) expands X(ENUMERATION, CASE, raw value, text) once per case, in
 * raw-value order. The raw value is a non-negative integer below 64; the text is the case's
 * constant upper-case text, spelled exactly as the system reports it, or "" for an enumeration
 * without texts (AccuracyCriteria). Plain C: macros only. */

#define PELTO_STATUS_ERROR_CASES(X)                                                                \
    X(STATUS_ERROR, ERROR_NONE, 0, "ERROR_NONE")                                                   \
    X(STATUS_ERROR, ERROR_CAMERA_START, 1, "ERROR_CAMERA_START")                                   \
    X(STATUS_ERROR, ERROR_CAMERA_INTERRUPT, 2, "ERROR_CAMERA_INTERRUPT")

/* ERROR_NO_GAZE_ENGINE: this build carries no gaze engine; every initialisation reports it. */
#define PELTO_INITIALIZATION_ERROR_CASES(X)                                                        \
    X(INITIALIZATION_ERROR, ERROR_NONE, 0, "ERROR_NONE")                                           \
    X(INITIALIZATION_ERROR, ERROR_INIT, 1, "ERROR_INIT")                                           \
    X(INITIALIZATION_ERROR, ERROR_CAMERA_PERMISSION, 2, "ERROR_CAMERA_PERMISSION")                 \
    X(INITIALIZATION_ERROR, ERROR_CAMERA_UNAVAILABLE, 3, "ERROR_CAMERA_UNAVAILABLE")               \
    X(INITIALIZATION_ERROR, ERROR_CAMERA_CONFIGURATION, 4, "ERROR_CAMERA_CONFIGURATION")           \
    X(INITIALIZATION_ERROR, ERROR_CAMERA_IN_USE, 5, "ERROR_CAMERA_IN_USE")                         \
    X(INITIALIZATION_ERROR, ERROR_MODEL_MISSING, 6, "ERROR_MODEL_MISSING")                         \
    X(INITIALIZATION_ERROR, ERROR_MODEL_CORRUPTED, 7, "ERROR_MODEL_CORRUPTED")                     \
    X(INITIALIZATION_ERROR, ERROR_MODEL_INCOMPATIBLE, 8, "ERROR_MODEL_INCOMPATIBLE")               \
    X(INITIALIZATION_ERROR, ERROR_OUT_OF_MEMORY, 9, "ERROR_OUT_OF_MEMORY")                         \
    X(INITIALIZATION_ERROR, ERROR_UNSUPPORTED_DEVICE, 10, "ERROR_UNSUPPORTED_DEVICE")              \
    X(INITIALIZATION_ERROR, ERROR_NO_GAZE_ENGINE, 11, "ERROR_NO_GAZE_ENGINE")                      \
    X(INITIALIZATION_ERROR, ERROR_ENGINE_START, 12, "ERROR_ENGINE_START")                          \
    X(INITIALIZATION_ERROR, ERROR_ALREADY_INITIALIZING, 13, "ERROR_ALREADY_INITIALIZING")          \
    X(INITIALIZATION_ERROR, ERROR_INVALID_OPTION, 14, "ERROR_INVALID_OPTION")                      \
    X(INITIALIZATION_ERROR, ERROR_RESOURCE_MISSING, 15, "ERROR_RESOURCE_MISSING")                  \
    X(INITIALIZATION_ERROR, ERROR_UNSUPPORTED_OS_VERSION, 16, "ERROR_UNSUPPORTED_OS_VERSION")      \
    X(INITIALIZATION_ERROR, ERROR_INTERNAL, 17, "ERROR_INTERNAL")

#define PELTO_TRACKING_STATE_CASES(X)                                                              \
    X(TRACKING_STATE, SUCCESS, 0, "SUCCESS")                                                       \
    X(TRACKING_STATE, LOW_CONFIDENCE, 1, "LOW_CONFIDENCE")                                         \
    X(TRACKING_STATE, UNSUPPORTED, 2, "UNSUPPORTED")                                               \
    X(TRACKING_STATE, FACE_MISSING, 3, "FACE_MISSING")

/* Raw value 1 is no case. */
#define PELTO_EYE_MOVEMENT_STATE_CASES(X)                                                          \
    X(EYE_MOVEMENT_STATE, FIXATION, 0, "FIXATION")                                                 \
    X(EYE_MOVEMENT_STATE, SACCADE, 2, "SACCADE")                                                   \
    X(EYE_MOVEMENT_STATE, UNKNOWN, 3, "UNKONW")

#define PELTO_SCREEN_STATE_CASES(X)                                                                \
    X(SCREEN_STATE, INSIDE_OF_SCREEN, 0, "INSIDE_OF_SCREEN")                                       \
    X(SCREEN_STATE, OUTSIDE_OF_SCREEN, 1, "OUTSIDE_OF_SCREEEN")                                    \
    X(SCREEN_STATE, UNKNOWN, 2, "UNKONW")

/* The point modes' raw value is their point count; raw values 2, 3 and 4 are no case. */
#define PELTO_CALIBRATION_MODE_CASES(X)                                                            \
    X(CALIBRATION_MODE, DEFAULT, 0, "DEFAULT")                                                     \
    X(CALIBRATION_MODE, ONE_POINT, 1, "ONE_POINT")                                                 \
    X(CALIBRATION_MODE, FIVE_POINT, 5, "FIVE_POINT")                                               \
    X(CALIBRATION_MODE, SIX_POINT, 6, "SIX_POINT")

/* No texts. */
#define PELTO_ACCURACY_CRITERIA_CASES(X)                                                           \
    X(ACCURACY_CRITERIA, CRITERIA_0, 0, "")                                                        \
    X(ACCURACY_CRITERIA, CRITERIA_1, 1, "")                                                        \
    X(ACCURACY_CRITERIA, CRITERIA_2, 2, "")

/* WHOLE_MILLISECONDS: truncated toward zero; a repeated or earlier timestamp resets the bank
 * (camera clocks). EXACT: kept as given; a timestamp not later than the previous one is refused
 * and leaves the bank as it was (research trackers' clocks). */
#define PELTO_TIMESTAMP_PRECISION_CASES(X)                                                         \
    X(TIMESTAMP_PRECISION, WHOLE_MILLISECONDS, 0, "WHOLE_MILLISECONDS")                            \
    X(TIMESTAMP_PRECISION, EXACT, 1, "EXACT")

/* RAW: the previous input, as the one-euro filter was first published (2012). FILTERED: the
 * previous smoothed value, as the filter's authors' current reference does (since 2023). */
#define PELTO_DERIVATIVE_SOURCE_CASES(X)                                                           \
    X(DERIVATIVE_SOURCE, RAW, 0, "RAW")                                                            \
    X(DERIVATIVE_SOURCE, FILTERED, 1, "FILTERED")

/* TOO_FEW_SAMPLES: no step, fewer than two consecutive usable samples. ALL_REFUSED: the filter
 * bank refuses every sample. NO_MOTION: the median speed is zero, a constant signal.
 * NO_MOVEMENTS: no movement with a lag to measure. NO_STILL_PERIODS: no still step to measure
 * jitter on. NO_SETTING_WITHIN_BUDGET: tuned over budget, the least lag is recommended. */
#define PELTO_TUNING_STATUS_CASES(X)                                                               \
    X(TUNING_STATUS, OK, 0, "OK")                                                                  \
    X(TUNING_STATUS, TOO_FEW_SAMPLES, 1, "TOO_FEW_SAMPLES")                                        \
    X(TUNING_STATUS, ALL_REFUSED, 2, "ALL_REFUSED")                                                \
    X(TUNING_STATUS, NO_MOTION, 3, "NO_MOTION")                                                    \
    X(TUNING_STATUS, NO_MOVEMENTS, 4, "NO_MOVEMENTS")                                              \
    X(TUNING_STATUS, NO_STILL_PERIODS, 5, "NO_STILL_PERIODS")                                      \
    X(TUNING_STATUS, NO_SETTING_WITHIN_BUDGET, 6, "NO_SETTING_WITHIN_BUDGET")

/* RECORDED: the recording's own movements. SYNTHESISED: movements synthesised on the recording's
 * clock and noise. */
#define PELTO_LAG_BASIS_CASES(X)                                                                   \
    X(LAG_BASIS, RECORDED, 0, "RECORDED")                                                          \
    X(LAG_BASIS, SYNTHESISED, 1, "SYNTHESISED")

#endif
