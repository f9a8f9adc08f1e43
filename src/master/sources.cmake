target_sources(zarq_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/emaster_file.cc
  ${CMAKE_CURRENT_LIST_DIR}/format_levels.cc
  ${CMAKE_CURRENT_LIST_DIR}/index_store.cc
  ${CMAKE_CURRENT_LIST_DIR}/locked_records.cc
  ${CMAKE_CURRENT_LIST_DIR}/master_exports.cc
  ${CMAKE_CURRENT_LIST_DIR}/master_file.cc
  ${CMAKE_CURRENT_LIST_DIR}/master_repair.cc
  ${CMAKE_CURRENT_LIST_DIR}/record_rules.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_allocation.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_index.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_info.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_links.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_record.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_store.cc
  ${CMAKE_CURRENT_LIST_DIR}/store_exports.cc
  ${CMAKE_CURRENT_LIST_DIR}/text_rules.cc
  ${CMAKE_CURRENT_LIST_DIR}/xmaster_file.cc)
target_sources(zarq_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/data_file_numbers.cc
  ${CMAKE_CURRENT_LIST_DIR}/list_linking.cc
  ${CMAKE_CURRENT_LIST_DIR}/master_import.cc
  ${CMAKE_CURRENT_LIST_DIR}/master_load.cc
  ${CMAKE_CURRENT_LIST_DIR}/master_write_back.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_list.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_list_header.cc)
