/* The C interface, driven from C. Exact numbers are those of the C++ tests. */

#include <pelto/pelto.h>

#include "TestingGazeTracker.h"
#include "support/Golden.h"

#include <math.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures = 0;

static void fail(const char* what, int line) {
    ++failures;
    fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, line, what);
}
#define CHECK(condition) ((condition) ? (void)0 : fail(#condition, __LINE__))

/* A delegate's user data. Reports must arrive in the order of the probes' ids. */
typedef struct Probe {
    int id, calls, destroyed; /* calls: slot-interface operations called */
} Probe;

static int reportCount = 0;

static void onStarted(void* user) {
    ++((Probe*)user)->calls;
}
static void onStopped(void* user, int64_t error) {
    CHECK(error == PELTO_STATUS_ERROR_ERROR_CAMERA_START), onStarted(user);
}
static void onGaze(void* user, pelto_gaze_info* info) {
    (void)info, onStarted(user);
}
static void onPoint(void* user, double x, double y) {
    (void)x, (void)y, onStarted(user);
}
static void onProgress(void* user, double progress) {
    (void)progress, onStarted(user);
}
static void onFinished(void* user, const double* data, size_t count) {
    (void)data, (void)count, onStarted(user);
}
static void onImage(void* user, double timestamp, const void* image) {
    (void)timestamp, (void)image, onStarted(user);
}
static void onDestroy(void* user) {
    ++((Probe*)user)->destroyed;
}
static void onInitialized(void* user, pelto_gaze_tracker* tracker, int64_t error) {
    CHECK(tracker == NULL && error == PELTO_INITIALIZATION_ERROR_ERROR_NO_GAZE_ENGINE);
    CHECK(((Probe*)user)->id == reportCount);
    ++reportCount;
}

/* Implements the four slot interfaces with required operations, or else only the initialisation. */
static pelto_delegate* makeDelegate(Probe* probe, bool slots) {
    const pelto_delegate_callbacks forSlots = {.struct_size = sizeof(pelto_delegate_callbacks),
                                               .on_started = onStarted,
                                               .on_stopped = onStopped,
                                               .on_gaze = onGaze,
                                               .on_calibration_next_point = onPoint,
                                               .on_calibration_progress = onProgress,
                                               .on_calibration_finished = onFinished,
                                               .on_image = onImage};
    const pelto_delegate_callbacks forInit = {.struct_size = sizeof(pelto_delegate_callbacks),
                                              .on_initialized = onInitialized};
    return pelto_delegate_create(slots ? &forSlots : &forInit, probe, onDestroy);
}

static bool versionIs(const char* expected) {
    char text[64];
    return pelto_get_framework_version(text, sizeof text) == strlen(expected) &&
           strcmp(text, expected) == 0;
}

static void testVersion(void) {
    const char* own = PELTO_LIBRARY_BUNDLE_IDENTIFIER;
    CHECK(pelto_version_number() == PELTO_VERSION_NUMBER);
    CHECK(strcmp(pelto_version_string(), PELTO_VERSION_STRING) == 0);
    CHECK(versionIs(PELTO_VERSION_STRING "-simulator"));
    char cut[4];
    CHECK(pelto_get_framework_version(cut, 4) == strlen(PELTO_VERSION_STRING "-simulator"));
    CHECK(strncmp(cut, PELTO_VERSION_STRING, 3) == 0 && cut[3] == '\0');

    CHECK(pelto_bundle_registry_remove_bundle(own) && !pelto_bundle_registry_remove_bundle(own));
    CHECK(versionIs("version error"));
    CHECK(pelto_bundle_registry_register_bundle(own, "2.3.4") && versionIs("2.3.4-simulator"));
    CHECK(pelto_bundle_registry_register_bundle(own, NULL) && versionIs("version error"));
    CHECK(!pelto_bundle_registry_register_bundle(NULL, "1"));
    CHECK(!pelto_bundle_registry_remove_bundle(NULL));
    CHECK(pelto_bundle_registry_restore_defaults() && versionIs(PELTO_VERSION_STRING "-simulator"));
}

#define ENUMERATION(name) pelto_##name##_is_valid, pelto_##name##_description

