target_sources(zarq_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/platform.cc
  ${CMAKE_CURRENT_LIST_DIR}/recursive_mutex.cc
  ${CMAKE_CURRENT_LIST_DIR}/regional_values.cc)
if(WIN32)
  target_sources(zarq_objects PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/win32/win32_dll_main.cc
    ${CMAKE_CURRENT_LIST_DIR}/win32/win32_files.cc
    ${CMAKE_CURRENT_LIST_DIR}/win32/win32_messages.cc
    ${CMAKE_CURRENT_LIST_DIR}/win32/win32_locale.cc
    ${CMAKE_CURRENT_LIST_DIR}/win32/win32_paths.cc
    ${CMAKE_CURRENT_LIST_DIR}/win32/win32_platform.cc
    ${CMAKE_CURRENT_LIST_DIR}/win32/win32_sync.cc
    ${PROJECT_SOURCE_DIR}/win32/zarq.rc)
  target_link_libraries(zarq_objects PUBLIC mpr)
else()
  target_sources(zarq_objects PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/posix/posix_errors.cc
    ${CMAKE_CURRENT_LIST_DIR}/posix/posix_files.cc
    ${CMAKE_CURRENT_LIST_DIR}/posix/posix_messages.cc
    ${CMAKE_CURRENT_LIST_DIR}/posix/posix_locale.cc
    ${CMAKE_CURRENT_LIST_DIR}/posix/posix_module_entry.cc
    ${CMAKE_CURRENT_LIST_DIR}/posix/posix_paths.cc
    ${CMAKE_CURRENT_LIST_DIR}/posix/posix_platform.cc
    ${CMAKE_CURRENT_LIST_DIR}/posix/posix_sync.cc)
  # Where an installed library finds its message catalog.
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/posix/posix_messages.cc
    TARGET_DIRECTORY zarq_objects PROPERTIES
    COMPILE_DEFINITIONS ZARQ_INSTALL_DATADIR="${CMAKE_INSTALL_FULL_DATADIR}")
endif()
