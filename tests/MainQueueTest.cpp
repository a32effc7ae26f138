#include <pelto/platform/MainQueue.hpp>

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <vector>

namespace pelto {
namespace {

class MainQueueTest : public ::testing::Test {
  protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }

    static void reset() {
        MainQueue::setWakeUpHook({});
        while (MainQueue::hasPendingTasks()) {
            try {
                MainQueue::drain();
            } catch (...) {
            }
        }
    }

    std::vector<int> ran_;
    std::function<void()> record(int id) {
        return [this, id] { ran_.push_back(id); };
    }
};

TEST_F(MainQueueTest, RunsTasksLaterInPostingOrder) {
    for (int id = 0; id < 5; ++id) {
        MainQueue::post(record(id));
    }
    EXPECT_TRUE(ran_.empty());
    EXPECT_TRUE(MainQueue::hasPendingTasks());
    EXPECT_EQ(MainQueue::drain(), 5U);
    EXPECT_EQ(ran_, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_FALSE(MainQueue::hasPendingTasks());
    EXPECT_EQ(MainQueue::drain(), 0U);
}

TEST_F(MainQueueTest, TaskPostedDuringDrainWaitsForNextDrain) {
    MainQueue::post([this] {
        ran_.push_back(0);
        MainQueue::post(record(2));
    });
    MainQueue::post(record(1));
    EXPECT_EQ(MainQueue::drain(), 2U);
    EXPECT_EQ(ran_, (std::vector<int>{0, 1}));
    EXPECT_EQ(MainQueue::drain(), 1U);
    EXPECT_EQ(ran_, (std::vector<int>{0, 1, 2}));
}

TEST_F(MainQueueTest, TaskIsDestroyedRightAfterItRan) {
    auto payload = std::make_shared<int>(1);
    const std::weak_ptr<int> watch = payload;
    MainQueue::post([held = std::move(payload)] {});
    MainQueue::post([this, watch] { ran_.push_back(watch.expired() ? 1 : 0); });
    MainQueue::drain();
    EXPECT_EQ(ran_, (std::vector<int>{1}));
}

TEST_F(MainQueueTest, NestedDrainRunsWhatWasQueuedBeforeItAndOuterResumes) {
    std::size_t nested = 0;
    MainQueue::post([this, &nested] {
        ran_.push_back(0);
        MainQueue::post(record(3));
        nested = MainQueue::drain();
        MainQueue::post(record(4));
    });
    MainQueue::post(record(1));
    MainQueue::post(record(2));
    EXPECT_EQ(MainQueue::drain(), 1U);
    EXPECT_EQ(nested, 3U);
    EXPECT_EQ(ran_, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(MainQueue::drain(), 1U);
}

TEST_F(MainQueueTest, WakeUpHookRunsOncePerPostAfterTheTaskIsQueued) {
    int calls = 0;
    bool queuedWhenCalled = true;
    MainQueue::setWakeUpHook([&] {
        ++calls;
        queuedWhenCalled = queuedWhenCalled && MainQueue::hasPendingTasks();
    });
    MainQueue::post(record(0));
    MainQueue::post(record(1));
    MainQueue::post({});
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(queuedWhenCalled);
    EXPECT_EQ(MainQueue::drain(), 2U);
    EXPECT_EQ(ran_, (std::vector<int>{0, 1}));

    MainQueue::setWakeUpHook({});
    MainQueue::post(record(2));
    EXPECT_EQ(calls, 2);
}

// A throwing task is consumed; the tasks behind it keep their order for the next drain, and the
// hook is called again only when some of them are left.
class MainQueueThrowTest : public MainQueueTest, public ::testing::WithParamInterface<int> {};

TEST_P(MainQueueThrowTest, ThrowingTaskLosesAndReordersNothing) {
    constexpr int COUNT = 5;
    const int thrower = GetParam();
    for (int id = 0; id < COUNT; ++id) {
        MainQueue::post([this, id, thrower] {
            ran_.push_back(id);
            if (id == thrower) {
                throw std::runtime_error("task failed");
            }
        });
    }
    int wakeUps = 0;
    MainQueue::setWakeUpHook([&wakeUps] { ++wakeUps; });

    EXPECT_THROW(MainQueue::drain(), std::runtime_error);
    EXPECT_EQ(ran_.size(), static_cast<std::size_t>(thrower + 1));
    EXPECT_EQ(wakeUps, thrower + 1 < COUNT ? 1 : 0);
    EXPECT_EQ(MainQueue::drain(), static_cast<std::size_t>(COUNT - thrower - 1));
    EXPECT_EQ(ran_, (std::vector<int>{0, 1, 2, 3, 4}));
}

INSTANTIATE_TEST_SUITE_P(FirstMiddleLast, MainQueueThrowTest, ::testing::Values(0, 2, 4));

} // namespace
} // namespace pelto
