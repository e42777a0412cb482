# Real hardware mode: bus transactions per sweep and the tick's cost with the
# worker running (plain timing harness).
add_executable(hwlink_bench ${CMAKE_CURRENT_LIST_DIR}/hwlink_bench.cpp)
target_link_libraries(hwlink_bench PRIVATE korva_core)
