# hw/ is plain C++: no moc.
set_target_properties(korva_hw PROPERTIES AUTOMOC OFF)

# The real parallel-port backend uses libieee1284 (Debian: libieee1284-3-dev),
# which ships neither a pkg-config nor a CMake file. Without it the layer
# still builds, and every port claim fails ("EPP-Port in use").
find_path(IEEE1284_INCLUDE_DIR ieee1284.h)
find_library(IEEE1284_LIBRARY ieee1284)
if(IEEE1284_INCLUDE_DIR AND IEEE1284_LIBRARY)
  target_include_directories(korva_hw PRIVATE ${IEEE1284_INCLUDE_DIR})
  target_compile_definitions(korva_hw PRIVATE KORVA_HAVE_LIBIEEE1284)
  target_link_libraries(korva_hw PUBLIC ${IEEE1284_LIBRARY})
  message(STATUS "libieee1284: ${IEEE1284_LIBRARY}")
else()
  message(STATUS "libieee1284 not found: the parallel ports cannot be used")
endif()
