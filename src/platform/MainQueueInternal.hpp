#pragma once

#include <functional>

namespace pelto::detail {

// Queues `task` as `MainQueue::post` does, then calls the wake-up hook, swallowing whatever the
// hook throws: the task stays queued. For the library's own reports, whose senders raise nothing.
// Throws only std::bad_alloc, and then has queued nothing.
void postContainingHook(std::function<void()> task);

} // namespace pelto::detail