/* For each enumeration a case and a raw value that is none. */
static void testEnumerations(void) {
    const struct {
        bool (*isValid)(int64_t);
        const char* (*description)(int64_t);
        int64_t raw, none;
        const char* text;
    } cases[] = {
        {ENUMERATION(status_error), 2, 3, "ERROR_CAMERA_INTERRUPT"},
        {ENUMERATION(initialization_error), 11, INT64_MIN, "ERROR_NO_GAZE_ENGINE"},
        {ENUMERATION(tracking_state), PELTO_TRACKING_STATE_FACE_MISSING, -1, "FACE_MISSING"},
        {ENUMERATION(eye_movement_state), PELTO_EYE_MOVEMENT_STATE_UNKNOWN, 1, "UNKONW"},
        {ENUMERATION(screen_state), PELTO_SCREEN_STATE_OUTSIDE_OF_SCREEN, 3, "OUTSIDE_OF_SCREEEN"},
        {ENUMERATION(calibration_mode), PELTO_CALIBRATION_MODE_SIX_POINT, 4, "SIX_POINT"},
        {ENUMERATION(timestamp_precision), PELTO_TIMESTAMP_PRECISION_EXACT, 2, "EXACT"},
        {ENUMERATION(derivative_source), PELTO_DERIVATIVE_SOURCE_FILTERED, -1, "FILTERED"},
        {ENUMERATION(tuning_status), PELTO_TUNING_STATUS_NO_MOTION, 7, "NO_MOTION"},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        CHECK(cases[i].isValid(cases[i].raw) && !cases[i].isValid(cases[i].none));
        CHECK(strcmp(cases[i].description(cases[i].raw), cases[i].text) == 0);
        CHECK(strcmp(cases[i].description(cases[i].none), "") == 0);
    }
    CHECK(pelto_accuracy_criteria_is_valid(PELTO_ACCURACY_CRITERIA_CRITERIA_2));
    CHECK(!pelto_accuracy_criteria_is_valid(3));
}

/* The construction choices reach the bank, the getter and clones; a short options struct and a
 * choice that is no case are refused. */
static void testFilterOptions(void) {
    pelto_filter_options options;
    pelto_filter_options_init(&options);
    options.timestamp_precision = PELTO_TIMESTAMP_PRECISION_EXACT;
    options.derivative_source = PELTO_DERIVATIVE_SOURCE_FILTERED;
    pelto_one_euro_filter_manager* exact =
        pelto_one_euro_filter_manager_create_with_options(3, -1.0, 2.0, 0.5, 0.0, &options);
    pelto_one_euro_filter_manager* clone = pelto_one_euro_filter_manager_clone(exact);
    pelto_filter_parameters p;
    CHECK(pelto_one_euro_filter_manager_get_parameters(clone, &p));
    CHECK(p.count == 3 && p.freq == 30.0 && p.min_cut_off == 2.0 && p.beta == 0.5 &&
          p.d_cut_off == 1.0 && p.timestamp_precision == PELTO_TIMESTAMP_PRECISION_EXACT &&
          p.derivative_source == PELTO_DERIVATIVE_SOURCE_FILTERED);
    const double sample[3] = {1.0, 2.0, 3.0};
    CHECK(pelto_one_euro_filter_manager_filter_values(clone, 0.5, sample, 3));
    CHECK(!pelto_one_euro_filter_manager_filter_values(clone, 0.5, sample, 3));
    CHECK(pelto_one_euro_filter_manager_filter_values(clone, 0.75, sample, 3));

    /* A saved state continues exactly in a bank of the same shape, and nowhere else. */
    const size_t size = pelto_one_euro_filter_manager_save_state(clone, NULL, 0);
    unsigned char* state = malloc(size);
    CHECK(size > 0 && state != NULL &&
          pelto_one_euro_filter_manager_save_state(clone, state, size - 1) == size &&
          pelto_one_euro_filter_manager_save_state(clone, state, size) == size);
    pelto_testing_fail_allocations(true); /* no memory for the state: 0, not a size */
    CHECK(pelto_one_euro_filter_manager_save_state(clone, state, size) == 0);
    pelto_testing_fail_allocations(false);
    CHECK(pelto_one_euro_filter_manager_restore_state(exact, state, size) &&
          !pelto_one_euro_filter_manager_restore_state(exact, state, size - 1) &&
          !pelto_one_euro_filter_manager_restore_state(NULL, state, size));
    const double next[3] = {4.0, 5.0, 6.0};
    double fromClone[3];
    double fromRestored[3];
    CHECK(pelto_one_euro_filter_manager_filter_values(clone, 1.5, next, 3) &&
          pelto_one_euro_filter_manager_filter_values(exact, 1.5, next, 3));
    pelto_one_euro_filter_manager_get_filtered_values(clone, fromClone, 3);
    pelto_one_euro_filter_manager_get_filtered_values(exact, fromRestored, 3);
    CHECK(fromClone[0] == fromRestored[0] && fromClone[1] == fromRestored[1] &&
          fromClone[2] == fromRestored[2]);
    free(state);

    options.size = sizeof options - 1;
    CHECK(pelto_one_euro_filter_manager_create_with_options(2, 30.0, 1.0, 0.0, 1.0, &options) ==
          NULL);
    options.size = sizeof options;
    options.derivative_source = 2;
    CHECK(pelto_one_euro_filter_manager_create_with_options(2, 30.0, 1.0, 0.0, 1.0, &options) ==
          NULL);
    options.size = 0;
    CHECK(pelto_one_euro_filter_manager_create_with_options(2, 30.0, 1.0, 0.0, 1.0, &options) ==
          NULL);
    pelto_one_euro_filter_manager* plain =
        pelto_one_euro_filter_manager_create_with_options(2, 30.0, 1.0, 0.0, 1.0, NULL);
    CHECK(pelto_one_euro_filter_manager_get_parameters(plain, &p) &&
          p.timestamp_precision == PELTO_TIMESTAMP_PRECISION_WHOLE_MILLISECONDS);
    CHECK(!pelto_one_euro_filter_manager_get_parameters(NULL, &p) &&
          !pelto_one_euro_filter_manager_get_parameters(plain, NULL));
    pelto_one_euro_filter_manager_destroy(plain);
    pelto_one_euro_filter_manager_destroy(clone);
    pelto_one_euro_filter_manager_destroy(exact);
}

