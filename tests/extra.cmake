# test_file_limits starts the real program under a file-size limit.
if(TARGET test_file_limits)
  target_compile_definitions(test_file_limits PRIVATE KORVA_BINARY="$<TARGET_FILE:korva>")
  add_dependencies(test_file_limits korva)
endif()
