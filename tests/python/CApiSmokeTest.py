"""A foreign-function host: Python's ctypes drives the shared library's C interface.

Usage: CApiSmokeTest.py path/to/libpelto.so
"""

import ctypes
import sys

lib = ctypes.CDLL(sys.argv[1])
c_double_p = ctypes.POINTER(ctypes.c_double)

lib.pelto_one_euro_filter_manager_create.restype = ctypes.c_void_p
lib.pelto_one_euro_filter_manager_create.argtypes = [ctypes.c_int64] + [ctypes.c_double] * 4
lib.pelto_one_euro_filter_manager_filter_values.restype = ctypes.c_bool
lib.pelto_one_euro_filter_manager_filter_values.argtypes = [
    ctypes.c_void_p, ctypes.c_double, c_double_p, ctypes.c_size_t]
lib.pelto_one_euro_filter_manager_get_filtered_values.restype = ctypes.c_size_t
lib.pelto_one_euro_filter_manager_get_filtered_values.argtypes = [
    ctypes.c_void_p, c_double_p, ctypes.c_size_t]
lib.pelto_one_euro_filter_manager_destroy.argtypes = [ctypes.c_void_p]


def filtered(bank):
    values = (ctypes.c_double * 2)()
    assert lib.pelto_one_euro_filter_manager_get_filtered_values(bank, values, 2) == 2
    return list(values)


bank = lib.pelto_one_euro_filter_manager_create(2, 30.0, 1.0, 0.007, 1.0)
assert bank
steps = [
    (0.0, [10.0, 5.0], True, [10.0, 5.0]),
    (33.0, [20.0, 5.0], True, [12.205030965084358, 5.0]),
    (33.0, [21.0, 5.0], False, [0.0, 0.0]),
    (66.0, [22.0, 6.0], True, [22.0, 6.0]),
    (99.9, [23.0, 7.0], True, [22.176885954680756, 6.176885954680758]),
]
for timestamp, val, accepted, after in steps:
    sample = (ctypes.c_double * 2)(*val)
    assert lib.pelto_one_euro_filter_manager_filter_values(bank, timestamp, sample, 2) == accepted
    assert filtered(bank) == after, (timestamp, filtered(bank))  # exact, no tolerance
lib.pelto_one_euro_filter_manager_destroy(bank)

# The initialisation report through a CFUNCTYPE callback, pumped by the main-queue drain.
USER = ctypes.c_void_p
NOT_USED = ctypes.c_void_p  # callbacks this host leaves out stay NULL
ON_INITIALIZED = ctypes.CFUNCTYPE(None, USER, ctypes.c_void_p, ctypes.c_int64)
ON_DESTROY = ctypes.CFUNCTYPE(None, USER)


class Callbacks(ctypes.Structure):
    _fields_ = [(name, NOT_USED) for name in (
        "on_started", "on_stopped", "on_gaze", "on_calibration_next_point",
        "on_calibration_progress", "on_calibration_finished", "on_image", "on_attension",
        "on_blink", "on_drowsiness")] + [("on_initialized", ON_INITIALIZED)]


reports = []
destroyed = []
on_initialized = ON_INITIALIZED(lambda user, tracker, error: reports.append((user, tracker, error)))
on_destroy = ON_DESTROY(lambda user: destroyed.append(user))

lib.pelto_delegate_create.restype = ctypes.c_void_p
lib.pelto_delegate_create.argtypes = [ctypes.POINTER(Callbacks), USER, ON_DESTROY]
lib.pelto_delegate_release.argtypes = [ctypes.c_void_p]
lib.pelto_init_gaze_tracker.restype = ctypes.c_bool
lib.pelto_init_gaze_tracker.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
lib.pelto_main_queue_drain.restype = ctypes.c_size_t

callbacks = Callbacks(on_initialized=on_initialized)
delegate = lib.pelto_delegate_create(ctypes.byref(callbacks), 42, on_destroy)
assert delegate
assert lib.pelto_init_gaze_tracker(delegate, None)
lib.pelto_delegate_release(delegate)
assert reports == [] and destroyed == []
assert lib.pelto_main_queue_drain() == 1
assert reports == [(42, None, 11)], reports
assert destroyed == [42], destroyed

version = ctypes.create_string_buffer(64)
lib.pelto_get_framework_version.restype = ctypes.c_size_t
length = lib.pelto_get_framework_version(version, len(version))
assert version.value.endswith(b"-simulator") and length == len(version.value), version.value
print("ctypes host OK:", version.value.decode())
