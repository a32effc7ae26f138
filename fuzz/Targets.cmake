# The fuzz targets, one per input surface. Each is fuzz/<Name>.cpp defining
# LLVMFuzzerTestOneInput, with its committed corpus in fuzz/corpus/<Name>/ and an optional
# dictionary fuzz/<Name>.dict. This list is read twice: by fuzz/CMakeLists.txt, which builds
# libFuzzer executables, and by tests/FuzzCorpusReplay.cmake, which replays each corpus as an
# ordinary test. Each caller defines pelto_fuzz_target() before including this file.
#
#   pelto_fuzz_target(<Name> [REQUIRES <target>...] [LIBS <target>...] [SOURCES <file>...])
#
# REQUIRES: skip the target unless these targets exist; LIBS: linked besides pelto_objects;
# SOURCES: further sources, relative to fuzz/. A new input surface adds one line here, its source
# and a seed corpus.

pelto_fuzz_target(
  CsvReaderFuzzer SOURCES ../examples/demo/CsvReader.cpp ../examples/demo/CsvWriter.cpp
                          ../examples/demo/SmoothedTrace.cpp ../examples/demo/TracePlot.cpp)
pelto_fuzz_target(FilterBankFuzzer)
pelto_fuzz_target(TunerFuzzer)
