# compare_dumps(REFERENCE CANDIDATE FAILURE): runs ${COMPARE} on two output dumps, exactly
# or within ${TOLERANCE} (and ${LOW_SPEED}), writes ${OUTPUT_DIR}/${NAME}.report.txt and
# .summary.txt, prints the report, and stops with FAILURE when the dumps disagree.
function(compare_dumps reference candidate failure)
  set(compare_args "${reference}" "${candidate}" --label "${NAME}")
  if(TOLERANCE)
    list(APPEND compare_args --tolerance "${TOLERANCE}")
    if(LOW_SPEED)
      list(APPEND compare_args --low-speed "${LOW_SPEED}")
    endif()
  endif()
  list(APPEND compare_args --summary "${OUTPUT_DIR}/${NAME}.summary.txt")
  file(REMOVE "${OUTPUT_DIR}/${NAME}.summary.txt")
  execute_process(COMMAND "${COMPARE}" ${compare_args}
                  OUTPUT_VARIABLE report ERROR_VARIABLE errors RESULT_VARIABLE status)
  file(WRITE "${OUTPUT_DIR}/${NAME}.report.txt" "${report}")
  message("${report}${errors}")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${failure}")
  endif()
endfunction()
