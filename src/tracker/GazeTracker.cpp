#include <pelto/tracker/GazeTracker.hpp>

#include <pelto/platform/BundleRegistry.hpp>

#include "platform/MainQueueInternal.hpp"
#include "tracker/InternalSetting.hpp"

#include <any>
#include <functional>
#include <optional>
#include <semaphore>
#include <string_view>
#include <utility>
#include <vector>

namespace pelto {
namespace {

constexpr std::string_view VERSION_ERROR = "version error";
constexpr std::string_view BUILD_SUFFIX = "-simulator";

std::optional<std::string> textOf(const std::any& value) {
    if (const auto* text = std::any_cast<std::string>(&value)) {
        return *text;
    }
    if (const auto* view = std::any_cast<std::string_view>(&value)) {
        return std::string(*view);
    }
    if (const auto* literal = std::any_cast<const char*>(&value);
        literal != nullptr && *literal != nullptr) {
        return std::string(*literal);
    }
    return std::nullopt;
}

} // namespace

// A tracker's fields, in declaration order.
struct detail::GazeTrackerState {
    // State for a gaze engine; this build only creates and releases it.
    [[maybe_unused]] bool debugMode = false;
    [[maybe_unused]] bool tracking = false;
    [[maybe_unused]] Rect lastRect;
    std::unique_ptr<InternalSetting> settings = std::make_unique<InternalSetting>();
    std::weak_ptr<StatusDelegate> statusDelegate;
    std::weak_ptr<GazeDelegate> gazeDelegate;
    std::weak_ptr<CalibrationDelegate> calibrationDelegate;
    std::weak_ptr<ImageDelegate> imageDelegate;
    std::weak_ptr<UserStatusDelegate> userStatusDelegate;
    std::unique_ptr<std::counting_semaphore<>> caliSemaphore =
        std::make_unique<std::counting_semaphore<>>(1);
    std::function<void(const RotationNotification&)> didRotate;
    std::vector<bool> userStatusValue = std::vector<bool>(3, false);

    GazeTrackerState() = default;
    GazeTrackerState(const GazeTrackerState&) = delete;
    GazeTrackerState& operator=(const GazeTrackerState&) = delete;
    GazeTrackerState(GazeTrackerState&&) = delete;
    GazeTrackerState& operator=(GazeTrackerState&&) = delete;

