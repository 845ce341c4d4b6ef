# Installs the build into a scratch prefix, checks what lands there, runs the installed
# corvanta-sim, and builds and runs examples/c/minimal_host.c against the installed package
# twice: as a CMake consumer (find_package(Corvanta)) and with pkg-config.  All three hosts
# must print what the host built in the tree prints.
#
#   cmake -DBUILD_DIR=... -DCONFIG=... -DSOURCE_DIR=... -DWORK_DIR=... -DC_COMPILER=...
#         -DIN_TREE_HOST=... -P InstallPackageTest.cmake
cmake_minimum_required(VERSION 3.16)

foreach(variable BUILD_DIR SOURCE_DIR WORK_DIR C_COMPILER IN_TREE_HOST)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "${variable} is not set")
  endif()
endforeach()

# run(COMMAND ... [OUTPUT variable]): runs a command and stops the test when it fails.
function(run)
  cmake_parse_arguments(RUN "" "OUTPUT" "COMMAND" ${ARGN})
  execute_process(COMMAND ${RUN_COMMAND} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " line "${RUN_COMMAND}")
    message(FATAL_ERROR "failed (${status}): ${line}\n${out}\n${err}")
  endif()
  if(RUN_OUTPUT)
    set(${RUN_OUTPUT} "${out}" PARENT_SCOPE)
  endif()
endfunction()

function(expect_equal what expected actual)
  if(NOT "${expected}" STREQUAL "${actual}")
    message(FATAL_ERROR "${what}:\n  expected: ${expected}\n  actual:   ${actual}")
  endif()
endfunction()

# The files directly in a folder of the prefix, sorted.
function(files_in folder result)
  file(GLOB found LIST_DIRECTORIES false RELATIVE ${prefix}/${folder} ${prefix}/${folder}/*)
  list(SORT found)
  set(${result} "${found}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
set(config_option)
if(CONFIG)
  set(config_option --config ${CONFIG})
endif()
run(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} ${config_option})

# Only the model library, the vehicle library (parameter sets, signals, states), the
# scenario engine (with its standard tests), their headers and the runner, plus the two package descriptions.
files_in(bin bin_files)
expect_equal("installed programs" "corvanta-sim" "${bin_files}")
files_in(include include_files)
expect_equal("installed headers" "corvanta.h;corvanta_engine.h;corvanta_signal_list.def;corvanta_standard_tests.h;corvanta_sweep.h;corvanta_vehicle.h" "${include_files}")
files_in(lib lib_files)
expect_equal("installed libraries"
  "libcorvanta.so;libcorvanta.so.1;libcorvanta.so.1.0.0;libcorvanta_engine.so;libcorvanta_engine.so.1;libcorvanta_engine.so.1.0.0;libcorvanta_vehicle.so;libcorvanta_vehicle.so.1;libcorvanta_vehicle.so.1.0.0"
  "${lib_files}")
files_in(lib/pkgconfig pkgconfig_files)
expect_equal("pkg-config files" "corvanta.pc" "${pkgconfig_files}")
foreach(name CorvantaConfig.cmake CorvantaConfigVersion.cmake CorvantaTargets.cmake)
  if(NOT EXISTS ${prefix}/lib/cmake/Corvanta/${name})
    message(FATAL_ERROR "lib/cmake/Corvanta/${name} is not installed")
  endif()
endforeach()
run(COMMAND ${CMAKE_COMMAND} -E compare_files ${SOURCE_DIR}/capi/corvanta.h ${prefix}/include/corvanta.h)

# The installed runner finds the installed vehicle library (the built-in car and the
# parameter sets) in ../lib, and its RPATH lets the system loader find it there too.
set(scenario ${SOURCE_DIR}/examples/scenarios/full-throttle-start.json)
run(COMMAND ${prefix}/bin/corvanta-sim ${scenario} --duration 0.01 OUTPUT summary)
get_filename_component(real_prefix ${prefix} REALPATH)
string(FIND "${summary}" "library     ${real_prefix}/lib/libcorvanta_vehicle.so.1\n" found)
if(found EQUAL -1)
  message(FATAL_ERROR "the installed corvanta-sim did not load ${real_prefix}/lib/libcorvanta_vehicle.so.1:\n${summary}")
endif()
run(COMMAND ${prefix}/bin/corvanta-sim ${scenario} --duration 0.01 --quiet --lib libcorvanta.so.1)
# The standard tests come with the installed engine library.
run(COMMAND ${prefix}/bin/corvanta-sim test braking --speed 2 -q -o ${WORK_DIR}/braking)
if(NOT EXISTS ${WORK_DIR}/braking/metrics.json)
  message(FATAL_ERROR "the installed corvanta-sim test braking wrote no metrics.json")
endif()

run(COMMAND ${IN_TREE_HOST} OUTPUT expected_output)
if(NOT expected_output MATCHES "^Corvanta 1\\.0\\.0, 1\\.0 s at full throttle: speed [0-9]")
  message(FATAL_ERROR "unexpected output of the minimal host: ${expected_output}")
endif()

# A CMake consumer: find_package(Corvanta) from the prefix only.
set(cmake_host ${WORK_DIR}/cmake-host)
run(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/c -B ${cmake_host}
        -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
        -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_BUILD_TYPE=Release)
file(STRINGS ${cmake_host}/CMakeCache.txt package_dir REGEX "^Corvanta_DIR:")
expect_equal("package found" "Corvanta_DIR:PATH=${prefix}/lib/cmake/Corvanta" "${package_dir}")
run(COMMAND ${CMAKE_COMMAND} --build ${cmake_host})
run(COMMAND ${cmake_host}/minimal_host OUTPUT cmake_output)
expect_equal("output of the host built with find_package" "${expected_output}" "${cmake_output}")

# A plain compiler line from pkg-config.
set(pkg_env ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${prefix}/lib/pkgconfig)
run(COMMAND ${pkg_env} pkg-config --modversion corvanta OUTPUT pc_version)
string(STRIP "${pc_version}" pc_version)
expect_equal("pkg-config version" "1.0.0" "${pc_version}")
run(COMMAND ${pkg_env} pkg-config --cflags --libs corvanta OUTPUT pc_flags)
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
run(COMMAND ${C_COMPILER} -std=c99 -Wall -Wextra -Werror ${SOURCE_DIR}/examples/c/minimal_host.c ${pc_flags}
        -o ${WORK_DIR}/pkgconfig-host)
run(COMMAND ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${prefix}/lib ${WORK_DIR}/pkgconfig-host OUTPUT pc_output)
expect_equal("output of the host built with pkg-config" "${expected_output}" "${pc_output}")

file(REMOVE_RECURSE ${WORK_DIR})
