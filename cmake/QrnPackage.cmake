# The installed package: libqrn, libkvfw and libkvfw_sdl with versioned
# names (libqrn.so.1 -> libqrn.so.1.1), the headers under include/qrn/<folder>/,
# and the two ways a host finds them: the CMake package qrn (targets
# qrn::qrn, qrn::kvfw, qrn::kvfw_sdl) and the pkg-config module qrn. Both
# give the include folder include/qrn, so a host writes the same
# "#include "trinket/KvTrinket.h"" as the library's own sources, and both
# are relocatable: they find the prefix from where they lie.
include(CMakePackageConfigHelpers)

set_target_properties(qrn kvfw kvfw_sdl PROPERTIES
  VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
set_target_properties(kvfw PROPERTIES EXPORT_NAME kvfw)
set_target_properties(kvfw_sdl PROPERTIES EXPORT_NAME kvfw_sdl)
# Installed side by side: qrn finds kvfw, kvfw_sdl finds kvfw, next to themselves.
set_target_properties(qrn kvfw kvfw_sdl PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS qrn kvfw kvfw_sdl EXPORT qrnTargets)

set(QRN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/qrn)
install(EXPORT qrnTargets NAMESPACE qrn:: DESTINATION ${QRN_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/qrnConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/qrnConfig.cmake INSTALL_DESTINATION ${QRN_CMAKE_DIR})
# Within a major version the library keeps its interface (the SONAME says as much).
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/qrnConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/qrnConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/qrnConfigVersion.cmake
        DESTINATION ${QRN_CMAKE_DIR})

# qrn.pc names its prefix relative to its own folder.
set(QRN_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH QRN_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" QRN_PC_TO_PREFIX "${QRN_PC_TO_PREFIX}")
set(QRN_PC_DL "")
if(CMAKE_DL_LIBS)
  set(QRN_PC_DL "-l${CMAKE_DL_LIBS}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/qrn.pc.in ${CMAKE_CURRENT_BINARY_DIR}/qrn.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/qrn.pc DESTINATION ${QRN_PC_DIR})
