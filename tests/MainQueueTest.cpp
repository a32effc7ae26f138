#include <pelto/platform/MainQueue.hpp>
#include <pelto/tracker/GazeTracker.hpp>

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <vector>

namespace pelto {
namespace {

class MainQueueTest : public ::testing::Test {
  protected:
    void TearDown() override {
        MainQueue::setWakeUpHook({});
        MainQueue::drain();
    }

    std::function<void()> record(int id) {
        return [this, id] { ran_.push_back(id); };
    }

    std::vector<int> ran_;
};

// A drain runs what was queued when it began, in posting order, destroying each task once it ran;
// tasks posted meanwhile (also by a nested drain's tasks) wait for a later one. The wake-up hook
// runs once per post, after the task is queued.
TEST_F(MainQueueTest, DrainRunsWhatWasQueuedWhenItBegan) {
    int wakeUps = 0;
    MainQueue::setWakeUpHook([&wakeUps] {
        ++wakeUps;
        EXPECT_TRUE(MainQueue::hasPendingTasks());
    });
    std::size_t nested = 0;
    MainQueue::post([this, &nested] {
        ran_.push_back(0);
        MainQueue::post(record(3));
        nested = MainQueue::drain();
        MainQueue::post(record(4));
    });
    auto payload = std::make_shared<int>(1);
    const std::weak_ptr<int> watch = payload;
    MainQueue::post([this, held = std::move(payload)] { ran_.push_back(*held); });
    MainQueue::post([this, watch] { ran_.push_back(watch.expired() ? 2 : -2); });
    MainQueue::post({}); // no task: ignored
    EXPECT_TRUE(ran_.empty());
    EXPECT_EQ(wakeUps, 3);
    EXPECT_EQ(MainQueue::drain(), 1U);
    EXPECT_EQ(nested, 3U);
    EXPECT_EQ(ran_, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(MainQueue::drain(), 1U);
    EXPECT_EQ(MainQueue::drain(), 0U);
    EXPECT_EQ(ran_, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(wakeUps, 5);
    MainQueue::setWakeUpHook({});
    MainQueue::post(record(5));
    EXPECT_EQ(wakeUps, 5);
    // Without a nested drain, too: what a task posts waits.
    MainQueue::post([this] { MainQueue::post(record(6)); });
    EXPECT_EQ(MainQueue::drain(), 2U);
    EXPECT_EQ(MainQueue::drain(), 1U);
    EXPECT_EQ(ran_, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
}

// A throwing task is consumed and destroyed; the tasks behind it keep their order for the next
// drain, and the hook is called again only when some are left.
TEST_F(MainQueueTest, ThrowingTaskLosesAndReordersNothing) {
    constexpr int COUNT = 5;
    for (const int thrower : {2, 4}) {
        SCOPED_TRACE(thrower);
        ran_.clear();
        auto payload = std::make_shared<int>(0);
        const std::weak_ptr<int> watch = payload;
        for (int id = 0; id < COUNT; ++id) {
            MainQueue::post([this, id, held = id == thrower ? payload : nullptr] {
                ran_.push_back(id);
                if (held) {
                    throw std::runtime_error("task failed");
                }
            });
        }
        payload.reset();
        int wakeUps = 0;
        MainQueue::setWakeUpHook([&wakeUps] { ++wakeUps; });
        EXPECT_THROW(MainQueue::drain(), std::runtime_error);
        EXPECT_TRUE(watch.expired());
        EXPECT_EQ(ran_.size(), static_cast<std::size_t>(thrower + 1));
        EXPECT_EQ(wakeUps, thrower + 1 < COUNT ? 1 : 0);
        EXPECT_EQ(MainQueue::drain(), static_cast<std::size_t>(COUNT - thrower - 1));
        EXPECT_EQ(ran_, (std::vector<int>{0, 1, 2, 3, 4}));
        MainQueue::setWakeUpHook({});
    }
}

// A hook replaced from inside its own call does not wait for itself, and lives until that call
// ends. A throwing hook leaves `post`, but not `initGazeTracker`: both reports stay queued.
TEST_F(MainQueueTest, HookReplacedFromItselfAndThrowingHook) {
    auto alive = std::make_shared<int>(0);
    const std::weak_ptr<int> watch = alive;
    MainQueue::setWakeUpHook([this, held = std::move(alive), watch] {
        MainQueue::setWakeUpHook({});
        ran_.push_back(watch.expired() ? -1 : *held);
    });
    MainQueue::post(record(1));
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(ran_, (std::vector<int>{0}));

    MainQueue::setWakeUpHook([] { throw std::runtime_error("hook failed"); });
    EXPECT_THROW(MainQueue::post(record(2)), std::runtime_error);
    struct Receiver final : InitializationDelegate {
        void onInitialized(std::shared_ptr<GazeTracker>, InitializationError) override {
            ++reports;
        }
        int reports = 0;
    };
    const auto receiver = std::make_shared<Receiver>();
    EXPECT_NO_THROW(GazeTracker::initGazeTracker(receiver, nullptr));
    GazeTracker::initGazeTracker(nullptr, nullptr); // no delegate: nothing to report to
    EXPECT_EQ(MainQueue::drain(), 3U);
    EXPECT_EQ(ran_, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(receiver->reports, 1);
}

// A replaced hook is destroyed outside the queue's lock: what it captured may post.
TEST_F(MainQueueTest, ReplacedHookMayPostFromItsDestructor) {
    struct PostsWhenDestroyed {
        PostsWhenDestroyed() = default;
        PostsWhenDestroyed(const PostsWhenDestroyed&) = delete;
        PostsWhenDestroyed& operator=(const PostsWhenDestroyed&) = delete;
        PostsWhenDestroyed(PostsWhenDestroyed&&) = delete;
        PostsWhenDestroyed& operator=(PostsWhenDestroyed&&) = delete;
        ~PostsWhenDestroyed() {
            MainQueue::post([] {});
        }
    };
    MainQueue::setWakeUpHook([held = std::make_shared<PostsWhenDestroyed>()] {});
    MainQueue::setWakeUpHook({});
    EXPECT_EQ(MainQueue::drain(), 1U);
}

} // namespace
} // namespace pelto
