#pragma once

#include <pelto/Export.hpp>
#include <pelto/platform/Handles.hpp>
#include <pelto/platform/Rect.hpp>
#include <pelto/tracker/Delegates.hpp>
#include <pelto/types/Enumerations.hpp>
#include <pelto/types/UserStatusOption.hpp>

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace pelto {

namespace detail {
struct GazeTrackerAccess;
struct GazeTrackerState;
} // namespace detail

/// The object through which a host drives gaze tracking, and the library's entry points.
///
/// Hosts receive trackers through `initGazeTracker` (never by construction) and hold them through
/// `std::shared_ptr`; equality is identity. This build carries no gaze engine: initialisation
/// always fails, and every tracking, calibration, preview and attention operation returns at once,
/// changes nothing, calls no delegate and answers false or 0.0. Only the five delegate slots work.
///
/// A tracker is not synchronised: a host that shares one between threads serialises its calls,
/// writes of a slot included. Reading a slot while its delegate's last owner releases it on
/// another thread is safe: the read yields the delegate, kept alive for the reader, or empty.
class PELTO_EXPORT GazeTracker {
  public:
    /// Permission to construct a tracker. Only the library itself can create one.
    class ConstructionKey {
        ConstructionKey() = default;
        friend struct detail::GazeTrackerAccess;
    };

    /// A tracker with all five slots empty. Needs a key, which hosts cannot create: hosts obtain
    /// trackers only through `initGazeTracker`.
    explicit GazeTracker(ConstructionKey key);

    /// Calls no delegate and leaves every delegate alive.
    virtual ~GazeTracker();

    GazeTracker(const GazeTracker&) = delete;
    GazeTracker& operator=(const GazeTracker&) = delete;
    GazeTracker(GazeTracker&&) = delete;
    GazeTracker& operator=(GazeTracker&&) = delete;

    /// Starts creating a tracker and returns at once; the outcome reaches `delegate` through one
    /// `onInitialized` call, run by `MainQueue` after this call has returned, even when called on
    /// the main thread. The pending report keeps `delegate` alive until it has run, then releases
    /// it; reports arrive in call order. An empty `delegate` is ignored: nothing is posted.
    /// `option` selects the user-status features; this build does not read it. Any thread.
    /// This build always reports no tracker and `InitializationError::ERROR_NO_GAZE_ENGINE`.
    /// Raises nothing, a throwing wake-up hook included (the report stays queued), except
    /// `std::bad_alloc` when memory runs out, and then nothing was queued.
    static void initGazeTracker(std::shared_ptr<InitializationDelegate> delegate,
                                std::shared_ptr<UserStatusOption> option);

    /// Takes back a tracker received from `initGazeTracker`. Does nothing in this build: the
    /// tracker, its slots and the caller's reference stay as they are. Accepts an empty pointer.
    static void deinitGazeTracker(const std::shared_ptr<GazeTracker>& tracker) noexcept;

    /// The library's version: the short version text of its bundle
    /// (`BundleRegistry::LIBRARY_BUNDLE_IDENTIFIER`) followed by "-simulator", as in
    /// "1.0.0-simulator". "version error" when that bundle is not registered, has no information
    /// dictionary, or holds no text under `BundleRegistry::SHORT_VERSION_KEY` (text being a
    /// `std::string`, `std::string_view` or non-null `const char*`). Read afresh on every call.
    /// Any thread.
    static std::string getFrameworkVersion();

    /// The delegate told of tracking starting and stopping, or empty (also once it is destroyed).
    [[nodiscard]] virtual std::shared_ptr<StatusDelegate> statusDelegate() const noexcept;
    /// Stores a weak reference to `delegate` (empty clears the slot); never calls it.
    virtual void setStatusDelegate(const std::shared_ptr<StatusDelegate>& delegate) noexcept;
    /// The delegate that receives gaze samples, or empty (also once it is destroyed).
    [[nodiscard]] virtual std::shared_ptr<GazeDelegate> gazeDelegate() const noexcept;
    /// Stores a weak reference to `delegate` (empty clears the slot); never calls it.
    virtual void setGazeDelegate(const std::shared_ptr<GazeDelegate>& delegate) noexcept;
    /// The delegate told of calibration, or empty (also once it is destroyed).
    [[nodiscard]] virtual std::shared_ptr<CalibrationDelegate> calibrationDelegate() const noexcept;
    /// Stores a weak reference to `delegate` (empty clears the slot); never calls it.
    virtual void
    setCalibrationDelegate(const std::shared_ptr<CalibrationDelegate>& delegate) noexcept;
    /// The delegate that receives camera frames, or empty (also once it is destroyed).
    [[nodiscard]] virtual std::shared_ptr<ImageDelegate> imageDelegate() const noexcept;
    /// Stores a weak reference to `delegate` (empty clears the slot); never calls it.
    virtual void setImageDelegate(const std::shared_ptr<ImageDelegate>& delegate) noexcept;
    /// The delegate told of attention, blinks and drowsiness, or empty (also once it is destroyed).
    [[nodiscard]] virtual std::shared_ptr<UserStatusDelegate> userStatusDelegate() const noexcept;
    /// Stores a weak reference to `delegate` (empty clears the slot); never calls it.
    virtual void
    setUserStatusDelegate(const std::shared_ptr<UserStatusDelegate>& delegate) noexcept;

    /// Would start tracking; does nothing in this build.
    virtual void startTracking() noexcept;
    /// Would stop tracking; does nothing in this build.
    virtual void stopTracking() noexcept;
    /// Whether tracking runs; always false in this build.
    [[nodiscard]] virtual bool isTracking() const noexcept;
    /// Would set the tracking rate; false (not set) for every `fps` in this build.
    virtual bool setTrackingFPS(std::int64_t fps) noexcept;
    /// Whether a calibration runs; always false in this build.
    [[nodiscard]] virtual bool isCalibrating() const noexcept;
    /// Would start a calibration of `mode` to `criteria` within `region`; false (not started) for
    /// every input in this build.
    virtual bool startCalibration(CalibrationMode mode, AccuracyCriteria criteria,
                                  Rect region) noexcept;
    /// Would load the result of an earlier calibration (as handed to
    /// `CalibrationDelegate::onCalibrationFinished`); false (not loaded) in this build.
    virtual bool setCalibrationData(std::span<const double> calibrationData) noexcept;
    /// Would stop the running calibration; does nothing in this build.
    virtual void stopCalibration() noexcept;
    /// Would start collecting calibration samples; false (not started) in this build.
    virtual bool startCollectSamples() noexcept;
    /// Would show the camera preview in `preview`; does nothing and keeps no reference.
    virtual void setCameraPreview(CameraPreviewHandle preview) noexcept;
    /// Would remove the camera preview; does nothing in this build.
    virtual void removeCameraPreview() noexcept;
    /// Rewrites all five slots, in the order of the arguments, as the single setters do: an empty
    /// argument clears its slot. Calls no delegate.
    virtual void
    setDelegates(const std::shared_ptr<StatusDelegate>& statusDelegate,
                 const std::shared_ptr<GazeDelegate>& gazeDelegate,
                 const std::shared_ptr<CalibrationDelegate>& calibrationDelegate,
                 const std::shared_ptr<ImageDelegate>& imageDelegate,
                 const std::shared_ptr<UserStatusDelegate>& userStatusDelegate) noexcept;
    /// Would set the attention scoring interval; does nothing in this build.
    virtual void setAttentionInterval(std::int64_t interval) noexcept;
    /// The latest attention score; always 0.0 in this build.
    [[nodiscard]] virtual double getAttentionScore() const noexcept;

  private:
    // The delegate slots and the engine's private state, kept in the library so that they can
    // change without changing this class's layout.
    std::unique_ptr<detail::GazeTrackerState> state_;
};

} // namespace pelto
