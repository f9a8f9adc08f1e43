target_sources(zarq_unit_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/formats_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/stores_test.cc)
