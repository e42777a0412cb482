# The alarm: tick cost with sounds and notifications on, and the time from a
# cutoff tick to its sound and to its notification, against a PulseAudio and
# a private D-Bus session the benchmark starts (uses the tests' helpers).
if(TARGET korva_testhelpers)
  add_executable(alarm_bench ${CMAKE_CURRENT_LIST_DIR}/alarm_bench.cpp)
  target_link_libraries(alarm_bench PRIVATE korva_testhelpers)
endif()
