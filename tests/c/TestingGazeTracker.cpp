#include "TestingGazeTracker.h"

#include "capi/Handles.hpp"
#include "support/AllocationCounter.hpp"
#include "tracker/GazeTrackerAccess.hpp"

#include <array>
#include <memory>
#include <utility>

extern "C" void pelto_testing_fail_allocations(bool fail) {
    pelto::testing::failAllocations(fail);
}

extern "C" void pelto_testing_report_tracker(pelto_delegate* delegate, bool out_of_memory) {
    std::shared_ptr<pelto::GazeTracker> tracker = pelto::detail::GazeTrackerAccess::makeTracker();
    pelto_testing_fail_allocations(out_of_memory);
    delegate->onInitialized(std::move(tracker), pelto::InitializationError::ERROR_NONE);
    pelto_testing_fail_allocations(false);
}

extern "C" pelto_gaze_tracker* pelto_testing_make_gaze_tracker(void) {
    return pelto::capi::wrapTracker(pelto::detail::GazeTrackerAccess::makeTracker());
}

extern "C" void pelto_testing_notify_every_operation(pelto_delegate* delegate) {
    constexpr std::array<double, 2> calibration{0.5, 0.25};
    delegate->onStarted();
    delegate->onStopped(pelto::StatusError::ERROR_CAMERA_START);
    delegate->onGaze(pelto::GazeInfo(1.0, 0.0, 0.0, pelto::TrackingState::SUCCESS,
                                     pelto::EyeMovementState::FIXATION,
                                     pelto::ScreenState::INSIDE_OF_SCREEN));
    delegate->onCalibrationNextPoint(0.5, 0.5);
    delegate->onCalibrationProgress(0.5);
    delegate->onCalibrationFinished(calibration);
    delegate->onImage(1.0, pelto::CameraFrameHandle{});
    delegate->onAttension(1, 2, 0.5);
    delegate->onBlink(1, true, false, false, 0.5);
    delegate->onDrowsiness(1, true);
    delegate->onInitialized(nullptr, pelto::InitializationError::ERROR_NO_GAZE_ENGINE);
}
