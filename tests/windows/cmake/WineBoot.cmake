# Creates (or brings up to date) the Wine prefix of the Windows test leg and waits until
# Wine has finished with it.
#
#   cmake -DWINE=... -DWINESERVER=... -DWINE_PREFIX=... -P WineBoot.cmake
cmake_minimum_required(VERSION 3.16)
include(${CMAKE_CURRENT_LIST_DIR}/WineEnvironment.cmake)

# Wine creates the prefix itself but not the folders above it.
get_filename_component(parent "${WINE_PREFIX}" DIRECTORY)
file(MAKE_DIRECTORY "${parent}")

string(TIMESTAMP started "%s")
execute_process(COMMAND "${WINE}" wineboot --init
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "wineboot failed (${status}):\n${output}")
endif()
# wineboot returns before the services it started have written the prefix.
execute_process(COMMAND "${WINESERVER}" --wait RESULT_VARIABLE status)
if(NOT EXISTS "${WINE_PREFIX}/system.reg" OR NOT EXISTS "${WINE_PREFIX}/dosdevices/z:")
  message(FATAL_ERROR "wineboot left no usable prefix in ${WINE_PREFIX}")
endif()
string(TIMESTAMP finished "%s")
math(EXPR seconds "${finished} - ${started}")
message(STATUS "Wine prefix ${WINE_PREFIX} ready after ${seconds} s")
