#include <pelto/Version.hpp>
#include <pelto/platform/BundleRegistry.hpp>
#include <pelto/platform/MainQueue.hpp>
#include <pelto/tracker/GazeTracker.hpp>

#include "tracker/GazeTrackerAccess.hpp"

#include <gtest/gtest.h>

#include <any>
#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace pelto {
namespace {

using Slots = std::array<std::shared_ptr<GazeTrackerDelegate>, 5>;

// Implements every slot interface; this build must never call one of them.
struct SilentDelegate final : StatusDelegate,
                              GazeDelegate,
                              CalibrationDelegate,
                              ImageDelegate,
                              UserStatusDelegate {
    void onStarted() override { ADD_FAILURE(); }
    void onStopped(StatusError) override { ADD_FAILURE(); }
    void onGaze(const GazeInfo&) override { ADD_FAILURE(); }
    void onCalibrationNextPoint(double, double) override { ADD_FAILURE(); }
    void onCalibrationProgress(double) override { ADD_FAILURE(); }
    void onCalibrationFinished(std::span<const double>) override { ADD_FAILURE(); }
    void onImage(double, CameraFrameHandle) override { ADD_FAILURE(); }
    void onAttension(std::int64_t, std::int64_t, double) override { ADD_FAILURE(); }
    void onBlink(std::int64_t, bool, bool, bool, double) override { ADD_FAILURE(); }
    void onDrowsiness(std::int64_t, bool) override { ADD_FAILURE(); }
};

class RecordingInitDelegate final : public InitializationDelegate {
  public:
    RecordingInitDelegate(std::vector<int>* log, int id)
        : log_(log)
        , id_(id) {}
    void onInitialized(std::shared_ptr<GazeTracker> tracker, InitializationError error) override {
        EXPECT_EQ(tracker, nullptr);
        EXPECT_EQ(rawValue(error), 11);
        log_->push_back(id_);
    }

  private:
    std::vector<int>* log_;
    int id_;
};

Slots slotsOf(const GazeTracker& tracker) {
    return {tracker.statusDelegate(), tracker.gazeDelegate(), tracker.calibrationDelegate(),
            tracker.imageDelegate(), tracker.userStatusDelegate()};
}

class GazeTrackerTest : public ::testing::Test {
  protected:
    void TearDown() override {
        MainQueue::drain();
        BundleRegistry::restoreDefaults();
    }

