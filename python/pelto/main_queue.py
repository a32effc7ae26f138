"""The process-wide main queue, on which the library delivers its reports (the initialisation
report of ``GazeTracker.init_gaze_tracker``). The host pumps it from its main thread, once per turn
of its loop::

    while running:
        handle_input()
        pelto.main_queue.drain()

Reports run one at a time, in posting order, and never inside the call that posts them.
"""

from ._pelto import _main_queue_drain as drain
from ._pelto import _main_queue_has_pending_tasks as has_pending_tasks

__all__ = ["drain", "has_pending_tasks"]
