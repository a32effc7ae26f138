#ifndef PELTO_TESTS_TESTING_GAZE_TRACKER_H
#define PELTO_TESTS_TESTING_GAZE_TRACKER_H

/* Test-only: hosts receive trackers only through on_initialized, which never delivers one in this
 * build. This route lives in the test executable, not in the library. */

#include <pelto/pelto.h>

#ifdef __cplusplus
extern "C" {
#endif

/// A new tracker with all five slots empty, as a handle holding one reference.
pelto_gaze_tracker* pelto_testing_make_gaze_tracker(void);

/// Calls each operation of the delegate interfaces on `delegate` once, as a tracker would; the
/// initialisation reports no tracker and PELTO_INITIALIZATION_ERROR_ERROR_NO_GAZE_ENGINE.
void pelto_testing_notify_every_operation(pelto_delegate* delegate);

#ifdef __cplusplus
}
#endif

#endif
