target_sources(zarq_unit_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/file_io_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/file_naming_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/file_table_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/path_services_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/region_locks_test.cc)
