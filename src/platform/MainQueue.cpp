#include <pelto/platform/MainQueue.hpp>

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>

namespace pelto {
namespace {

using Hook = std::shared_ptr<const std::function<void()>>;

struct QueuedTask {
    // Position in posting order; a drain runs only the tasks numbered below the count it saw
    // when it began, which keeps that bound right even when a nested drain has taken some.
    std::uint64_t sequence;
    std::function<void()> run;
};

struct QueueState {
    std::mutex mutex;
    std::deque<QueuedTask> tasks;
    std::uint64_t posted = 0;
    Hook hook;
    // Held for a whole drain so that tasks run one at a time; recursive for nested drains.
    std::recursive_mutex pump;
};

QueueState& state() {
    static QueueState queue;
    return queue;
}

Hook currentHook(QueueState& queue) {
    const std::lock_guard lock(queue.mutex);
    return queue.hook;
}

} // namespace

void MainQueue::post(std::function<void()> task) {
    if (!task) {
        return;
    }
    auto& queue = state();
    Hook hook;
    {
        const std::lock_guard lock(queue.mutex);
        queue.tasks.push_back(QueuedTask{queue.posted, std::move(task)});
        ++queue.posted;
        hook = queue.hook;
    }
    if (hook) {
        (*hook)();
    }
}

std::size_t MainQueue::drain() {
    auto& queue = state();
    std::uint64_t end = 0;
    {
        const std::lock_guard lock(queue.mutex);
        end = queue.posted;
    }
    const std::lock_guard pumping(queue.pump);
    std::size_t ran = 0;
    for (;;) {
        std::function<void()> task;
        {
            const std::lock_guard lock(queue.mutex);
            if (queue.tasks.empty() || queue.tasks.front().sequence >= end) {
                break;
            }
            task = std::move(queue.tasks.front().run);
            queue.tasks.pop_front();
        }
        ++ran;
        try {
            task();
        } catch (...) {
            task = nullptr;
            if (hasPendingTasks()) {
                // The exception in flight is the one the host must see; a failing hook must not
                // replace it.
                try {
                    if (const auto hook = currentHook(queue)) {
                        (*hook)();
                    }
                } catch (...) {
                }
            }
            throw;
        }
    }
    return ran;
}

void MainQueue::setWakeUpHook(std::function<void()> hook) {
    Hook installed =
        hook ? std::make_shared<const std::function<void()>>(std::move(hook)) : nullptr;
    auto& queue = state();
    const std::lock_guard lock(queue.mutex);
    queue.hook.swap(installed);
    // The previous hook is released after the lock, in case its captures post or drain.
}

bool MainQueue::hasPendingTasks() {
    auto& queue = state();
    const std::lock_guard lock(queue.mutex);
    return !queue.tasks.empty();
}

} // namespace pelto
