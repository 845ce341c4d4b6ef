# CheckLayers.cmake on small trees made here: a clean tree passes; an upward include, a bare
# include and a public header reaching a private one each fail with the offence named.
#
#   cmake -DCHECK=CheckLayers.cmake -DWORK=SCRATCH_DIR -P CheckLayersSelfTest.cmake
cmake_minimum_required(VERSION 3.16)

function(make_tree root)
  file(REMOVE_RECURSE "${root}")
  file(WRITE "${root}/runtime/Lookup.h" "#pragma once\n")
  file(WRITE "${root}/model/Records.h" "#pragma once\n#include \"capi/corvanta.h\"\n#include \"runtime/Lookup.h\"\n")
  file(WRITE "${root}/capi/corvanta.h" "#pragma once\n")
  file(WRITE "${root}/engine/corvanta_engine.h" "#pragma once\n#include \"corvanta.h\"\n")
  file(WRITE "${root}/engine/running/Runner.h" "#pragma once\n#include \"engine/corvanta_engine.h\"\n")
  file(WRITE "${root}/tools/sim/main.cpp" "#include \"engine/running/Runner.h\"\n#include <vector>\n")
endfunction()

# run_check(NAME ROOT EXPECTED_RESULT EXPECTED_TEXT)
function(run_check name root expect_fail text)
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${root} -P ${CHECK} RESULT_VARIABLE result OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  if(expect_fail AND result EQUAL 0)
    message(FATAL_ERROR "${name}: the check passed a tree it must refuse:\n${out}${err}")
  endif()
  if(NOT expect_fail AND NOT result EQUAL 0)
    message(FATAL_ERROR "${name}: the check refused a clean tree:\n${out}${err}")
  endif()
  string(FIND "${out}${err}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${name}: the report lacks \"${text}\":\n${out}${err}")
  endif()
  message(STATUS "${name}: as expected")
endfunction()

set(root "${WORK}/clean")
make_tree("${root}")
run_check(clean "${root}" FALSE "none reaches a higher layer")

set(root "${WORK}/upward")
make_tree("${root}")
file(WRITE "${root}/runtime/Ode4.h" "#pragma once\n#include \"model/Records.h\"\n")
run_check(upward "${root}" TRUE "runtime/Ode4.h (runtime, layer 1): #include \"model/Records.h\"")

set(root "${WORK}/model_to_engine")
make_tree("${root}")
file(WRITE "${root}/model/Corvanta.cpp" "#include \"engine/running/Runner.h\"\n")
run_check(model_to_engine "${root}" TRUE "model/Corvanta.cpp (model, layer 2)")

set(root "${WORK}/bare")
make_tree("${root}")
file(WRITE "${root}/engine/running/Runner.cpp" "#include \"Runner.h\"\n")
run_check(bare "${root}" TRUE "engine/running/Runner.cpp: #include \"Runner.h\"")

set(root "${WORK}/partial_path")
make_tree("${root}")
file(WRITE "${root}/tools/sim/Other.cpp" "#include \"running/Runner.h\"\n")
run_check(partial_path "${root}" TRUE "tools/sim/Other.cpp: #include \"running/Runner.h\"")

set(root "${WORK}/public_to_private")
make_tree("${root}")
file(WRITE "${root}/engine/corvanta_engine.h" "#pragma once\n#include \"Runner.h\"\n")
run_check(public_to_private "${root}" TRUE "engine/corvanta_engine.h: #include \"Runner.h\"")
