# Runs the win64 FMU test host under Wine in the Windows leg's prefix.
#
#   cmake -DWINE=... -DWINE_PREFIX=... -DHOST=fmu_test_host.exe -DARGUMENTS=a;b;... -P RunUnderWine.cmake
cmake_minimum_required(VERSION 3.16)
include(${CMAKE_CURRENT_LIST_DIR}/../windows/cmake/WineEnvironment.cmake)
if(NOT EXISTS "${HOST}")
  message(FATAL_ERROR "${HOST} does not exist: the win64 FMU build did not make it")
endif()
string(TIMESTAMP started "%s")
execute_process(COMMAND "${WINE}" "${HOST}" ${ARGUMENTS} RESULT_VARIABLE status)
string(TIMESTAMP finished "%s")
math(EXPR seconds "${finished} - ${started}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the FMU test host failed under Wine (${status}) after ${seconds} s")
endif()
message(STATUS "the FMU test host passed under Wine in ${seconds} s")
