/* The C interface, driven from C. Exact numbers are those of the C++ tests. */

#include <pelto/pelto.h>

#include "TestingGazeTracker.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

static int failures = 0;

static void check(bool ok, const char* what, const char* file, int line) {
    if (!ok) {
        ++failures;
        fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    }
}
#define CHECK(condition) check((condition), #condition, __FILE__, __LINE__)

/* ---- Probes: delegates that count what happens to them ---- */

typedef struct Probe {
    int id;
    int calls;     /* slot-interface operations called */
    int destroyed; /* destroy callbacks run */
} Probe;

static int reportIds[8];
static int64_t reportErrors[8];
static bool reportHadTracker[8];
static size_t reportCount = 0;

static void onAnyCall(void* user) {
    ++((Probe*)user)->calls;
}
static void onStopped(void* user, int64_t error) {
    (void)error, onAnyCall(user);
}
static void onGaze(void* user, pelto_gaze_info* info) {
    (void)info, onAnyCall(user);
}
static void onPoint(void* user, double x, double y) {
    (void)x, (void)y, onAnyCall(user);
}
static void onProgress(void* user, double progress) {
    (void)progress, onAnyCall(user);
}
static void onFinished(void* user, const double* data, size_t count) {
    (void)data, (void)count, onAnyCall(user);
}
static void onImage(void* user, double timestamp, const void* image) {
    (void)timestamp, (void)image, onAnyCall(user);
}
static void onDestroy(void* user) {
    ++((Probe*)user)->destroyed;
}
static void onInitialized(void* user, pelto_gaze_tracker* tracker, int64_t error) {
    if (reportCount < 8) {
        reportIds[reportCount] = ((Probe*)user)->id;
        reportErrors[reportCount] = error;
        reportHadTracker[reportCount] = tracker != NULL;
    }
    ++reportCount;
}

/* Implements the four slot interfaces with required operations; the user-status one needs none. */
static pelto_delegate* makeSlotDelegate(Probe* probe) {
    pelto_delegate_callbacks callbacks = {0};
    callbacks.on_started = onAnyCall;
    callbacks.on_stopped = onStopped;
    callbacks.on_gaze = onGaze;
    callbacks.on_calibration_next_point = onPoint;
    callbacks.on_calibration_progress = onProgress;
    callbacks.on_calibration_finished = onFinished;
    callbacks.on_image = onImage;
    return pelto_delegate_create(&callbacks, probe, onDestroy);
}

static pelto_delegate* makeInitDelegate(Probe* probe) {
    pelto_delegate_callbacks callbacks = {0};
    callbacks.on_initialized = onInitialized;
    return pelto_delegate_create(&callbacks, probe, onDestroy);
}

/* ---- Version and bundle registry ---- */

static void testVersion(void) {
    char text[64];
    CHECK(pelto_version_number() == PELTO_VERSION_NUMBER);
    CHECK(strcmp(pelto_version_string(), PELTO_VERSION_STRING) == 0);

    const char* expected = PELTO_VERSION_STRING "-simulator";
    CHECK(pelto_get_framework_version(text, sizeof text) == strlen(expected));
    CHECK(strcmp(text, expected) == 0);
    /* snprintf-style: the full length always, the text cut to fit. */
    CHECK(pelto_get_framework_version(NULL, 0) == strlen(expected));
    CHECK(pelto_get_framework_version(NULL, 10) == strlen(expected));
    memcpy(text, "xxxxxxxx", 9);
    CHECK(pelto_get_framework_version(text, 4) == strlen(expected));
    CHECK(strcmp(text, "1.0") == 0 && text[5] == 'x');
    CHECK(pelto_get_framework_version(text, 1) == strlen(expected) && text[0] == '\0');

    CHECK(pelto_bundle_registry_remove_bundle(PELTO_LIBRARY_BUNDLE_IDENTIFIER));
    CHECK(!pelto_bundle_registry_remove_bundle(PELTO_LIBRARY_BUNDLE_IDENTIFIER));
    CHECK(pelto_get_framework_version(text, sizeof text) == 13);
    CHECK(strcmp(text, "version error") == 0);

    CHECK(pelto_bundle_registry_register_bundle(PELTO_LIBRARY_BUNDLE_IDENTIFIER, NULL));
    pelto_get_framework_version(text, sizeof text);
    CHECK(strcmp(text, "version error") == 0);

    CHECK(pelto_bundle_registry_register_bundle(PELTO_LIBRARY_BUNDLE_IDENTIFIER, "2.3.4"));
    pelto_get_framework_version(text, sizeof text);
    CHECK(strcmp(text, "2.3.4-simulator") == 0);

    CHECK(!pelto_bundle_registry_register_bundle(NULL, "1"));
    CHECK(!pelto_bundle_registry_remove_bundle(NULL));
    CHECK(pelto_bundle_registry_restore_defaults());
    pelto_get_framework_version(text, sizeof text);
    CHECK(strcmp(text, expected) == 0);
}

