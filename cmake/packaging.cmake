# The Debian package of the whole suite, built by CPack from the install rules:
#   cmake --build --preset release --target package
# gives build/release/burl_<version>_<arch>.deb. Its dependencies on the C
# library, zlib and libfuse 2 come from dpkg-shlibdeps.
include(${CMAKE_CURRENT_LIST_DIR}/gzip.cmake)

configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
burl_gzip(changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_target(burl_package_docs ALL DEPENDS ${changelog_gz})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${changelog_gz}
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME burl)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "burl maintainers")
set(CPACK_PACKAGE_CONTACT "burl maintainers <maintainers@users.noreply.c-seed-cda71225.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "NBT data: library, printing tools and a FUSE file system")
# The summary above is the description's first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "NBT data is a big-endian, typed, named tree of values, stored gzip- or
zlib-compressed as a whole file or as chunks of a region file.

This package holds the shared library libzoviru (parsing, writing,
compressing and printing of NBT trees) with its header, pkg-config file
and CMake package; burlfs, which mounts an NBT or region file as a file
system, also through mount -t nbt and /etc/fstab; and the tools
burlprint, burlchunks and burlseed.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Users of libzoviru.so.1 need this version or a later one of the same soname.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# fusermount, for mounts by users other than root.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fuse)
# The library's directory is in the dynamic linker's cache: update it through
# dpkg's trigger.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build/;/\\\\.git/")
include(CPack)
