# libFuzzer target for the ".sav" loader; included when KORVA_FUZZ is on and
# the compiler is clang. The document and the archive are compiled into the
# target with coverage so the fuzzer can steer through them; the rest of the
# framework comes from korva_core, built by the same clang.

if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "KORVA_FUZZ needs clang (configure with CXX=clang++)")
endif()

add_executable(fuzz_sav
  ${CMAKE_CURRENT_LIST_DIR}/fuzz_sav.cpp
  ${CMAKE_SOURCE_DIR}/doc/VelkorDoc.cpp
  ${CMAKE_SOURCE_DIR}/framework/Archive.cpp)
target_include_directories(fuzz_sav PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(fuzz_sav PRIVATE -fsanitize=fuzzer,address,undefined
  -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g)
target_link_options(fuzz_sav PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_sav PRIVATE korva_core)
