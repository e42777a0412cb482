# Monitoring view: tick cost (Google Benchmark) and idle processor share.
find_package(benchmark QUIET)
if(benchmark_FOUND)
  add_executable(view_tick_bench ${CMAKE_CURRENT_LIST_DIR}/view_tick_bench.cpp)
  target_link_libraries(view_tick_bench PRIVATE korva_core benchmark::benchmark)
endif()
add_executable(view_idle_bench ${CMAKE_CURRENT_LIST_DIR}/view_idle_bench.cpp)
target_link_libraries(view_idle_bench PRIVATE korva_core)