static void testFilterBank(void) {
    pelto_one_euro_filter_manager* banks[3] = {
        pelto_one_euro_filter_manager_create(PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_COUNT,
                                             PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_FREQUENCY,
                                             PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_MIN_CUT_OFF,
                                             PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_BETA,
                                             PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_D_CUT_OFF),
        /* A count, frequency or cutoff of zero or less takes the default. */
        pelto_one_euro_filter_manager_create(0, 0.0, -1.0, 0.007, 0.0), NULL};
    const pelto_golden_step* steps = PELTO_GOLDEN_BANK;
    for (size_t i = 0; i < sizeof PELTO_GOLDEN_BANK / sizeof *steps; ++i) {
        if (i == 1) { /* from here on, a clone continues exactly as the original */
            banks[2] = pelto_one_euro_filter_manager_clone(banks[0]);
        }
        for (size_t b = 0; b < (i == 0 ? 2U : 3U); ++b) {
            double values[2] = {-1.0, -1.0};
            CHECK(pelto_one_euro_filter_manager_filter_values(banks[b], steps[i].timestamp,
                                                              steps[i].sample,
                                                              steps[i].count) == steps[i].accepted);
            CHECK(pelto_one_euro_filter_manager_get_filtered_values(banks[b], values, 2) == 2);
            CHECK(values[0] == steps[i].after[0] && values[1] == steps[i].after[1]);
        }
    }
    /* A NULL list of non-zero length, or a NULL bank, is refused. */
    CHECK(!pelto_one_euro_filter_manager_filter_values(banks[0], 130.0, NULL, 2));
    CHECK(!pelto_one_euro_filter_manager_filter_values(NULL, 130.0, NULL, 0));
    /* Capacity bounds what is written, not what is answered. */
    double room[3] = {-1.0, -1.0, -1.0};
    CHECK(pelto_one_euro_filter_manager_get_filtered_values(banks[0], room, 1) == 2);
    CHECK(room[0] == steps[4].after[0] && room[1] == -1.0);
    CHECK(pelto_one_euro_filter_manager_get_filtered_values(banks[0], NULL, 2) == 2);
    CHECK(pelto_one_euro_filter_manager_get_filtered_values(NULL, room, 3) == 0 && room[2] == -1.0);

    /* A block of rows gives what the rows one by one gave. */
    pelto_one_euro_filter_manager* block =
        pelto_one_euro_filter_manager_create(2, 0.0, 0.0, 0.007, 0.0);
    double timestamps[5];
    double values[10];
    double smoothed[10];
    uint8_t accepted[5];
    for (size_t i = 0; i < 5; ++i) {
        timestamps[i] = steps[i].timestamp;
        memcpy(&values[2 * i], steps[i].sample, sizeof steps[i].sample);
    }
    CHECK(pelto_one_euro_filter_manager_filter_samples(block, timestamps, 5, values, 2, smoothed,
                                                       accepted) == 4);
    for (size_t i = 0; i < 5; ++i) {
        CHECK(accepted[i] == steps[i].accepted && smoothed[2 * i] == steps[i].after[0] &&
              smoothed[2 * i + 1] == steps[i].after[1]);
    }
    const size_t invalid = PELTO_FILTER_SAMPLES_INVALID;
    CHECK(pelto_one_euro_filter_manager_filter_samples(block, NULL, 0, NULL, 2, NULL, NULL) == 0);
    CHECK(pelto_one_euro_filter_manager_filter_samples(block, timestamps, 1, values, 1, smoothed,
                                                       NULL) == invalid);
    CHECK(pelto_one_euro_filter_manager_filter_samples(NULL, timestamps, 1, values, 2, smoothed,
                                                       NULL) == invalid);
    CHECK(pelto_one_euro_filter_manager_filter_samples(block, timestamps, 1, values, 2, NULL,
                                                       NULL) == invalid);
    CHECK(pelto_one_euro_filter_manager_filter_samples(block, timestamps, SIZE_MAX / 2 + 1, values,
                                                       2, smoothed, NULL) == invalid);
    pelto_one_euro_filter_manager_destroy(block);
    for (size_t b = 0; b < 3; ++b) {
        pelto_one_euro_filter_manager_destroy(banks[b]);
    }
    /* One channel: a NULL list of one value is refused like any other. */
    pelto_one_euro_filter_manager* single =
        pelto_one_euro_filter_manager_create(1, 30.0, 1.0, 0.0, 1.0);
    CHECK(!pelto_one_euro_filter_manager_filter_values(single, 0.0, NULL, 1));
    pelto_one_euro_filter_manager_destroy(single);
    pelto_one_euro_filter_manager* empty = pelto_one_euro_filter_manager_create_empty();
    CHECK(empty != NULL && !pelto_one_euro_filter_manager_filter_values(empty, 0.0, NULL, 0));
    CHECK(pelto_one_euro_filter_manager_get_filtered_values(empty, NULL, 0) == 0);
    CHECK(pelto_one_euro_filter_manager_filter_samples(empty, timestamps, 1, values, 0, smoothed,
                                                       NULL) == 0);
    pelto_one_euro_filter_manager_destroy(empty);
    pelto_one_euro_filter_manager_destroy(NULL);
    CHECK(pelto_one_euro_filter_manager_clone(NULL) == NULL);
    const char* vectors = pelto_filter_instruction_set();
    CHECK(strcmp(vectors, "baseline") == 0 || strcmp(vectors, "avx2") == 0 ||
          strcmp(vectors, "avx512") == 0);
}

