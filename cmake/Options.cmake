include(GNUInstallDirs)

# Developer targets and install rules only when Pelto is the top-level project: as a subproject
# (add_subdirectory, FetchContent) it builds the library alone unless asked for more.
option(PELTO_BUILD_TESTS "Build the unit tests" ${PROJECT_IS_TOP_LEVEL})
option(PELTO_BUILD_BENCHMARKS "Build the benchmarks" ${PROJECT_IS_TOP_LEVEL})
option(PELTO_BUILD_EXAMPLES "Build the demo and examples" ${PROJECT_IS_TOP_LEVEL})
option(PELTO_BUILD_FUZZERS "Build the libFuzzer targets (clang only)" OFF)
# The Python package, when an interpreter with NumPy and pybind11 is found. Not in sanitizer
# builds: an uninstrumented interpreter cannot load their runtimes.
set(pelto_python_default ${PROJECT_IS_TOP_LEVEL})
if(CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  set(pelto_python_default OFF)
endif()
option(PELTO_PYTHON "Build the Python package (needs NumPy and pybind11)" ${pelto_python_default})
option(PELTO_INSTALL "Generate the install rules" ${PROJECT_IS_TOP_LEVEL})
option(PELTO_WITH_JSON "Offer pelto::json when nlohmann/json is found" ON)
option(PELTO_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)
option(BUILD_SHARED_LIBS "Build pelto as a shared library" OFF)

set(CMAKE_CXX_EXTENSIONS OFF)

set(PELTO_WARNING_FLAGS)
if(PROJECT_IS_TOP_LEVEL)
  set(PELTO_WARNING_FLAGS -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion
                          -Wshadow -Wold-style-cast)
  if(PELTO_WARNINGS_AS_ERRORS)
    list(APPEND PELTO_WARNING_FLAGS -Werror)
  endif()
endif()
