# Packages one FMU: a zip with modelDescription.xml at its root, the binaries under
# binaries/PLATFORM/Corvanta.(so|dll) and documentation/index.html.  Written under a
# temporary name and renamed, so the FMU is complete or absent.
#
#   cmake -DFMU=... -DSTAGING=... -DMODEL_DESCRIPTION=... -DDOCUMENTATION=...
#         -DLINUX_BINARY=... -DLINUX_PLATFORM=linux64|x86_64-linux
#         [-DWINDOWS_BINARY=... -DWINDOWS_PLATFORM=win64|x86_64-windows] -P PackageFmu.cmake
cmake_minimum_required(VERSION 3.16)
foreach(required FMU STAGING MODEL_DESCRIPTION DOCUMENTATION LINUX_BINARY LINUX_PLATFORM)
  if(NOT ${required})
    message(FATAL_ERROR "PackageFmu.cmake: ${required} is required")
  endif()
endforeach()
file(REMOVE_RECURSE "${STAGING}")
file(MAKE_DIRECTORY "${STAGING}/binaries/${LINUX_PLATFORM}" "${STAGING}/documentation")
configure_file("${MODEL_DESCRIPTION}" "${STAGING}/modelDescription.xml" COPYONLY)
configure_file("${DOCUMENTATION}" "${STAGING}/documentation/index.html" COPYONLY)
configure_file("${LINUX_BINARY}" "${STAGING}/binaries/${LINUX_PLATFORM}/Corvanta.so" COPYONLY)
set(entries modelDescription.xml binaries documentation)
if(WINDOWS_BINARY)
  file(MAKE_DIRECTORY "${STAGING}/binaries/${WINDOWS_PLATFORM}")
  configure_file("${WINDOWS_BINARY}" "${STAGING}/binaries/${WINDOWS_PLATFORM}/Corvanta.dll" COPYONLY)
endif()
get_filename_component(fmu_directory "${FMU}" DIRECTORY)
file(MAKE_DIRECTORY "${fmu_directory}")
set(temporary "${FMU}.tmp")
file(REMOVE "${temporary}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${temporary}" --format=zip ${entries}
                WORKING_DIRECTORY "${STAGING}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE "${temporary}")
  message(FATAL_ERROR "packaging ${FMU} failed (${status})")
endif()
file(RENAME "${temporary}" "${FMU}")
file(SIZE "${FMU}" size)
message(STATUS "${FMU}: ${size} bytes")
