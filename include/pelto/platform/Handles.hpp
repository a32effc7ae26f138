#pragma once

namespace pelto {

/// Opaque reference to a host view that would show the camera preview. The library never looks
/// through it and never keeps it; the host owns the view. Null by default.
struct CameraPreviewHandle {
    void* view = nullptr;

    friend constexpr bool operator==(const CameraPreviewHandle&,
                                     const CameraPreviewHandle&) noexcept = default;
};

/// Opaque reference to one camera frame, as handed to `ImageDelegate::onImage`. Valid for the
/// duration of the call that hands it over; the library passes it through without looking into
/// it. Null by default.
struct CameraFrameHandle {
    const void* frame = nullptr;

    friend constexpr bool operator==(const CameraFrameHandle&,
                                     const CameraFrameHandle&) noexcept = default;
};

/// Opaque reference to a device-rotation notification, the argument of a tracker's internal
/// rotation handler. Null by default.
struct RotationNotification {
    const void* notification = nullptr;

    friend constexpr bool operator==(const RotationNotification&,
                                     const RotationNotification&) noexcept = default;
};

} // namespace pelto
