# pelto-demo --tune, end to end (cmake -DDEMO=<pelto-demo> -DFOLDER=<scratch folder>
# [-DXMLLINT=<xmllint>] -P DemoTuneRun.cmake):
# - on the synthetic trace it writes smoothed.csv, smoothed.svg and tuning.svg, the plots
#   well-formed XML, and the command it prints to reuse the recommendation gives exactly the
#   recommendation's mean lag;
# - on a constant recording it says it cannot tune, writes the other two files, not tuning.svg,
#   and exits with 0.

function(run_demo output_variable)
  execute_process(COMMAND "${DEMO}" ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output
                  ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "pelto-demo ${ARGN}: exit status ${status}\n${output}${errors}")
  endif()
  set(${output_variable} "${output}" PARENT_SCOPE)
endfunction()

function(expect_files folder)
  foreach(name IN LISTS ARGN)
    if(NOT EXISTS "${folder}/${name}")
      message(FATAL_ERROR "${folder}/${name} was not written")
    endif()
  endforeach()
endfunction()

file(REMOVE_RECURSE "${FOLDER}")

run_demo(tuned --tune --out "${FOLDER}/tuned")
expect_files("${FOLDER}/tuned" smoothed.csv smoothed.svg tuning.svg)
if(XMLLINT)
  foreach(plot smoothed.svg tuning.svg)
    execute_process(COMMAND "${XMLLINT}" --noout "${FOLDER}/tuned/${plot}" RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${plot} is not well-formed XML")
    endif()
  endforeach()
endif()
if(NOT tuned MATCHES "mean lag \\(ms\\) +[0-9.]+ +([0-9.]+)\n")
  message(FATAL_ERROR "no mean lag for the recommendation in:\n${tuned}")
endif()
set(recommended_lag "${CMAKE_MATCH_1}")
if(NOT tuned MATCHES "pelto-demo --min-cutoff ([^ ]+) --beta ([^ \n]+)\n")
  message(FATAL_ERROR "no command to reuse the recommendation in:\n${tuned}")
endif()
run_demo(reused --min-cutoff "${CMAKE_MATCH_1}" --beta "${CMAKE_MATCH_2}" --out
         "${FOLDER}/reused")
if(NOT reused MATCHES "saccade lag +mean ${recommended_lag},")
  message(FATAL_ERROR "the reused parameters do not lag ${recommended_lag} ms:\n${reused}")
endif()

set(constant "${FOLDER}/constant.csv")
file(WRITE "${constant}" "timestamp,x,y\n")
foreach(t RANGE 0 300 15)
  file(APPEND "${constant}" "${t},100,200\n")
endforeach()
run_demo(untuned --input "${constant}" --tune --out "${FOLDER}/constant")
if(NOT untuned MATCHES "cannot tune: the signal is constant")
  message(FATAL_ERROR "no 'cannot tune' answer for a constant signal:\n${untuned}")
endif()
expect_files("${FOLDER}/constant" smoothed.csv smoothed.svg)
if(EXISTS "${FOLDER}/constant/tuning.svg")
  message(FATAL_ERROR "tuning.svg written for a recording that cannot be tuned")
endif()