/* ---- Enumerations ---- */

typedef struct EnumCase {
    bool (*isValid)(int64_t);
    const char* (*description)(int64_t); /* NULL: AccuracyCriteria has no text */
    int64_t raw;
    bool valid;
    const char* text;
} EnumCase;

static void testEnumerations(void) {
    const EnumCase cases[] = {
        {pelto_status_error_is_valid, pelto_status_error_description, 2, true,
         "ERROR_CAMERA_INTERRUPT"},
        {pelto_status_error_is_valid, pelto_status_error_description, 1, true,
         "ERROR_CAMERA_START"},
        {pelto_status_error_is_valid, pelto_status_error_description, 3, false, ""},
        {pelto_status_error_is_valid, pelto_status_error_description, -1, false, ""},
        {pelto_initialization_error_is_valid, pelto_initialization_error_description, 17, true,
         "ERROR_INTERNAL"},
        {pelto_initialization_error_is_valid, pelto_initialization_error_description, 11, true,
         "ERROR_NO_GAZE_ENGINE"},
        {pelto_initialization_error_is_valid, pelto_initialization_error_description, 2, true,
         "ERROR_CAMERA_PERMISSION"},
        {pelto_initialization_error_is_valid, pelto_initialization_error_description, 18, false,
         ""},
        {pelto_initialization_error_is_valid, pelto_initialization_error_description, INT64_MIN,
         false, ""},
        {pelto_tracking_state_is_valid, pelto_tracking_state_description, 3, true, "FACE_MISSING"},
        {pelto_tracking_state_is_valid, pelto_tracking_state_description, 4, false, ""},
        {pelto_tracking_state_is_valid, pelto_tracking_state_description, -1, false, ""},
        {pelto_eye_movement_state_is_valid, pelto_eye_movement_state_description, 1, false, ""},
        {pelto_eye_movement_state_is_valid, pelto_eye_movement_state_description, 2, true,
         "SACCADE"},
        {pelto_eye_movement_state_is_valid, pelto_eye_movement_state_description, 3, true,
         "UNKONW"},
        {pelto_eye_movement_state_is_valid, pelto_eye_movement_state_description, 4, false, ""},
        {pelto_screen_state_is_valid, pelto_screen_state_description, 1, true,
         "OUTSIDE_OF_SCREEEN"},
        {pelto_screen_state_is_valid, pelto_screen_state_description, 2, true, "UNKONW"},
        {pelto_screen_state_is_valid, pelto_screen_state_description, 3, false, ""},
        {pelto_calibration_mode_is_valid, pelto_calibration_mode_description, 1, true, "ONE_POINT"},
        {pelto_calibration_mode_is_valid, pelto_calibration_mode_description, 5, true,
         "FIVE_POINT"},
        {pelto_calibration_mode_is_valid, pelto_calibration_mode_description, 6, true, "SIX_POINT"},
        {pelto_calibration_mode_is_valid, pelto_calibration_mode_description, 4, false, ""},
        {pelto_calibration_mode_is_valid, pelto_calibration_mode_description, 7, false, ""},
        {pelto_calibration_mode_is_valid, pelto_calibration_mode_description, INT64_MAX, false, ""},
        {pelto_accuracy_criteria_is_valid, NULL, 2, true, NULL},
        {pelto_accuracy_criteria_is_valid, NULL, 3, false, NULL},
        {pelto_accuracy_criteria_is_valid, NULL, -1, false, NULL},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const EnumCase* c = &cases[i];
        CHECK(c->isValid(c->raw) == c->valid);
        if (c->description != NULL) {
            const char* text = c->description(c->raw);
            CHECK(text != NULL && strcmp(text, c->text) == 0);
        }
    }
}

