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
  message(WARNING "libieee1284 not found: the parallel ports cannot be used")
endif()

# Kernel I2C adapters: the SMBus byte calls come from the i2c-tools library
# (Debian: libi2c-dev). Without it, adapters that offer only SMBus are refused.
find_path(I2C_SMBUS_INCLUDE_DIR i2c/smbus.h)
find_library(I2C_LIBRARY i2c)
if(I2C_SMBUS_INCLUDE_DIR AND I2C_LIBRARY)
  target_include_directories(korva_hw PRIVATE ${I2C_SMBUS_INCLUDE_DIR})
  target_compile_definitions(korva_hw PRIVATE KORVA_HAVE_LIBI2C)
  target_link_libraries(korva_hw PUBLIC ${I2C_LIBRARY})
  message(STATUS "libi2c: ${I2C_LIBRARY}")
else()
  message(STATUS "libi2c not found: SMBus-only I2C adapters cannot be used")
endif()
