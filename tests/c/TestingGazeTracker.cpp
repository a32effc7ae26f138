#include "TestingGazeTracker.h"

#include "capi/Handles.hpp"
#include "tracker/GazeTrackerAccess.hpp"

extern "C" pelto_gaze_tracker* pelto_testing_make_gaze_tracker(void) {
    return pelto::capi::wrapTracker(pelto::detail::GazeTrackerAccess::makeTracker());
}
