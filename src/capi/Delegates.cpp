// The delegate adapter: a table of C callbacks as every delegate interface, and its C functions.

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

// ---- Delegate adapter ---------------------------------------------------------------------------

pelto_delegate::pelto_delegate(const pelto_delegate_callbacks& callbacks, void* user,
                               void (*destroy)(void*)) noexcept
    : callbacks_(callbacks)
    , user_(user)
    , destroy_(destroy) {}

pelto_delegate::~pelto_delegate() {
    if (destroy_ != nullptr) {
        destroy_(user_);
    }
}

void pelto_delegate::retainForHost() noexcept {
    const std::lock_guard lock(hostMutex_);
    if (hostReferences_++ == 0) {
        self_ = weak_from_this().lock();
    }
}

void pelto_delegate::releaseForHost() noexcept {
    std::shared_ptr<pelto_delegate> last;
    {
        const std::lock_guard lock(hostMutex_);
        if (--hostReferences_ == 0) {
            last = std::move(self_);
        }
    }
    // `last` may be the final owner: the object, its mutex included, goes only after the lock.
}

bool pelto_delegate::implementsStatus() const noexcept {
    return callbacks_.on_started != nullptr && callbacks_.on_stopped != nullptr;
}
bool pelto_delegate::implementsGaze() const noexcept {
    return callbacks_.on_gaze != nullptr;
}
bool pelto_delegate::implementsCalibration() const noexcept {
    return callbacks_.on_calibration_next_point != nullptr &&
           callbacks_.on_calibration_progress != nullptr &&
           callbacks_.on_calibration_finished != nullptr;
}
bool pelto_delegate::implementsImage() const noexcept {
    return callbacks_.on_image != nullptr;
}
bool pelto_delegate::implementsInitialization() const noexcept {
    return callbacks_.on_initialized != nullptr;
}

void pelto_delegate::onStarted() {
    if (callbacks_.on_started != nullptr) {
        callbacks_.on_started(user_);
    }
}

void pelto_delegate::onStopped(pelto::StatusError error) {
    if (callbacks_.on_stopped != nullptr) {
        callbacks_.on_stopped(user_, pelto::rawValue(error));
    }
}

void pelto_delegate::onGaze(const pelto::GazeInfo& gazeInfo) {
    if (callbacks_.on_gaze == nullptr) {
        return;
    }
    // A sample that cannot be wrapped cannot be delivered; it is dropped like a lost frame.
    auto* sample = makeHandle<pelto_gaze_info>(gazeInfo);
    if (sample != nullptr) {
        callbacks_.on_gaze(user_, sample);
        pelto::capi::release(sample);
    }
}

void pelto_delegate::onCalibrationNextPoint(double x, double y) {
    if (callbacks_.on_calibration_next_point != nullptr) {
        callbacks_.on_calibration_next_point(user_, x, y);
    }
}

void pelto_delegate::onCalibrationProgress(double progress) {
    if (callbacks_.on_calibration_progress != nullptr) {
        callbacks_.on_calibration_progress(user_, progress);
    }
}

void pelto_delegate::onCalibrationFinished(std::span<const double> calibrationData) {
    if (callbacks_.on_calibration_finished != nullptr) {
        callbacks_.on_calibration_finished(user_, calibrationData.data(), calibrationData.size());
    }
}

void pelto_delegate::onImage(double timestamp, pelto::CameraFrameHandle image) {
    if (callbacks_.on_image != nullptr) {
        callbacks_.on_image(user_, timestamp, image.frame);
    }
}

void pelto_delegate::onAttension(std::int64_t timestampBegin, std::int64_t timestampEnd,
                                 double score) {
    if (callbacks_.on_attension != nullptr) {
        callbacks_.on_attension(user_, timestampBegin, timestampEnd, score);
    }
}

void pelto_delegate::onBlink(std::int64_t timestamp, bool isBlinkLeft, bool isBlinkRight,
                             bool isBlink, double eyeOpenness) {
    if (callbacks_.on_blink != nullptr) {
        callbacks_.on_blink(user_, timestamp, isBlinkLeft, isBlinkRight, isBlink, eyeOpenness);
    }
}

void pelto_delegate::onDrowsiness(std::int64_t timestamp, bool isDrowsiness) {
    if (callbacks_.on_drowsiness != nullptr) {
        callbacks_.on_drowsiness(user_, timestamp, isDrowsiness);
    }
}

void pelto_delegate::onInitialized(std::shared_ptr<pelto::GazeTracker> tracker,
                                   pelto::InitializationError error) {
    if (callbacks_.on_initialized == nullptr) {
        return;
    }
    pelto_gaze_tracker* handle = nullptr;
    if (tracker) {
        try {
            handle = pelto::capi::wrapTracker(std::move(tracker));
        } catch (...) {
            // Reporting the original code without its tracker would misreport a success.
            error = pelto::InitializationError::ERROR_OUT_OF_MEMORY;
        }
    }
    callbacks_.on_initialized(user_, handle, pelto::rawValue(error));
    pelto::capi::release(handle);
}

extern "C" {

// Delegates

pelto_delegate* pelto_delegate_create(const pelto_delegate_callbacks* callbacks, void* user,
                                      void (*destroy)(void* user)) noexcept {
    if (callbacks == nullptr || callbacks->struct_size < sizeof(std::size_t)) {
        return nullptr;
    }
    // The host's table may be shorter (an older host) or longer (a newer one) than this
    // library's: only whole callbacks within both sizes are read; the others stay NULL.
    constexpr std::size_t head = offsetof(pelto_delegate_callbacks, on_started);
    constexpr std::size_t slot = sizeof(pelto_delegate_callbacks::on_started);
    const std::size_t known = std::min(callbacks->struct_size, sizeof(pelto_delegate_callbacks));
    pelto_delegate_callbacks table{};
    std::memcpy(&table, callbacks, known < head ? known : known - (known - head) % slot);
    try {
        auto delegate = std::make_shared<pelto_delegate>(table, user, destroy);
        delegate->retainForHost();
        return delegate.get();
    } catch (...) {
        return nullptr;
    }
}

pelto_delegate* pelto_delegate_retain(pelto_delegate* delegate) noexcept {
    if (delegate != nullptr) {
        delegate->retainForHost();
    }
    return delegate;
}

void pelto_delegate_release(pelto_delegate* delegate) noexcept {
    if (delegate != nullptr) {
        delegate->releaseForHost();
    }
}

} // extern "C"