static bool flagsAre(const pelto_user_status_option* option, bool attention, bool blink,
                     bool drowsiness) {
    return pelto_user_status_option_is_use_attension(option) == attention &&
           pelto_user_status_option_is_use_blink(option) == blink &&
           pelto_user_status_option_is_use_drowsiness(option) == drowsiness;
}

static void testValueObjects(void) {
    pelto_gaze_info* info = pelto_gaze_info_create(-INFINITY, NAN, -0.0, 9, -4, 7);
    CHECK(pelto_gaze_info_retain(info) == info);
    pelto_gaze_info_release(info);
    CHECK(isinf(pelto_gaze_info_timestamp(info)) && isnan(pelto_gaze_info_x(info)));
    CHECK(signbit(pelto_gaze_info_y(info)) && pelto_gaze_info_tracking_state(info) == 9);
    CHECK(pelto_gaze_info_eye_movement_state(info) == -4 &&
          pelto_gaze_info_screen_state(info) == 7);
    pelto_gaze_info_release(info);
    CHECK(pelto_gaze_info_x(NULL) == 0.0 && pelto_gaze_info_tracking_state(NULL) == 0);
    CHECK(pelto_gaze_info_retain(NULL) == NULL);

    pelto_user_status_option* option = pelto_user_status_option_create();
    CHECK(pelto_user_status_option_retain(option) == option &&
          flagsAre(option, false, false, false));
    pelto_user_status_option_use_blink(option);
    CHECK(flagsAre(option, false, true, false));
    pelto_user_status_option_use_attention(option);
    CHECK(flagsAre(option, true, true, false));
    pelto_user_status_option_use_drowsiness(option);
    CHECK(flagsAre(option, true, true, true));
    pelto_user_status_option_release(option);
    pelto_user_status_option_release(option);
    option = pelto_user_status_option_create();
    pelto_user_status_option_use_all(option);
    CHECK(flagsAre(option, true, true, true));
    pelto_user_status_option_release(option);
    /* A NULL handle: every reading answers zero, every change does nothing. */
    pelto_user_status_option_use_all(NULL);
    pelto_user_status_option_use_attention(NULL);
    pelto_user_status_option_use_blink(NULL);
    pelto_user_status_option_use_drowsiness(NULL);
    pelto_user_status_option_release(NULL);
    CHECK(flagsAre(NULL, false, false, false) && pelto_user_status_option_retain(NULL) == NULL);
    CHECK(pelto_gaze_info_timestamp(NULL) == 0.0 && pelto_gaze_info_y(NULL) == 0.0);
    CHECK(pelto_gaze_info_eye_movement_state(NULL) == 0 && pelto_gaze_info_screen_state(NULL) == 0);
    pelto_gaze_info_release(NULL);
}

static const struct {
    pelto_delegate* (*get)(const pelto_gaze_tracker*);
    bool (*set)(pelto_gaze_tracker*, pelto_delegate*);
} slots[5] = {
    {pelto_gaze_tracker_status_delegate, pelto_gaze_tracker_set_status_delegate},
    {pelto_gaze_tracker_gaze_delegate, pelto_gaze_tracker_set_gaze_delegate},
    {pelto_gaze_tracker_calibration_delegate, pelto_gaze_tracker_set_calibration_delegate},
    {pelto_gaze_tracker_image_delegate, pelto_gaze_tracker_set_image_delegate},
    {pelto_gaze_tracker_user_status_delegate, pelto_gaze_tracker_set_user_status_delegate},
};

/* Whether slot `index` holds `expected` (NULL: empty); drops the reference the read returns. */
static bool slotHolds(const pelto_gaze_tracker* tracker, size_t index,
                      const pelto_delegate* expected) {
    pelto_delegate* read = slots[index].get(tracker);
    pelto_delegate_release(read);
    return read == expected;
}

