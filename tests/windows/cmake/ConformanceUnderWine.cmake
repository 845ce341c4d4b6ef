# Runs the Windows conformance_runner on one conformance stream under Wine, then compares
# its dump with the expected bits, exactly or within a tolerance.
#
#   cmake -DNAME=... -DRUNNER=... -DSTREAM=... -DEXPECTED=... -DOUTPUT_DIR=...
#         -DWINE=... -DWINE_PREFIX=... -DCOMPARE=... [-DTOLERANCE=... [-DLOW_SPEED=...]]
#         -P ConformanceUnderWine.cmake
cmake_minimum_required(VERSION 3.16)
include(${CMAKE_CURRENT_LIST_DIR}/WineEnvironment.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/CompareDumps.cmake)

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

compare_dumps("${EXPECTED}" "${dump}" "the Windows build's results of ${NAME} are beyond the tolerance (dump: ${dump})")
