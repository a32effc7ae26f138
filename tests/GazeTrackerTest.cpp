#include <pelto/Version.hpp>
#include <pelto/platform/BundleRegistry.hpp>
#include <pelto/platform/MainQueue.hpp>
#include <pelto/tracker/GazeTracker.hpp>

#include "tracker/GazeTrackerAccess.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace pelto {
namespace {

using detail::GazeTrackerAccess;
using AnyDelegate = std::shared_ptr<GazeTrackerDelegate>;
using Slots = std::array<AnyDelegate, 5>;

// Implements every slot interface and fails the test on any call.
class SilentDelegate final : public StatusDelegate,
                             public GazeDelegate,
                             public CalibrationDelegate,
                             public ImageDelegate,
                             public UserStatusDelegate {
  public:
    void onStarted() override { ADD_FAILURE() << "onStarted"; }
    void onStopped(StatusError /*e*/) override { ADD_FAILURE() << "onStopped"; }
    void onGaze(const GazeInfo& /*g*/) override { ADD_FAILURE() << "onGaze"; }
    void onCalibrationNextPoint(double /*x*/, double /*y*/) override {
        ADD_FAILURE() << "nextPoint";
    }
    void onCalibrationProgress(double /*p*/) override { ADD_FAILURE() << "progress"; }
    void onCalibrationFinished(std::span<const double> /*d*/) override {
        ADD_FAILURE() << "finished";
    }
    void onImage(double /*t*/, CameraFrameHandle /*i*/) override { ADD_FAILURE() << "onImage"; }
    void onAttension(std::int64_t /*b*/, std::int64_t /*e*/, double /*s*/) override {
        ADD_FAILURE() << "attension";
    }
    void onBlink(std::int64_t /*t*/, bool /*l*/, bool /*r*/, bool /*b*/, double /*o*/) override {
        ADD_FAILURE() << "onBlink";
    }
    void onDrowsiness(std::int64_t /*t*/, bool /*d*/) override { ADD_FAILURE() << "onDrowsiness"; }
};

// Provides none of the optional operations.
class BareUserStatusDelegate final : public UserStatusDelegate {};

struct Report {
    int id;
    bool hadTracker;
    InitializationError error;
};

class RecordingInitDelegate final : public InitializationDelegate {
  public:
    RecordingInitDelegate(std::vector<Report>* log, int id, bool throws = false)
        : log_(log)
        , id_(id)
        , throws_(throws) {}

    void onInitialized(std::shared_ptr<GazeTracker> tracker, InitializationError error) override {
        log_->push_back({id_, tracker != nullptr, error});
        if (throws_) {
            throw std::runtime_error("host failure");
        }
    }

  private:
    std::vector<Report>* log_;
    int id_;
    bool throws_;
};

Slots slotsOf(const GazeTracker& tracker) {
    return {tracker.statusDelegate(), tracker.gazeDelegate(), tracker.calibrationDelegate(),
            tracker.imageDelegate(), tracker.userStatusDelegate()};
}

class GazeTrackerTest : public ::testing::Test {
  protected:
    void TearDown() override {
        while (MainQueue::hasPendingTasks()) {
            try {
                MainQueue::drain();
            } catch (...) {
            }
        }
        BundleRegistry::restoreDefaults();
    }

