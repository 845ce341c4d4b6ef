# Replays one command stream on Linux (native) and on Windows (under Wine) with
# corvanta_replay and compares the two output dumps with compare_dumps.
#
#   cmake -DNAME=... -DSTREAM=... -DOUTPUT_DIR=...
#         -DLINUX_HOST=... -DLINUX_LIBRARY=...      Linux replay host and library path
#         -DWINE=... -DWINE_PREFIX=...
#         -DWINDOWS_HOST=... -DWINDOWS_LIBRARY=...  Windows replay host and the DLL's file
#                                                   name (next to the host)
#         -DCOMPARE=... [-DTOLERANCE=... [-DLOW_SPEED=...]]
#                                                   empty TOLERANCE: identical bits
#         -P ComparePlatforms.cmake
cmake_minimum_required(VERSION 3.16)
include(${CMAKE_CURRENT_LIST_DIR}/WineEnvironment.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/CompareDumps.cmake)

file(MAKE_DIRECTORY "${OUTPUT_DIR}")
set(linux_dump "${OUTPUT_DIR}/${NAME}.linux.txt")
set(windows_dump "${OUTPUT_DIR}/${NAME}.windows.txt")
file(REMOVE "${linux_dump}" "${windows_dump}")

execute_process(COMMAND "${LINUX_HOST}" "${LINUX_LIBRARY}" "${STREAM}"
                OUTPUT_FILE "${linux_dump}" ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "Linux replay of ${STREAM} failed (${status}): ${errors}")
endif()

get_filename_component(host_dir "${WINDOWS_HOST}" DIRECTORY)
execute_process(COMMAND "${WINE}" "${WINDOWS_HOST}" "${WINDOWS_LIBRARY}" "${STREAM}"
                WORKING_DIRECTORY "${host_dir}"
                OUTPUT_FILE "${windows_dump}" ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "Windows replay of ${STREAM} under Wine failed (${status}): ${errors}")
endif()

compare_dumps("${linux_dump}" "${windows_dump}" "Linux and Windows results of ${NAME} differ (dumps: ${linux_dump}, ${windows_dump})")
