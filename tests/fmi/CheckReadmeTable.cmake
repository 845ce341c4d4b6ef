# README.md must carry, between its fmu-variables markers, exactly the variable table that
# generate_fmu_files writes from fmi/FmuVariables.def.
#
#   cmake -DTABLE=build/fmi/generated/variables.md -DREADME=README.md -P CheckReadmeTable.cmake
cmake_minimum_required(VERSION 3.16)
file(READ "${TABLE}" table)
file(READ "${README}" readme)
set(begin "<!-- fmu-variables:begin -->\n")
set(end "<!-- fmu-variables:end -->")
string(FIND "${readme}" "${begin}" first)
string(FIND "${readme}" "${end}" last)
if(first EQUAL -1 OR last EQUAL -1)
  message(FATAL_ERROR "${README} lacks the fmu-variables markers")
endif()
string(LENGTH "${begin}" skip)
math(EXPR first "${first} + ${skip}")
math(EXPR length "${last} - ${first}")
string(SUBSTRING "${readme}" ${first} ${length} section)
if(NOT section STREQUAL table)
  message(FATAL_ERROR "the variable table of ${README} differs from the generated ${TABLE}; copy it over")
endif()
message(STATUS "README.md carries the generated variable table")
