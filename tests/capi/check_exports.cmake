# Fails unless the shared library exports exactly the seven C functions.
#   cmake -DNM=nm -DLIBRARY=libcorvanta.so -P check_exports.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/DynamicExports.cmake)
corvanta_dynamic_exports("${NM}" "${LIBRARY}" exported)
set(expected CreateVehicleModel DeleteVehicleModel GetOutputs Initialize SetInputs Step Terminate)
if(NOT exported STREQUAL expected)
  message(FATAL_ERROR "exports are [${exported}], expected [${expected}]")
endif()
message(STATUS "exports: ${exported}")
