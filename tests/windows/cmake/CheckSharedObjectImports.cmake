# Checks which maths functions of a Linux shared library the dynamic loader binds: those
# the library takes from another library (undefined) and those it exports (which the
# loader binds to the first definition in the process, usually libm's).
#
#   cmake -DNM=... -DLIBRARY=... -DFUNCTIONS=sin;cos;... -DEXPECT=absent|present
#         -P CheckSharedObjectImports.cmake
# absent: none of FUNCTIONS is a dynamic symbol of LIBRARY, defined or undefined;
# present: at least one is.
cmake_minimum_required(VERSION 3.16)
execute_process(COMMAND "${NM}" -D "${LIBRARY}"
                RESULT_VARIABLE status OUTPUT_VARIABLE dump ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} -D ${LIBRARY} failed (${status}): ${errors}")
endif()
string(REGEX REPLACE "\r?\n" ";" lines "${dump}")
set(found)
foreach(line IN LISTS lines)
  # "                 U sin@GLIBC_2.2.5" or "0000000000001234 T sin"
  if(line MATCHES "^[0-9a-fA-F]*[ \t]+[A-Za-z][ \t]+([A-Za-z_][A-Za-z0-9_]*)(@.*)?$")
    if(CMAKE_MATCH_1 IN_LIST FUNCTIONS)
      list(APPEND found ${CMAKE_MATCH_1})
    endif()
  endif()
endforeach()
get_filename_component(name "${LIBRARY}" NAME)
list(JOIN found " " text)
message(STATUS "${name} leaves to the dynamic loader: ${text}")
if(EXPECT STREQUAL "absent" AND found)
  message(FATAL_ERROR "${name} must define these itself, not exported: ${text}")
elseif(EXPECT STREQUAL "present" AND NOT found)
  message(FATAL_ERROR "${name} takes none of ${FUNCTIONS} from another library")
endif()
