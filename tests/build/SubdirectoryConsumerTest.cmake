# A project that adds this source tree with add_subdirectory() gets the libraries alone: no
# test, no tool, no benchmark, no FMU target, no build type written into its cache, and
# Corvanta::corvanta builds and links into the consumer's own program, which runs.
#
#   cmake -DSOURCE_DIR=... -DWORK_DIR=... -DGENERATOR=... [-DLAUNCHER=ccache] -P SubdirectoryConsumerTest.cmake
cmake_minimum_required(VERSION 3.16)

set(consumer ${WORK_DIR}/consumer)
set(build ${WORK_DIR}/build)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${consumer})
# The consumer lists every target the tree defined, for the checks below.
file(WRITE ${consumer}/CMakeLists.txt "cmake_minimum_required(VERSION 3.16)
project(corvanta_consumer LANGUAGES C CXX)
enable_testing()
add_subdirectory(\"${SOURCE_DIR}\" corvanta)
add_executable(consumer_host \"${SOURCE_DIR}/examples/c/minimal_host.c\")
target_link_libraries(consumer_host PRIVATE Corvanta::corvanta)
function(list_targets directory)
  get_property(targets DIRECTORY \${directory} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    file(APPEND \${CMAKE_BINARY_DIR}/targets.txt \"\${target}\\n\")
  endforeach()
  get_property(subdirectories DIRECTORY \${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    list_targets(\${subdirectory})
  endforeach()
endfunction()
file(WRITE \${CMAKE_BINARY_DIR}/targets.txt \"\")
list_targets(\${CMAKE_SOURCE_DIR})
")

set(launcher "")
if(LAUNCHER)
  set(launcher -DCMAKE_C_COMPILER_LAUNCHER=${LAUNCHER} -DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER})
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${consumer} -B ${build} -G "${GENERATOR}" ${launcher}
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the consumer does not configure:\n${out}${err}")
endif()

# The parent set no build type, and the tree wrote none.
file(STRINGS ${build}/CMakeCache.txt build_type REGEX "^CMAKE_BUILD_TYPE:")
if(build_type AND NOT build_type MATCHES "^CMAKE_BUILD_TYPE:[A-Z]+=$")
  message(FATAL_ERROR "the tree wrote a build type into its parent's cache: ${build_type}")
endif()

# No test registered.
execute_process(COMMAND ${CMAKE_CTEST_COMMAND} -N WORKING_DIRECTORY ${build} RESULT_VARIABLE result OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(NOT result EQUAL 0 OR NOT out MATCHES "Total Tests: 0")
  message(FATAL_ERROR "the consumer's build lists tests of the tree:\n${out}${err}")
endif()

# No test, tool, benchmark, FMU or fuzzer target; the libraries are there.
file(STRINGS ${build}/targets.txt targets)
set(offending "")
foreach(target IN LISTS targets)
  # The standard tests are part of the engine library (libcorvanta_engine), not test targets.
  if(target STREQUAL "corvanta_testsuite_objects")
    continue()
  endif()
  if(target MATCHES "test|bench|fuzz|fmi|fmu|corvanta-sim|generate_|_sim_|replay|compare|testsuite|minimal_host")
    string(APPEND offending " ${target}")
  endif()
endforeach()
if(offending)
  message(FATAL_ERROR "targets the consumer did not ask for:${offending}")
endif()
foreach(library corvanta corvanta_runtime corvanta_model corvanta_capi)
  list(FIND targets ${library} found)
  if(found EQUAL -1)
    message(FATAL_ERROR "the library target ${library} is missing: ${targets}")
  endif()
endforeach()

execute_process(COMMAND ${CMAKE_COMMAND} --build ${build} --target consumer_host RESULT_VARIABLE result
                OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the consumer does not build:\n${out}${err}")
endif()
execute_process(COMMAND ${build}/consumer_host RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0 OR NOT out MATCHES "speed [0-9.]+ m/s")
  message(FATAL_ERROR "the consumer's host does not run (${result}):\n${out}${err}")
endif()
list(LENGTH targets count)
message(STATUS "consumer: ${count} targets of the tree, none a test, tool or benchmark; ${out}")
