target_sources(zarq_unit_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/dates_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/date_text_test.cc)
