# Puts the playground together in one folder: the page (web/page), the module
# (corvanta.mjs, with its WebAssembly inside) and its declarations, and the example
# scenarios with their list (examples/index.json).  Static files only: any web server
# serves the folder, nothing is fetched from elsewhere.
#
#   cmake -DMODULE=.../corvanta.mjs -DSOURCE_DIR=<repository> -DOUTPUT_DIR=... -P StageSite.cmake
cmake_minimum_required(VERSION 3.16)
foreach(variable MODULE SOURCE_DIR OUTPUT_DIR)
  if(NOT ${variable})
    message(FATAL_ERROR "StageSite.cmake needs -D${variable}=...")
  endif()
endforeach()
if(NOT EXISTS "${MODULE}")
  message(FATAL_ERROR "the module ${MODULE} has not been built")
endif()
file(MAKE_DIRECTORY "${OUTPUT_DIR}/examples")
file(GLOB page_files "${SOURCE_DIR}/web/page/*")
file(COPY ${page_files} "${MODULE}" "${SOURCE_DIR}/web/src/corvanta.d.ts" DESTINATION "${OUTPUT_DIR}")
file(GLOB scenarios "${SOURCE_DIR}/examples/scenarios/*.json")
list(SORT scenarios)
set(index "[")
set(separator "")
foreach(scenario ${scenarios})
  get_filename_component(file "${scenario}" NAME)
  get_filename_component(stem "${scenario}" NAME_WE)
  file(COPY "${scenario}" DESTINATION "${OUTPUT_DIR}/examples")
  string(APPEND index "${separator}\n  {\"file\": \"${file}\", \"name\": \"${stem}\"}")
  set(separator ",")
endforeach()
string(APPEND index "\n]\n")
file(WRITE "${OUTPUT_DIR}/examples/index.json.tmp" "${index}")
file(RENAME "${OUTPUT_DIR}/examples/index.json.tmp" "${OUTPUT_DIR}/examples/index.json")
message(STATUS "playground in ${OUTPUT_DIR}")
