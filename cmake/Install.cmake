# What `cmake --install` puts where: the programs, their desktop data and man pages, and the
# serial component as a library with its headers, CMake package and pkg-config files.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)
# Libraries, pkg-config and CMake files in the multiarch folder (lib/x86_64-linux-gnu) where the
# system has one, for the package's /usr as for /usr/local, whose multiarch folder is searched too.
option(TQ_MULTIARCH_LIBDIR "Install libraries into lib/<multiarch>" ON)
if(TQ_MULTIARCH_LIBDIR AND CMAKE_LIBRARY_ARCHITECTURE)
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE})
endif()

# Programs -----------------------------------------------------------------------------------
set(TQ_PROGRAMS tq-configurator tq-sensor-sim)
if(TARGET tq-sensor)
  list(APPEND TQ_PROGRAMS tq-sensor)
endif()
install(TARGETS ${TQ_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)

# The serial component as a library --------------------------------------------------------
# Public are the headers of serial/, serial/store/ and serial/widgets/; a private header's name
# ends in _p.h, and the backend folders (serial/unix/, ...) never leave the source tree.
# The file sets' base is the layer's include root, so they add no other include path.
tq_layer_root(serial TQ_SERIAL_ROOT)
function(tq_public_headers out)
  file(GLOB headers RELATIVE ${TQ_SERIAL_ROOT} ${ARGN})
  list(FILTER headers EXCLUDE REGEX "_p\\.h$")
  list(TRANSFORM headers PREPEND ${TQ_SERIAL_ROOT}/)
  set(${out} ${headers} PARENT_SCOPE)
endfunction()
tq_public_headers(TQ_SERIAL_HEADERS ${TQ_SERIAL_ROOT}/serial/*.h ${TQ_SERIAL_ROOT}/serial/store/*.h)
tq_public_headers(TQ_SERIAL_WIDGETS_HEADERS ${TQ_SERIAL_ROOT}/serial/widgets/*.h)

set(TQ_SERIAL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/tqserial)
target_sources(tq_serial PUBLIC FILE_SET HEADERS BASE_DIRS ${TQ_SERIAL_ROOT} FILES ${TQ_SERIAL_HEADERS})
target_sources(tq_serial_widgets PUBLIC FILE_SET HEADERS BASE_DIRS ${TQ_SERIAL_ROOT} FILES ${TQ_SERIAL_WIDGETS_HEADERS})
# The same headers under their source paths are the ones moc reads.
set_source_files_properties(${TQ_SERIAL_HEADERS} TARGET_DIRECTORY tq_serial PROPERTIES SKIP_AUTOMOC ON)
set_source_files_properties(${TQ_SERIAL_WIDGETS_HEADERS} TARGET_DIRECTORY tq_serial_widgets PROPERTIES SKIP_AUTOMOC ON)
# Position-independent, so that users may link it into shared libraries and plugins too.
set_target_properties(tq_serial PROPERTIES EXPORT_NAME Serial POSITION_INDEPENDENT_CODE ON)
set_target_properties(tq_serial_widgets PROPERTIES EXPORT_NAME Widgets POSITION_INDEPENDENT_CODE ON)
# The names users see, available inside this build too (the example uses them).
add_library(TQSerial::Serial ALIAS tq_serial)
add_library(TQSerial::Widgets ALIAS tq_serial_widgets)

# Two export sets, so that users of the serial part alone never need Qt Widgets.
install(TARGETS tq_serial EXPORT TQSerialTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT devel
  FILE_SET HEADERS DESTINATION ${TQ_SERIAL_INCLUDEDIR} COMPONENT devel)
install(TARGETS tq_serial_widgets EXPORT TQSerialWidgetsTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT devel
  FILE_SET HEADERS DESTINATION ${TQ_SERIAL_INCLUDEDIR} COMPONENT devel)
set(TQ_SERIAL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/TQSerial)
foreach(set TQSerialTargets TQSerialWidgetsTargets)
  install(EXPORT ${set} NAMESPACE TQSerial:: DESTINATION ${TQ_SERIAL_CMAKEDIR} COMPONENT devel)
endforeach()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/FindSimpleIni.cmake DESTINATION ${TQ_SERIAL_CMAKEDIR} COMPONENT devel)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/TQSerialConfig.cmake.in
  ${PROJECT_BINARY_DIR}/TQSerialConfig.cmake INSTALL_DESTINATION ${TQ_SERIAL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/TQSerialConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/TQSerialConfig.cmake ${PROJECT_BINARY_DIR}/TQSerialConfigVersion.cmake
  DESTINATION ${TQ_SERIAL_CMAKEDIR} COMPONENT devel)

# pkg-config files find the tree relative to themselves, so a staged install works as well.
set(TQ_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH TQ_PC_TO_PREFIX /${TQ_PKGCONFIGDIR} /)
string(REGEX REPLACE "/$" "" TQ_PC_TO_PREFIX "${TQ_PC_TO_PREFIX}")
foreach(pc tqserial tqserial-widgets)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${pc}.pc.in ${PROJECT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${pc}.pc DESTINATION ${TQ_PKGCONFIGDIR} COMPONENT devel)
endforeach()

# Desktop entry, metainfo, icons, man pages; the example; the checks of all of it.
add_subdirectory(${PROJECT_SOURCE_DIR}/data ${PROJECT_BINARY_DIR}/data)
add_subdirectory(${PROJECT_SOURCE_DIR}/examples/echo-line ${PROJECT_BINARY_DIR}/examples/echo-line)
add_subdirectory(${PROJECT_SOURCE_DIR}/packaging ${PROJECT_BINARY_DIR}/packaging)

# `cmake --build build --target uninstall` takes back the last install from this build.
add_custom_target(uninstall
  COMMAND ${CMAKE_COMMAND} -DMANIFEST=${PROJECT_BINARY_DIR}/install_manifest.txt -DPREFIX=${CMAKE_INSTALL_PREFIX}
          -DARCH=${CMAKE_LIBRARY_ARCHITECTURE} -P ${CMAKE_CURRENT_LIST_DIR}/Uninstall.cmake
  COMMENT "Removing the installed files")
