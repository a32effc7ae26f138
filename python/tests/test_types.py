"""The value types: enumerations with their raw values and texts, GazeInfo, UserStatusOption."""

import enum

import pytest

import pelto

# Every enumeration: case -> (raw value, text); None: the enumeration has no texts.
ENUMERATIONS = {
    pelto.StatusError: {"ERROR_NONE": (0, "ERROR_NONE"), "ERROR_CAMERA_START": (1, "ERROR_CAMERA_START"),
                        "ERROR_CAMERA_INTERRUPT": (2, "ERROR_CAMERA_INTERRUPT")},
    pelto.InitializationError: {name: (raw, name) for raw, name in enumerate(
        "ERROR_NONE ERROR_INIT ERROR_CAMERA_PERMISSION ERROR_CAMERA_UNAVAILABLE ERROR_CAMERA_CONFIGURATION "
        "ERROR_CAMERA_IN_USE ERROR_MODEL_MISSING ERROR_MODEL_CORRUPTED ERROR_MODEL_INCOMPATIBLE "
        "ERROR_OUT_OF_MEMORY ERROR_UNSUPPORTED_DEVICE ERROR_NO_GAZE_ENGINE ERROR_ENGINE_START "
        "ERROR_ALREADY_INITIALIZING ERROR_INVALID_OPTION ERROR_RESOURCE_MISSING "
        "ERROR_UNSUPPORTED_OS_VERSION ERROR_INTERNAL".split())},
    pelto.TrackingState: {"SUCCESS": (0, "SUCCESS"), "LOW_CONFIDENCE": (1, "LOW_CONFIDENCE"),
                          "UNSUPPORTED": (2, "UNSUPPORTED"), "FACE_MISSING": (3, "FACE_MISSING")},
    pelto.EyeMovementState: {"FIXATION": (0, "FIXATION"), "SACCADE": (2, "SACCADE"), "UNKNOWN": (3, "UNKONW")},
    pelto.ScreenState: {"INSIDE_OF_SCREEN": (0, "INSIDE_OF_SCREEN"),
                        "OUTSIDE_OF_SCREEN": (1, "OUTSIDE_OF_SCREEEN"), "UNKNOWN": (2, "UNKONW")},
    pelto.CalibrationMode: {"DEFAULT": (0, "DEFAULT"), "ONE_POINT": (1, "ONE_POINT"),
                            "FIVE_POINT": (5, "FIVE_POINT"), "SIX_POINT": (6, "SIX_POINT")},
    pelto.TuningStatus: {name: (raw, name) for raw, name in enumerate(
        "OK TOO_FEW_SAMPLES ALL_REFUSED NO_MOTION NO_MOVEMENTS NO_STILL_PERIODS NO_SETTING_WITHIN_BUDGET".split())},
    pelto.AccuracyCriteria: {"CRITERIA_0": (0, None), "CRITERIA_1": (1, None), "CRITERIA_2": (2, None)},
}


@pytest.mark.parametrize("enumeration, cases", ENUMERATIONS.items(), ids=lambda e: getattr(e, "__name__", ""))
def test_cases_raw_values_and_texts(enumeration, cases):
    assert issubclass(enumeration, enum.IntEnum) and enumeration.__module__ == "pelto"
    assert [case.name for case in enumeration] == list(cases)
    for name, (raw, text) in cases.items():
        case = enumeration(raw)
        assert case is enumeration[name] and int(case) == raw and hash(case) == hash(raw)
        assert getattr(case, "description", None) == text
    for raw in set(range(-1, max(raw for raw, _ in cases.values()) + 2)) - {raw for raw, _ in cases.values()}:
        with pytest.raises(ValueError):
            enumeration(raw)  # a gap, a negative number, one past the largest case


def test_gaze_info_stores_everything_unchecked_and_is_immutable():
    info = pelto.GazeInfo(1.5, 100, 200, pelto.TrackingState.SUCCESS, 1, 2)  # timestamp first
    assert (info.timestamp, info.x, info.y) == (1.5, 100.0, 200.0)
    assert info.tracking_state is pelto.TrackingState.SUCCESS
    assert info.eye_movement_state == 1 and type(info.eye_movement_state) is int  # no case
    assert info.screen_state is pelto.ScreenState.UNKNOWN
    assert repr(info) == ("GazeInfo(timestamp=1.5, x=100.0, y=200.0, tracking_state=TrackingState.SUCCESS, "
                          "eye_movement_state=1, screen_state=ScreenState.UNKNOWN)")
    with pytest.raises(AttributeError):
        info.x = 3.0
    assert info != pelto.GazeInfo(1.5, 100, 200, 0, 1, 2)  # samples are equal only to themselves
    nan = pelto.GazeInfo(float("nan"), float("-inf"), -0.0, 0, 0, 0)
    assert nan.timestamp != nan.timestamp and nan.x == float("-inf") and str(nan.y) == "-0.0"


@pytest.mark.parametrize(
    "switches, expected",
    [
        ([], (False, False, False)),
        (["use_blink"], (False, True, False)),
        (["use_attention", "use_drowsiness"], (True, False, True)),
        (["use_all", "use_blink", "use_all"], (True, True, True)),
    ],
    ids=["none", "blink", "attention+drowsiness", "all"],
)
def test_user_status_option_switches_only_turn_on(switches, expected):
    option = pelto.UserStatusOption()
    for switch in switches:
        getattr(option, switch)()
    assert (option.is_use_attension(), option.is_use_blink(), option.is_use_drowsiness()) == expected
