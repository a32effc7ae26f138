// The gaze tracker in C, its initialisation and the library's version.

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
pelto_gaze_tracker* wrapTracker(std::shared_ptr<GazeTracker> tracker) {
    return std::make_unique<pelto_gaze_tracker>(std::move(tracker)).release();
}
} // namespace pelto::capi

extern "C" {

unsigned pelto_version_number(void) noexcept {
    return PELTO_VERSION_NUMBER;
}

const char* pelto_version_string(void) noexcept {
    return PELTO_VERSION_STRING;
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

} // extern "C"
