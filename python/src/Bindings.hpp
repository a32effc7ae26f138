#pragma once

// The parts of the native module `pelto._pelto`, each defined in a source of its own.

#include <pelto/tracker/GazeTracker.hpp>
#include <pelto/tuning/Tuning.hpp>
#include <pelto/types/Enumerations.hpp>
#include <pelto/types/GazeInfo.hpp>
#include <pelto/types/UserStatusOption.hpp>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace pelto::python {

void bindTypes(pybind11::module_& module);
void bindFilterBank(pybind11::module_& module);
void bindTracker(pybind11::module_& module);
void bindTuning(pybind11::module_& module);

/// An array's shape as Python writes it: "(3,)", "(3, 2)".
std::string shapeText(const pybind11::array& array);

using Doubles = pybind11::array_t<double, pybind11::array::c_style | pybind11::array::forcecast>;

/// Any sequence of real numbers or any real array as a C-ordered float64 array, converted at most
/// once. Object, complex, boolean, text and other arrays are refused with TypeError.
Doubles toDoubles(const pybind11::handle& input, const char* name);

/// The checked inputs of a call over a recording.
struct Block {
    Doubles timestamps;
    Doubles values;
    std::size_t rows = 0;
    std::size_t channels = 0;
};

/// Reads timestamps (N,) and values (N, C) or (N,) (one channel); ValueError or TypeError for
/// anything else. `expected` is the bank's channel count, or 0 to take C from values.
Block readBlock(const pybind11::handle& timestamps, const pybind11::handle& values,
                std::size_t expected);

/// The value as the package's `enum.IntEnum` class `className` gives it, or as a plain int when
/// it is no case (it arrived as a bare integer, and is carried as it came). Needs the GIL.
template <Enumeration E> pybind11::object toPython(E value, const char* className) {
    const std::int64_t raw = rawValue(value);
    if (fromRawValue<E>(raw)) {
        return pybind11::module_::import("pelto").attr(className)(raw);
    }
    return pybind11::int_(raw);
}

/// The case of E whose raw value `raw` is (a member of the package's IntEnum converts to it);
/// ValueError naming `what` for any other number.
template <Enumeration E> E caseOf(std::int64_t raw, const char* what) {
    if (const std::optional<E> value = fromRawValue<E>(raw)) {
        return *value;
    }
    throw pybind11::value_error(std::string(what) + " " + std::to_string(raw) + " is no case");
}

/// Loads a bound class's object as pybind11 does, and refuses one whose constructor never ran: an
/// object made by `cls.__new__(cls)` alone (as unpickling does before __setstate__) holds no C++
/// object, and any method on it would read memory that was never initialised.
template <class T> class ConstructedCaster : public pybind11::detail::type_caster_base<T> {
  public:
    bool load(pybind11::handle src, bool convert) {
        if (!pybind11::detail::type_caster_base<T>::load(src, convert)) {
            return false;
        }
        const pybind11::detail::type_info* const type = pybind11::detail::get_type_info(typeid(T));
        // pybind11's types and instances are CPython objects with a layout of its own.
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast)
        const pybind11::handle cls(reinterpret_cast<PyObject*>(type->type));
        if (!src.is_none() && pybind11::isinstance(src, cls)) {
            // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast)
            auto* const inst = reinterpret_cast<pybind11::detail::instance*>(src.ptr());
            // An object that views another one's member owns nothing and is complete; one that
            // should own its value but has no holder was never constructed.
            if (inst->owned && !inst->get_value_and_holder(type).holder_constructed()) {
                const std::string name = type->type->tp_name;
                throw pybind11::type_error("this " + name.substr(name.rfind('.') + 1) +
                                           " was never constructed: create it by calling the "
                                           "class (or unpickle it), not with __new__ alone");
            }
        }
        return true;
    }
};

} // namespace pelto::python

/// Makes every binding of T refuse an object whose constructor never ran (ConstructedCaster).
/// Used at namespace scope before T is bound or used in a binding.
#define PELTO_PYTHON_CONSTRUCTED_ONLY(T)                                                           \
    template <>                                                                                    \
    class pybind11::detail::type_caster<T> : public pelto::python::ConstructedCaster<T> {}

PELTO_PYTHON_CONSTRUCTED_ONLY(pelto::GazeTracker);
PELTO_PYTHON_CONSTRUCTED_ONLY(pelto::GazeInfo);
PELTO_PYTHON_CONSTRUCTED_ONLY(pelto::UserStatusOption);
PELTO_PYTHON_CONSTRUCTED_ONLY(pelto::tuning::FilterParameters);
PELTO_PYTHON_CONSTRUCTED_ONLY(pelto::tuning::Measurement);
PELTO_PYTHON_CONSTRUCTED_ONLY(pelto::tuning::TuningResult);
PELTO_PYTHON_CONSTRUCTED_ONLY(pelto::tuning::TuningReport);