    std::shared_ptr<GazeTracker> tracker_ = detail::GazeTrackerAccess::makeTracker();
};

// Each slot holds its delegate weakly and alone; setDelegates rewrites all five.
TEST_F(GazeTrackerTest, SlotsHoldTheirDelegatesWeakly) {
    using Write = std::function<void(GazeTracker&, const std::shared_ptr<SilentDelegate>&)>;
    const std::array<Write, 5> writes{
        &GazeTracker::setStatusDelegate, &GazeTracker::setGazeDelegate,
        &GazeTracker::setCalibrationDelegate, &GazeTracker::setImageDelegate,
        &GazeTracker::setUserStatusDelegate};
    const auto others = std::make_shared<SilentDelegate>();
    for (std::size_t slot = 0; slot < writes.size(); ++slot) {
        tracker_->setDelegates(others, others, others, others, others);
        auto delegate = std::make_shared<SilentDelegate>();
        writes.at(slot)(*tracker_, delegate);
        Slots expected{others, others, others, others, others};
        expected.at(slot) = std::move(delegate); // the only owner from here on
        EXPECT_EQ(slotsOf(*tracker_), expected) << slot;
        expected.at(slot).reset();
        EXPECT_EQ(slotsOf(*tracker_), expected) << slot;
    }
    tracker_->setDelegates(nullptr, nullptr, nullptr, nullptr, others);
    EXPECT_EQ(slotsOf(*tracker_), (Slots{nullptr, nullptr, nullptr, nullptr, others}));
    EXPECT_EQ(others.use_count(), 1);
}

// Neither an operation, deinit nor the tracker's end calls, holds or destroys a delegate.
TEST_F(GazeTrackerTest, EveryOperationIsInert) {
    const auto delegate = std::make_shared<SilentDelegate>();
    tracker_->setDelegates(delegate, delegate, delegate, nullptr, delegate);
    GazeTracker& tracker = *tracker_;
    tracker.startTracking();
    EXPECT_FALSE(tracker.isTracking());
    for (const std::int64_t value :
         {std::int64_t{30}, std::int64_t{0}, std::int64_t{-1},
          std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()}) {
        EXPECT_FALSE(tracker.setTrackingFPS(value));
        tracker.setAttentionInterval(value);
        EXPECT_EQ(tracker.getAttentionScore(), 0.0);
        EXPECT_FALSE(tracker.startCalibration(static_cast<CalibrationMode>(value),
                                              static_cast<AccuracyCriteria>(value),
                                              Rect{0.0, 0.0, 320.0, 480.0}));
        EXPECT_FALSE(tracker.isCalibrating());
    }
    EXPECT_FALSE(tracker.startCollectSamples());
    EXPECT_FALSE(tracker.setCalibrationData({}));
    EXPECT_FALSE(tracker.setCalibrationData(std::vector<double>(1000, 0.5)));
    tracker.stopCalibration();
    int view = 0;
    tracker.setCameraPreview(CameraPreviewHandle{&view});
    tracker.removeCameraPreview();
    tracker.stopTracking();
    GazeTracker::deinitGazeTracker(nullptr);
    GazeTracker::deinitGazeTracker(tracker_);

    EXPECT_EQ(tracker_.use_count(), 1);
    EXPECT_EQ(slotsOf(tracker), (Slots{delegate, delegate, delegate, nullptr, delegate}));
    EXPECT_FALSE(MainQueue::hasPendingTasks());
    tracker_.reset();
    EXPECT_EQ(delegate.use_count(), 1);
}

TEST_F(GazeTrackerTest, InitialisationReportsOnceInCallOrderOnALaterDrain) {
    std::vector<int> log;
    std::vector<std::weak_ptr<RecordingInitDelegate>> watches;
    const auto option = std::make_shared<UserStatusOption>();
    for (int id = 0; id < 3; ++id) {
        auto delegate = std::make_shared<RecordingInitDelegate>(&log, id);
        watches.emplace_back(delegate);
        // The pending report alone holds the delegate from here on.
        GazeTracker::initGazeTracker(std::move(delegate), id == 1 ? option : nullptr);
    }
    GazeTracker::initGazeTracker(nullptr, option);
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(watches.back().expired());

    EXPECT_EQ(MainQueue::drain(), 3U);
    EXPECT_EQ(log, (std::vector<int>{0, 1, 2}));
    for (const auto& watch : watches) {
        EXPECT_TRUE(watch.expired());
    }
}

TEST_F(GazeTrackerTest, VersionTextFollowsTheLibraryBundle) {
    EXPECT_EQ(GazeTracker::getFrameworkVersion(), PELTO_VERSION_STRING "-simulator");
    const std::string id(BundleRegistry::LIBRARY_BUNDLE_IDENTIFIER);
    const auto entry = [](std::any value) {
        return InfoDictionary{{std::string(BundleRegistry::SHORT_VERSION_KEY), std::move(value)}};
    };
    const std::vector<std::pair<std::optional<InfoDictionary>, std::string>> cases{
        {std::nullopt, "version error"},
        {InfoDictionary{}, "version error"},
        {entry(2.5), "version error"},
        {entry(static_cast<const char*>(nullptr)), "version error"},
        {entry(std::string("2.3.4")), "2.3.4-simulator"},
        {entry("5.6"), "5.6-simulator"},
    };
    for (const auto& [info, expected] : cases) {
        BundleRegistry::registerBundle({id, info});
        EXPECT_EQ(GazeTracker::getFrameworkVersion(), expected);
    }
    BundleRegistry::removeBundle(id);
    EXPECT_EQ(GazeTracker::getFrameworkVersion(), "version error");
}

// The user-status operations are optional.
static_assert(!std::is_abstract_v<UserStatusDelegate>);

} // namespace
} // namespace pelto
