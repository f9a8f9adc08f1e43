target_sources(zarq_unit_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/codecs_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/record_files_test.cc)
