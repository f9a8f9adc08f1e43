target_sources(zarq_unit_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/smoke_test.cc)