    ~GazeTrackerState() {
        // Members go in declaration order, not the reverse that C++ would use.
        settings.reset();
        statusDelegate.reset();
        gazeDelegate.reset();
        calibrationDelegate.reset();
        imageDelegate.reset();
        userStatusDelegate.reset();
        caliSemaphore.reset();
        didRotate = nullptr;
        userStatusValue.clear();
    }
};

GazeTracker::GazeTracker(ConstructionKey /*key*/)
    : state_(std::make_unique<detail::GazeTrackerState>()) {}

GazeTracker::~GazeTracker() = default;

// The option is taken by value, as an engine that keeps it would; this build ignores it.
// NOLINTBEGIN(performance-unnecessary-value-param)
void GazeTracker::initGazeTracker(std::shared_ptr<InitializationDelegate> delegate,
                                  std::shared_ptr<UserStatusOption> /*option*/) {
    if (!delegate) {
        return;
    }
    // A throwing wake-up hook is contained: initialisation reports through its delegate only.
    detail::postContainingHook([delegate = std::move(delegate)]() mutable {
        // Moved out so that the delegate is released as soon as the report has run, even if
        // onInitialized throws, whatever the queue then does with this task.
        const auto receiver = std::move(delegate);
        if (receiver) {
            receiver->onInitialized(nullptr, InitializationError::ERROR_NO_GAZE_ENGINE);
        }
    });
}
// NOLINTEND(performance-unnecessary-value-param)

void GazeTracker::deinitGazeTracker(const std::shared_ptr<GazeTracker>& /*tracker*/) noexcept {}

std::string GazeTracker::getFrameworkVersion() {
    const auto bundle =
        BundleRegistry::bundleWithIdentifier(BundleRegistry::LIBRARY_BUNDLE_IDENTIFIER);
    if (!bundle || !bundle->infoDictionary) {
        return std::string(VERSION_ERROR);
    }
    const auto& info = *bundle->infoDictionary;
    const auto entry = info.find(BundleRegistry::SHORT_VERSION_KEY);
    if (entry == info.end()) {
        return std::string(VERSION_ERROR);
    }
    auto version = textOf(entry->second);
    if (!version) {
        return std::string(VERSION_ERROR);
    }
    version->append(BUILD_SUFFIX);
    return *std::move(version);
}

std::shared_ptr<StatusDelegate> GazeTracker::statusDelegate() const noexcept {
    return state_->statusDelegate.lock();
}

void GazeTracker::setStatusDelegate(const std::shared_ptr<StatusDelegate>& delegate) noexcept {
    state_->statusDelegate = delegate;
}

std::shared_ptr<GazeDelegate> GazeTracker::gazeDelegate() const noexcept {
    return state_->gazeDelegate.lock();
}

void GazeTracker::setGazeDelegate(const std::shared_ptr<GazeDelegate>& delegate) noexcept {
    state_->gazeDelegate = delegate;
}

std::shared_ptr<CalibrationDelegate> GazeTracker::calibrationDelegate() const noexcept {
    return state_->calibrationDelegate.lock();
}

void GazeTracker::setCalibrationDelegate(
    const std::shared_ptr<CalibrationDelegate>& delegate) noexcept {
    state_->calibrationDelegate = delegate;
}

std::shared_ptr<ImageDelegate> GazeTracker::imageDelegate() const noexcept {
    return state_->imageDelegate.lock();
}

void GazeTracker::setImageDelegate(const std::shared_ptr<ImageDelegate>& delegate) noexcept {
    state_->imageDelegate = delegate;
}

std::shared_ptr<UserStatusDelegate> GazeTracker::userStatusDelegate() const noexcept {
    return state_->userStatusDelegate.lock();
}

void GazeTracker::setUserStatusDelegate(
    const std::shared_ptr<UserStatusDelegate>& delegate) noexcept {
    state_->userStatusDelegate = delegate;
}

void GazeTracker::startTracking() noexcept {}

void GazeTracker::stopTracking() noexcept {}

bool GazeTracker::isTracking() const noexcept {
    return false;
}

bool GazeTracker::setTrackingFPS(std::int64_t /*fps*/) noexcept {
    return false;
}

bool GazeTracker::isCalibrating() const noexcept {
    return false;
}

bool GazeTracker::startCalibration(CalibrationMode /*mode*/, AccuracyCriteria /*criteria*/,
                                   Rect /*region*/) noexcept {
    return false;
}

bool GazeTracker::setCalibrationData(std::span<const double> /*calibrationData*/) noexcept {
    return false;
}

void GazeTracker::stopCalibration() noexcept {}

bool GazeTracker::startCollectSamples() noexcept {
    return false;
}

void GazeTracker::setCameraPreview(CameraPreviewHandle /*preview*/) noexcept {}

void GazeTracker::removeCameraPreview() noexcept {}

void GazeTracker::setDelegates(
    const std::shared_ptr<StatusDelegate>& statusDelegate,
    const std::shared_ptr<GazeDelegate>& gazeDelegate,
    const std::shared_ptr<CalibrationDelegate>& calibrationDelegate,
    const std::shared_ptr<ImageDelegate>& imageDelegate,
    const std::shared_ptr<UserStatusDelegate>& userStatusDelegate) noexcept {
    setStatusDelegate(statusDelegate);
    setGazeDelegate(gazeDelegate);
    setCalibrationDelegate(calibrationDelegate);
    setImageDelegate(imageDelegate);
    setUserStatusDelegate(userStatusDelegate);
}

void GazeTracker::setAttentionInterval(std::int64_t /*interval*/) noexcept {}

double GazeTracker::getAttentionScore() const noexcept {
    return 0.0;
}

} // namespace pelto
