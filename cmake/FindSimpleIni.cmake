# Finds the SimpleIni library and gives it as the imported target SimpleIni::SimpleIni, so
# that nothing that links it records where it was found on the build machine.
include(FindPackageHandleStandardArgs)
if(WIN32)
  # The cross build uses Debian's header alone, copied into a folder of its own away from the
  # host's other headers; the header keeps its template bodies behind SI_IMPLEMENTATION.
  find_file(SimpleIni_HEADER SimpleIni.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH)
  find_package_handle_standard_args(SimpleIni REQUIRED_VARS SimpleIni_HEADER)
  if(SimpleIni_FOUND AND NOT TARGET SimpleIni::SimpleIni)
    file(COPY ${SimpleIni_HEADER} DESTINATION ${CMAKE_BINARY_DIR}/simpleini)
    add_library(SimpleIni::SimpleIni INTERFACE IMPORTED)
    set_target_properties(SimpleIni::SimpleIni PROPERTIES
      INTERFACE_INCLUDE_DIRECTORIES "${CMAKE_BINARY_DIR}/simpleini"
      INTERFACE_COMPILE_DEFINITIONS SI_IMPLEMENTATION)
  endif()
  mark_as_advanced(SimpleIni_HEADER)
  return()
endif()
find_path(SimpleIni_INCLUDE_DIR SimpleIni.h)
find_library(SimpleIni_LIBRARY simpleini)
find_package_handle_standard_args(SimpleIni REQUIRED_VARS SimpleIni_LIBRARY SimpleIni_INCLUDE_DIR)
if(SimpleIni_FOUND AND NOT TARGET SimpleIni::SimpleIni)
  add_library(SimpleIni::SimpleIni UNKNOWN IMPORTED)
  set_target_properties(SimpleIni::SimpleIni PROPERTIES
    IMPORTED_LOCATION "${SimpleIni_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${SimpleIni_INCLUDE_DIR}")
endif()
mark_as_advanced(SimpleIni_INCLUDE_DIR SimpleIni_LIBRARY)
