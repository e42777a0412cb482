# Web panel: the tick's cost with the panel serving ten clients, and the
# delay from a tick to the page in headless Chromium (plain timing harness).
add_executable(web_bench ${CMAKE_CURRENT_LIST_DIR}/web_bench.cpp)
target_link_libraries(web_bench PRIVATE korva_core)
target_compile_definitions(web_bench PRIVATE KORVA_WEB_LATENCY="${CMAKE_CURRENT_LIST_DIR}/web_latency.py")
