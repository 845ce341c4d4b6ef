# Runs the Windows conformance_runner on one conformance stream under Wine, then compares
# its dump with the expected bits, exactly or within a tolerance.
#
#   cmake -DNAME=... -DRUNNER=... -DSTREAM=... -DEXPECTED=... -DOUTPUT_DIR=...
#         -DWINE=... -DWINE_PREFIX=... -DCOMPARE=... [-DTOLERANCE=... [-DLOW_SPEED=...]]
#         -P ConformanceUnderWine.cmake
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

# After a full match the runner ends its output with a "N records match" line: keep the
# records only.
file(STRINGS "${dump}" records REGEX "^[0-9]")
list(JOIN records "\n" records)
file(WRITE "${dump}" "${records}\n")

set(compare_args "${EXPECTED}" "${dump}" --label "${NAME}")
if(TOLERANCE)
  list(APPEND compare_args --tolerance "${TOLERANCE}")
  if(LOW_SPEED)
    list(APPEND compare_args --low-speed "${LOW_SPEED}")
  endif()
endif()
list(APPEND compare_args --summary "${OUTPUT_DIR}/${NAME}.summary.txt")
file(REMOVE "${OUTPUT_DIR}/${NAME}.summary.txt")
execute_process(COMMAND "${COMPARE}" ${compare_args} OUTPUT_VARIABLE report ERROR_VARIABLE errors RESULT_VARIABLE result)
file(WRITE "${OUTPUT_DIR}/${NAME}.report.txt" "${report}")
message("${report}${errors}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the Windows build's results of ${NAME} are beyond the tolerance (dump: ${dump})")
endif()
