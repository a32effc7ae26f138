// The value types: the enumerations' tables, GazeInfo and UserStatusOption.

#include "Bindings.hpp"

#include <pelto/types/Enumerations.hpp>
#include <pelto/types/GazeInfo.hpp>
#include <pelto/types/UserStatusOption.hpp>

#include <pybind11/pybind11.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace py = pybind11;

namespace pelto::python {
namespace {

// One enumeration as the package builds it: its name, whether it has texts, and its cases as
// (name, raw value, text or None).
template <Enumeration E>
py::tuple enumeration(const char* name, std::initializer_list<std::pair<const char*, E>> cases) {
    py::list rows;
    for (const auto& [caseName, value] : cases) {
        py::object text = py::none();
        if constexpr (DescribedEnumeration<E>) {
            const std::string_view description = pelto::description(value);
            text = py::str(description.data(), description.size());
        }
        rows.append(py::make_tuple(caseName, rawValue(value), text));
    }
    return py::make_tuple(name, DescribedEnumeration<E>, rows);
}

py::list enumerations() {
    py::list all;
    using IE = InitializationError;
    all.append(enumeration<StatusError>(
        "StatusError", {{"ERROR_NONE", StatusError::ERROR_NONE},
                        {"ERROR_CAMERA_START", StatusError::ERROR_CAMERA_START},
                        {"ERROR_CAMERA_INTERRUPT", StatusError::ERROR_CAMERA_INTERRUPT}}));
    all.append(enumeration<IE>("InitializationError",
                               {{"ERROR_NONE", IE::ERROR_NONE},
                                {"ERROR_INIT", IE::ERROR_INIT},
                                {"ERROR_CAMERA_PERMISSION", IE::ERROR_CAMERA_PERMISSION},
                                {"ERROR_CAMERA_UNAVAILABLE", IE::ERROR_CAMERA_UNAVAILABLE},
                                {"ERROR_CAMERA_CONFIGURATION", IE::ERROR_CAMERA_CONFIGURATION},
                                {"ERROR_CAMERA_IN_USE", IE::ERROR_CAMERA_IN_USE},
                                {"ERROR_MODEL_MISSING", IE::ERROR_MODEL_MISSING},
                                {"ERROR_MODEL_CORRUPTED", IE::ERROR_MODEL_CORRUPTED},
                                {"ERROR_MODEL_INCOMPATIBLE", IE::ERROR_MODEL_INCOMPATIBLE},
                                {"ERROR_OUT_OF_MEMORY", IE::ERROR_OUT_OF_MEMORY},
                                {"ERROR_UNSUPPORTED_DEVICE", IE::ERROR_UNSUPPORTED_DEVICE},
                                {"ERROR_NO_GAZE_ENGINE", IE::ERROR_NO_GAZE_ENGINE},
                                {"ERROR_ENGINE_START", IE::ERROR_ENGINE_START},
                                {"ERROR_ALREADY_INITIALIZING", IE::ERROR_ALREADY_INITIALIZING},
                                {"ERROR_INVALID_OPTION", IE::ERROR_INVALID_OPTION},
                                {"ERROR_RESOURCE_MISSING", IE::ERROR_RESOURCE_MISSING},
                                {"ERROR_UNSUPPORTED_OS_VERSION", IE::ERROR_UNSUPPORTED_OS_VERSION},
                                {"ERROR_INTERNAL", IE::ERROR_INTERNAL}}));
    all.append(enumeration<TrackingState>("TrackingState",
                                          {{"SUCCESS", TrackingState::SUCCESS},
                                           {"LOW_CONFIDENCE", TrackingState::LOW_CONFIDENCE},
                                           {"UNSUPPORTED", TrackingState::UNSUPPORTED},
                                           {"FACE_MISSING", TrackingState::FACE_MISSING}}));
    all.append(enumeration<EyeMovementState>("EyeMovementState",
                                             {{"FIXATION", EyeMovementState::FIXATION},
                                              {"SACCADE", EyeMovementState::SACCADE},
                                              {"UNKNOWN", EyeMovementState::UNKNOWN}}));
    all.append(enumeration<ScreenState>("ScreenState",
                                        {{"INSIDE_OF_SCREEN", ScreenState::INSIDE_OF_SCREEN},
                                         {"OUTSIDE_OF_SCREEN", ScreenState::OUTSIDE_OF_SCREEN},
                                         {"UNKNOWN", ScreenState::UNKNOWN}}));
    all.append(enumeration<CalibrationMode>("CalibrationMode",
                                            {{"DEFAULT", CalibrationMode::DEFAULT},
                                             {"ONE_POINT", CalibrationMode::ONE_POINT},
                                             {"FIVE_POINT", CalibrationMode::FIVE_POINT},
                                             {"SIX_POINT", CalibrationMode::SIX_POINT}}));
    all.append(enumeration<AccuracyCriteria>("AccuracyCriteria",
                                             {{"CRITERIA_0", AccuracyCriteria::CRITERIA_0},
                                              {"CRITERIA_1", AccuracyCriteria::CRITERIA_1},
                                              {"CRITERIA_2", AccuracyCriteria::CRITERIA_2}}));
    all.append(enumeration<TimestampPrecision>(
        "TimestampPrecision", {{"WHOLE_MILLISECONDS", TimestampPrecision::WHOLE_MILLISECONDS},
                               {"EXACT", TimestampPrecision::EXACT}}));
    all.append(enumeration<DerivativeSource>(
        "DerivativeSource",
        {{"RAW", DerivativeSource::RAW}, {"FILTERED", DerivativeSource::FILTERED}}));
    all.append(tuningStatuses());
    return all;
}

std::string reprOf(const py::object& value) {
    return py::repr(value).cast<std::string>();
}

// A state as the code that builds it reads: TrackingState.SUCCESS, or the bare raw value.
template <Enumeration E> std::string stateText(E value, const char* className) {
    const py::object state = toPython(value, className);
    if (py::isinstance<py::int_>(state) && py::hasattr(state, "name")) {
        return std::string(className) + "." + state.attr("name").cast<std::string>();
    }
    return reprOf(state);
}

} // namespace

void bindTypes(py::module_& module) {
    module.def("_enumerations", &enumerations,
               "The enumerations' tables: (name, has texts, [(case, raw value, text), ...]).");

    py::class_<GazeInfo>(module, "GazeInfo",
                         "One gaze sample: where the user looked at one instant, with its three "
                         "state classifications. Immutable; equal only to itself.")
        .def(py::init([](double timestamp, double x, double y, std::int64_t trackingState,
                         std::int64_t eyeMovementState, std::int64_t screenState) {
                 return GazeInfo(timestamp, x, y, static_cast<TrackingState>(trackingState),
                                 static_cast<EyeMovementState>(eyeMovementState),
                                 static_cast<ScreenState>(screenState));
             }),
             py::arg("timestamp"), py::arg("x"), py::arg("y"), py::arg("tracking_state"),
             py::arg("eye_movement_state"), py::arg("screen_state"),
             "Stores every argument unchanged, checking nothing (note that the timestamp comes "
             "first). A state that is no case is kept as its raw value.")
        .def_property_readonly("timestamp", &GazeInfo::timestamp, "Time of the sample.")
        .def_property_readonly("x", &GazeInfo::x, "Horizontal coordinate of the gaze point.")
        .def_property_readonly("y", &GazeInfo::y, "Vertical coordinate of the gaze point.")
        .def_property_readonly(
            "tracking_state",
            [](const GazeInfo& info) { return toPython(info.trackingState(), "TrackingState"); },
            "Whether and how well the sample was tracked (a TrackingState, or an int that is no "
            "case).")
        .def_property_readonly(
            "eye_movement_state",
            [](const GazeInfo& info) {
                return toPython(info.eyeMovementState(), "EyeMovementState");
            },
            "Eye-movement class of the sample (an EyeMovementState, or an int that is no case).")
        .def_property_readonly(
            "screen_state",
            [](const GazeInfo& info) { return toPython(info.screenState(), "ScreenState"); },
            "Whether the gaze point lies on the screen (a ScreenState, or an int that is no case).")
        .def("__repr__", [](const GazeInfo& info) {
            return "GazeInfo(timestamp=" + reprOf(py::float_(info.timestamp())) +
                   ", x=" + reprOf(py::float_(info.x())) + ", y=" + reprOf(py::float_(info.y())) +
                   ", tracking_state=" + stateText(info.trackingState(), "TrackingState") +
                   ", eye_movement_state=" +
                   stateText(info.eyeMovementState(), "EyeMovementState") +
                   ", screen_state=" + stateText(info.screenState(), "ScreenState") + ")";
        });

    py::class_<UserStatusOption, std::shared_ptr<UserStatusOption>>(
        module, "UserStatusOption",
        "The user-status features (attention, blink, drowsiness) a host asks of a tracker. Every "
        "feature starts off; a switch only turns features on.")
        .def(py::init<>(), "All three features off.")
        .def("is_use_attension", &UserStatusOption::isUseAttension,
             "True once the attention feature has been switched on.")
        .def("is_use_blink", &UserStatusOption::isUseBlink,
             "True once the blink feature has been switched on.")
        .def("is_use_drowsiness", &UserStatusOption::isUseDrowsiness,
             "True once the drowsiness feature has been switched on.")
        .def("use_attention", &UserStatusOption::useAttention,
             "Switches the attention feature on; the others are left as they are.")
        .def("use_blink", &UserStatusOption::useBlink,
             "Switches the blink feature on; the others are left as they are.")
        .def("use_drowsiness", &UserStatusOption::useDrowsiness,
             "Switches the drowsiness feature on; the others are left as they are.")
        .def("use_all", &UserStatusOption::useAll, "Switches all three features on.")
        .def("__repr__", [](const UserStatusOption& option) {
            const auto flag = [](bool on) { return std::string(on ? "True" : "False"); };
            return "UserStatusOption(attension=" + flag(option.isUseAttension()) +
                   ", blink=" + flag(option.isUseBlink()) +
                   ", drowsiness=" + flag(option.isUseDrowsiness()) + ")";
        });
}

} // namespace pelto::python
