#pragma once

// The parts of the native module `pelto._pelto`, each defined in a source of its own.

#include <pelto/types/Enumerations.hpp>

#include <pybind11/pybind11.h>

#include <cstdint>

namespace pelto::python {

void bindTypes(pybind11::module_& module);
void bindFilterBank(pybind11::module_& module);
void bindTracker(pybind11::module_& module);

/// The value as the package's `enum.IntEnum` class `className` gives it, or as a plain int when
/// it is no case (it arrived as a bare integer, and is carried as it came). Needs the GIL.
template <Enumeration E> pybind11::object toPython(E value, const char* className) {
    const std::int64_t raw = rawValue(value);
    if (fromRawValue<E>(raw)) {
        return pybind11::module_::import("pelto").attr(className)(raw);
    }
    return pybind11::int_(raw);
}

} // namespace pelto::python
