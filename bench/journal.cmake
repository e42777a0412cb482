# Journal and history: the measurement tick with and without the module listening.
find_package(benchmark QUIET)
if(benchmark_FOUND)
  add_executable(journal_tick_bench ${CMAKE_CURRENT_LIST_DIR}/journal_tick_bench.cpp)
  target_link_libraries(journal_tick_bench PRIVATE korva_core benchmark::benchmark)
endif()
