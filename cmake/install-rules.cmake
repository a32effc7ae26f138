include(CMakePackageConfigHelpers)

set(PELTO_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/pelto"
    CACHE STRING "Where the CMake package files of pelto are installed")
mark_as_advanced(PELTO_INSTALL_CMAKEDIR)

# Public headers only; internal headers live under src/ and are never installed.
install(
  DIRECTORY include/ "${PROJECT_BINARY_DIR}/include/"
  DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}"
  COMPONENT pelto_Development
  FILES_MATCHING
  PATTERN "*.hpp"
  PATTERN "*.h")

install(
  TARGETS pelto
  EXPORT peltoTargets
  RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT pelto_Runtime
  LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT pelto_Runtime
          NAMELINK_COMPONENT pelto_Development
  ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT pelto_Development
  INCLUDES DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")

install(
  EXPORT peltoTargets
  NAMESPACE pelto::
  DESTINATION "${PELTO_INSTALL_CMAKEDIR}"
  COMPONENT pelto_Development)

configure_package_config_file(
  cmake/peltoConfig.cmake.in "${PROJECT_BINARY_DIR}/peltoConfig.cmake"
  INSTALL_DESTINATION "${PELTO_INSTALL_CMAKEDIR}")
write_basic_package_version_file(
  "${PROJECT_BINARY_DIR}/peltoConfigVersion.cmake"
  COMPATIBILITY SameMajorVersion)
install(
  FILES "${PROJECT_BINARY_DIR}/peltoConfig.cmake"
        "${PROJECT_BINARY_DIR}/peltoConfigVersion.cmake"
  DESTINATION "${PELTO_INSTALL_CMAKEDIR}"
  COMPONENT pelto_Development)

# pkg-config: pelto.pc, relocatable (paths relative to the file itself). C++ hosts add
# -std=c++20. A static library needs the C++ runtime on the link line of a C host, and the
# export macros defined away, so the static installation's file says so.
file(RELATIVE_PATH PELTO_PC_PREFIX_FROM_PCDIR "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig"
     "/prefix")
if(BUILD_SHARED_LIBS)
  set(PELTO_PC_CFLAGS "")
  set(PELTO_PC_LIBS "")
else()
  set(PELTO_PC_CFLAGS " -DPELTO_STATIC_DEFINE")
  set(PELTO_PC_LIBS " -lstdc++ -lm")
endif()
configure_file(cmake/pelto.pc.in "${PROJECT_BINARY_DIR}/pelto.pc" @ONLY)
install(
  FILES "${PROJECT_BINARY_DIR}/pelto.pc"
  DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig"
  COMPONENT pelto_Development)

# The optional JSON integration has an export set of its own, so that the core
# package stays usable without nlohmann/json.
if(TARGET pelto_json)
  install(TARGETS pelto_json EXPORT peltoJsonTargets)
  install(
    EXPORT peltoJsonTargets
    NAMESPACE pelto::
    DESTINATION "${PELTO_INSTALL_CMAKEDIR}"
    COMPONENT pelto_Development)
endif()