static void testTrackerSlots(void) {
    pelto_gaze_tracker* tracker = pelto_testing_make_gaze_tracker();
    Probe probes[3] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}};
    pelto_delegate* one = makeDelegate(&probes[0], true);
    pelto_delegate* initOnly = makeDelegate(&probes[1], false);
    /* Each slot on its own holds its delegate weakly, leaves the other four alone, and refuses
     * a delegate without the interface's required operations (the user-status one has none). */
    for (size_t index = 0; index < 5; ++index) {
        CHECK(pelto_gaze_tracker_set_delegates(tracker, one, one, one, one, one));
        pelto_delegate* delegate = makeDelegate(&probes[2], true);
        CHECK(slots[index].set(tracker, delegate));
        CHECK(slots[index].set(tracker, initOnly) == (index == 4));
        for (size_t i = 0; i < 5; ++i) {
            CHECK(slotHolds(tracker, i, i != index ? one : index == 4 ? initOnly : delegate));
        }
        pelto_delegate_release(delegate);
        CHECK(probes[2].destroyed == (int)index + 1);
        CHECK(index == 4 || slotHolds(tracker, index, NULL));
    }
    CHECK(!pelto_gaze_tracker_set_delegates(tracker, NULL, NULL, initOnly, NULL, NULL));
    CHECK(slotHolds(tracker, 0, one) && slotHolds(tracker, 2, one));
    pelto_delegate_release(initOnly);
    CHECK(probes[1].destroyed == 1 && slotHolds(tracker, 4, NULL));

    /* Every operation is inert and calls no delegate. */
    const pelto_rect region = {0.0, 0.0, 320.0, 480.0};
    const double calibration[2] = {0.5, 0.5};
    pelto_gaze_tracker_start_tracking(tracker);
    pelto_gaze_tracker_set_attention_interval(tracker, 30);
    pelto_gaze_tracker_stop_calibration(tracker);
    pelto_gaze_tracker_set_camera_preview(tracker, probes);
    pelto_gaze_tracker_remove_camera_preview(tracker);
    pelto_gaze_tracker_stop_tracking(tracker);
    pelto_deinit_gaze_tracker(tracker);
    pelto_deinit_gaze_tracker(NULL);
    CHECK(!pelto_gaze_tracker_is_tracking(tracker) && !pelto_gaze_tracker_is_calibrating(tracker));
    CHECK(!pelto_gaze_tracker_set_tracking_fps(tracker, 30));
    CHECK(pelto_gaze_tracker_get_attention_score(tracker) == 0.0);
    CHECK(!pelto_gaze_tracker_start_calibration(tracker, 5, 2, region));
    CHECK(!pelto_gaze_tracker_set_calibration_data(tracker, calibration, 2));
    CHECK(!pelto_gaze_tracker_set_calibration_data(tracker, NULL, 5));
    CHECK(!pelto_gaze_tracker_start_collect_samples(tracker));
    CHECK(probes[0].calls == 0 && !pelto_main_queue_has_pending_tasks());

    /* A reference from a slot read keeps the delegate alive like any other; the tracker's end
     * destroys no delegate. */
    CHECK(pelto_gaze_tracker_set_delegates(tracker, one, NULL, NULL, NULL, one));
    pelto_delegate* read = pelto_gaze_tracker_status_delegate(tracker);
    pelto_delegate_release(one);
    CHECK(probes[0].destroyed == 0 && slotHolds(tracker, 4, read) && slotHolds(tracker, 1, NULL));
    pelto_gaze_tracker_release(tracker);
    CHECK(probes[0].destroyed == 0);
    pelto_delegate_release(read);
    CHECK(probes[0].destroyed == 1);

    /* A NULL tracker: every answer is no, zero or NULL, and nothing is called or stored. */
    one = makeDelegate(&probes[0], true);
    for (size_t index = 0; index < 5; ++index) {
        CHECK(slots[index].get(NULL) == NULL && !slots[index].set(NULL, one));
    }
    CHECK(!pelto_gaze_tracker_set_delegates(NULL, one, one, one, one, one));
    pelto_gaze_tracker_start_tracking(NULL);
    pelto_gaze_tracker_stop_tracking(NULL);
    pelto_gaze_tracker_stop_calibration(NULL);
    pelto_gaze_tracker_set_attention_interval(NULL, 30);
    pelto_gaze_tracker_set_camera_preview(NULL, probes);
    pelto_gaze_tracker_remove_camera_preview(NULL);
    CHECK(pelto_gaze_tracker_get_attention_score(NULL) == 0.0);
    CHECK(!pelto_gaze_tracker_is_tracking(NULL) && !pelto_gaze_tracker_is_calibrating(NULL));
    CHECK(!pelto_gaze_tracker_set_tracking_fps(NULL, 30));
    CHECK(!pelto_gaze_tracker_start_calibration(NULL, 5, 2, region));
    CHECK(!pelto_gaze_tracker_set_calibration_data(NULL, NULL, 0));
    CHECK(!pelto_gaze_tracker_start_collect_samples(NULL));
    CHECK(pelto_gaze_tracker_retain(NULL) == NULL && pelto_delegate_retain(NULL) == NULL);
    pelto_gaze_tracker_release(NULL);
    pelto_delegate_release(NULL);
    pelto_delegate_release(one);
    CHECK(probes[0].calls == 0 && probes[0].destroyed == 2);
    CHECK(pelto_delegate_create(NULL, &probes[0], onDestroy) == NULL && probes[0].destroyed == 2);
}

