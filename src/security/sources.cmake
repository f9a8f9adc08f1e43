target_sources(zarq_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/composite_locking.cc
  ${CMAKE_CURRENT_LIST_DIR}/lock_queries.cc
  ${CMAKE_CURRENT_LIST_DIR}/lock_failure_report.cc
  ${CMAKE_CURRENT_LIST_DIR}/lock_table.cc
  ${CMAKE_CURRENT_LIST_DIR}/new_security_locking.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_changes.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_copying.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_enumeration.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_exports.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_locking.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_lookup.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_parts.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_sorting.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_update.cc)
