#pragma once

// The objects behind the opaque handles of <pelto/pelto.h>.

#include <pelto/pelto.h>

#include <pelto/filters/OneEuroFilterManager.hpp>
#include <pelto/tracker/Delegates.hpp>
#include <pelto/tracker/GazeTracker.hpp>
#include <pelto/types/GazeInfo.hpp>
#include <pelto/types/UserStatusOption.hpp>

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <utility>

namespace pelto::capi {

// A handle whose references the host counts: made with one, freed with the last.
template <class T> struct Counted {
    template <class... Args>
    explicit Counted(Args&&... args)
        : value(std::forward<Args>(args)...) {}

    std::atomic<std::size_t> references{1};
    T value;
};

template <class Handle> Handle* retain(Handle* handle) noexcept {
    if (handle != nullptr) {
        handle->references.fetch_add(1, std::memory_order_relaxed);
    }
    return handle;
}

template <class Handle> void release(Handle* handle) noexcept {
    if (handle != nullptr && handle->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        const std::unique_ptr<Handle> last(handle);
    }
}

} // namespace pelto::capi

struct pelto_one_euro_filter_manager {
    template <class... Args>
    explicit pelto_one_euro_filter_manager(Args&&... args)
        : bank(std::forward<Args>(args)...) {}

    pelto::OneEuroFilterManager bank;
};

struct pelto_gaze_info : pelto::capi::Counted<pelto::GazeInfo> {
    using Counted::Counted;
};

struct pelto_user_status_option : pelto::capi::Counted<std::shared_ptr<pelto::UserStatusOption>> {
    using Counted::Counted;
};

struct pelto_gaze_tracker : pelto::capi::Counted<std::shared_ptr<pelto::GazeTracker>> {
    using Counted::Counted;
};

// One C delegate serves as all six interfaces. Unlike the other handles it is the C++ object
// itself, so that reading a tracker slot gives back the very handle that was stored there. While
// the host holds references, `self_` keeps the object alive; the tracker slots hold it weakly, so
// once the host's last reference goes (and no pending report holds it) it dies and its slots empty.
struct pelto_delegate final : pelto::StatusDelegate,
                              pelto::GazeDelegate,
                              pelto::CalibrationDelegate,
                              pelto::ImageDelegate,
                              pelto::UserStatusDelegate,
                              pelto::InitializationDelegate,
                              std::enable_shared_from_this<pelto_delegate> {
    pelto_delegate(const pelto_delegate_callbacks& callbacks, void* user,
                   void (*destroy)(void*)) noexcept;
    ~pelto_delegate() override;

    pelto_delegate(const pelto_delegate&) = delete;
    pelto_delegate& operator=(const pelto_delegate&) = delete;
    pelto_delegate(pelto_delegate&&) = delete;
    pelto_delegate& operator=(pelto_delegate&&) = delete;

    // Adds a host reference; the object must be alive (owned by a shared_ptr).
    void retainForHost() noexcept;
    // Drops a host reference; may destroy the object.
    void releaseForHost() noexcept;

    [[nodiscard]] bool implementsStatus() const noexcept;
    [[nodiscard]] bool implementsGaze() const noexcept;
    [[nodiscard]] bool implementsCalibration() const noexcept;
    [[nodiscard]] bool implementsImage() const noexcept;
    [[nodiscard]] bool implementsInitialization() const noexcept;

    void onStarted() override;
    void onStopped(pelto::StatusError error) override;
    void onGaze(const pelto::GazeInfo& gazeInfo) override;
    void onCalibrationNextPoint(double x, double y) override;
    void onCalibrationProgress(double progress) override;
    void onCalibrationFinished(std::span<const double> calibrationData) override;
    void onImage(double timestamp, pelto::CameraFrameHandle image) override;
    void onAttension(std::int64_t timestampBegin, std::int64_t timestampEnd, double score) override;
    void onBlink(std::int64_t timestamp, bool isBlinkLeft, bool isBlinkRight, bool isBlink,
                 double eyeOpenness) override;
    void onDrowsiness(std::int64_t timestamp, bool isDrowsiness) override;
    void onInitialized(std::shared_ptr<pelto::GazeTracker> tracker,
                       pelto::InitializationError error) override;

  private:
    const pelto_delegate_callbacks callbacks_;
    void* const user_;
    void (*const destroy_)(void*);
    std::mutex hostMutex_;
    std::size_t hostReferences_ = 0;
    std::shared_ptr<pelto_delegate> self_;
};

namespace pelto::capi {

// A new handle holding one reference to `tracker`. Throws std::bad_alloc.
pelto_gaze_tracker* wrapTracker(std::shared_ptr<GazeTracker> tracker);

} // namespace pelto::capi
