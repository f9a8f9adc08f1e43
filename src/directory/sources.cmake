target_sources(zarq_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/directory_exports.cc
  ${CMAKE_CURRENT_LIST_DIR}/directory_files.cc
  ${CMAKE_CURRENT_LIST_DIR}/directory_gate.cc
  ${CMAKE_CURRENT_LIST_DIR}/directory_open.cc
  ${CMAKE_CURRENT_LIST_DIR}/directory_parts.cc
  ${CMAKE_CURRENT_LIST_DIR}/directory_removal.cc
  ${CMAKE_CURRENT_LIST_DIR}/directory_status.cc
  ${CMAKE_CURRENT_LIST_DIR}/directory_users.cc
  ${CMAKE_CURRENT_LIST_DIR}/lock_file.cc
  ${CMAKE_CURRENT_LIST_DIR}/user_file_format.cc)
