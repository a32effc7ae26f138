// Cross-thread contracts of the tracker and its platform stand-ins. Meant to run under
// ThreadSanitizer: most of what these tests check is that no data race is reported.

#include <pelto/Version.hpp>
#include <pelto/platform/BundleRegistry.hpp>
#include <pelto/platform/MainQueue.hpp>
#include <pelto/tracker/GazeTracker.hpp>

#include "tracker/GazeTrackerAccess.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace pelto {
namespace {

constexpr int THREADS = 4;

class ConcurrencyTest : public ::testing::Test {
  protected:
    void TearDown() override {
        MainQueue::setWakeUpHook({});
        while (MainQueue::hasPendingTasks()) {
            MainQueue::drain();
        }
        BundleRegistry::restoreDefaults();
    }
};

struct Report {
    int thread;
    int sequence;
    std::thread::id ranOn;
};

class RecordingInitDelegate final : public InitializationDelegate {
  public:
    RecordingInitDelegate(std::vector<Report>* log, int thread, int sequence)
        : log_(log)
        , thread_(thread)
        , sequence_(sequence) {}

    void onInitialized(std::shared_ptr<GazeTracker> /*tracker*/,
                       InitializationError /*error*/) override {
        log_->push_back({thread_, sequence_, std::this_thread::get_id()});
    }

  private:
    std::vector<Report>* log_;
    int thread_;
    int sequence_;
};

TEST_F(ConcurrencyTest, InitialisingFromManyThreadsWhileTheMainThreadDrains) {
    constexpr int CALLS = 200;
    std::vector<Report> log; // written by reports only, hence on the draining thread only
    std::vector<std::vector<std::weak_ptr<RecordingInitDelegate>>> watches(THREADS);
    std::atomic<int> wakeUps{0};
    MainQueue::setWakeUpHook([&wakeUps] { wakeUps.fetch_add(1, std::memory_order_relaxed); });

    std::latch start(THREADS + 1);
    std::atomic<int> finished{0};
    std::vector<std::thread> callers;
    callers.reserve(THREADS);
    for (int t = 0; t < THREADS; ++t) {
        callers.emplace_back([&, t] {
            auto& mine = watches.at(static_cast<std::size_t>(t));
            start.arrive_and_wait();
            for (int s = 0; s < CALLS; ++s) {
                auto delegate = std::make_shared<RecordingInitDelegate>(&log, t, s);
                mine.push_back(delegate);
                GazeTracker::initGazeTracker(std::move(delegate), nullptr);
            }
            finished.fetch_add(1);
        });
    }
    start.arrive_and_wait();
    while (finished.load() < THREADS) {
        MainQueue::drain();
    }
    for (auto& caller : callers) {
        caller.join();
    }
    MainQueue::drain();

    EXPECT_EQ(wakeUps.load(), THREADS * CALLS);
    ASSERT_EQ(log.size(), static_cast<std::size_t>(THREADS * CALLS));
    std::vector<int> next(THREADS, 0);
    for (const auto& report : log) {
        EXPECT_EQ(report.ranOn, std::this_thread::get_id());
        EXPECT_EQ(report.sequence, next.at(static_cast<std::size_t>(report.thread))++);
    }
    EXPECT_EQ(next, std::vector<int>(THREADS, CALLS));
    for (const auto& mine : watches) {
        for (const auto& watch : mine) {
            EXPECT_TRUE(watch.expired());
        }
    }
}

class CountedGazeDelegate final : public GazeDelegate {
  public:
    void onGaze(const GazeInfo& /*gazeInfo*/) override { ++gazes_; }

  private:
    int gazes_ = 0;
};

TEST_F(ConcurrencyTest, ReadingASlotWhileItsLastOwnerDropsTheDelegate) {
    constexpr int ROUNDS = 200;
    const auto tracker = detail::GazeTrackerAccess::makeTracker();
    const GazeInfo sample(0.0, 0.0, 0.0, TrackingState::SUCCESS, EyeMovementState::FIXATION,
                          ScreenState::INSIDE_OF_SCREEN);
    for (int round = 0; round < ROUNDS; ++round) {
        auto delegate = std::make_shared<CountedGazeDelegate>();
        tracker->setGazeDelegate(delegate);
        std::latch start(2);
        std::thread owner([&start, last = std::move(delegate)]() mutable {
            start.arrive_and_wait();
            last.reset();
        });
        start.arrive_and_wait();
        while (const auto seen = tracker->gazeDelegate()) {
            // Touches the object: a delegate destroyed under the reader would show up here.
            seen->onGaze(sample);
        }
        owner.join();
        EXPECT_EQ(tracker->gazeDelegate(), nullptr);
    }
}

TEST_F(ConcurrencyTest, VersionIsReadWhileTheBundleIsReplaced) {
    constexpr int READS = 500;
    const std::string id(BundleRegistry::LIBRARY_BUNDLE_IDENTIFIER);
    const std::set<std::string> possible{"version error", "2.0-simulator",
                                         std::string(PELTO_VERSION_STRING) + "-simulator"};
    std::latch start(THREADS + 1);
    std::atomic<int> unexpected{0};
    std::vector<std::thread> readers;
    readers.reserve(THREADS);
    for (int t = 0; t < THREADS; ++t) {
        readers.emplace_back([&] {
            start.arrive_and_wait();
            for (int r = 0; r < READS; ++r) {
                if (!possible.contains(GazeTracker::getFrameworkVersion())) {
                    unexpected.fetch_add(1);
                }
            }
        });
    }
    start.arrive_and_wait();
    for (int r = 0; r < READS; ++r) {
        BundleRegistry::registerBundle(
            {id,
             InfoDictionary{{std::string(BundleRegistry::SHORT_VERSION_KEY), std::string("2.0")}}});
        BundleRegistry::removeBundle(id);
        BundleRegistry::registerBundle({id, std::nullopt});
    }
    for (auto& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(unexpected.load(), 0);
    EXPECT_EQ(GazeTracker::getFrameworkVersion(), "version error");
}

} // namespace
} // namespace pelto
