# Renders the whole demo twice in separate processes and checks that every frame came out
# and that both runs wrote the same bytes: cmake -P render_twice.cmake -DKAVEO=program
# -DWORK=directory -DFRAME_COUNT=n
foreach(run IN ITEMS first second)
  execute_process(COMMAND "${KAVEO}" render --output "${WORK}/${run}.cells"
                  RESULT_VARIABLE code ERROR_VARIABLE err)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "${run} render ended with ${code}: ${err}")
  endif()
  file(SIZE "${WORK}/${run}.cells" size)
  math(EXPR expected "${FRAME_COUNT} * 8000")
  if(NOT size EQUAL expected)
    message(FATAL_ERROR "${run} render wrote ${size} bytes, expected ${expected}")
  endif()
  file(SHA256 "${WORK}/${run}.cells" ${run}_sum)
  file(REMOVE "${WORK}/${run}.cells")
endforeach()
if(NOT first_sum STREQUAL second_sum)
  message(FATAL_ERROR "two renders of the demo differ")
endif()