/* ---- Filter bank ---- */

typedef struct Step {
    double timestamp;
    double val[2];
    size_t count;
    bool accepted;
    double after[2];
} Step;

static bool valuesAre(const pelto_one_euro_filter_manager* bank, double first, double second) {
    double values[2] = {-1.0, -1.0};
    return pelto_one_euro_filter_manager_get_filtered_values(bank, values, 2) == 2 &&
           values[0] == first && values[1] == second;
}

static void testFilterBank(void) {
    CHECK(PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_COUNT == 2 &&
          PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_FREQUENCY == 30.0 &&
          PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_MIN_CUT_OFF == 1.0 &&
          PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_BETA == 0.007 &&
          PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_D_CUT_OFF == 1.0);
    pelto_one_euro_filter_manager* bank =
        pelto_one_euro_filter_manager_create(PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_COUNT,
                                             PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_FREQUENCY,
                                             PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_MIN_CUT_OFF,
                                             PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_BETA,
                                             PELTO_ONE_EURO_FILTER_MANAGER_DEFAULT_D_CUT_OFF);
    CHECK(bank != NULL && valuesAre(bank, 0.0, 0.0));
    const Step steps[] = {
        {0.0, {10.0, 5.0}, 2, true, {10.0, 5.0}},
        {33.0, {20.0, 5.0}, 2, true, {12.205030965084358, 5.0}},
        {33.0, {21.0, 5.0}, 2, false, {0.0, 0.0}}, /* repeated timestamp: NaN, reset */
        {66.0, {22.0, 6.0}, 2, true, {22.0, 6.0}},
        {99.9, {23.0, 7.0}, 2, true, {22.176885954680756, 6.176885954680758}},
        {120.0, {1.0}, 1, false, {22.176885954680756, 6.176885954680758}}, /* wrong length */
    };
    pelto_one_euro_filter_manager* copy = NULL;
    for (size_t i = 0; i < sizeof steps / sizeof steps[0]; ++i) {
        const Step* s = &steps[i];
        CHECK(pelto_one_euro_filter_manager_filter_values(bank, s->timestamp, s->val, s->count) ==
              s->accepted);
        CHECK(valuesAre(bank, s->after[0], s->after[1]));
        if (i == 1) {
            copy = pelto_one_euro_filter_manager_clone(bank);
        }
    }
    /* A NULL list of non-zero length, and a too-small buffer, are answered without harm. */
    CHECK(!pelto_one_euro_filter_manager_filter_values(bank, 130.0, NULL, 2));
    double one[2] = {-1.0, -1.0};
    CHECK(pelto_one_euro_filter_manager_get_filtered_values(bank, one, 1) == 2);
    CHECK(one[0] == 22.176885954680756 && one[1] == -1.0);
    CHECK(pelto_one_euro_filter_manager_get_filtered_values(bank, NULL, 2) == 2);

    /* The clone, taken after the second sample, continues exactly as the original did. */
    const double repeated[2] = {21.0, 5.0};
    CHECK(copy != NULL && valuesAre(copy, 12.205030965084358, 5.0));
    CHECK(!pelto_one_euro_filter_manager_filter_values(copy, 33.0, repeated, 2));
    CHECK(valuesAre(copy, 0.0, 0.0));
    pelto_one_euro_filter_manager_destroy(copy);
    pelto_one_euro_filter_manager_destroy(bank);

    pelto_one_euro_filter_manager* fallback =
        pelto_one_euro_filter_manager_create(0, 0.0, -1.0, 0.0, 0.0);
    CHECK(fallback != NULL && valuesAre(fallback, 0.0, 0.0));
    pelto_one_euro_filter_manager_destroy(fallback);

    pelto_one_euro_filter_manager* empty = pelto_one_euro_filter_manager_create_empty();
    const double pair[2] = {1.0, 2.0};
    CHECK(empty != NULL && !pelto_one_euro_filter_manager_filter_values(empty, 0.0, pair, 2));
    CHECK(pelto_one_euro_filter_manager_get_filtered_values(empty, one, 2) == 0);
    pelto_one_euro_filter_manager_destroy(empty);

    CHECK(pelto_one_euro_filter_manager_create(INT64_MAX, 30.0, 1.0, 0.0, 1.0) == NULL);
    CHECK(!pelto_one_euro_filter_manager_filter_values(NULL, 0.0, pair, 2));
    CHECK(pelto_one_euro_filter_manager_get_filtered_values(NULL, one, 2) == 0);
    CHECK(pelto_one_euro_filter_manager_clone(NULL) == NULL);
    pelto_one_euro_filter_manager_destroy(NULL);
}

