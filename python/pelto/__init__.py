"""Pelto for Python: the gaze tracker facade, the exact one-euro filter bank, its tuning and the
value types.

This is the simulator build: initialisation always reports no tracker and
``InitializationError.ERROR_NO_GAZE_ENGINE``; the filter bank works fully and gives, bit for bit,
what the C++ bank gives. Block smoothing of NumPy arrays runs in C++ without the GIL::

    import numpy as np, pelto
    smoothed = pelto.smooth(timestamps_ms, xy)            # (N,) and (N, 2) -> (N, 2), NaN = refused

So does the tuning sweep, which picks min_cut_off and beta for a recording of your own::

    result = pelto.tune(timestamps_ms, xy)                # or max_lag_ms=... for another budget
    if result.ok:
        smoothed = pelto.smooth(timestamps_ms, xy, min_cut_off=result.recommendation.min_cut_off,
                                beta=result.recommendation.beta)
    else:
        print(result.message)                             # "cannot tune: ...", not an exception

Tables of samples (pandas; a Dask DataFrame or a ``distributed.Client`` for a cluster) are
smoothed and tuned per recording, each group in time order with its own bank, on threads::

    table = pelto.smooth_frame(samples, "time", ["x", "y"], unit="ms", by=["participant", "trial"])
    results = pelto.tune_frame(samples, "time", ["x", "y"], by=["participant", "trial"])
    summary = pelto.tuning_summary(results, by=["participant", "trial"])

``pixels_to_degrees`` converts screen positions to degrees of visual angle, the unit in which
tuned parameters carry over from one setup to another.

Names: classes, constants and enumeration cases keep their C++ names; operations and arguments
are in PEP 8 style. From C++ to Python:

- ``OneEuroFilterManager(count, freq, minCutOff, beta, dCutOff)``:
  ``OneEuroFilterManager(count=2, freq=30.0, min_cut_off=1.0, beta=0.007, d_cut_off=1.0)``
- ``OneEuroFilterManager::DEFAULT_COUNT``, ``DEFAULT_FREQUENCY``, ``DEFAULT_MIN_CUT_OFF``,
  ``DEFAULT_BETA``, ``DEFAULT_D_CUT_OFF``: the same names, on the class
- ``FilterParameters`` (``OneEuroFilterManager::parameters()``, ``Measurement::parameters``):
  ``FilterParameters(freq, min_cut_off, beta, d_cut_off)``, immutable, read back as
  ``OneEuroFilterManager.parameters`` and ``Measurement.parameters``
- ``filterValues(timestamp, val)``: ``filter_values(timestamp, values)``
- ``getFilteredValues()``, ``filteredValues()``: ``get_filtered_values()`` (a new array)
- ``filterSamples(timestamps, values, smoothed, accepted)``:
  ``filter_samples(timestamps, values) -> (smoothed, accepted)``
- a fresh bank over a whole recording: ``smooth(timestamps, values, *, freq, min_cut_off, beta,
  d_cut_off)``
- ``tuning::measure(timestamps, values, channels, parameters, options)``:
  ``measure(timestamps, values, *, freq, min_cut_off, beta, d_cut_off, fast_factor,
  still_factor, settle_ms, lag_progress) -> Measurement`` (channels from the shape of ``values``)
- ``tuning::tune(timestamps, values, channels, options)`` (``tuneReport``): ``tune(timestamps, values, *,
  max_lag_ms=None, freq, d_cut_off, threads=0, min_cut_off_steps, min_cut_off_low,
  min_cut_off_high, beta_steps, boost_low, boost_high, fast_factor, still_factor, settle_ms,
  lag_progress) -> TuningResult``: ``TuningOptions`` and ``MeasuringOptions`` as keyword arguments
- ``Measurement``: ``Measurement`` with read-only attributes in PEP 8 style; its
  ``parameters`` as ``freq``, ``min_cut_off``, ``beta``, ``d_cut_off``
- ``TuningResult``: ``TuningResult`` with ``status``, ``ok``, ``message`` (``statusText(status)``),
  ``recommendation`` (``None`` when empty), ``defaults``, ``lag_budget_ms`` (``maxLagMs``),
  ``min_cut_off_grid`` and ``beta_grid`` (``minCutOffs``, ``betas``), the grid's figures as
  ``grid_smoothed_jitter`` and ``grid_mean_lag_ms`` arrays of shape (M, B), and the front as the
  arrays ``front_min_cut_off``, ``front_beta``, ``front_smoothed_jitter``, ``front_mean_lag_ms``;
  from ``TuningReport``: ``movements`` (dicts), ``lag_basis``, ``over_budget``, ``at_search_edge``,
  ``clock_precision_ms``, and ``to_dict()`` (``toJson``, the demo's ``tuning.json``)
- ``GazeTracker::initGazeTracker(delegate, option)``:
  ``GazeTracker.init_gaze_tracker(delegate, option=None)``
- ``GazeTracker::deinitGazeTracker(tracker)``: ``GazeTracker.deinit_gaze_tracker(tracker)``
- ``GazeTracker::getFrameworkVersion()``: ``GazeTracker.get_framework_version()``
- ``startTracking``, ``stopTracking``, ``isTracking``, ``setTrackingFPS``, ``isCalibrating``:
  ``start_tracking``, ``stop_tracking``, ``is_tracking``, ``set_tracking_fps``, ``is_calibrating``
- ``startCalibration(mode, criteria, region)``:
  ``start_calibration(mode, criteria, (x, y, width, height))``
- ``setCalibrationData``, ``stopCalibration``, ``startCollectSamples``, ``removeCameraPreview``:
  ``set_calibration_data``, ``stop_calibration``, ``start_collect_samples``,
  ``remove_camera_preview``
- ``setAttentionInterval``, ``getAttentionScore``: ``set_attention_interval``,
  ``get_attention_score``
- ``InitializationDelegate::onInitialized(tracker, error)``: any object with a method
  ``on_initialized(tracker, error)``
- ``MainQueue::drain()``, ``MainQueue::hasPendingTasks()``: ``main_queue.drain()``,
  ``main_queue.has_pending_tasks()``
- ``UserStatusOption``: ``useAttention``, ``useBlink``, ``useDrowsiness``, ``useAll``,
  ``isUseAttension``, ``isUseBlink``, ``isUseDrowsiness``: ``use_attention``, ``use_blink``,
  ``use_drowsiness``, ``use_all``, ``is_use_attension``, ``is_use_blink``, ``is_use_drowsiness``
- ``GazeInfo(timestamp, x, y, trackingState, eyeMovementState, screenState)`` and its getters:
  ``GazeInfo(timestamp, x, y, tracking_state, eye_movement_state, screen_state)`` and read-only
  attributes of the same names
- ``StatusError``, ``InitializationError``, ``TrackingState``, ``EyeMovementState``,
  ``ScreenState``, ``CalibrationMode``, ``AccuracyCriteria``, ``TimestampPrecision``,
  ``DerivativeSource``, ``tuning::TuningStatus``:
  ``enum.IntEnum`` classes of the same names and cases
- ``fromRawValue<E>(raw)``: ``E(raw)`` (``ValueError`` for a raw value that is no case)
- ``rawValue(e)``, ``description(e)``: ``int(e)``, ``e.description`` (not for ``AccuracyCriteria``;
  ``TuningStatus``'s sentence, ``statusText``, is ``TuningResult.message``)
- ``PELTO_VERSION_STRING``: ``__version__``

Not offered: C++'s empty bank (``OneEuroFilterManager()`` here is the two-channel default bank),
and the tracker's delegate slots and camera preview, which nothing in this build can reach: no
tracker is ever created.
"""

