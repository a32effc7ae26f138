#pragma once

#include <pelto/types/Enumerations.hpp>

namespace pelto {

/// One gaze sample: where the user looked at one instant, with its three state classifications.
///
/// Immutable after construction: there are no setters, so a sample may be read from any thread.
/// Hold it by value: it is six 8-byte numbers, copies are cheap and independent. It has no
/// equality and no text, since two samples have no value identity: equal readings taken at the
/// same time are still two samples.
class GazeInfo {
  public:
    /// Stores every argument unchanged, checking nothing: non-finite numbers and state values that
    /// are no case (arrived as bare integers) are kept as given. Note that `timestamp` comes first.
    constexpr GazeInfo(double timestamp, double x, double y, TrackingState trackingState,
                       EyeMovementState eyeMovementState, ScreenState screenState) noexcept
        : x_(x)
        , y_(y)
        , timestamp_(timestamp)
        , trackingState_(trackingState)
        , eyeMovementState_(eyeMovementState)
        , screenState_(screenState) {}

    /// Horizontal coordinate of the gaze point, as the tracking engine produced it.
    [[nodiscard]] constexpr double x() const noexcept { return x_; }
    /// Vertical coordinate of the gaze point, as the tracking engine produced it.
    [[nodiscard]] constexpr double y() const noexcept { return y_; }
    /// Time of the sample, as the tracking engine produced it.
    [[nodiscard]] constexpr double timestamp() const noexcept { return timestamp_; }
    /// Whether and how well the sample was tracked.
    [[nodiscard]] constexpr TrackingState trackingState() const noexcept { return trackingState_; }
    /// Eye-movement class of the sample.
    [[nodiscard]] constexpr EyeMovementState eyeMovementState() const noexcept {
        return eyeMovementState_;
    }
    /// Whether the gaze point lies on the screen.
    [[nodiscard]] constexpr ScreenState screenState() const noexcept { return screenState_; }

  private:
    double x_;
    double y_;
    double timestamp_;
    TrackingState trackingState_;
    EyeMovementState eyeMovementState_;
    ScreenState screenState_;
};

} // namespace pelto
