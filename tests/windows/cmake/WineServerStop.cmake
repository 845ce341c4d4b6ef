# Stops the Wine server of the test leg's prefix, if one is still running, and waits for
# it to exit, so that no Wine process outlives the test run.
#
#   cmake -DWINESERVER=... -DWINE_PREFIX=... -P WineServerStop.cmake
cmake_minimum_required(VERSION 3.16)
include(${CMAKE_CURRENT_LIST_DIR}/WineEnvironment.cmake)
# --kill fails when no server runs for the prefix: nothing to stop then.
execute_process(COMMAND "${WINESERVER}" --kill RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
execute_process(COMMAND "${WINESERVER}" --wait RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
