#include <pelto/platform/MainQueue.hpp>

#include "platform/MainQueueInternal.hpp"
#include "platform/NoDestructor.hpp"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>

namespace pelto {
namespace {

// One installed wake-up hook. `running` counts the calls under way; `orphaned` marks a hook that
// was replaced from inside one of its own calls, which the last of those calls then destroys.
struct HookRecord {
    std::function<void()> call;
    std::size_t running = 0;
    bool orphaned = false;
};

// The hook calls under way on this thread, innermost first, so that replacing a hook from inside
// its own call does not wait for itself.
struct HookFrame {
    const HookRecord* record;
    const HookFrame* outer;
};
thread_local const HookFrame* innermostHookCall = nullptr;

std::size_t callsOnThisThread(const HookRecord* record) noexcept {
    std::size_t calls = 0;
    for (const HookFrame* frame = innermostHookCall; frame != nullptr; frame = frame->outer) {
        calls += frame->record == record ? 1U : 0U;
    }
    return calls;
}

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
    std::unique_ptr<HookRecord> hook;
    // Signalled whenever a hook call ends.
    std::condition_variable hookCallEnded;
    // Held for a whole drain so that tasks run one at a time; recursive for nested drains.
    std::recursive_mutex pump;
};

// Never destroyed: host code may post or drain from its own static destructors, and reports still
// queued at exit are never run or destroyed after `main` has returned.
QueueState& state() {
    static detail::NoDestructor<QueueState> queue;
    return queue.get();
}

void enqueue(QueueState& queue, std::function<void()> task) {
    const std::lock_guard lock(queue.mutex);
    queue.tasks.push_back(QueuedTask{queue.posted, std::move(task)});
    ++queue.posted;
}

// Calls the installed hook, if any, outside the lock, and lets a replacement of that hook on
// another thread know when the call has ended.
void wakeUp(QueueState& queue) {
    HookRecord* record = nullptr;
    {
        const std::lock_guard lock(queue.mutex);
        record = queue.hook.get();
        if (record == nullptr) {
            return;
        }
        ++record->running;
    }
    class CallEnd {
      public:
        CallEnd(QueueState& queue, HookRecord* record)
            : queue_(queue)
            , record_(record)
            , frame_{record, innermostHookCall} {
            innermostHookCall = &frame_;
        }
        CallEnd(const CallEnd&) = delete;
        CallEnd& operator=(const CallEnd&) = delete;
        CallEnd(CallEnd&&) = delete;
        CallEnd& operator=(CallEnd&&) = delete;
        ~CallEnd() {
            innermostHookCall = frame_.outer;
            std::unique_ptr<HookRecord> last;
            {
                const std::lock_guard lock(queue_.mutex);
                --record_->running;
                if (record_->orphaned && record_->running == 0) {
                    last.reset(record_);
                }
            }
            queue_.hookCallEnded.notify_all();
            // `last`, if set, destroys the hook here, outside the lock, as its captures may post.
        }

      private:
        QueueState& queue_;
        HookRecord* record_;
        HookFrame frame_;
    };
    const CallEnd end(queue, record);
    record->call();
}

} // namespace

void MainQueue::post(std::function<void()> task) {
    if (!task) {
        return;
    }
    auto& queue = state();
    enqueue(queue, std::move(task));
    wakeUp(queue);
}

void detail::postContainingHook(std::function<void()> task) {
    if (!task) {
        return;
    }
    auto& queue = state();
    enqueue(queue, std::move(task));
    try {
        wakeUp(queue);
    } catch (...) {
        // The report stays queued for the next drain; its sender raises nothing.
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
                    wakeUp(queue);
                } catch (...) {
                }
            }
            throw;
        }
    }
    return ran;
}

void MainQueue::setWakeUpHook(std::function<void()> hook) {
    auto installed = hook ? std::make_unique<HookRecord>(HookRecord{std::move(hook)}) : nullptr;
    auto& queue = state();
    std::unique_lock lock(queue.mutex);
    queue.hook.swap(installed);
    std::unique_ptr<HookRecord> previous = std::move(installed);
    if (!previous) {
        return;
    }
    // No new call of the previous hook can start now; wait for those under way on other threads.
    const std::size_t own = callsOnThisThread(previous.get());
    queue.hookCallEnded.wait(lock, [&] { return previous->running == own; });
    if (own != 0) {
        // Replaced from inside its own call: the outermost of those calls destroys it.
        previous->orphaned = true;
        static_cast<void>(previous.release());
        return;
    }
    lock.unlock();
    // The previous hook is destroyed after the lock, in case its captures post or drain.
}

bool MainQueue::hasPendingTasks() {
    auto& queue = state();
    const std::lock_guard lock(queue.mutex);
    return !queue.tasks.empty();
}

} // namespace pelto
