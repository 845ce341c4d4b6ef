# Configures and builds the Windows side of the test leg (tests/windows/cross) with the
# MinGW-w64 toolchain file.
#
#   cmake -DSOURCE_DIR=... -DBINARY_DIR=... -DTOOLCHAIN=... -DTABLES=... -DGENERATOR=...
#         [-DMAKE_PROGRAM=...] [-DBUILD_TYPE=Release] [-DJOBS=2] -P BuildWindows.cmake
cmake_minimum_required(VERSION 3.16)
set(configure_args -S "${SOURCE_DIR}" -B "${BINARY_DIR}" -G "${GENERATOR}"
    "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}" "-DCORVANTA_CONFORMANCE_TABLES=${TABLES}")
if(MAKE_PROGRAM)
  list(APPEND configure_args "-DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM}")
endif()
if(BUILD_TYPE)
  list(APPEND configure_args "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}")
endif()
if(NOT JOBS)
  set(JOBS 2)
endif()

string(TIMESTAMP started "%s")
execute_process(COMMAND "${CMAKE_COMMAND}" ${configure_args} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "configuring the Windows build failed (${status})")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${BINARY_DIR}" --parallel ${JOBS} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "building the Windows side failed (${status})")
endif()
string(TIMESTAMP finished "%s")
math(EXPR seconds "${finished} - ${started}")
message(STATUS "Windows build ready in ${BINARY_DIR}/bin after ${seconds} s")
