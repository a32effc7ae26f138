#pragma once

#include <pelto/Export.hpp>

#include <cstddef>
#include <functional>

namespace pelto {

/// The process-wide main queue: the library posts its asynchronous reports here (the
/// initialisation report of `GazeTracker::initGazeTracker`), and the host runs them on its main
/// thread, the thread that pumps the queue.
///
/// Tasks run one at a time, in posting order, and never inside the call that posts them. The host
/// pumps the queue in one of two ways.
///
/// From its own loop, once per turn:
/// ```
/// while (running) {
///     handleInput();
///     pelto::MainQueue::drain();
///     render();
/// }
/// ```
///
/// Or from an event loop that sleeps until woken, through the wake-up hook (here Qt):
/// ```
/// pelto::MainQueue::setWakeUpHook([] {
///     QMetaObject::invokeMethod(qApp, [] { pelto::MainQueue::drain(); }, Qt::QueuedConnection);
/// });
/// ```
/// (with GLib: `g_idle_add`; with SDL: `SDL_PushEvent` of a user event whose handler drains).
///
/// All members are thread-safe. The queue lives for the whole process: it may be used from static
/// destructors, and tasks still queued at exit are neither run nor destroyed.
class PELTO_EXPORT MainQueue {
  public:
    MainQueue() = delete;

    /// Queues `task` behind every task posted before it, then calls the wake-up hook (if one is
    /// installed) on the calling thread. Never runs the task itself, even on the main thread.
    /// Any thread. An empty `task` is ignored: nothing is queued and the hook is not called.
    /// If the hook throws, the exception leaves `post` and the task stays queued. (The library's
    /// own reports, such as `GazeTracker::initGazeTracker`'s, swallow it instead: they stay
    /// queued all the same.)
    static void post(std::function<void()> task);

    /// Runs, in posting order, the tasks that were queued when this call began; a task posted
    /// meanwhile (by a running task or another thread) waits for a later drain. Each task is
    /// removed from the queue before it runs and destroyed right after. Returns how many tasks this
    /// call ran. Call it from the main thread; drains on other threads wait for it to finish.
    ///
    /// A task that throws has been removed: the exception leaves `drain`, the tasks behind it stay
    /// queued in their order for the next drain, and the wake-up hook is called once more so that
    /// a hook-driven loop comes back for them.
    ///
    /// A task may itself call `drain` (a nested event loop, such as a modal dialog): the nested
    /// drain runs the tasks queued before it began, and the outer drain then goes on with those of
    /// its own share that are left.
    static std::size_t drain();

    /// Installs the function that `post` calls after queuing a task, replacing the previous one;
    /// an empty `hook` removes it. The hook runs on the posting thread, so it must be safe to call
    /// from any thread; it should only signal the host's event loop, which then calls `drain`.
    ///
    /// Returns only once no call of the previous hook is under way on another thread, and
    /// destroys it before returning: after clearing or replacing a hook, the host may free what
    /// the hook used. A hook may therefore not wait for a thread that replaces it. Called from
    /// inside the previous hook, it does not wait for that call, which destroys the hook when
    /// it ends.
    static void setWakeUpHook(std::function<void()> hook);

    /// Whether some task is waiting to run. Any thread.
    static bool hasPendingTasks();
};

} // namespace pelto
