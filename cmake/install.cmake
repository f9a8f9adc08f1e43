# What `cmake --install` puts in place: the library, its public headers
# (and the message file, cmake/messages.cmake), the zarq command
# (tools/zarq), and the files by which other projects find the library:
# a CMake package (find_package(zarq) gives zarq::zarq) and zarq.pc.
target_include_directories(zarq INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
install(TARGETS zarq EXPORT zarqTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES include/zarq.h include/zarq_export.h include/zarq_private.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

include(CMakePackageConfigHelpers)
set(ZARQ_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zarq)
install(EXPORT zarqTargets NAMESPACE zarq:: DESTINATION ${ZARQ_CMAKE_DIR})
configure_package_config_file(cmake/zarqConfig.cmake.in ${CMAKE_BINARY_DIR}/zarqConfig.cmake
                              INSTALL_DESTINATION ${ZARQ_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/zarqConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/zarqConfig.cmake ${CMAKE_BINARY_DIR}/zarqConfigVersion.cmake
        DESTINATION ${ZARQ_CMAKE_DIR})
# Relative to the .pc file, so that an install into any prefix is found.
file(RELATIVE_PATH ZARQ_PC_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(cmake/zarq.pc.in ${CMAKE_BINARY_DIR}/zarq.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/zarq.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
