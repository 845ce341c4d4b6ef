# Replays one stream through the portable-maths library, and through the platform
# library with and without the MPFR interposer; the first two must agree bit for bit.
# Writes NAME.misrounding.txt (the interposer's counts) and NAME.platform.txt (whether
# the platform build gave the portable build's bits).
#
#   cmake -DNAME=... -DSTREAM=... -DOUTPUT_DIR=... -DHOST=... -DPLATFORM_LIBRARY=...
#         -DPORTABLE_LIBRARY=... -DINTERPOSER=... -DCOMPARE=... -P CompareCorrectlyRounded.cmake
cmake_minimum_required(VERSION 3.16)
include(${CMAKE_CURRENT_LIST_DIR}/../windows/cmake/CompareDumps.cmake)

file(MAKE_DIRECTORY "${OUTPUT_DIR}")
set(portable_dump "${OUTPUT_DIR}/${NAME}.portable.txt")
set(mpfr_dump "${OUTPUT_DIR}/${NAME}.mpfr.txt")
set(platform_dump "${OUTPUT_DIR}/${NAME}.platform-dump.txt")
file(REMOVE "${portable_dump}" "${mpfr_dump}" "${platform_dump}")

execute_process(COMMAND "${HOST}" "${PORTABLE_LIBRARY}" "${STREAM}"
                OUTPUT_FILE "${portable_dump}" ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "replay of ${STREAM} with the portable maths failed (${status}): ${errors}")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E env "LD_PRELOAD=${INTERPOSER}" CORVANTA_MISROUNDING_REPORT=1
                        "${HOST}" "${PLATFORM_LIBRARY}" "${STREAM}"
                OUTPUT_FILE "${mpfr_dump}" ERROR_VARIABLE report RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "replay of ${STREAM} with MPFR's maths failed (${status}): ${report}")
endif()
if(NOT report MATCHES "misrounded sin [0-9]+ [0-9]+")
  message(FATAL_ERROR "the MPFR interposer did not take the library's calls: ${report}")
endif()
file(WRITE "${OUTPUT_DIR}/${NAME}.misrounding.txt" "${report}")
message("${report}")

execute_process(COMMAND "${HOST}" "${PLATFORM_LIBRARY}" "${STREAM}"
                OUTPUT_FILE "${platform_dump}" ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "replay of ${STREAM} with the platform's maths failed (${status}): ${errors}")
endif()
execute_process(COMMAND "${COMPARE}" "${platform_dump}" "${portable_dump}" OUTPUT_QUIET ERROR_QUIET RESULT_VARIABLE same)
if(same EQUAL 0)
  file(WRITE "${OUTPUT_DIR}/${NAME}.platform.txt" "platform build: the same bits as the portable build\n")
else()
  file(WRITE "${OUTPUT_DIR}/${NAME}.platform.txt" "platform build: differs from the portable build\n")
endif()

compare_dumps("${mpfr_dump}" "${portable_dump}"
              "${NAME}: the portable maths and MPFR's correctly rounded maths give different outputs (dumps: ${mpfr_dump}, ${portable_dump})")
