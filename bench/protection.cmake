# Protection in hardware mode: short to output off on the simulated board with
# bus timing, window thread idle and blocked; the bus thread's processor share.
add_executable(protection_bench ${CMAKE_CURRENT_LIST_DIR}/protection_bench.cpp)
target_link_libraries(protection_bench PRIVATE korva_core)
