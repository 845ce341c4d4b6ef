# Validates a model description against the FMI schema with xmllint; skipped, with the reason,
# when the schemas (../shared/fmi-schema next to the source tree) or xmllint are absent.
#
#   cmake -DXMLLINT=... -DSCHEMA=... -DMODEL_DESCRIPTION=... -P ValidateModelDescription.cmake
cmake_minimum_required(VERSION 3.16)
if(NOT EXISTS "${SCHEMA}")
  message("SKIPPED: the FMI schema ${SCHEMA} is not there (it lives in ../shared/fmi-schema beside the "
          "source tree); the model description was not validated")
  return()
endif()
if(NOT XMLLINT)
  message("SKIPPED: xmllint not found (Debian package libxml2-utils); the model description was not validated")
  return()
endif()
execute_process(COMMAND "${XMLLINT}" --noout --schema "${SCHEMA}" "${MODEL_DESCRIPTION}"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${MODEL_DESCRIPTION} does not validate against ${SCHEMA}:\n${out}${err}")
endif()
message(STATUS "${err}")
