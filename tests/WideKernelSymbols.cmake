# cmake -DNM=<nm> -DOBJECTS=<objects separated by |> -P WideKernelSymbols.cmake
#
# The files compiled for AVX2 and AVX-512 may define no symbol the linker could share with
# baseline code (an inline function or a template instance emitted out of line): it might keep
# their copy for every caller, and a CPU without the instruction set would then run it. They may
# define global data (their kernel tables; sanitizers add type information), but no global code.
string(REPLACE "|" ";" objects "${OBJECTS}")
list(FILTER objects INCLUDE REGEX "FilterBankKernelAvx[0-9]+\\.cpp\\.o(bj)?$")
foreach(object IN LISTS objects)
  execute_process(
    COMMAND "${NM}" --defined-only --extern-only -C "${object}"
    OUTPUT_VARIABLE symbols
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${object}")
  endif()
  string(REGEX MATCHALL "[0-9a-f]+ [TWi] [^\n]*" shared "${symbols}")
  list(JOIN shared "\n" shared)
  if(NOT shared STREQUAL "")
    message(FATAL_ERROR "${object} defines symbols baseline code could link to:\n${shared}")
  endif()
  message(STATUS "${object}: no global code")
endforeach()
