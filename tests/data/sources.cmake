target_sources(zarq_unit_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/codecs_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/data_file_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/record_gap_test.cc)
