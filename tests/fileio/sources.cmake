target_sources(zarq_unit_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/file_table_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/paths_test.cc)
