#pragma once

/// \file
/// The interfaces through which the library reports to the host. The host implements them on
/// objects of its own, held through `std::shared_ptr`. A `GazeTracker` holds its five slot
/// delegates weakly and never keeps one alive; the `InitializationDelegate` handed to
/// `GazeTracker::initGazeTracker` is held by the pending report until that report has run.
///
/// In this build only `InitializationDelegate::onInitialized` is ever called; the other
/// interfaces can be implemented, registered and read back, but nothing is delivered through them.

#include <pelto/Export.hpp>
#include <pelto/platform/Handles.hpp>
#include <pelto/types/Enumerations.hpp>
#include <pelto/types/GazeInfo.hpp>

#include <cstdint>
#include <memory>
#include <span>

namespace pelto {

class GazeTracker;

/// The common base of the six delegate interfaces, with no operations of its own; no operation
/// takes it. It is a virtual base, so one object implementing several interfaces has one of it.
class PELTO_EXPORT GazeTrackerDelegate {
  public:
    virtual ~GazeTrackerDelegate();

  protected:
    GazeTrackerDelegate() = default;
    GazeTrackerDelegate(const GazeTrackerDelegate&) = default;
    GazeTrackerDelegate(GazeTrackerDelegate&&) = default;
    GazeTrackerDelegate& operator=(const GazeTrackerDelegate&) = default;
    GazeTrackerDelegate& operator=(GazeTrackerDelegate&&) = default;
};

/// Tracking started and stopped.
class PELTO_EXPORT StatusDelegate : public virtual GazeTrackerDelegate {
  public:
    /// Tracking has started.
    virtual void onStarted() = 0;
    /// Tracking has stopped, for the reason `error` (carried as it came, possibly no case).
    virtual void onStopped(StatusError error) = 0;
};

/// Gaze samples.
class PELTO_EXPORT GazeDelegate : public virtual GazeTrackerDelegate {
  public:
    /// One gaze sample.
    virtual void onGaze(const GazeInfo& gazeInfo) = 0;
};

/// Calibration targets, progress and result.
class PELTO_EXPORT CalibrationDelegate : public virtual GazeTrackerDelegate {
  public:
    /// Position of the next calibration target.
    virtual void onCalibrationNextPoint(double x, double y) = 0;
    /// Progress of the running calibration.
    virtual void onCalibrationProgress(double progress) = 0;
    /// Calibration has finished; `calibrationData` is what `GazeTracker::setCalibrationData`
    /// takes, and is valid for the duration of the call.
    virtual void onCalibrationFinished(std::span<const double> calibrationData) = 0;
};

/// Camera frames.
class PELTO_EXPORT ImageDelegate : public virtual GazeTrackerDelegate {
  public:
    /// One camera frame with its timestamp; `image` is valid for the duration of the call.
    virtual void onImage(double timestamp, CameraFrameHandle image) = 0;
};

/// Attention, blink and drowsiness events. Every operation is optional: the defaults do nothing,
/// so an implementation overrides only the events it wants.
class PELTO_EXPORT UserStatusDelegate : public virtual GazeTrackerDelegate {
  public:
    /// An attention `score` for the period from `timestampBegin` to `timestampEnd`.
    virtual void onAttension(std::int64_t timestampBegin, std::int64_t timestampEnd, double score);
    /// Blink flags for the left eye, the right eye and overall, and the eyes' openness.
    virtual void onBlink(std::int64_t timestamp, bool isBlinkLeft, bool isBlinkRight, bool isBlink,
                         double eyeOpenness);
    /// Drowsiness state at `timestamp`.
    virtual void onDrowsiness(std::int64_t timestamp, bool isDrowsiness);
};

/// The outcome of one `GazeTracker::initGazeTracker` call.
class PELTO_EXPORT InitializationDelegate : public virtual GazeTrackerDelegate {
  public:
    /// Called once per `initGazeTracker` call, on the main queue, after that call has returned.
    /// `tracker` is empty on failure; `error` is `InitializationError::ERROR_NONE` on success.
    /// This build always reports no tracker and `InitializationError::ERROR_NO_GAZE_ENGINE`.
    virtual void onInitialized(std::shared_ptr<GazeTracker> tracker, InitializationError error) = 0;
};

} // namespace pelto
