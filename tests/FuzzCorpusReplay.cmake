# Every fuzz target's committed corpus, replayed as an ordinary test in every build with tests:
# the fuzz source is compiled with FuzzCorpusReplay.cpp as main() instead of libFuzzer, so a fuzz
# finding added to fuzz/corpus/<Name>/ becomes a regression test. Included from the top level.

function(pelto_fuzz_target name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "REQUIRES;LIBS;SOURCES")
  foreach(required IN LISTS arg_REQUIRES)
    if(NOT TARGET ${required})
      return()
    endif()
  endforeach()
  list(TRANSFORM arg_SOURCES PREPEND "${PROJECT_SOURCE_DIR}/fuzz/")

  set(replay FuzzCorpusReplay_${name})
  add_executable(${replay} "${PROJECT_SOURCE_DIR}/tests/FuzzCorpusReplay.cpp"
                           "${PROJECT_SOURCE_DIR}/fuzz/${name}.cpp" ${arg_SOURCES})
  target_link_libraries(${replay} PRIVATE pelto_objects ${arg_LIBS})
  target_include_directories(${replay} PRIVATE "${PROJECT_SOURCE_DIR}/src"
                                               "${PROJECT_SOURCE_DIR}/fuzz")
  add_test(NAME FuzzCorpusReplay.${name}
           COMMAND ${replay} "${PROJECT_SOURCE_DIR}/fuzz/corpus/${name}")
endfunction()

include("${PROJECT_SOURCE_DIR}/fuzz/Targets.cmake")
