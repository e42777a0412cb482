# Runs TOOL with ARGS (comma-separated) and fails unless it exits with
# EXIT_STATUS and its standard output plus standard error match EXPECT; with
# STDOUT given, standard output alone must also match that expression.
string(REPLACE "," ";" args "${ARGS}")
execute_process(COMMAND ${TOOL} ${args}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(all "${out}${err}")
if(NOT status STREQUAL EXIT_STATUS)
  message(FATAL_ERROR "exit status ${status}, expected ${EXIT_STATUS}; output:\n${all}")
endif()
if(NOT all MATCHES "${EXPECT}")
  message(FATAL_ERROR "output does not match '${EXPECT}':\n${all}")
endif()
if(DEFINED STDOUT AND NOT out MATCHES "${STDOUT}")
  message(FATAL_ERROR "standard output does not match '${STDOUT}':\n${out}")
endif()
message(STATUS "ok:\n${all}")
