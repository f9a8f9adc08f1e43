target_sources(zarq_api_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/c_header_test.c
  ${CMAKE_CURRENT_LIST_DIR}/codec_ops_api_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/dates_api_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/lifecycle_api_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/private_ops.cc
  ${CMAKE_CURRENT_LIST_DIR}/store_ops_api_test.cc)