from __future__ import annotations

import enum as _enum
import typing as _typing

from . import _pelto, main_queue
from .frames import ResultCopy, smooth_frame, tune_frame, tuning_summary
from ._pelto import (
    FilterParameters,
    GazeInfo,
    GazeTracker,
    Measurement,
    OneEuroFilterManager,
    TuningResult,
    UserStatusOption,
    __version__,
    measure,
    smooth,
    tune,
)
from .units import pixels_to_degrees


class _Enumeration(_enum.IntEnum):
    """A Pelto enumeration: its value is the case's raw value; E(raw) refuses a raw value that is
    no case with ValueError."""


class _DescribedEnumeration(_Enumeration):
    """A Pelto enumeration with a constant text per case."""

    @property
    def description(self) -> str:
        """The case's constant upper-case text, as the C++ ``description`` gives it."""
        return _TEXTS[type(self).__name__][self.value]


_TEXTS: dict[str, dict[int, str]] = {}


def _build(name: str, described: bool, cases: list[tuple[str, int, _typing.Optional[str]]]) -> type:
    _TEXTS[name] = {raw: text for _, raw, text in cases if text is not None}
    base = _DescribedEnumeration if described else _Enumeration
    built = base(name, [(case, raw) for case, raw, _ in cases], module=__name__, qualname=name)  # type: ignore[call-overload]
    return _typing.cast(type, built)