static void onAttension(void* user, int64_t begin, int64_t end, double score) {
    (void)begin, (void)end, (void)score, onStarted(user);
}
static void onBlink(void* user, int64_t timestamp, bool left, bool right, bool blink, double open) {
    (void)timestamp, (void)left, (void)right, (void)blink, (void)open, onStarted(user);
}
static void onDrowsiness(void* user, int64_t timestamp, bool drowsiness) {
    (void)timestamp, (void)drowsiness, onStarted(user);
}
static void onAnyInitialized(void* user, pelto_gaze_tracker* tracker, int64_t error) {
    (void)tracker, (void)error, onStarted(user);
}

/* Every operation of the library's delegate interfaces, called on delegates that implement all of
 * them, the required ones only, or the initialisation only: each callback the host gave runs once,
 * and one left out is skipped. */
static void testOptionalCallbacks(void) {
    const pelto_delegate_callbacks all = {.struct_size = sizeof(pelto_delegate_callbacks),
                                          .on_started = onStarted,
                                          .on_stopped = onStopped,
                                          .on_gaze = onGaze,
                                          .on_calibration_next_point = onPoint,
                                          .on_calibration_progress = onProgress,
                                          .on_calibration_finished = onFinished,
                                          .on_image = onImage,
                                          .on_attension = onAttension,
                                          .on_blink = onBlink,
                                          .on_drowsiness = onDrowsiness,
                                          .on_initialized = onAnyInitialized};
    const int reports = reportCount;
    Probe probes[3] = {{0, 0, 0}, {1, 0, 0}, {reports, 0, 0}};
    pelto_delegate* delegates[3] = {pelto_delegate_create(&all, &probes[0], onDestroy),
                                    makeDelegate(&probes[1], true),
                                    makeDelegate(&probes[2], false)};
    const int expected[3] = {11, 7, 0};
    for (size_t i = 0; i < 3; ++i) {
        pelto_testing_notify_every_operation(delegates[i]);
        CHECK(probes[i].calls == expected[i]);
        pelto_delegate_release(delegates[i]);
        CHECK(probes[i].destroyed == 1);
    }
    CHECK(reportCount == reports + 1); /* the initialisation-only delegate's report */
    reportCount = reports;
}

/* A table of an older host, which ends before on_initialized (also in the middle of it): the
 * library reads nothing past the table's size, so that callback counts as missing. */
static void testOlderShorterTable(void) {
    const size_t end = offsetof(pelto_delegate_callbacks, on_initialized);
    const size_t sizes[] = {end, end + sizeof(void*) / 2};
    for (size_t i = 0; i < sizeof sizes / sizeof sizes[0]; ++i) {
        const pelto_delegate_callbacks table = {.struct_size = sizes[i],
                                                .on_initialized = onInitialized};
        pelto_delegate* delegate = pelto_delegate_create(&table, NULL, NULL);
        CHECK(delegate != NULL && !pelto_init_gaze_tracker(delegate, NULL));
        pelto_delegate_release(delegate);
    }
    const pelto_delegate_callbacks unsized = {.on_initialized = onInitialized};
    CHECK(pelto_delegate_create(&unsized, NULL, NULL) == NULL);
}

static void onReport(void* user, pelto_gaze_tracker* tracker, int64_t error) {
    Probe* probe = user;
    probe->calls = tracker != NULL && !pelto_gaze_tracker_is_tracking(tracker);
    probe->id = (int)error;
}

/* Without memory a report with a tracker says so rather than claim a success without one, and an
 * initialisation or a bundle registration fails. */
static void testOutOfMemory(void) {
    const pelto_delegate_callbacks table = {.struct_size = sizeof table,
                                            .on_initialized = onReport};
    Probe report = {-1, 0, 0};
    pelto_delegate* delegate = pelto_delegate_create(&table, &report, NULL);
    pelto_testing_report_tracker(delegate, false);
    CHECK(report.calls == 1 && report.id == PELTO_INITIALIZATION_ERROR_ERROR_NONE);
    pelto_testing_report_tracker(delegate, true);
    CHECK(report.calls == 0 && report.id == PELTO_INITIALIZATION_ERROR_ERROR_OUT_OF_MEMORY);
    pelto_testing_fail_allocations(true);
    const bool queued = pelto_init_gaze_tracker(delegate, NULL);
    const bool registered = pelto_bundle_registry_register_bundle("org.example.host", "1.0");
    pelto_testing_fail_allocations(false);
    CHECK(!queued && !pelto_main_queue_has_pending_tasks() && !registered);
    pelto_delegate_release(delegate);
}

static void countWake(void* user) {
    ++*(int*)user;
}

