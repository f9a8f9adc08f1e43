# What `cmake --install` puts in place: the library, its public headers
# (and the message file, cmake/messages.cmake).
install(TARGETS zarq
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES include/zarq.h include/zarq_export.h include/zarq_private.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
