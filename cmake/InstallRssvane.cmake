# librssvane.so for other programs: the library with its soname, the public
# headers (the whole folder, so headers added later come along), a CMake
# package (find_package(rssvane) gives rssvane::rssvane) and rssvane.pc.
include(CMakePackageConfigHelpers)

set(rssvane_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/rssvane)
install(TARGETS rssvane EXPORT rssvaneTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/rssvane/include/rssvane DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        FILES_MATCHING PATTERN "*.h")
install(EXPORT rssvaneTargets NAMESPACE rssvane:: DESTINATION ${rssvane_cmake_dir})

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/rssvaneConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/rssvaneConfig.cmake INSTALL_DESTINATION ${rssvane_cmake_dir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/rssvaneConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/rssvaneConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/rssvaneConfigVersion.cmake
        DESTINATION ${rssvane_cmake_dir})

# pkg-config has no relative paths that stay out of the compiler's system
# folders, so rssvane.pc is written at install time, when the prefix given
# to `cmake --install --prefix` is known.
install(CODE "
  set(RSSVANE_VERSION \"${PROJECT_VERSION}\")
  set(RSSVANE_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(RSSVANE_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  foreach(dir RSSVANE_LIBDIR RSSVANE_INCLUDEDIR)
    if(NOT IS_ABSOLUTE \"\${\${dir}}\")
      set(\${dir} \"\\\${prefix}/\${\${dir}}\")
    endif()
  endforeach()
  set(pc \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/rssvane.pc\")
  message(STATUS \"Installing: \$ENV{DESTDIR}\${pc}\")
  configure_file(\"${CMAKE_CURRENT_LIST_DIR}/rssvane.pc.in\" \"\$ENV{DESTDIR}\${pc}\" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${pc}\")
")
