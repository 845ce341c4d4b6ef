# Replays one command stream on Linux (native, the portable-maths library) and as
# WebAssembly under Node, and compares the two output dumps bit for bit (any NaN matches
# any NaN).
#
#   cmake -DNAME=... -DSTREAM=... -DOUTPUT_DIR=... -DLINUX_HOST=... -DLINUX_LIBRARY=...
#         -DNODE=... -DWASM_RUNNER=... -DCOMPARE=... -P CompareWasm.cmake
cmake_minimum_required(VERSION 3.16)
include(${CMAKE_CURRENT_LIST_DIR}/../../windows/cmake/CompareDumps.cmake)

file(MAKE_DIRECTORY "${OUTPUT_DIR}")
set(linux_dump "${OUTPUT_DIR}/${NAME}.linux.txt")
set(wasm_dump "${OUTPUT_DIR}/${NAME}.wasm.txt")
file(REMOVE "${linux_dump}" "${wasm_dump}")

execute_process(COMMAND "${LINUX_HOST}" "${LINUX_LIBRARY}" "${STREAM}"
                OUTPUT_FILE "${linux_dump}" ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "Linux replay of ${STREAM} failed (${status}): ${errors}")
endif()
# Node 18 and later would fetch() the .wasm file, which this Emscripten cannot do for a
# file path; without fetch it reads the file.
execute_process(COMMAND "${NODE}" --no-experimental-fetch "${WASM_RUNNER}" "${STREAM}"
                OUTPUT_FILE "${wasm_dump}" ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "WebAssembly replay of ${STREAM} under Node failed (${status}): ${errors}")
endif()

compare_dumps("${linux_dump}" "${wasm_dump}" "Linux and WebAssembly results of ${NAME} differ (dumps: ${linux_dump}, ${wasm_dump})")
