# MQTT: tick cost with the station connected, cutoff-to-event latency and the
# message rate, against a Mosquitto broker the benchmark starts on loopback.
add_executable(mqtt_bench ${CMAKE_CURRENT_LIST_DIR}/mqtt_bench.cpp)
target_link_libraries(mqtt_bench PRIVATE korva_core)
target_include_directories(mqtt_bench PRIVATE ${CMAKE_SOURCE_DIR})
