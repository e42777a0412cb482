# What the Debian package holds beyond the programs, and the package itself:
# cmake --build build --target package gives korva_<version>-1_<arch>.deb.

include(GNUInstallDirs)

# Manual pages and the Debian changelog go in compressed the way lintian
# expects (gzip -9n: no name, no time stamp).
set(_gz_files)
foreach(src res/man/korva.1 res/man/korva-i2c.1 res/debian/changelog)
  get_filename_component(_name ${src} NAME)
  if(_name STREQUAL "changelog")
    set(_name changelog.Debian)
  endif()
  set(_out ${CMAKE_CURRENT_BINARY_DIR}/packaging/${_name}.gz)
  add_custom_command(OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
    COMMAND gzip -9n -c ${CMAKE_CURRENT_SOURCE_DIR}/${src} > ${_out}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${src} VERBATIM)
  list(APPEND _gz_files ${_out})
endforeach()
add_custom_target(korva_packaging_files ALL DEPENDS ${_gz_files})

install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/korva.1.gz
              ${CMAKE_CURRENT_BINARY_DIR}/packaging/korva-i2c.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES res/debian/copyright ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.Debian.gz
              README.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/korva)
install(FILES res/de.kalvento.korva.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The user unit names the program by its installed path, which for the
# package is /usr/bin and for "cmake --install" the chosen prefix: it is
# written at install time, when that prefix is known.
install(CODE "
  file(READ \"${CMAKE_CURRENT_SOURCE_DIR}/res/korva.service.in\" _unit)
  string(REPLACE \"@KORVA_BIN@\" \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/korva\" _unit \"\${_unit}\")
  file(WRITE \"${CMAKE_CURRENT_BINARY_DIR}/packaging/korva.service\" \"\${_unit}\")
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/user\" TYPE FILE
       PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
       FILES \"${CMAKE_CURRENT_BINARY_DIR}/packaging/korva.service\")
")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korva)
set(CPACK_PACKAGE_VENDOR "Kalvento GmbH")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "monitor and switch the 16 booster outputs of a model railway")
# CPack puts the summary in front as the synopsis line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "KORVA_Powermanagement shows the current of the 16 booster outputs of a model
railway layout as bars and numbers, switches them one by one or all together,
and cuts an output off as soon as its current reaches its cutoff limit. It
keeps peak values, energy counters, an event journal and a history.
.
The package also holds korva-i2c, a tool for the I2C bus behind an EPP
parallel port or a kernel I2C adapter, and a systemd user unit that runs the
monitoring without a window.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Kalvento GmbH <korva@kalvento.de>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Dependencies come from the libraries the programs link; the forms are laid
# out in Arial, whose widths the Liberation fonts have. CPack adds the
# libraries' dependencies to this one.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2 | fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own dialogs and buttons in German; the alarm's sounds and their way
# to the desktop's sound server.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-translations-l10n, sound-theme-freedesktop, libcanberra-pulse")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