/* ---- Gaze sample and user-status options ---- */

static void testValueObjects(void) {
    pelto_gaze_info* info = pelto_gaze_info_create(1.5, 100.0, 200.0, PELTO_TRACKING_STATE_SUCCESS,
                                                   1, PELTO_SCREEN_STATE_INSIDE_OF_SCREEN);
    CHECK(pelto_gaze_info_x(info) == 100.0 && pelto_gaze_info_y(info) == 200.0);
    CHECK(pelto_gaze_info_timestamp(info) == 1.5);
    CHECK(pelto_gaze_info_tracking_state(info) == PELTO_TRACKING_STATE_SUCCESS);
    CHECK(pelto_gaze_info_eye_movement_state(info) == 1); /* no case, carried as it came */
    CHECK(pelto_gaze_info_screen_state(info) == PELTO_SCREEN_STATE_INSIDE_OF_SCREEN);
    CHECK(pelto_gaze_info_retain(info) == info);
    pelto_gaze_info_release(info);
    CHECK(pelto_gaze_info_x(info) == 100.0);
    pelto_gaze_info_release(info);
    pelto_gaze_info* odd = pelto_gaze_info_create(-INFINITY, NAN, -0.0, 9, -4, 7);
    CHECK(isinf(pelto_gaze_info_timestamp(odd)) && isnan(pelto_gaze_info_x(odd)));
    CHECK(signbit(pelto_gaze_info_y(odd)) && pelto_gaze_info_screen_state(odd) == 7);
    pelto_gaze_info_release(odd);
    CHECK(pelto_gaze_info_x(NULL) == 0.0 && pelto_gaze_info_tracking_state(NULL) == 0);
    CHECK(pelto_gaze_info_retain(NULL) == NULL);
    pelto_gaze_info_release(NULL);

    pelto_user_status_option* option = pelto_user_status_option_create();
    CHECK(!pelto_user_status_option_is_use_attension(option) &&
          !pelto_user_status_option_is_use_blink(option) &&
          !pelto_user_status_option_is_use_drowsiness(option));
    pelto_user_status_option_use_blink(option);
    CHECK(!pelto_user_status_option_is_use_attension(option) &&
          pelto_user_status_option_is_use_blink(option) &&
          !pelto_user_status_option_is_use_drowsiness(option));
    pelto_user_status_option* other = pelto_user_status_option_create();
    pelto_user_status_option_use_attention(other);
    pelto_user_status_option_use_drowsiness(other);
    CHECK(pelto_user_status_option_is_use_attension(other) &&
          !pelto_user_status_option_is_use_blink(other) &&
          pelto_user_status_option_is_use_drowsiness(other));
    pelto_user_status_option_use_all(option);
    CHECK(pelto_user_status_option_is_use_attension(option) &&
          pelto_user_status_option_is_use_blink(option) &&
          pelto_user_status_option_is_use_drowsiness(option));
    pelto_user_status_option_release(other);
    pelto_user_status_option_release(option);
    pelto_user_status_option_use_all(NULL);
    CHECK(!pelto_user_status_option_is_use_blink(NULL));
    pelto_user_status_option_release(NULL);
}

/* ---- Tracker slots ---- */

typedef struct Slot {
    pelto_delegate* (*get)(const pelto_gaze_tracker*);
    bool (*set)(pelto_gaze_tracker*, pelto_delegate*);
} Slot;

