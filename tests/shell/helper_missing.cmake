# kaveo without kaveo-capture beside it (or installed) says so: a copy of it alone in
# WORK runs COMMAND (arguments separated by "|") and must exit with 1, naming the program.
#   cmake -DKAVEO=file -DWORK=folder -DCOMMAND=words -DNAMED=kaveo-capture -P helper_missing.cmake
file(REMOVE_RECURSE ${WORK})
file(COPY ${KAVEO} DESTINATION ${WORK})
get_filename_component(name ${KAVEO} NAME)
string(REPLACE "|" ";" arguments "${COMMAND}")
execute_process(COMMAND ${WORK}/${name} ${arguments} RESULT_VARIABLE code ERROR_VARIABLE err)
file(REMOVE_RECURSE ${WORK})
if(NOT code EQUAL 1 OR NOT err MATCHES "cannot run .*${NAMED}: No such file")
  message(FATAL_ERROR "exit ${code}, expected 1 naming ${NAMED}: ${err}")
endif()
