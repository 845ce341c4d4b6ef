# Fails unless the engine library exports the functions declared in corvanta_engine.h (and
# corvanta_sweep.h, corvanta_standard_tests.h) and nothing else: the C++ parts and the JSON
# library stay hidden.
#   cmake -DNM=nm -DLIBRARY=libcorvanta_engine.so -DHEADER=corvanta_engine.h
#         [-DSWEEP_HEADER=corvanta_sweep.h] [-DTESTS_HEADER=corvanta_standard_tests.h] -P check_engine_exports.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/DynamicExports.cmake)
corvanta_dynamic_exports("${NM}" "${LIBRARY}" exported)
file(READ ${HEADER} header)
if(SWEEP_HEADER)
  file(READ ${SWEEP_HEADER} sweep_header)
  string(APPEND header "${sweep_header}")
endif()
if(TESTS_HEADER)
  file(READ ${TESTS_HEADER} tests_header)
  string(APPEND header "${tests_header}")
endif()
string(REGEX MATCHALL "CORVANTA_ENGINE_API [^(]*[ *](corvanta_[a-z_]+)\\(" declarations "${header}")
set(declared "")
foreach(declaration ${declarations})
  string(REGEX REPLACE ".*[ *](corvanta_[a-z_]+)\\($" "\\1" name "${declaration}")
  list(APPEND declared ${name})
endforeach()
list(SORT declared)
if(NOT exported STREQUAL declared)
  message(FATAL_ERROR "exports are [${exported}], the header declares [${declared}]")
endif()
message(STATUS "exports: ${exported}")
