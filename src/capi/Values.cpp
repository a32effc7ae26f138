// The value objects in C: gaze samples and user-status options.

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

using pelto::capi::makeHandle;

extern "C" {

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

} // extern "C"