static const Slot slots[5] = {
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
    Probe othersProbe = {0, 0, 0};
    pelto_delegate* others = makeSlotDelegate(&othersProbe);
    for (size_t index = 0; index < 5; ++index) {
        CHECK(slotHolds(tracker, index, NULL));
    }
    /* Each slot on its own holds its delegate weakly and leaves the other four alone. */
    for (size_t index = 0; index < 5; ++index) {
        CHECK(pelto_gaze_tracker_set_delegates(tracker, others, others, others, others, others));
        Probe probe = {0, 0, 0};
        pelto_delegate* delegate = makeSlotDelegate(&probe);
        CHECK(slots[index].set(tracker, delegate));
        for (size_t i = 0; i < 5; ++i) {
            CHECK(slotHolds(tracker, i, i == index ? delegate : others));
        }
        pelto_delegate_release(delegate);
        CHECK(probe.destroyed == 1 && slotHolds(tracker, index, NULL));
    }

    /* A reference from a slot read keeps the delegate alive like any other. */
    Probe probe = {0, 0, 0};
    pelto_delegate* one = makeSlotDelegate(&probe);
    CHECK(pelto_gaze_tracker_set_delegates(tracker, one, one, one, one, one));
    pelto_delegate* read = pelto_gaze_tracker_image_delegate(tracker);
    CHECK(read == one);
    pelto_delegate_release(one);
    CHECK(probe.destroyed == 0 && slotHolds(tracker, 0, one));
    CHECK(pelto_gaze_tracker_set_delegates(tracker, one, NULL, NULL, NULL, NULL));
    CHECK(slotHolds(tracker, 0, one) && slotHolds(tracker, 1, NULL) && slotHolds(tracker, 4, NULL));

    /* Every operation is inert and calls no delegate. */
    CHECK(pelto_gaze_tracker_set_delegates(tracker, one, one, one, one, one));
    const int64_t values[] = {30, 0, -1, INT64_MIN, INT64_MAX};
    pelto_gaze_tracker_start_tracking(tracker);
    CHECK(!pelto_gaze_tracker_is_tracking(tracker));
    for (size_t i = 0; i < 5; ++i) {
        CHECK(!pelto_gaze_tracker_set_tracking_fps(tracker, values[i]));
        pelto_gaze_tracker_set_attention_interval(tracker, values[i]);
        CHECK(pelto_gaze_tracker_get_attention_score(tracker) == 0.0);
        const pelto_rect region = {0.0, 0.0, 320.0, 480.0};
        CHECK(!pelto_gaze_tracker_start_calibration(tracker, values[i], values[i], region));
        CHECK(!pelto_gaze_tracker_is_calibrating(tracker));
    }
    static double calibration[1000];
    CHECK(!pelto_gaze_tracker_set_calibration_data(tracker, calibration, 1000));
    CHECK(!pelto_gaze_tracker_set_calibration_data(tracker, NULL, 0));
    CHECK(!pelto_gaze_tracker_set_calibration_data(tracker, NULL, 5));
    CHECK(!pelto_gaze_tracker_start_collect_samples(tracker));
    pelto_gaze_tracker_stop_calibration(tracker);
    pelto_gaze_tracker_set_camera_preview(tracker, &probe);
    pelto_gaze_tracker_remove_camera_preview(tracker);
    pelto_gaze_tracker_stop_tracking(tracker);
    pelto_deinit_gaze_tracker(tracker);
    pelto_deinit_gaze_tracker(NULL);
    CHECK(probe.calls == 0 && !pelto_main_queue_has_pending_tasks());
    CHECK(slotHolds(tracker, 2, one) && slotHolds(tracker, 4, one));

    /* A delegate lacking an interface's required operations is refused, changing nothing. */
    Probe initProbe = {0, 0, 0};
    pelto_delegate* initOnly = makeInitDelegate(&initProbe);
    for (size_t index = 0; index < 4; ++index) {
        CHECK(!slots[index].set(tracker, initOnly) && slotHolds(tracker, index, one));
    }
    CHECK(!pelto_gaze_tracker_set_delegates(tracker, NULL, NULL, initOnly, NULL, NULL));
    CHECK(slotHolds(tracker, 0, one) && slotHolds(tracker, 2, one));
    CHECK(pelto_gaze_tracker_set_user_status_delegate(tracker, initOnly));
    CHECK(slotHolds(tracker, 4, initOnly));
    pelto_delegate_release(initOnly);
    CHECK(initProbe.destroyed == 1 && slotHolds(tracker, 4, NULL));

    /* The tracker's end calls and destroys no delegate; the last host reference then does. */
    pelto_gaze_tracker_release(tracker);
    CHECK(probe.destroyed == 0 && probe.calls == 0);
    pelto_delegate_release(read);
    CHECK(probe.destroyed == 1);
    pelto_delegate_release(others);
    CHECK(othersProbe.destroyed == 1);

    CHECK(pelto_gaze_tracker_status_delegate(NULL) == NULL);
    CHECK(!pelto_gaze_tracker_set_gaze_delegate(NULL, NULL));
    CHECK(!pelto_gaze_tracker_set_delegates(NULL, NULL, NULL, NULL, NULL, NULL));
    CHECK(!pelto_gaze_tracker_is_tracking(NULL) && !pelto_gaze_tracker_set_tracking_fps(NULL, 30));
    CHECK(pelto_gaze_tracker_get_attention_score(NULL) == 0.0);
    pelto_gaze_tracker_start_tracking(NULL);
    CHECK(pelto_gaze_tracker_retain(NULL) == NULL && pelto_delegate_retain(NULL) == NULL);
    pelto_gaze_tracker_release(NULL);
    pelto_delegate_release(NULL);
    CHECK(pelto_delegate_create(NULL, &probe, onDestroy) == NULL && probe.destroyed == 1);
}

