target_sources(zarq_unit_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/batch_codec_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/composite_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/duplicate_merge_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/maintenance_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/read_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/search_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/sharing_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/write_test.cc)
