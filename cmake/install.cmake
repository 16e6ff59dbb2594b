# Installation of the suite: the library with its header, pkg-config file and
# CMake package; the programs with the mount helper that makes "mount -t nbt"
# and fstab lines work; the manual pages; and the Debian package built from
# all of it (packaging.cmake). Programs are installed when they are part of
# the build.
include(${CMAKE_CURRENT_LIST_DIR}/install_library.cmake)

add_subdirectory(mount)
add_subdirectory(man)

# The programs find the library beside them wherever the tree is installed.
file(RELATIVE_PATH burl_lib_from_bin ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
foreach(program burlfs burlprint burlchunks burlseed)
  if(TARGET ${program})
    set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN/${burl_lib_from_bin}")
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
if(TARGET burlfs)
  install(TARGETS mount_nbt RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR})
endif()

include(${CMAKE_CURRENT_LIST_DIR}/packaging.cmake)
