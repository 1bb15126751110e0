# The Windows package: both programs with every DLL they load, as one zip
# (cmake --build <dir> --target windows-zip).
get_filename_component(_qt "${Qt6_DIR}/../../.." ABSOLUTE)
set(_gcc /usr/lib/gcc/x86_64-w64-mingw32/12-posix)
set(_stage ${CMAKE_BINARY_DIR}/package/tq-configurator-${PROJECT_VERSION})
# Qt finds its plugins beside the programs.
file(WRITE ${CMAKE_BINARY_DIR}/package-qt.conf "[Paths]\nPlugins = .\n")
set(TQ_WINDOWS_ZIP ${CMAKE_BINARY_DIR}/tq-configurator-${PROJECT_VERSION}-windows-x64.zip)
add_custom_target(windows-zip
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${_stage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_stage}/platforms ${_stage}/styles
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:tq-configurator> $<TARGET_FILE:tq-sensor>
          ${_qt}/bin/Qt6Core.dll ${_qt}/bin/Qt6Gui.dll ${_qt}/bin/Qt6Widgets.dll
          ${_gcc}/libstdc++-6.dll ${_gcc}/libgcc_s_seh-1.dll /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll
          ${_stage}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${_qt}/plugins/platforms ${_stage}/platforms
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${_qt}/plugins/styles ${_stage}/styles
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${_qt}/plugins/imageformats ${_stage}/imageformats
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/package-qt.conf ${_stage}/qt.conf
  COMMAND sh -c "x86_64-w64-mingw32-strip --strip-unneeded '${_stage}'/*.exe '${_stage}'/*.dll '${_stage}'/*/*.dll"
  COMMAND ${CMAKE_COMMAND} -E rm -f ${TQ_WINDOWS_ZIP}
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/package
          ${CMAKE_COMMAND} -E tar cf ${TQ_WINDOWS_ZIP} --format=zip tq-configurator-${PROJECT_VERSION}
  DEPENDS tq-configurator tq-sensor
  COMMENT "Packing ${TQ_WINDOWS_ZIP}"
  VERBATIM)