    std::shared_ptr<GazeTracker> tracker_ = GazeTrackerAccess::makeTracker();
};

// Each slot, written on its own, holds its delegate weakly and leaves the other four alone.
struct SlotCase {
    const char* name;
    std::size_t index;
    std::function<void(GazeTracker&, const std::shared_ptr<SilentDelegate>&)> write;
};

class GazeTrackerSlotTest : public GazeTrackerTest,
                            public ::testing::WithParamInterface<SlotCase> {};

TEST_P(GazeTrackerSlotTest, SlotHoldsItsDelegateWeaklyAndAlone) {
    const auto& slot = GetParam();
    auto others = std::make_shared<SilentDelegate>();
    tracker_->setDelegates(others, others, others, others, others);
    slot.write(*tracker_, nullptr);

    auto delegate = std::make_shared<SilentDelegate>();
    slot.write(*tracker_, delegate);
    auto slots = slotsOf(*tracker_);
    for (std::size_t i = 0; i < slots.size(); ++i) {
        EXPECT_EQ(slots.at(i), i == slot.index ? AnyDelegate(delegate) : AnyDelegate(others)) << i;
    }
    slots = {};
    EXPECT_EQ(delegate.use_count(), 1);

    delegate.reset();
    EXPECT_EQ(slotsOf(*tracker_).at(slot.index), nullptr);
    EXPECT_EQ(others.use_count(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    AllSlots, GazeTrackerSlotTest,
    ::testing::Values(
        SlotCase{"status", 0, [](GazeTracker& g, const auto& d) { g.setStatusDelegate(d); }},
        SlotCase{"gaze", 1, [](GazeTracker& g, const auto& d) { g.setGazeDelegate(d); }},
        SlotCase{"calibration", 2,
                 [](GazeTracker& g, const auto& d) { g.setCalibrationDelegate(d); }},
        SlotCase{"image", 3, [](GazeTracker& g, const auto& d) { g.setImageDelegate(d); }},
        SlotCase{"userStatus", 4,
                 [](GazeTracker& g, const auto& d) { g.setUserStatusDelegate(d); }}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(GazeTrackerTest, SetDelegatesRewritesAllFiveSlots) {
    auto one = std::make_shared<SilentDelegate>();
    tracker_->setDelegates(one, one, one, one, one);
    EXPECT_EQ(slotsOf(*tracker_), (Slots{one, one, one, one, one}));
    EXPECT_EQ(one.use_count(), 1);

    tracker_->setDelegates(one, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(slotsOf(*tracker_), (Slots{one, nullptr, nullptr, nullptr, nullptr}));

    auto bare = std::make_shared<BareUserStatusDelegate>();
    tracker_->setDelegates(nullptr, nullptr, nullptr, nullptr, bare);
    EXPECT_EQ(slotsOf(*tracker_), (Slots{nullptr, nullptr, nullptr, nullptr, bare}));

    tracker_->setDelegates(nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(slotsOf(*tracker_), (Slots{}));
}

TEST_F(GazeTrackerTest, EveryOperationIsInertAndCallsNoDelegate) {
    auto delegate = std::make_shared<SilentDelegate>();
    tracker_->setDelegates(delegate, delegate, delegate, delegate, delegate);
    GazeTracker& tracker = *tracker_;
    constexpr auto MIN = std::numeric_limits<std::int64_t>::min();
    constexpr auto MAX = std::numeric_limits<std::int64_t>::max();

    tracker.startTracking();
    EXPECT_FALSE(tracker.isTracking());
    for (const std::int64_t value :
         {std::int64_t{30}, std::int64_t{0}, std::int64_t{-1}, MIN, MAX}) {
        EXPECT_FALSE(tracker.setTrackingFPS(value)) << value;
        tracker.setAttentionInterval(value);
        EXPECT_EQ(tracker.getAttentionScore(), 0.0) << value;
    }
    for (const auto mode : {CalibrationMode::FIVE_POINT, static_cast<CalibrationMode>(-3)}) {
        for (const auto criteria :
             {AccuracyCriteria::CRITERIA_2, static_cast<AccuracyCriteria>(9)}) {
            EXPECT_FALSE(tracker.startCalibration(mode, criteria, Rect{0.0, 0.0, 320.0, 480.0}));
            EXPECT_FALSE(tracker.isCalibrating());
        }
    }
    EXPECT_FALSE(tracker.startCollectSamples());
    EXPECT_FALSE(tracker.setCalibrationData({}));
    EXPECT_FALSE(tracker.setCalibrationData(std::vector<double>(1000, 0.5)));
    tracker.stopCalibration();
    int view = 0;
    tracker.setCameraPreview(CameraPreviewHandle{&view});
    tracker.removeCameraPreview();
    tracker.stopTracking();

    EXPECT_EQ(slotsOf(tracker), (Slots{delegate, delegate, delegate, delegate, delegate}));
    EXPECT_FALSE(MainQueue::hasPendingTasks());
}

TEST_F(GazeTrackerTest, DeinitChangesNothingAndDestructionLeavesDelegatesAlone) {
    auto delegate = std::make_shared<SilentDelegate>();
    tracker_->setDelegates(delegate, nullptr, delegate, nullptr, delegate);
    GazeTracker::deinitGazeTracker(nullptr);
    GazeTracker::deinitGazeTracker(tracker_);
    EXPECT_EQ(tracker_.use_count(), 1);
    EXPECT_EQ(slotsOf(*tracker_), (Slots{delegate, nullptr, delegate, nullptr, delegate}));
    EXPECT_FALSE(MainQueue::hasPendingTasks());
    tracker_.reset();
    EXPECT_EQ(delegate.use_count(), 1);
}

TEST_F(GazeTrackerTest, ReportArrivesOnceOnALaterDrainWhateverTheOption) {
    std::vector<Report> log;
    auto option = std::make_shared<UserStatusOption>();
    option->useAll();
    GazeTracker::initGazeTracker(std::make_shared<RecordingInitDelegate>(&log, 0), nullptr);
    GazeTracker::initGazeTracker(std::make_shared<RecordingInitDelegate>(&log, 1), option);
    GazeTracker::initGazeTracker(std::make_shared<RecordingInitDelegate>(&log, 2), nullptr);
    EXPECT_TRUE(log.empty());

    EXPECT_EQ(MainQueue::drain(), 3U);
    ASSERT_EQ(log.size(), 3U);
    for (int id = 0; id < 3; ++id) {
        const auto& report = log.at(static_cast<std::size_t>(id));
        EXPECT_EQ(report.id, id);
        EXPECT_FALSE(report.hadTracker);
        EXPECT_EQ(rawValue(report.error), 11);
    }
    EXPECT_EQ(MainQueue::drain(), 0U);
}

TEST_F(GazeTrackerTest, PendingReportAloneKeepsTheDelegateAliveUntilItRan) {
    for (const bool throws : {false, true}) {
        std::vector<Report> log;
        auto delegate = std::make_shared<RecordingInitDelegate>(&log, 0, throws);
        const std::weak_ptr<RecordingInitDelegate> watch = delegate;
        GazeTracker::initGazeTracker(std::move(delegate), nullptr);
        EXPECT_FALSE(watch.expired());
        if (throws) {
            EXPECT_THROW(MainQueue::drain(), std::runtime_error);
        } else {
            EXPECT_EQ(MainQueue::drain(), 1U);
        }
        EXPECT_EQ(log.size(), 1U);
        EXPECT_TRUE(watch.expired()) << throws;
    }
}

TEST_F(GazeTrackerTest, EmptyDelegatePostsNothing) {
    GazeTracker::initGazeTracker(nullptr, std::make_shared<UserStatusOption>());
    EXPECT_FALSE(MainQueue::hasPendingTasks());
}

// The version text as each state of the library's bundle yields it.
struct VersionCase {
    const char* name;
    std::function<void()> arrange;
    std::string expected;
};

void registerOwn(std::optional<InfoDictionary> info) {
    BundleRegistry::registerBundle(
        {std::string(BundleRegistry::LIBRARY_BUNDLE_IDENTIFIER), std::move(info)});
}

InfoDictionary versionEntry(std::any value) {
    return {{std::string(BundleRegistry::SHORT_VERSION_KEY), std::move(value)}};
}

class GazeTrackerVersionTest : public GazeTrackerTest,
                               public ::testing::WithParamInterface<VersionCase> {};

TEST_P(GazeTrackerVersionTest, VersionText) {
    GetParam().arrange();
    EXPECT_EQ(GazeTracker::getFrameworkVersion(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    BundleStates, GazeTrackerVersionTest,
    ::testing::Values(
        VersionCase{"Default", [] {}, PELTO_VERSION_STRING "-simulator"},
        VersionCase{"NoBundle",
                    [] { BundleRegistry::removeBundle(BundleRegistry::LIBRARY_BUNDLE_IDENTIFIER); },
                    "version error"},
        VersionCase{"NoInfoDictionary", [] { registerOwn(std::nullopt); }, "version error"},
        VersionCase{"NoVersionKey", [] { registerOwn(InfoDictionary{}); }, "version error"},
        VersionCase{"NumberValue", [] { registerOwn(versionEntry(2.5)); }, "version error"},
        VersionCase{"NullText",
                    [] { registerOwn(versionEntry(static_cast<const char*>(nullptr))); },
                    "version error"},
        VersionCase{"StringValue", [] { registerOwn(versionEntry(std::string("2.3.4"))); },
                    "2.3.4-simulator"},
        VersionCase{"LiteralValue", [] { registerOwn(versionEntry("5.6")); }, "5.6-simulator"}),
    [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace pelto
