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

/// Reports a new tracker to `delegate` as a successful initialisation would, with every C++
/// allocation failing during the report when `out_of_memory` is set.
void pelto_testing_report_tracker(pelto_delegate* delegate, bool out_of_memory);

/// Makes every C++ allocation of this program fail from now on, or succeed again.
void pelto_testing_fail_allocations(bool fail);

#ifdef __cplusplus
}
#endif

#endif
