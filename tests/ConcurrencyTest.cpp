// Cross-thread contracts, meant to run under ThreadSanitizer: most of what these tests check is
// that no data race is reported.

#include <pelto/Version.hpp>
#include <pelto/platform/BundleRegistry.hpp>
#include <pelto/platform/MainQueue.hpp>
#include <pelto/tracker/GazeTracker.hpp>

#include "tracker/GazeTrackerAccess.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <latch>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace pelto {
namespace {

// Runs `onReport` for its initialisation report; counts gaze samples.
struct Recorder final : InitializationDelegate, GazeDelegate {
    explicit Recorder(std::function<void()> report = {})
        : onReport(std::move(report)) {}
    void onInitialized(std::shared_ptr<GazeTracker>, InitializationError) override { onReport(); }
    void onGaze(const GazeInfo&) override { ++gazes; }
    std::function<void()> onReport;
    int gazes = 0;
};

TEST(ConcurrencyTest, InitialisingFromManyThreadsWhileTheMainThreadDrains) {
    constexpr int THREADS = 4;
    constexpr int CALLS = 200;
    const auto mainThread = std::this_thread::get_id();
    std::vector<int> next(THREADS, 0); // each thread's next report, touched by reports only
    std::vector<std::weak_ptr<Recorder>> watches(std::size_t{THREADS} * CALLS); // one per call
    std::atomic<int> wakeUps{0};
    MainQueue::setWakeUpHook([&wakeUps] { wakeUps.fetch_add(1); });
    std::latch start(THREADS + 1);
    std::atomic<int> finished{0};
    std::vector<std::jthread> callers;
    for (std::size_t t = 0; t < THREADS; ++t) {
        callers.emplace_back([&, t] {
            start.arrive_and_wait();
            for (int call = 0; call < CALLS; ++call) {
                auto delegate = std::make_shared<Recorder>([&next, mainThread, t, call] {
                    EXPECT_EQ(std::this_thread::get_id(), mainThread);
                    EXPECT_EQ(next.at(t), call);
                    ++next.at(t);
                });
                watches.at(t * CALLS + static_cast<std::size_t>(call)) = delegate;
                GazeTracker::initGazeTracker(std::move(delegate), nullptr);
            }
            finished.fetch_add(1);
        });
    }
    start.arrive_and_wait();
    while (finished.load() < THREADS) {
        MainQueue::drain();
    }
    callers.clear();
    MainQueue::drain();
    MainQueue::setWakeUpHook({});

    EXPECT_EQ(wakeUps.load(), THREADS * CALLS);
    EXPECT_EQ(next, std::vector<int>(THREADS, CALLS));
    EXPECT_TRUE(std::ranges::all_of(watches, [](const auto& watch) { return watch.expired(); }));
}

// Once clearing or replacing the hook has returned, no call of the old one is under way: the host
// may free what it used at once.
TEST(ConcurrencyTest, HookDataFreedRightAfterClearingTheHook) {
    std::atomic<bool> stop{false};
    std::jthread poster([&stop] {
        while (!stop.load()) {
            MainQueue::post([] {});
        }
    });
    for (int round = 0; round < 300; ++round) {
        auto* data = new int(round); // NOLINT(cppcoreguidelines-owning-memory): freed by hand
        MainQueue::setWakeUpHook([data] { EXPECT_GE(*data, 0); });
        std::this_thread::yield();
        if (round % 2 == 0) {
            MainQueue::setWakeUpHook({});
        } else {
            MainQueue::setWakeUpHook([] {});
        }
        delete data; // NOLINT(cppcoreguidelines-owning-memory)
    }
    stop.store(true);
    poster.join();
    MainQueue::setWakeUpHook({});
    MainQueue::drain();
}

TEST(ConcurrencyTest, ReadingASlotWhileItsLastOwnerDropsTheDelegate) {
    const auto tracker = detail::GazeTrackerAccess::makeTracker();
    const GazeInfo sample(0.0, 0.0, 0.0, TrackingState::SUCCESS, EyeMovementState::FIXATION,
                          ScreenState::INSIDE_OF_SCREEN);
    for (int round = 0; round < 200; ++round) {
        auto delegate = std::make_shared<Recorder>();
        tracker->setGazeDelegate(delegate);
        std::latch start(2);
        std::jthread owner([&start, last = std::move(delegate)]() mutable {
            start.arrive_and_wait();
            last.reset();
        });
        start.arrive_and_wait();
        while (const auto seen = tracker->gazeDelegate()) {
            seen->onGaze(sample); // a delegate destroyed under the reader shows up here
        }
        owner.join();
    }
}

TEST(ConcurrencyTest, VersionIsReadWhileTheBundleIsReplaced) {
    const std::string id(BundleRegistry::LIBRARY_BUNDLE_IDENTIFIER);
    const InfoDictionary info{{std::string(BundleRegistry::SHORT_VERSION_KEY), std::string("2.0")}};
    std::jthread writer([&id, &info] {
        for (int round = 0; round < 500; ++round) {
            BundleRegistry::registerBundle({id, info});
            BundleRegistry::removeBundle(id);
        }
    });
    for (int read = 0; read < 500; ++read) {
        const std::string version = GazeTracker::getFrameworkVersion();
        EXPECT_TRUE(version == "version error" || version == "2.0-simulator" ||
                    version == PELTO_VERSION_STRING "-simulator")
            << version;
    }
    writer.join();
    BundleRegistry::restoreDefaults();
}

} // namespace
} // namespace pelto