/* ---- Initialisation report through the main queue ---- */

static void countWake(void* user) {
    ++*(int*)user;
}

static void testInitializationReport(void) {
    int wakes = 0;
    CHECK(pelto_main_queue_set_wake_up_hook(countWake, &wakes));
    Probe probes[3] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}};
    pelto_user_status_option* option = pelto_user_status_option_create();
    pelto_user_status_option_use_all(option);
    for (int i = 0; i < 3; ++i) {
        /* The host lets go at once: the pending report alone keeps the delegate. */
        pelto_delegate* delegate = makeInitDelegate(&probes[i]);
        CHECK(pelto_init_gaze_tracker(delegate, i == 1 ? option : NULL));
        pelto_delegate_release(delegate);
    }
    pelto_user_status_option_release(option);
    CHECK(reportCount == 0 && wakes == 3 && pelto_main_queue_has_pending_tasks());
    CHECK(probes[0].destroyed == 0 && probes[2].destroyed == 0);

    CHECK(pelto_main_queue_drain() == 3);
    CHECK(reportCount == 3);
    for (size_t i = 0; i < 3; ++i) {
        CHECK(reportIds[i] == (int)i && !reportHadTracker[i]);
        CHECK(reportErrors[i] == PELTO_INITIALIZATION_ERROR_ERROR_NO_GAZE_ENGINE);
        CHECK(probes[i].destroyed == 1);
    }
    CHECK(pelto_main_queue_drain() == 0 && !pelto_main_queue_has_pending_tasks());

    /* Refused: no delegate, or one without on_initialized. Nothing is queued. */
    Probe probe = {3, 0, 0};
    pelto_delegate* slotOnly = makeSlotDelegate(&probe);
    CHECK(!pelto_init_gaze_tracker(NULL, NULL) && !pelto_init_gaze_tracker(slotOnly, NULL));
    CHECK(!pelto_main_queue_has_pending_tasks() && wakes == 3);
    pelto_delegate_release(slotOnly);

    CHECK(pelto_main_queue_set_wake_up_hook(NULL, NULL));
    pelto_delegate* last = makeInitDelegate(&probe);
    CHECK(pelto_init_gaze_tracker(last, NULL));
    CHECK(wakes == 3 && pelto_main_queue_drain() == 1 && reportCount == 4);
    CHECK(probe.destroyed == 1); /* the slot-only delegate; `last` is still held */
    pelto_delegate_release(last);
    CHECK(probe.destroyed == 2);
}

int main(void) {
    testVersion();
    testEnumerations();
    testFilterBank();
    testValueObjects();
    testTrackerSlots();
    testInitializationReport();
    if (failures != 0) {
        fprintf(stderr, "%d check(s) failed\n", failures);
        return 1;
    }
    puts("all checks passed");
    return 0;
}
