# Configures and builds the WebAssembly side of the test leg (tests/wasm/cross) with
# emcmake.  Emscripten's system libraries are compiled once into EM_CACHE (in the build
# tree) and reused by later builds.
#
#   cmake -DEMCMAKE=... -DSOURCE_DIR=... -DBINARY_DIR=... -DEM_CACHE=... [-DJOBS=2]
#         -P BuildWasm.cmake
cmake_minimum_required(VERSION 3.16)
if(NOT JOBS)
  set(JOBS 2)
endif()
# Debian's configuration freezes the cache (its prebuilt one); an empty EM_FROZEN_CACHE
# lets Emscripten build its libraries into ours.
set(environment "${CMAKE_COMMAND}" -E env "EM_CACHE=${EM_CACHE}" "EM_FROZEN_CACHE=")
file(MAKE_DIRECTORY "${EM_CACHE}")
string(TIMESTAMP started "%s")
execute_process(COMMAND ${environment} "${EMCMAKE}" "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${BINARY_DIR}" -DCMAKE_BUILD_TYPE=Release
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
