"""A foreign-function host: Python's ctypes drives the shared library's C interface.

Usage: CApiSmokeTest.py path/to/libpelto.so
"""

import ctypes
import sys

lib = ctypes.CDLL(sys.argv[1])
VOID_P, DOUBLE_P = ctypes.c_void_p, ctypes.POINTER(ctypes.c_double)
lib.pelto_one_euro_filter_manager_create.restype = VOID_P
lib.pelto_one_euro_filter_manager_create.argtypes = [ctypes.c_int64] + [ctypes.c_double] * 4
lib.pelto_one_euro_filter_manager_filter_values.restype = ctypes.c_bool
lib.pelto_one_euro_filter_manager_filter_values.argtypes = [
    VOID_P, ctypes.c_double, DOUBLE_P, ctypes.c_size_t]
lib.pelto_one_euro_filter_manager_get_filtered_values.argtypes = [
    VOID_P, DOUBLE_P, ctypes.c_size_t]
lib.pelto_one_euro_filter_manager_destroy.argtypes = [VOID_P]

bank = lib.pelto_one_euro_filter_manager_create(2, 30.0, 1.0, 0.007, 1.0)
for timestamp, val, accepted, after in [
        (0.0, [10.0, 5.0], True, [10.0, 5.0]),
        (33.0, [20.0, 5.0], True, [12.205030965084358, 5.0]),
        (33.0, [21.0, 5.0], False, [0.0, 0.0]),
        (66.0, [22.0, 6.0], True, [22.0, 6.0]),
        (99.9, [23.0, 7.0], True, [22.176885954680756, 6.176885954680758])]:
    values = (ctypes.c_double * 2)(*val)
    assert lib.pelto_one_euro_filter_manager_filter_values(bank, timestamp, values, 2) == accepted
    assert lib.pelto_one_euro_filter_manager_get_filtered_values(bank, values, 2) == 2
    assert list(values) == after, (timestamp, list(values))  # exact, no tolerance
lib.pelto_one_euro_filter_manager_destroy(bank)

# The initialisation report through a CFUNCTYPE callback, pumped by the main-queue drain.
ON_INITIALIZED = ctypes.CFUNCTYPE(None, VOID_P, VOID_P, ctypes.c_int64)
ON_DESTROY = ctypes.CFUNCTYPE(None, VOID_P)


class Callbacks(ctypes.Structure):
    _fields_ = [("struct_size", ctypes.c_size_t)] + [(name, VOID_P) for name in (  # left out: NULL
        "on_started", "on_stopped", "on_gaze", "on_calibration_next_point",
        "on_calibration_progress", "on_calibration_finished", "on_image", "on_attension",
        "on_blink", "on_drowsiness")] + [("on_initialized", ON_INITIALIZED)]


reports, destroyed = [], []
on_initialized = ON_INITIALIZED(lambda user, tracker, error: reports.append((user, tracker, error)))
on_destroy = ON_DESTROY(destroyed.append)
lib.pelto_delegate_create.restype = VOID_P
lib.pelto_delegate_create.argtypes = [ctypes.POINTER(Callbacks), VOID_P, ON_DESTROY]
lib.pelto_delegate_release.argtypes = [VOID_P]
lib.pelto_init_gaze_tracker.restype = ctypes.c_bool
lib.pelto_init_gaze_tracker.argtypes = [VOID_P, VOID_P]

callbacks = Callbacks(struct_size=ctypes.sizeof(Callbacks), on_initialized=on_initialized)
delegate = lib.pelto_delegate_create(ctypes.byref(callbacks), 42, on_destroy)
assert lib.pelto_init_gaze_tracker(delegate, None)
lib.pelto_delegate_release(delegate)
assert reports == [] and destroyed == []
assert lib.pelto_main_queue_drain() == 1
assert reports == [(42, None, 11)] and destroyed == [42], (reports, destroyed)
print("ctypes host OK")
