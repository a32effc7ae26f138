"""The tracker facade: the initialisation report on the main queue, the delegate's lifetime."""

import gc
import subprocess
import sys
import weakref

import pytest

import pelto
from pelto import GazeTracker, InitializationError


class Delegate:
    def __init__(self, reports, fail=False):
        self.reports, self.fail = reports, fail

    def on_initialized(self, tracker, error):
        self.reports.append((self, tracker, error))
        if self.fail:
            raise RuntimeError("delegate failed")


@pytest.fixture(autouse=True)
def empty_queue():
    pelto.main_queue.drain()
    yield
    pelto.main_queue.drain()


def test_report_arrives_on_drain_and_the_delegate_lives_until_then():
    reports = []
    GazeTracker.init_gaze_tracker(Delegate(reports), pelto.UserStatusOption())
    probe = Delegate(reports)
    GazeTracker.init_gaze_tracker(probe)  # no option
    alive = weakref.ref(probe)
    del probe
    gc.collect()
    assert reports == [] and alive() is not None and pelto.main_queue.has_pending_tasks()
    assert pelto.main_queue.drain() == 2
    assert [(tracker, error) for _, tracker, error in reports] == [(None, InitializationError.ERROR_NO_GAZE_ENGINE)] * 2
    assert reports[1][0] is alive() and type(reports[1][2]) is InitializationError
    reports.clear()
    gc.collect()
    assert alive() is None  # released once its report has run


def test_exception_in_report_leaves_drain_and_later_reports_wait():
    reports = []
    GazeTracker.init_gaze_tracker(Delegate(reports, fail=True))
    GazeTracker.init_gaze_tracker(Delegate(reports))
    with pytest.raises(RuntimeError, match="delegate failed"):
        pelto.main_queue.drain()
    assert len(reports) == 1 and pelto.main_queue.has_pending_tasks()
    assert pelto.main_queue.drain() == 1 and len(reports) == 2


@pytest.mark.parametrize("delegate", [None, object()], ids=["None", "no on_initialized"])
def test_a_delegate_needs_on_initialized(delegate):
    with pytest.raises(TypeError):
        GazeTracker.init_gaze_tracker(delegate)
    assert not pelto.main_queue.has_pending_tasks()


def test_version_and_release():
    assert GazeTracker.get_framework_version() == pelto.__version__ + "-simulator"
    GazeTracker.deinit_gaze_tracker(None)
    with pytest.raises(TypeError):
        GazeTracker()  # trackers come only from init_gaze_tracker


def test_reports_pending_at_exit_are_let_go_cleanly():
    script = (
        "import pelto\n"
        "class D:\n"
        "    def on_initialized(self, tracker, error): print('ran')\n"
        "    def __del__(self): print('released')\n"
        "pelto.GazeTracker.init_gaze_tracker(D())\n"
    )
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=60)
    assert (done.returncode, done.stdout, done.stderr) == (0, "released\n", "")
