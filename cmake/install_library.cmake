# The library for its users: libzoviru.so.1 with its soname links, the header,
# zoviru.pc for pkg-config and the CMake package zoviru (find_package(zoviru)
# gives the imported target zoviru::zoviru).
include(CMakePackageConfigHelpers)

set(burl_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/zoviru)

install(TARGETS zoviru EXPORT zoviruTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/zoviru/include/zoviru.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT zoviruTargets NAMESPACE zoviru:: DESTINATION ${burl_cmake_dir})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/zoviruConfig.cmake.in
  ${CMAKE_BINARY_DIR}/cmake/zoviruConfig.cmake
  INSTALL_DESTINATION ${burl_cmake_dir})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/cmake/zoviruConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/cmake/zoviruConfig.cmake
              ${CMAKE_BINARY_DIR}/cmake/zoviruConfigVersion.cmake
  DESTINATION ${burl_cmake_dir})

# zoviru.pc names the prefix that the tree is installed under, which is known
# only at install time (cmake --install --prefix, a package's root).
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(pc_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(pc_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
set(pc_prefix "@pc_prefix@") # filled in at install time
configure_file(${CMAKE_CURRENT_LIST_DIR}/zoviru.pc.in ${CMAKE_BINARY_DIR}/cmake/zoviru.pc.in @ONLY)
install(CODE "
  set(pc_prefix \"\${CMAKE_INSTALL_PREFIX}\")
  set(pc_file \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/zoviru.pc\")
  if(IS_ABSOLUTE \"${CMAKE_INSTALL_LIBDIR}\")
    set(pc_file \"\$ENV{DESTDIR}${CMAKE_INSTALL_LIBDIR}/pkgconfig/zoviru.pc\")
  endif()
  message(STATUS \"Installing: \${pc_file}\")
  configure_file(\"${CMAKE_BINARY_DIR}/cmake/zoviru.pc.in\" \"\${pc_file}\" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${pc_file}\")
")
