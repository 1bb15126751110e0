# The Debian packages, built by `cpack --config build/CPackConfig.cmake`:
#   tq-configurator   the programs, desktop entry, icons, metainfo and man pages
#   libtqserial-dev   the serial component: static libraries, headers, CMake and pkg-config files
# Both install into /usr. The programs' dependencies are computed from the binaries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tq-configurator)
set(CPACK_PACKAGE_VENDOR "Brenholt Group")
set(CPACK_PACKAGE_CONTACT "Brenholt Group <support@brenholtgroup.com>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL runtime devel)
set(CPACK_DEB_COMPONENT_INSTALL ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TQ_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME tq-configurator)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION electronics)
# The Qt plugins the window needs at run time are not linked, so they are named here.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "configurator for capacitive level sensors
Reads a Brenholt capacitive level sensor's working and calibration parameters
over a serial port, writes them back, runs the switched-on and switched-off
calibrations and keeps parameter sets in settings files. Includes a simulated
sensor for trying it out.")

set(CPACK_DEBIAN_DEVEL_PACKAGE_NAME libtqserial-dev)
set(CPACK_DEBIAN_DEVEL_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVEL_PACKAGE_DEPENDS "qt6-base-dev, libsimpleini-dev")
set(CPACK_COMPONENT_DEVEL_DESCRIPTION "serial-port component for Qt programs (development files)
A serial port object with every line setting, synchronous and asynchronous
reading and writing, line events on an event thread, settings persistence,
port enumeration and a port-selection combo box. Static libraries, headers,
a CMake package (TQSerial) and pkg-config files (tqserial, tqserial-widgets).")

# Debian wants a copyright file and a compressed changelog in each package's documentation folder.
set(TQ_DEBIAN_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.Debian.in ${PROJECT_BINARY_DIR}/packaging/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz
  COMMAND gzip -9nkf ${PROJECT_BINARY_DIR}/packaging/changelog.Debian
  DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.Debian)
add_custom_target(tq_debian_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz)
foreach(component runtime devel)
  string(TOUPPER ${component} upper)
  set(docdir ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz
    DESTINATION ${docdir} COMPONENT ${component})
endforeach()

include(CPack)