static void testInitializationReport(void) {
    int wakes = 0;
    CHECK(pelto_main_queue_set_wake_up_hook(countWake, &wakes));
    Probe probes[4] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}};
    pelto_user_status_option* option = pelto_user_status_option_create();
    for (int i = 0; i < 3; ++i) {
        /* The host lets go at once: the pending report alone keeps the delegate. */
        pelto_delegate* delegate = makeDelegate(&probes[i], false);
        CHECK(pelto_init_gaze_tracker(delegate, i == 1 ? option : NULL));
        pelto_delegate_release(delegate);
    }
    pelto_user_status_option_release(option);
    /* Refused: no delegate, or one without on_initialized. Nothing is queued. */
    pelto_delegate* slotOnly = makeDelegate(&probes[3], true);
    CHECK(!pelto_init_gaze_tracker(NULL, NULL) && !pelto_init_gaze_tracker(slotOnly, NULL));
    pelto_delegate_release(slotOnly);
    CHECK(reportCount == 0 && wakes == 3 && probes[2].destroyed == 0);
    CHECK(pelto_main_queue_drain() == 3 && reportCount == 3);
    CHECK(probes[0].destroyed == 1 && probes[1].destroyed == 1 && probes[2].destroyed == 1);
    CHECK(pelto_main_queue_drain() == 0 && !pelto_main_queue_has_pending_tasks());

    CHECK(pelto_main_queue_set_wake_up_hook(NULL, NULL));
    pelto_delegate* held = makeDelegate(&probes[3], false);
    CHECK(pelto_init_gaze_tracker(held, NULL));
    CHECK(pelto_main_queue_drain() == 1 && reportCount == 4 && wakes == 3);
    CHECK(probes[3].destroyed == 1); /* the slot-only delegate; `held` is still held */
    pelto_delegate_release(held);
    CHECK(probes[3].destroyed == 2);
}

/* One channel at 62.5 Hz: still periods of 40 samples at 0 and 100 with pseudo-random noise of
 * up to +-2, joined by three-sample movements. */
enum { TUNING_ROWS = 40 * 43 };

