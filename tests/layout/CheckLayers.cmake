# The layers of the source tree, lowest first; a source includes its own layer and the layers
# below it, never one above:
#
#   1 runtime/                numerics
#   2 model/                  class Corvanta
#   3 capi/, vehicle/         the seven C functions; parameter sets, signals and state
#   4 engine/                 scenarios, runs, sweeps, the standard tests
#   5 fmi/, tools/, python/   hosts
#
# and every include of a project header names its path from the source root
# ("runtime/Lookup.h", not "Lookup.h"), in the layers above and in tests/, bench/ and fuzz/.
# The public headers (installed side by side in one include folder) include each other by
# name alone.
#
#   cmake -DROOT=SOURCE_DIR -P CheckLayers.cmake
cmake_minimum_required(VERSION 3.16)

set(layer_runtime 1)
set(layer_model 2)
set(layer_capi 3)
set(layer_vehicle 3)
set(layer_engine 4)
set(layer_fmi 5)
set(layer_tools 5)
set(layer_python 5)
set(layered runtime model capi vehicle engine fmi tools python)
# Folders whose sources may reach every layer (they test or measure them) but still include
# by path from the root.
set(unlayered tests bench fuzz)

# The installed public headers.
set(public_headers capi/corvanta.h engine/corvanta_engine.h engine/sweep/corvanta_sweep.h
    engine/testsuite/corvanta_standard_tests.h vehicle/corvanta_vehicle.h vehicle/corvanta_signal_list.def)
# Includes that cross the layers upwards on purpose: "INCLUDER|INCLUDED".
set(allowed
    # The input and output records and the step size are published in the public header; the
    # model computes on those records and steps by that step.
    "model/*|capi/corvanta.h"
    # The "did you mean" helper is shared at source level: the vehicle library compiles it
    # and does not link the engine.
    "vehicle/*|engine/messages/NameSuggestion.h")

file(GLOB_RECURSE project_headers RELATIVE "${ROOT}" "${ROOT}/*.h" "${ROOT}/*.hpp" "${ROOT}/*.def" "${ROOT}/*.inc")
list(FILTER project_headers EXCLUDE REGEX "^(build[^/]*|\\.[^/]*|examples|tests/data|shared)/")
set(project_names "")
foreach(header IN LISTS project_headers)
  get_filename_component(name "${header}" NAME)
  list(APPEND project_names "${name}")
endforeach()
if(NOT project_headers)
  message(FATAL_ERROR "no project headers found under ${ROOT}")
endif()

set(upward "")
set(bare "")
set(scanned 0)
foreach(folder IN LISTS layered unlayered)
  file(GLOB_RECURSE sources RELATIVE "${ROOT}" "${ROOT}/${folder}/*.c" "${ROOT}/${folder}/*.cc" "${ROOT}/${folder}/*.cpp"
       "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.hpp" "${ROOT}/${folder}/*.inc" "${ROOT}/${folder}/*.def")
  list(FILTER sources EXCLUDE REGEX "^tests/data/")
  foreach(source IN LISTS sources)
    math(EXPR scanned "${scanned} + 1")
    list(FIND public_headers "${source}" source_is_public)
    file(STRINGS "${ROOT}/${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS lines)
      if(NOT line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
        continue()
      endif()
      set(included "${CMAKE_MATCH_1}")
      if(EXISTS "${ROOT}/${included}" AND NOT IS_DIRECTORY "${ROOT}/${included}" AND included MATCHES "/")
        # A path from the root: check the layers.
        string(REGEX MATCH "^[^/]+" to_folder "${included}")
        if(DEFINED layer_${folder} AND DEFINED layer_${to_folder} AND layer_${to_folder} GREATER layer_${folder})
          set(excused FALSE)
          foreach(pair IN LISTS allowed)
            string(REPLACE "|" ";" pair "${pair}")
            list(GET pair 0 from_pattern)
            list(GET pair 1 to_pattern)
            string(REPLACE "*" ".*" from_pattern "^${from_pattern}$")
            string(REPLACE "*" ".*" to_pattern "^${to_pattern}$")
            if(source MATCHES "${from_pattern}" AND included MATCHES "${to_pattern}")
              set(excused TRUE)
            endif()
          endforeach()
          if(NOT excused)
            string(APPEND upward "\n  ${source} (${folder}, layer ${layer_${folder}}): ${line}")
          endif()
        endif()
      else()
        # Not a path from the root: a project header named otherwise is an offence, except a
        # public header naming another public header.
        get_filename_component(name "${included}" NAME)
        list(FIND project_names "${name}" is_project)
        if(is_project EQUAL -1)
          continue()
        endif()
        set(public_pair FALSE)
        if(NOT source_is_public EQUAL -1 AND NOT included MATCHES "/")
          foreach(public IN LISTS public_headers)
            get_filename_component(public_name "${public}" NAME)
            if(public_name STREQUAL included)
              set(public_pair TRUE)
            endif()
          endforeach()
        endif()
        if(NOT public_pair)
          string(APPEND bare "\n  ${source}: ${line}")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(upward OR bare)
  set(message "")
  if(upward)
    string(APPEND message "sources include a higher layer (runtime < model < capi, vehicle < engine < fmi, tools, python):${upward}\n")
  endif()
  if(bare)
    string(APPEND message "project headers included without their path from the source root:${bare}\n")
  endif()
  message(FATAL_ERROR "${message}")
endif()
message(STATUS "${scanned} sources: every project include names its path from the root, none reaches a higher layer")
