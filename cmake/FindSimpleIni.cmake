# Finds the SimpleIni library and gives it as the imported target SimpleIni::SimpleIni, so
# that nothing that links it records where it was found on the build machine.
find_path(SimpleIni_INCLUDE_DIR SimpleIni.h)
find_library(SimpleIni_LIBRARY simpleini)
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(SimpleIni REQUIRED_VARS SimpleIni_LIBRARY SimpleIni_INCLUDE_DIR)
if(SimpleIni_FOUND AND NOT TARGET SimpleIni::SimpleIni)
  add_library(SimpleIni::SimpleIni UNKNOWN IMPORTED)
  set_target_properties(SimpleIni::SimpleIni PROPERTIES
    IMPORTED_LOCATION "${SimpleIni_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${SimpleIni_INCLUDE_DIR}")
endif()
mark_as_advanced(SimpleIni_INCLUDE_DIR SimpleIni_LIBRARY)
