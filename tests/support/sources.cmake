target_sources(zarq_test_support PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/dynamic_library.cc)
