# Runs the Windows conformance_runner on one conformance stream under Wine, then compares
# its dump with the expected bits, exactly or within a tolerance.
#
#   cmake -DNAME=... -DRUNNER=... -DSTREAM=... -DEXPECTED=... -DOUTPUT_DIR=...
#         -DWINE=... -DWINE_PREFIX=... -DCOMPARE=... [-DTOLERANCE=...] -P ConformanceUnderWine.cmake
cmake_minimum_required(VERSION 3.16)
include(${CMAKE_CURRENT_LIST_DIR}/WineEnvironment.cmake)

file(MAKE_DIRECTORY "${OUTPUT_DIR}")
set(dump "${OUTPUT_DIR}/${NAME}.windows.txt")
file(REMOVE "${dump}")
get_filename_component(runner_dir "${RUNNER}" DIRECTORY)
# Exit status 0: every bit matches; 1: a mismatch (the dump is complete either way).
execute_process(COMMAND "${WINE}" "${RUNNER}" "${STREAM}" "${EXPECTED}" --dump
                WORKING_DIRECTORY "${runner_dir}"
                OUTPUT_FILE "${dump}" ERROR_VARIABLE verdict RESULT_VARIABLE status)
if(status EQUAL 0)
  message("conformance_runner under Wine: all records match bit for bit")
elseif(status EQUAL 1)
  message("conformance_runner under Wine: ${verdict}")
else()
  message(FATAL_ERROR "conformance_runner under Wine failed (${status}): ${verdict}")
endif()

set(compare_args "${EXPECTED}" "${dump}" --label "${NAME}")
if(TOLERANCE)
  list(APPEND compare_args --tolerance "${TOLERANCE}")
endif()
execute_process(COMMAND "${COMPARE}" ${compare_args} OUTPUT_VARIABLE report ERROR_VARIABLE errors RESULT_VARIABLE result)
file(WRITE "${OUTPUT_DIR}/${NAME}.report.txt" "${report}")
message("${report}${errors}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the Windows build's results of ${NAME} are beyond the tolerance (dump: ${dump})")
endif()