_ENUMERATIONS = {name: _build(name, described, cases) for name, described, cases in _pelto._enumerations()}
StatusError = _ENUMERATIONS["StatusError"]
InitializationError = _ENUMERATIONS["InitializationError"]
TrackingState = _ENUMERATIONS["TrackingState"]
EyeMovementState = _ENUMERATIONS["EyeMovementState"]
ScreenState = _ENUMERATIONS["ScreenState"]
CalibrationMode = _ENUMERATIONS["CalibrationMode"]
AccuracyCriteria = _ENUMERATIONS["AccuracyCriteria"]
TuningStatus = _ENUMERATIONS["TuningStatus"]
TimestampPrecision = _ENUMERATIONS["TimestampPrecision"]
DerivativeSource = _ENUMERATIONS["DerivativeSource"]
StatusError.__doc__ = "Why tracking stopped, as reported with the stopped-tracking notification."
InitializationError.__doc__ = "Outcome of creating a tracker; ERROR_NONE is success."
TrackingState.__doc__ = "Whether a gaze sample was tracked, and how well."
EyeMovementState.__doc__ = "Kind of eye movement a gaze sample belongs to. Raw value 1 is no case."
ScreenState.__doc__ = "Whether the gaze point lies on the screen."
CalibrationMode.__doc__ = "Number of calibration points of a run. Raw values 2, 3 and 4 are no case."
AccuracyCriteria.__doc__ = "Accuracy criterion of a calibration run. Has no text."
TimestampPrecision.__doc__ = (
    "How a filter bank reads timestamps: WHOLE_MILLISECONDS truncates them and resets on a repeated "
    "one (camera clocks); EXACT keeps fractions and drops a repeated or earlier frame (research "
    "trackers)."
)
DerivativeSource.__doc__ = (
    "What a filter bank takes rates of change against: RAW, the previous input (the filter as "
    "first published), or FILTERED, the previous smoothed value (the authors' current reference)."
)
TuningStatus.__doc__ = "Why a recording cannot be tuned; OK when it can. Its sentence: TuningResult.message."

__all__ = [
    "AccuracyCriteria",
    "CalibrationMode",
    "DerivativeSource",
    "EyeMovementState",
    "FilterParameters",
    "GazeInfo",
    "GazeTracker",
    "InitializationError",
    "Measurement",
    "OneEuroFilterManager",
    "ResultCopy",
    "ScreenState",
    "StatusError",
    "TimestampPrecision",
    "TrackingState",
    "TuningResult",
    "TuningStatus",
    "UserStatusOption",
    "__version__",
    "main_queue",
    "measure",
    "pixels_to_degrees",
    "smooth",
    "smooth_frame",
    "tune",
    "tune_frame",
    "tuning_summary",
]
