target_sources(zarq_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/emaster_file.cc
  ${CMAKE_CURRENT_LIST_DIR}/master_exports.cc
  ${CMAKE_CURRENT_LIST_DIR}/master_file.cc
  ${CMAKE_CURRENT_LIST_DIR}/master_repair.cc
  ${CMAKE_CURRENT_LIST_DIR}/record_rules.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_index.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_record.cc
  ${CMAKE_CURRENT_LIST_DIR}/text_rules.cc
  ${CMAKE_CURRENT_LIST_DIR}/xmaster_file.cc)
