// The native module `pelto._pelto`. The package `pelto` (pelto/__init__.py) builds its
// enumerations from the tables defined here and re-exports the rest under the same names.

#include "Bindings.hpp"

#include <pelto/Version.hpp>

PYBIND11_MODULE(_pelto, module) {
    module.doc() = "Pelto's native module; import the package `pelto` instead.";
    module.attr("__version__") = PELTO_VERSION_STRING;
    pelto::python::bindTypes(module);
    pelto::python::bindFilterBank(module);
    pelto::python::bindTracker(module);
    pelto::python::bindTuning(module);
}
