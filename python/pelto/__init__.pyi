import enum

from . import main_queue as main_queue
from ._pelto import FilterParameters as FilterParameters
from ._pelto import GazeInfo as GazeInfo
from ._pelto import GazeTracker as GazeTracker
from ._pelto import Measurement as Measurement
from ._pelto import OneEuroFilterManager as OneEuroFilterManager
from ._pelto import TuningResult as TuningResult
from ._pelto import UserStatusOption as UserStatusOption
from ._pelto import __version__ as __version__
from ._pelto import measure as measure
from ._pelto import smooth as smooth
from ._pelto import tune as tune
from .frames import ResultCopy as ResultCopy
from .frames import smooth_frame as smooth_frame
from .frames import tune_frame as tune_frame
from .frames import tuning_summary as tuning_summary
from .units import pixels_to_degrees as pixels_to_degrees

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

class _Enumeration(enum.IntEnum): ...

class _DescribedEnumeration(_Enumeration):
    @property
    def description(self) -> str: ...

class StatusError(_DescribedEnumeration):
    ERROR_NONE = 0
    ERROR_CAMERA_START = 1
    ERROR_CAMERA_INTERRUPT = 2

class InitializationError(_DescribedEnumeration):
    ERROR_NONE = 0
    ERROR_INIT = 1
    ERROR_CAMERA_PERMISSION = 2
    ERROR_CAMERA_UNAVAILABLE = 3
    ERROR_CAMERA_CONFIGURATION = 4
    ERROR_CAMERA_IN_USE = 5
    ERROR_MODEL_MISSING = 6
    ERROR_MODEL_CORRUPTED = 7
    ERROR_MODEL_INCOMPATIBLE = 8
    ERROR_OUT_OF_MEMORY = 9
    ERROR_UNSUPPORTED_DEVICE = 10
    ERROR_NO_GAZE_ENGINE = 11
    ERROR_ENGINE_START = 12
    ERROR_ALREADY_INITIALIZING = 13
    ERROR_INVALID_OPTION = 14
    ERROR_RESOURCE_MISSING = 15
    ERROR_UNSUPPORTED_OS_VERSION = 16
    ERROR_INTERNAL = 17

class TrackingState(_DescribedEnumeration):
    SUCCESS = 0
    LOW_CONFIDENCE = 1
    UNSUPPORTED = 2
    FACE_MISSING = 3

class EyeMovementState(_DescribedEnumeration):
    FIXATION = 0
    SACCADE = 2
    UNKNOWN = 3

class ScreenState(_DescribedEnumeration):
    INSIDE_OF_SCREEN = 0
    OUTSIDE_OF_SCREEN = 1
    UNKNOWN = 2

class CalibrationMode(_DescribedEnumeration):
    DEFAULT = 0
    ONE_POINT = 1
    FIVE_POINT = 5
    SIX_POINT = 6

class AccuracyCriteria(_Enumeration):
    CRITERIA_0 = 0
    CRITERIA_1 = 1
    CRITERIA_2 = 2

class TimestampPrecision(_DescribedEnumeration):
    WHOLE_MILLISECONDS = 0
    EXACT = 1

class DerivativeSource(_DescribedEnumeration):
    RAW = 0
    FILTERED = 1

class TuningStatus(_DescribedEnumeration):
    OK = 0
    TOO_FEW_SAMPLES = 1
    ALL_REFUSED = 2
    NO_MOTION = 3
    NO_MOVEMENTS = 4
    NO_STILL_PERIODS = 5
    NO_SETTING_WITHIN_BUDGET = 6