static void testTuning(void) {
    static double timestamps[TUNING_ROWS];
    static double values[TUNING_ROWS];
    for (size_t i = 0; i < TUNING_ROWS; ++i) {
        const size_t period = i / 43;
        const size_t phase = i % 43;
        const double from = period % 2 ? 100.0 : 0.0;
        const double to = 100.0 - from;
        timestamps[i] = 16.0 * (double)i;
        values[i] = (phase < 3 ? from + (to - from) * (double)(phase + 1) / 3.0 : to) +
                    (double)((i * 37) % 11) * 0.4 - 2.0;
    }
    pelto_tuning_options options;
    pelto_tuning_options_init(&options);
    options.threads = 2;
    static pelto_tuning_measurement front[626];
    pelto_tuning_result result = {.size = sizeof result, .front = front, .front_capacity = 625};
    CHECK(pelto_tune(timestamps, TUNING_ROWS, values, 1, &options, &result));
    CHECK(result.status == PELTO_TUNING_STATUS_OK && result.has_recommendation);
    CHECK(strcmp(result.status_text, pelto_tuning_status_text(PELTO_TUNING_STATUS_OK)) == 0);
    CHECK(result.max_lag_ms == 20.0 && result.defaults.samples == TUNING_ROWS);
    CHECK(result.front_count > 1 && result.front_count <= 625);
    /* The recommendation is the front's member with its parameters, figures included. */
    const pelto_tuning_measurement* best = &result.recommendation;
    CHECK(best->mean_lag_ms <= result.max_lag_ms && best->smoothed_jitter < best->raw_jitter);
    bool onFront = false;
    for (size_t i = 0; i < result.front_count && i < 625; ++i) {
        onFront |= front[i].min_cut_off == best->min_cut_off && front[i].beta == best->beta &&
                   front[i].mean_lag_ms == best->mean_lag_ms &&
                   front[i].smoothed_jitter == best->smoothed_jitter;
    }
    CHECK(onFront);

    /* The movements (each switch between the still periods but the first, at the start), and the
     * whole report as JSON. */
    pelto_tuning_movement movements[48];
    size_t found = 0;
    CHECK(pelto_tuning_movements(timestamps, TUNING_ROWS, values, 1, NULL, movements, 48, &found));
    CHECK(found == 39 && movements[0].amplitude > 90.0 && movements[0].end_ms < 43 * 16.0 + 64.0);
    size_t length = 0;
    CHECK(pelto_tune_json(timestamps, TUNING_ROWS, values, 1, &options, NULL, 0, &length));
    char* json = malloc(length + 1);
    CHECK(json != NULL);
    CHECK(pelto_tune_json(timestamps, TUNING_ROWS, values, 1, &options, json, length + 1, &length));
    CHECK(json[length] == '\0' && strncmp(json, "{\"status\":\"OK\",", 14) == 0);
    CHECK(strstr(json, "\"timestampPrecision\":\"EXACT\",\"derivative\":\"RAW\"") != NULL);
    free(json);
    /* The banks' choices; a caller of the first release, whose struct ends before them, gets the
     * defaults; a choice that is no case is refused. */
    options.derivative_source = PELTO_DERIVATIVE_SOURCE_FILTERED;
    CHECK(pelto_tune_json(timestamps, TUNING_ROWS, values, 1, &options, NULL, 0, &length));
    json = malloc(length + 1);
    CHECK(json != NULL &&
          pelto_tune_json(timestamps, TUNING_ROWS, values, 1, &options, json, length + 1, &length));
    CHECK(strstr(json, "\"derivative\":\"FILTERED\"") != NULL);
    free(json);
    options.size = offsetof(pelto_tuning_options, timestamp_precision);
    CHECK(pelto_tuning_movements(timestamps, TUNING_ROWS, values, 1, &options, NULL, 0, &found));
    options.size = sizeof options;
    options.timestamp_precision = 2;
    CHECK(!pelto_tuning_movements(timestamps, TUNING_ROWS, values, 1, &options, NULL, 0, &found));
    pelto_tuning_options_init(&options);
    options.threads = 2;
    CHECK(!pelto_tuning_movements(timestamps, TUNING_ROWS, values, 1, NULL, NULL, 1, &found));

    /* A smaller array receives the front's start only; no room at all is fine too. */
    const size_t count = result.front_count;
    const double first = front[0].mean_lag_ms;
    front[1].mean_lag_ms = -1.0;
    result.front_capacity = 1;
    CHECK(pelto_tune(timestamps, TUNING_ROWS, values, 1, NULL, &result));
    CHECK(result.front_count == count && front[0].mean_lag_ms == first);
    CHECK(front[1].mean_lag_ms == -1.0);
    result.front = NULL, result.front_capacity = 0;
    CHECK(pelto_tune(timestamps, TUNING_ROWS, values, 1, NULL, &result));
    /* The same values as two channels of half as many rows. */
    CHECK(pelto_tune(timestamps, TUNING_ROWS / 2, values, 2, NULL, &result));
    CHECK(result.defaults.samples == TUNING_ROWS / 2);
    /* The host's own budget, frequency and derivative cutoff. */
    options.max_lag_ms = 40.0, options.freq = 60.0, options.d_cut_off = 2.0;
    CHECK(pelto_tune(timestamps, TUNING_ROWS, values, 1, &options, &result));
    CHECK(result.max_lag_ms == 40.0 && result.defaults.freq == 60.0);
    CHECK(result.defaults.d_cut_off == 2.0 && result.recommendation.d_cut_off == 2.0);

    /* Cannot tune: an answer, not a failure. */
    CHECK(pelto_tune(timestamps, 1, values, 1, NULL, &result));
    CHECK(result.status == PELTO_TUNING_STATUS_TOO_FEW_SAMPLES && !result.has_recommendation);
    CHECK(isnan(result.max_lag_ms) && isnan(result.recommendation.smoothed_jitter));
    CHECK(strncmp(result.status_text, "cannot tune: ", 13) == 0);
    CHECK(strcmp(pelto_tuning_status_text(INT64_C(99)), "") == 0);

    /* Refused: nothing written. */
    result.status = -1;
    CHECK(!pelto_tune(timestamps, TUNING_ROWS, values, 1, NULL, NULL));
    CHECK(!pelto_tune(timestamps, TUNING_ROWS, values, 0, NULL, &result));
    CHECK(!pelto_tune(NULL, TUNING_ROWS, values, 1, NULL, &result));
    options.min_cut_off_steps = 0;
    CHECK(!pelto_tune(timestamps, TUNING_ROWS, values, 1, &options, &result));
    options.size = 0;
    CHECK(!pelto_tune(timestamps, TUNING_ROWS, values, 1, &options, &result));
    result.size = sizeof result - 1;
    CHECK(!pelto_tune(timestamps, TUNING_ROWS, values, 1, NULL, &result));
    CHECK(result.status == -1);
}

/* A report left pending at exit: the library's state outlives every exit handler, and the library
 * neither runs nor destroys the report on its own after main has returned. */
static Probe pendingAtExit = {4, 0, 0};

static void afterTheLibrarysExit(void) {
    /* Registered before the library's first use, so it runs after the library's own exit work. */
    const bool pending = pelto_main_queue_has_pending_tasks() && pendingAtExit.destroyed == 0;
    const bool version = versionIs(PELTO_VERSION_STRING "-simulator");
    const bool drained = pelto_main_queue_drain() == 1 && pendingAtExit.destroyed == 1;
    if (!pending || !version || !drained) {
        fprintf(stderr, "at exit: pending %d, version %d, drained %d\n", pending, version, drained);
        _Exit(1);
    }
}

int main(void) {
    CHECK(atexit(afterTheLibrarysExit) == 0);
    testVersion();
    testEnumerations();
    testFilterBank();
    testFilterOptions();
    testTuning();
    testValueObjects();
    testTrackerSlots();
    testInitializationReport();
    testOlderShorterTable();
    testOptionalCallbacks();
    testOutOfMemory();
    pelto_delegate* lastDelegate = makeDelegate(&pendingAtExit, false);
    CHECK(pelto_init_gaze_tracker(lastDelegate, NULL));
    pelto_delegate_release(lastDelegate);
    fprintf(failures ? stderr : stdout, "%d check(s) failed\n", failures);
    return failures == 0 ? 0 : 1;
}
