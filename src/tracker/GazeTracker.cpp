#include <pelto/tracker/GazeTracker.hpp>

#include <pelto/platform/BundleRegistry.hpp>
#include <pelto/platform/MainQueue.hpp>

#include "tracker/InternalSetting.hpp"

#include <any>
#include <optional>
#include <string_view>
#include <utility>

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

GazeTracker::GazeTracker(ConstructionKey /*key*/)
    : settings_(std::make_unique<detail::InternalSetting>())
    , caliSemaphore_(std::make_unique<std::counting_semaphore<>>(1))
    , userStatusValue_(3, false) {}

GazeTracker::~GazeTracker() {
    // Members go in declaration order, not the reverse that C++ would use.
    settings_.reset();
    statusDelegate_.reset();
    gazeDelegate_.reset();
    calibrationDelegate_.reset();
    imageDelegate_.reset();
    userStatusDelegate_.reset();
    caliSemaphore_.reset();
    didRotate_ = nullptr;
    userStatusValue_.clear();
}

// The option is taken by value, as an engine that keeps it would; this build ignores it.
// NOLINTBEGIN(performance-unnecessary-value-param)
void GazeTracker::initGazeTracker(std::shared_ptr<InitializationDelegate> delegate,
                                  std::shared_ptr<UserStatusOption> /*option*/) {
    if (!delegate) {
        return;
    }
    MainQueue::post([delegate = std::move(delegate)]() mutable {
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
    return statusDelegate_.lock();
}

void GazeTracker::setStatusDelegate(const std::shared_ptr<StatusDelegate>& delegate) noexcept {
    statusDelegate_ = delegate;
}

std::shared_ptr<GazeDelegate> GazeTracker::gazeDelegate() const noexcept {
    return gazeDelegate_.lock();
}

void GazeTracker::setGazeDelegate(const std::shared_ptr<GazeDelegate>& delegate) noexcept {
    gazeDelegate_ = delegate;
}

std::shared_ptr<CalibrationDelegate> GazeTracker::calibrationDelegate() const noexcept {
    return calibrationDelegate_.lock();
}

void GazeTracker::setCalibrationDelegate(
    const std::shared_ptr<CalibrationDelegate>& delegate) noexcept {
    calibrationDelegate_ = delegate;
}

std::shared_ptr<ImageDelegate> GazeTracker::imageDelegate() const noexcept {
    return imageDelegate_.lock();
}

void GazeTracker::setImageDelegate(const std::shared_ptr<ImageDelegate>& delegate) noexcept {
    imageDelegate_ = delegate;
}

std::shared_ptr<UserStatusDelegate> GazeTracker::userStatusDelegate() const noexcept {
    return userStatusDelegate_.lock();
}

void GazeTracker::setUserStatusDelegate(
    const std::shared_ptr<UserStatusDelegate>& delegate) noexcept {
    userStatusDelegate_ = delegate;
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
