# Configures and builds the WebAssembly side of the test leg (tests/wasm/cross) with
# emcmake.
#
#   cmake -DEMCMAKE=... -DSOURCE_DIR=... -DBINARY_DIR=... [-DJOBS=2] [-DLAUNCHER=ccache]
#         -P BuildWasm.cmake
cmake_minimum_required(VERSION 3.16)
if(NOT JOBS)
  set(JOBS 2)
endif()
# Emscripten's system libraries come prebuilt with Debian's package (its frozen cache), so
# only the model's own sources are compiled here.  Debian's node may not search
# /usr/share/nodejs, where Emscripten's JavaScript modules live.
set(node_path "/usr/share/nodejs")
if(DEFINED ENV{NODE_PATH} AND NOT "$ENV{NODE_PATH}" STREQUAL "")
  set(node_path "${node_path}:$ENV{NODE_PATH}")
endif()
set(environment "${CMAKE_COMMAND}" -E env "NODE_PATH=${node_path}")
set(launcher)
if(LAUNCHER)
  set(launcher "-DCMAKE_C_COMPILER_LAUNCHER=${LAUNCHER}" "-DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER}")
endif()
string(TIMESTAMP started "%s")
# -O2: the bits do not depend on the optimisation level (no contraction, no fast maths),
# and -O2 compiles the engine's sources for the playground's module much sooner than -O3.
execute_process(COMMAND ${environment} "${EMCMAKE}" "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${BINARY_DIR}" -DCMAKE_BUILD_TYPE=Release
                        "-DCMAKE_C_FLAGS_RELEASE=-O2 -DNDEBUG" "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" ${launcher}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "configuring the WebAssembly build failed (${status})")
endif()
execute_process(COMMAND ${environment} "${CMAKE_COMMAND}" --build "${BINARY_DIR}" --parallel ${JOBS} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "building the WebAssembly side failed (${status})")
endif()
string(TIMESTAMP finished "%s")
math(EXPR seconds "${finished} - ${started}")
message(STATUS "WebAssembly build ready in ${BINARY_DIR} after ${seconds} s")
