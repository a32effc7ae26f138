// The value types: the enumerations' tables, GazeInfo and UserStatusOption.

#include "Bindings.hpp"

#include <pelto/tuning/Tuning.hpp>
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

// One enumeration as the package builds it, from its table: its name, whether it has texts, and
// its cases as (name, raw value, text or None).
template <Enumeration E> py::tuple enumeration() {
    using Traits = detail::EnumTraits<E>;
    py::list rows;
    for (const detail::EnumCase& row : Traits::cases) {
        py::object text = py::none();
        if constexpr (DescribedEnumeration<E>) {
            text = py::str(row.text.data(), row.text.size());
        }
        rows.append(py::make_tuple(py::str(row.name.data(), row.name.size()), row.raw, text));
    }
    return py::make_tuple(py::str(Traits::name.data(), Traits::name.size()),
                          DescribedEnumeration<E>, rows);
}

py::list enumerations() {
    py::list all;
    for (const py::tuple& table :
         {enumeration<StatusError>(), enumeration<InitializationError>(),
          enumeration<TrackingState>(), enumeration<EyeMovementState>(), enumeration<ScreenState>(),
          enumeration<CalibrationMode>(), enumeration<AccuracyCriteria>(),
          enumeration<TimestampPrecision>(), enumeration<DerivativeSource>(),
          enumeration<tuning::TuningStatus>()}) {
        all.append(table);
    }
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
