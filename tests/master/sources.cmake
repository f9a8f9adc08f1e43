target_sources(zarq_unit_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/index_store_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/master_files_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/master_repair_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/record_rules_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_files_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_info_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_links_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_store_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/store_processes_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/text_rules_test.cc)
