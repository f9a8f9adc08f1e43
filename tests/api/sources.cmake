target_sources(zarq_api_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/c_header_test.c
  ${CMAKE_CURRENT_LIST_DIR}/api_test.cc)
