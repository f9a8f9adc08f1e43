target_sources(zarq_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/frame_exports.cc
  ${CMAKE_CURRENT_LIST_DIR}/library_lock.cc
  ${CMAKE_CURRENT_LIST_DIR}/library_state.cc
  ${CMAKE_CURRENT_LIST_DIR}/lifecycle.cc
  ${CMAKE_CURRENT_LIST_DIR}/messages.cc
  ${CMAKE_CURRENT_LIST_DIR}/module_entry.cc
  ${CMAKE_CURRENT_LIST_DIR}/process_parts.cc)
