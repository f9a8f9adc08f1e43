target_sources(zarq_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/directory_facts.cc
  ${CMAKE_CURRENT_LIST_DIR}/directory_list.cc
  ${CMAKE_CURRENT_LIST_DIR}/file_io.cc
  ${CMAKE_CURRENT_LIST_DIR}/file_naming.cc
  ${CMAKE_CURRENT_LIST_DIR}/file_replacement.cc
  ${CMAKE_CURRENT_LIST_DIR}/file_table.cc
  ${CMAKE_CURRENT_LIST_DIR}/fileio_exports.cc
  ${CMAKE_CURRENT_LIST_DIR}/fileio_parts.cc
  ${CMAKE_CURRENT_LIST_DIR}/flush_worker.cc
  ${CMAKE_CURRENT_LIST_DIR}/path_services.cc
  ${CMAKE_CURRENT_LIST_DIR}/region_locks.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_files.cc
  ${CMAKE_CURRENT_LIST_DIR}/system_error_map.cc
  ${CMAKE_CURRENT_LIST_DIR}/verified_file_lock.cc)
